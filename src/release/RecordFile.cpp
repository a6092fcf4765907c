#include "release/RecordFile.h"

#include <cstdio>
#include <cstdlib>
#include <zlib.h>

#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/FileSecurity.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"

namespace {
const char kEnd[] = "end";

std::string Check(const std::string& body)
{
    unsigned long crc = crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    char hex[9];
    snprintf(hex, sizeof hex, "%08lx", crc & 0xffffffffUL);
    return hex;
}

RecordFields SplitTabs(const std::string& line)
{
    RecordFields fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// One line without its LF: its fields, or false when its check fails.
bool SoundLine(std::string line, RecordFields* fields)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    *fields = SplitTabs(line);
    if (fields->size() < 2)
        return false;
    std::string check = fields->back();
    fields->pop_back();
    return check == Check(line.substr(0, line.size() - check.size() - 1));
}

RecordRead Damaged(const std::string& why)
{
    RecordRead read;
    read.state = RecordState::damaged;
    read.problem = why;
    return read;
}

// The version a header names, when it is a number; 0 otherwise.
int VersionOf(const std::string& text)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return atoi(text.c_str());
}

std::string VersionsRead(const RecordKind& kind)
{
    return kind.earliest == kind.version ? std::to_string(kind.version)
                                         : std::to_string(kind.earliest) + " to " + std::to_string(kind.version);
}

bool IsCount(const std::string& text, size_t expected)
{
    char* end = nullptr;
    unsigned long value = strtoul(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && text.find_first_not_of("0123456789") == std::string::npos &&
           value == expected;
}
} // namespace

RecordRead ParseRecordText(const std::string& text, const RecordKind& kind)
{
    RecordRead read;
    if (text.empty()) {
        read.state = RecordState::notBegun;
        read.problem = "0 bytes";
        return read;
    }
    // A run of zeros is what a disk shows of contents that never reached it,
    // and no line of a record holds one: nothing in it can be trusted.
    if (text.find('\0') != std::string::npos)
        return Damaged(text.find_first_not_of('\0') == std::string::npos ? "only zeros" : "zeros inside");
    size_t start = 0;
    int number = 0;
    bool header = false, closed = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            // An appended line cut short was never acted on; a whole record
            // has no such line.
            if (kind.whole) {
                read.state = RecordState::damaged;
                read.cutShort = true;
                read.problem = "line " + std::to_string(number + 1) + ": cut short";
                return read;
            }
            break;
        }
        ++number;
        RecordFields fields;
        bool sound = SoundLine(text.substr(start, end - start), &fields);
        start = end + 1;
        if (!sound)
            return Damaged("line " + std::to_string(number) + (header ? ": damaged record" : ": not a record of this setup"));
        if (!header) {
            if (fields.size() != 2 || fields[0] != kind.magic)
                return Damaged("line 1: not a " + std::string(kind.magic) + " record");
            read.version = VersionOf(fields[1]);
            if (read.version > kind.version)
                return Damaged("line 1: " + std::string(kind.magic) + " version " + fields[1] +
                               ", written by a newer setup; this one reads " + VersionsRead(kind));
            if (read.version < kind.earliest)
                return Damaged("line 1: " + std::string(kind.magic) + " version " + fields[1] +
                               ", which this setup does not read; it reads " + VersionsRead(kind));
            header = true;
        } else if (closed) {
            return Damaged("line " + std::to_string(number) + ": after the closing line");
        } else if (kind.whole && fields[0] == kEnd) {
            if (fields.size() != 2 || !IsCount(fields[1], read.records.size()))
                return Damaged("line " + std::to_string(number) + ": the closing line does not count the records");
            closed = true;
        } else {
            std::string name = fields[0];
            if (read.version < kind.version && !(kind.earlier && kind.earlier(read.version, &fields)))
                return Damaged("line " + std::to_string(number) + ": " + name + ", no line of " + kind.magic +
                               " version " + std::to_string(read.version));
            read.records.push_back(fields);
        }
    }
    if (!header) {
        // Cut while its first line was written: nothing was done on its word.
        read.state = RecordState::notBegun;
        read.problem = "cut inside its first line";
        return read;
    }
    if (kind.whole && !closed) {
        read.state = RecordState::damaged;
        read.cutShort = true;
        read.problem = "cut short: no closing line after " + std::to_string(read.records.size()) + " records";
        return read;
    }
    read.state = RecordState::ok;
    return read;
}

