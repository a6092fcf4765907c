#include "params/AmendMerge.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "messages/Messages.h"
#include "format/FmtNameParser.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/MessageBox.h"
#include "platform/StringUtil.h"


const char kControllerHeader[] = "[CController]";

namespace {
const char* const kExcludedMembers[] = {"m__df_endCController", "m__df_beginCController", "m_nxWorkCoorPubOffset",
                                        "m_nxaOffset"};

// Reads the trimmed, non-empty lines of a text file (CR LF or LF).
bool ReadTrimmedLines(const std::string& path, std::vector<std::string>& lines)
{
    TextFile file;
    if (!file.Open(path, BinaryFile::modeRead | BinaryFile::shareDenyWrite))
        return false;
    try {
        std::string line;
        while (file.ReadString(line)) {
            std::string t = Trim(line);
            if (!t.empty())
                lines.push_back(std::move(t));
        }
    } catch (const FileError&) {
        // What was read before the error still counts.
    }
    return true;
}

} // namespace

bool ParseIniLine(const std::string& line, std::string& key, std::string& value)
{
    if (line.empty() || line[0] == ';')
        return false;
    if (line[0] == '[') {
        key = line;
        value.clear();
        return true;
    }
    std::string text = line.substr(0, line.find(';'));
    size_t eq = text.find('=');
    if (text.empty() || eq == std::string::npos)
        return false;
    key = TrimRight(text.substr(0, eq));
    value = Trim(text.substr(eq + 1));
    return !key.empty() && !value.empty();
}

std::string TopLevelMember(const std::string& key)
{
    size_t dot = key.find('.');
    if (dot == std::string::npos || dot == 0)
        return key;
    return key.substr(0, dot);
}

bool IsExcludedMember(const std::string& topLevelMember)
{
    size_t bracket = topLevelMember.find('[');
    std::string name = (bracket == std::string::npos || bracket == 0) ? topLevelMember
                                                                      : topLevelMember.substr(0, bracket);
    for (const char* excluded : kExcludedMembers)
        if (name == excluded)
            return true;
    return false;
}

AmendEntries ReadAmendEntries(const std::string& path)
{
    AmendEntries entries;
    std::vector<std::string> lines;
    ReadTrimmedLines(path, lines);
    std::string key, value;
    for (const auto& line : lines)
        if (ParseIniLine(line, key, value))
            entries.push_back({key, value});
    return entries;
}

void ReadControllerSection(const std::string& path, AmendEntries& controller, AmendEntries& other)
{
    std::vector<std::string> lines;
    ReadTrimmedLines(path, lines);
    bool inSection = false;
    bool headerSeen = false;
    // Key -> position in controller, so that large sections merge in linear time.
    std::unordered_map<std::string, size_t> index;
    for (const auto& entry : controller)
        index.emplace(entry.key, &entry - controller.data());
    std::string key, value;
    for (const auto& line : lines) {
        if (line[0] == '[')
            inSection = line == kControllerHeader;
        if (line == kControllerHeader) {
            if (!headerSeen) {
                index.emplace(line, controller.size());
                controller.push_back({line, std::string()});
                headerSeen = true;
            }
            continue;
        }
        if (!ParseIniLine(line, key, value))
            continue;
        if (!inSection) {
            other.push_back({key, value});
            continue;
        }
        auto found = index.find(key);
        if (found != index.end()) {
            controller[found->second].value = value;
        } else {
            index.emplace(key, controller.size());
            controller.push_back({key, value});
        }
    }
}

void MergeEntries(AmendEntries& controller, AmendEntries& old)
{
    // Old occurrences of each key chained first to last; the head of a chain
    // is the first unused one, so each occurrence is used at most once.
    const size_t none = static_cast<size_t>(-1);
    std::vector<size_t> next(old.size(), none);
    std::unordered_map<std::string, size_t> head;
    std::unordered_map<std::string, size_t> tail;
    head.reserve(old.size());
    tail.reserve(old.size());
    for (size_t i = 0; i < old.size(); ++i) {
        auto t = tail.find(old[i].key);
        if (t == tail.end()) {
            head.emplace(old[i].key, i);
            tail.emplace(old[i].key, i);
        } else {
            next[t->second] = i;
            t->second = i;
        }
    }
    std::vector<bool> used(old.size(), false);
    size_t remaining = old.size();
    for (auto& entry : controller) {
        if (remaining == 0)
            break;
        auto found = head.find(entry.key);
        if (found == head.end() || found->second == none)
            continue;
        size_t i = found->second;
        found->second = next[i];
        if (entry.value != old[i].value)
            entry.value = old[i].value;
        used[i] = true;
        --remaining;
    }
    for (size_t i = 0; i < old.size(); ++i)
        if (!used[i])
            controller.push_back(std::move(old[i]));
    old.clear();
}

