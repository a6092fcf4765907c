#include "deploy/PreviousRelease.h"

#include <algorithm>
#include <set>
#include <vector>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "platform/DirectoryEntries.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

namespace {
const char kHeader[] = "journal\t1";
const char kAside[] = "aside";
const char kKept[] = "kept";
const char kAbsent[] = "absent";
const char kDone[] = "done";

struct Journal {
    struct Move {
        std::string original;
        std::string aside;
    };
    std::vector<Move> moves;
    std::set<std::string> kept;
    std::vector<std::string> absent; // not there before the run: whatever is there afterwards is new
    bool done = false;
    bool present = false;
};

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

Journal ReadJournal()
{
    Journal journal;
    std::string text;
    try {
        BinaryFile file;
        FileError error(FileError::none, 0, JournalPath());
        if (!file.Open(JournalPath(), BinaryFile::modeRead | BinaryFile::shareDenyNone, &error))
            return journal;
        journal.present = true;
        uint64_t length = file.GetLength();
        text.resize(static_cast<size_t>(length));
        if (length > 0)
            file.ReadExact(&text[0], text.size());
    } catch (const FileError&) {
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break; // a record cut short by the power loss was never acted on
        std::string line = TrimRight(text.substr(start, end - start));
        start = end + 1;
        std::vector<std::string> fields = SplitTabs(line);
        if (fields[0] == kAside && fields.size() == 3)
            journal.moves.push_back({fields[1], fields[2]});
        else if (fields[0] == kKept && fields.size() == 2)
            journal.kept.insert(fields[1]);
        else if (fields[0] == kAbsent && fields.size() == 2)
            journal.absent.push_back(fields[1]);
        else if (fields[0] == kDone)
            journal.done = true;
    }
    return journal;
}

bool Record(const std::string& line)
{
    if (!IsDirectory(BootDir()))
        MakeDirectoryPath(BootDir());
    if (!FileExists(JournalPath()) && !AppendDurably(JournalPath(), std::string(kHeader) + "\r\n"))
        return false;
    return AppendDurably(JournalPath(), line + "\r\n");
}

char DriveOf(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':' ? static_cast<char>(toupper(static_cast<unsigned char>(path[0]))) : 0;
}

// The hidden directory beside the installation root of path's drive.
std::string AsideRootFor(const std::string& path)
{
    char drive = DriveOf(path);
    for (const std::string& root : {InstallRoot(), DataRoot()})
        if (drive && DriveOf(root) == drive)
            return WithoutTrailingBackslash(root) + ".previous";
    return std::string(1, drive ? drive : 'C') + ":\\TorneLix.previous";
}

std::vector<std::string> ChildNames(const std::string& dir)
{
    std::vector<std::string> names;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        names.push_back(entry.name);
        return true;
    });
    return names;
}

void RemoveAny(const std::string& path)
{
    if (IsDirectory(path)) {
        ClearAttributes(path);
        DeleteTree(path);
    } else {
        RemoveFile(path);
    }
}

// File by file, so that a file held open is found and named on Windows and
// under Wine alike (a directory rename may carry an open file along).
bool MoveInto(const std::string& from, const std::string& to, std::string* held)
{
    if (!IsDirectory(from)) {
        if (MovePath(from, to, true))
            return true;
        if (held->empty())
            *held = from;
        return false;
    }
    if (!MakeDirectory(to)) {
        *held = from;
        return false;
    }
    bool all = true;
    for (const std::string& name : ChildNames(from))
        all = MoveInto(from + "\\" + name, to + "\\" + name, held) && all;
    if (all) {
        ClearAttributes(from);
        all = DeleteTree(from) || !PathExists(from);
    }
    return all;
}

bool IsKeptOrHoldsKept(const std::string& path, const std::set<std::string>& kept)
{
    for (const std::string& k : kept)
        if (k == path || (k.size() > path.size() && k.compare(0, path.size(), path) == 0 && k[path.size()] == '\\'))
            return true;
    return false;
}

// Removes from dir what is neither in aside (the previous release's copy)
// nor left in place by the user.
void RemoveNewEntries(const std::string& dir, const std::string& aside, const std::set<std::string>& kept)
{
    for (const std::string& name : ChildNames(dir)) {
        std::string path = dir + "\\" + name;
        std::string old = aside + "\\" + name;
        if (PathExists(old))
            continue;
        if (kept.count(path))
            continue;
        if (IsDirectory(path) && IsKeptOrHoldsKept(path, kept))
            RemoveNewEntries(path, old, kept);
        else
            RemoveAny(path);
    }
}