std::string RecordDirectoryProblem(const std::string& directory)
{
    std::string dir = WithoutTrailingBackslash(directory);
    switch (KindOfPath(dir)) {
    case PathKind::missing: return std::string();
    case PathKind::directory: break;
    case PathKind::link: return dir + ": a link, not the records' own directory";
    default: return dir + ": not a directory";
    }
    std::string why = OtherWritersOfPath(dir);
    return why.empty() ? why : dir + ": " + why;
}

std::string RecordWritersProblem(const std::string& path)
{
    std::string why = RecordDirectoryProblem(ParentOf(path));
    return why.empty() ? OtherWritersOfPath(path) : why;
}

std::string PrepareRecordDirectory(const std::string& directory)
{
    std::string dir = WithoutTrailingBackslash(directory);
    // Once per run: the journal appends a line before every move.
    static std::string prepared;
    if (!prepared.empty() && SamePath(prepared, dir) && KindOfPath(dir) == PathKind::directory)
        return std::string();
    PathKind kind = KindOfPath(dir);
    if (kind == PathKind::link || (kind != PathKind::missing && kind != PathKind::directory))
        return RecordDirectoryProblem(dir);
    // Made with, or given again, an access list of its own: an earlier
    // writer's rights never carry over to what is written next.
    std::string why = MakeAdministratorsOnlyDirectory(dir);
    if (!why.empty())
        return dir + ": " + why;
    why = RecordDirectoryProblem(dir);
    if (why.empty())
        prepared = dir;
    return why;
}

RecordRead ReadRecordFile(const std::string& path, const RecordKind& kind)
{
    PathKind what = KindOfPath(path);
    if (what == PathKind::missing)
        return RecordRead();
    if (what != PathKind::file)
        return Damaged("not a file");
    // A line check proves a line whole, not who wrote it.
    std::string writers = RecordWritersProblem(path);
    if (!writers.empty())
        return Damaged("may be written by others than administrators, not acted on (" + writers + ")");
    unsigned long long size = 0;
    if (!FileSizeOf(path, &size))
        return Damaged("cannot be read");
    if (size > kMaxRecordBytes)
        return Damaged("too large to be a record (" + std::to_string(size) + " bytes)");
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes))
        return Damaged("cannot be read");
    return ParseRecordText(std::string(bytes.begin(), bytes.end()), kind);
}

std::string RecordLine(const RecordFields& fields)
{
    std::string body;
    for (const std::string& field : fields)
        body += (body.empty() ? "" : "\t") + field;
    return body + "\t" + Check(body) + "\r\n";
}

std::string RecordHeaderLine(const RecordKind& kind) { return RecordLine({kind.magic, std::to_string(kind.version)}); }

bool AppendRecord(const std::string& path, const RecordFields& fields)
{
    return PrepareRecordDirectory(ParentOf(path)).empty() && AppendDurably(path, RecordLine(fields));
}

std::string RecordTempPath(const std::string& path) { return path + ".new"; }

bool ReplaceRecordText(const std::string& path, const std::string& text)
{
    if (!PrepareRecordDirectory(ParentOf(path)).empty())
        return false;
    std::string part = RecordTempPath(path);
    RemoveFile(part);
    if (AppendDurably(part, text) && ReplaceFileAtomically(part, path))
        return true;
    RemoveFile(part);
    return false;
}

bool WriteWholeRecord(const std::string& path, const RecordKind& kind, const std::vector<RecordFields>& records)
{
    std::string text = RecordHeaderLine(kind);
    for (const RecordFields& fields : records)
        text += RecordLine(fields);
    text += RecordLine({kEnd, std::to_string(records.size())});
    return ReplaceRecordText(path, text);
}