namespace {
// A character array without a print format is listed as one quoted text under
// its bare name (m_szName = "X"), while the name scan declares it element by
// element (m_szName[0] ..). Without this the machine's texts would be lost on
// every reinstall. A quoted value is never the text of a number, so a plain
// member that became an array is still dropped.
bool IsDeclaredText(const std::unordered_set<std::string>& declared, const std::string& top, const AmendEntry& entry)
{
    const std::string& v = entry.value;
    return entry.key == top && top.find('[') == std::string::npos && v.size() >= 2 && v.front() == '"' &&
           v.back() == '"' && declared.count(top + "[0]");
}
} // namespace

void FilterByFormat(const std::string& formatPath, AmendEntries& controller)
{
    if (controller.empty())
        return;
    CFmtNameParser parser;
    parser.SetFieldName("CController");
    parser.Scan(formatPath); // names listed before a failure still count
    std::unordered_set<std::string> declared(parser.m_names.begin(), parser.m_names.end());
    AmendEntries kept;
    kept.reserve(controller.size());
    for (auto& entry : controller) {
        if (entry.key == kControllerHeader) {
            kept.push_back(std::move(entry));
            continue;
        }
        std::string top = TopLevelMember(entry.key);
        if (IsExcludedMember(top))
            continue;
        if (declared.count(top) || IsDeclaredText(declared, top, entry))
            kept.push_back(std::move(entry));
    }
    controller.swap(kept);
}

std::string FormatEntries(const AmendEntries& entries)
{
    std::string text;
    for (const auto& entry : entries) {
        text += entry.key;
        if (!entry.value.empty())
            text += " = " + entry.value;
        text += "\r\n";
    }
    return text;
}

void AppendEntries(const std::string& path, const AmendEntries& entries)
{
    BinaryFile file;
    if (!file.Open(path, BinaryFile::modeWrite))
        return;
    try {
        std::string text = FormatEntries(entries);
        file.SeekToEnd();
        file.Write(text.data(), text.size());
        file.Close();
    } catch (const FileError&) {
        file.Abort();
    }
}

MergeResult MergeAmendFile(const std::string& savedPath, const std::string& targetPath,
                           const std::string& formatPath)
{
    {
        // Filtering by a format that cannot be read would empty the
        // controller section: the release's own values and the carried ones.
        CFmtNameParser probe;
        probe.SetFieldName("CController");
        if (!probe.Scan(formatPath) || !probe.m_bFieldFound)
            return MergeResult::formatUnreadable;
    }
    AmendEntries old = ReadAmendEntries(savedPath);
    AmendEntries controller, other;
    ReadControllerSection(targetPath, controller, other);
    MergeEntries(controller, old);
    FilterByFormat(formatPath, controller);

    // Write beside the target, then replace it in one step: the machine's
    // amend.dat is never gone while the merged file is being written.
    std::string temp = targetPath + ".merge";
    std::string text = FormatEntries(controller) + FormatEntries(other);
    bool written = false;
    {
        BinaryFile file;
        if (file.Open(temp, BinaryFile::modeCreate | BinaryFile::modeReadWrite)) {
            try {
                file.Write(text.data(), text.size());
                file.Flush();
                file.Close();
                written = true;
            } catch (const FileError&) {
                file.Abort();
            }
        }
    }
    if (written && ReplaceFileAtomically(temp, targetPath))
        return MergeResult::merged;
    remove(temp.c_str());
    ShowMessageBox(LocalText(MsgUnitFileCreateFailed), MB_OK);
    return MergeResult::targetNotWritten;
}