bool MoveBack(const std::string& aside, const std::string& original, const std::set<std::string>& kept)
{
    if (!PathExists(aside))
        return true;
    if (!IsDirectory(aside)) {
        if (PathExists(original))
            RemoveAny(original);
        return MovePath(aside, original, true);
    }
    if (!PathExists(original)) {
        if (MovePath(aside, original, false))
            return true;
        if (!MakeDirectory(original))
            return false;
    } else if (!IsDirectory(original)) {
        RemoveFile(original);
        if (!MakeDirectory(original))
            return false;
    }
    RemoveNewEntries(original, aside, kept);
    bool all = true;
    for (const std::string& name : ChildNames(aside))
        all = MoveBack(aside + "\\" + name, original + "\\" + name, kept) && all;
    if (all)
        DeleteTree(aside);
    return all;
}

void RemoveAsideRoots(const Journal& journal)
{
    std::set<std::string> roots;
    for (const Journal::Move& move : journal.moves)
        roots.insert(move.aside.substr(0, move.aside.find_last_of('\\')));
    for (const std::string& root : roots)
        if (IsDirectory(root)) {
            ClearAttributes(root);
            DeleteTree(root);
        }
}
} // namespace

std::string JournalPath() { return BootDir() + "SetUp.journal"; }

bool UnfinishedRunRecorded() { return FileExists(JournalPath()); }

bool UnfinishedRunSucceeded() { return ReadJournal().done; }

bool SetAside(const std::string& path, std::string* held)
{
    held->clear();
    std::string original = WithoutTrailingBackslash(path);
    if (original.empty())
        return true;
    Journal journal = ReadJournal();
    if (!PathExists(original)) {
        // What the package lays there is new: putting the previous release
        // back removes it.
        bool known = std::find(journal.absent.begin(), journal.absent.end(), original) != journal.absent.end();
        for (const Journal::Move& move : journal.moves)
            known = known || move.original == original;
        if (!known)
            Record(std::string(kAbsent) + "\t" + original);
        return true;
    }
    // A tree moved in part before (a held file stayed) goes on into the same
    // aside copy.
    std::string aside;
    for (const Journal::Move& move : journal.moves)
        if (move.original == original)
            aside = move.aside;
    if (aside.empty()) {
        std::string root = AsideRootFor(original);
        if (!MakeDirectory(root)) {
            *held = original;
            return false;
        }
        HideFile(root);
        aside = root + "\\" + std::to_string(journal.moves.size() + 1);
        // Written down before the move: a cut between the two finds nothing
        // aside and leaves the original where it is.
        if (!Record(std::string(kAside) + "\t" + original + "\t" + aside)) {
            TraceMessage("|E|SetAside: journal %s not written", JournalPath().c_str());
            *held = original;
            return false;
        }
    }
    return MoveInto(original, aside, held);
}

void RecordKept(const std::string& path) { Record(std::string(kKept) + "\t" + path); }

bool PutPreviousReleaseBack()
{
    Journal journal = ReadJournal();
    for (const std::string& path : journal.absent)
        if (PathExists(path))
            RemoveAny(path);
    bool all = true;
    for (auto it = journal.moves.rbegin(); it != journal.moves.rend(); ++it) {
        if (MoveBack(it->aside, it->original, journal.kept))
            continue;
        all = false;
        TraceMessage("|E|PutPreviousReleaseBack: %s not put back from %s", it->original.c_str(), it->aside.c_str());
        WriteLogLine("未能恢复" + it->original + "，原来的文件保留在" + it->aside);
    }
    if (all) {
        RemoveAsideRoots(journal);
        RemoveFile(JournalPath());
    }
    return all;
}

void DiscardPreviousRelease()
{
    Journal journal = ReadJournal();
    if (!journal.present)
        return;
    // Once this is written, a cut during the deletion finishes it at the next
    // start instead of undoing a finished update.
    if (!journal.done)
        Record(kDone);
    RemoveAsideRoots(journal);
    RemoveFile(JournalPath());
}
