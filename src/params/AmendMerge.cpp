#include "params/AmendMerge.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <cstdint>
#include <memory>
#include <utility>

#include "messages/Messages.h"
#include "format/FmtNameParser.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/StringUtil.h"
#include "params/AmendKeyJoin.h"
#include "params/NameTable.h"


const char kControllerHeader[] = "[CController]";

namespace {
const char* const kExcludedMembers[] = {"m__df_endCController", "m__df_beginCController", "m_nxWorkCoorPubOffset",
                                        "m_nxaOffset"};

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view TrimView(std::string_view v)
{
    size_t b = 0, e = v.size();
    while (b < e && IsBlankChar(v[b]))
        ++b;
    while (e > b && IsBlankChar(v[e - 1]))
        --e;
    return v.substr(b, e - b);
}

// The bytes of a file opened as the readers open it; what was read before a
// read error still counts. False when it cannot be opened.
bool ReadFileText(const std::string& path, std::string& text)
{
    text.clear();
    BinaryFile file;
    if (!file.Open(path, BinaryFile::modeRead | BinaryFile::shareDenyWrite))
        return false;
    size_t have = 0;
    try {
        uint64_t length = file.GetLength();
        text.resize(static_cast<size_t>(length) + 1);
        for (;;) {
            if (have == text.size())
                text.resize(text.size() * 2);
            size_t got = file.Read(&text[have], text.size() - have);
            if (got == 0)
                break;
            have += got;
        }
        text.resize(have);
    } catch (const FileError&) {
        // The lines read before the error still count, the broken one not.
        size_t lastNewline = have > 0 ? text.rfind('\n', have - 1) : std::string::npos;
        text.resize(lastNewline == std::string::npos ? 0 : lastNewline + 1);
    }
    return true;
}

// Calls f with each trimmed, non-empty line of text (lines end at '\n'; the
// '\r' of a CR LF is a blank that the trim removes).
template <typename F>
void ForEachTrimmedLine(std::string_view text, F&& f)
{
    size_t start = 0;
    while (start < text.size()) {
        const void* nl = memchr(text.data() + start, '\n', text.size() - start);
        size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
        std::string_view line = TrimView(text.substr(start, end - start));
        if (!line.empty())
            f(line);
        start = end + 1;
    }
}

// ParseIniLine on a view: key and value are views into line.
bool ParseIniView(std::string_view line, std::string_view& key, std::string_view& value)
{
    if (line.empty() || line[0] == ';')
        return false;
    if (line[0] == '[') {
        key = line;
        value = std::string_view();
        return true;
    }
    std::string_view text = line.substr(0, line.find(';'));
    size_t eq = text.find('=');
    if (text.empty() || eq == std::string_view::npos)
        return false;
    key = text.substr(0, eq);
    while (!key.empty() && IsBlankChar(key.back()))
        key.remove_suffix(1);
    value = TrimView(text.substr(eq + 1));
    return !key.empty() && !value.empty();
}

std::string_view TopLevelView(std::string_view key)
{
    size_t dot = key.find('.');
    if (dot == std::string_view::npos || dot == 0)
        return key;
    return key.substr(0, dot);
}

bool IsExcludedView(std::string_view topLevelMember)
{
    size_t bracket = topLevelMember.find('[');
    std::string_view name =
        (bracket == std::string_view::npos || bracket == 0) ? topLevelMember : topLevelMember.substr(0, bracket);
    for (const char* excluded : kExcludedMembers)
        if (name == excluded)
            return true;
    return false;
}

} // namespace

bool ParseIniLine(const std::string& line, std::string& key, std::string& value)
{
    std::string_view k, v;
    if (!ParseIniView(line, k, v))
        return false;
    key.assign(k.data(), k.size());
    value.assign(v.data(), v.size());
    return true;
}

std::string TopLevelMember(const std::string& key) { return std::string(TopLevelView(key)); }

bool IsExcludedMember(const std::string& topLevelMember) { return IsExcludedView(topLevelMember); }

namespace {
size_t CountLines(std::string_view text)
{
    size_t lines = 1;
    for (const char* p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)))); ++p)
        ++lines;
    return lines;
}
} // namespace

AmendEntries ParseAmendEntries(std::string_view text)
{
    AmendEntries entries;
    entries.reserve(CountLines(text));
    ForEachTrimmedLine(text, [&](std::string_view line) {
        std::string_view key, value;
        if (ParseIniView(line, key, value))
            entries.push_back({std::string(key), std::string(value)});
    });
    return entries;
}

namespace {
// The lines of the "[CController]" section (the header once, first), before
// their keys are matched; the entries outside it go to other, in order.
void SplitTarget(std::string_view text, std::vector<KeyedLine>& section, AmendEntries& other)
{
    bool inSection = false;
    bool headerSeen = false;
    const std::string_view header(kControllerHeader);
    ForEachTrimmedLine(text, [&](std::string_view line) {
        if (line[0] == '[')
            inSection = line == header;
        if (line == header) {
            if (!headerSeen) {
                section.push_back({line, std::string_view()});
                headerSeen = true;
            }
            return;
        }
        std::string_view key, value;
        if (!ParseIniView(line, key, value))
            return;
        if (inSection)
            section.push_back({key, value});
        else
            other.push_back({std::string(key), std::string(value)});
    });
}
} // namespace

void ParseControllerSection(std::string_view text, AmendEntries& controller, AmendEntries& other)
{
    std::vector<KeyedLine> section;
    section.reserve(CountLines(text));
    SplitTarget(text, section, other);
    // Room for every line at once: a list of a few hundred thousand entries
    // that doubles as it grows costs more in fresh memory than in copying.
    controller.reserve(controller.size() + section.size());
    // Key -> position in controller, so that large sections merge in linear
    // time. The keys are views: of the text, and of copies of the keys the
    // list held before (its strings move as it grows).
    std::vector<std::string> earlierKeys;
    earlierKeys.reserve(controller.size());
    NameTable<size_t> index(controller.size() + section.size());
    for (const auto& entry : controller) {
        earlierKeys.push_back(entry.key);
        index.Emplace(earlierKeys.back(), static_cast<size_t>(&entry - controller.data()));
    }
    const std::string_view header(kControllerHeader);
    for (const KeyedLine& line : section) {
        // The header (only it has that key in the section) is always added.
        if (line.key == header) {
            index.Emplace(line.key, controller.size());
            controller.push_back({std::string(line.key), std::string()});
            continue;
        }
        std::pair<size_t*, bool> at = index.Emplace(line.key, controller.size());
        if (!at.second)
            controller[*at.first].value.assign(line.value.data(), line.value.size());
        else
            controller.push_back({std::string(line.key), std::string(line.value)});
    }
}

void ReadControllerSection(const std::string& path, AmendEntries& controller, AmendEntries& other)
{
    std::string text;
    ReadFileText(path, text);
    ParseControllerSection(text, controller, other);
}

void MergeEntries(AmendEntries& controller, AmendEntries& old)
{
    // Old occurrences of each key chained first to last; the head of a chain
    // is the first unused one, so each occurrence is used at most once. The
    // table's keys are views of old's keys, which stay put until the end.
    const size_t none = static_cast<size_t>(-1);
    struct Chain {
        size_t head, tail;
    };
    std::vector<size_t> next(old.size(), none);
    NameTable<Chain> chains(old.size());
    for (size_t i = 0; i < old.size(); ++i) {
        std::pair<Chain*, bool> added = chains.Emplace(old[i].key, Chain{i, i});
        if (!added.second) {
            next[added.first->tail] = i;
            added.first->tail = i;
        }
    }
    std::vector<bool> used(old.size(), false);
    size_t remaining = old.size();
    for (auto& entry : controller) {
        if (remaining == 0)
            break;
        Chain* found = chains.Find(entry.key);
        if (!found || found->head == none)
            continue;
        size_t i = found->head;
        found->head = next[i];
        if (entry.value != old[i].value)
            entry.value = old[i].value;
        used[i] = true;
        --remaining;
    }
    controller.reserve(controller.size() + remaining);
    for (size_t i = 0; i < old.size(); ++i)
        if (!used[i])
            controller.push_back(std::move(old[i]));
    old.clear();
}

namespace {
// Whether a name is one of the declared names. The entries of an amend file
// follow the format's member order as a rule (the listing is written in it),
// so each question goes first to the name last found and the one after it;
// a table of all names is made at the first question these do not answer.
class DeclaredNames {
public:
    explicit DeclaredNames(const std::vector<std::string>& names) : m_names(names) {}

    bool Contains(std::string_view name)
    {
        for (size_t k = 0; k < 2 && m_cursor + k < m_names.size(); ++k) {
            if (m_names[m_cursor + k] == name) {
                m_cursor += k;
                return true;
            }
        }
        if (!m_table) {
            m_table = std::make_unique<NameTable<size_t>>(m_names.size());
            for (size_t i = 0; i < m_names.size(); ++i)
                m_table->Emplace(m_names[i], i);
        }
        const size_t* at = m_table->Find(name);
        if (!at)
            return false;
        m_cursor = *at;
        return true;
    }

private:
    const std::vector<std::string>& m_names;
    size_t m_cursor = 0;
    std::unique_ptr<NameTable<size_t>> m_table;
};

// A character array without a print format is listed as one quoted text under
// its bare name (m_szName = "X"), while the name scan declares it element by
// element (m_szName[0] ..). Without this the machine's texts would be lost on
// every reinstall. A quoted value is never the text of a number, so a plain
// member that became an array is still dropped.
bool IsDeclaredText(DeclaredNames& declared, std::string_view top, const AmendEntry& entry)
{
    const std::string& v = entry.value;
    if (!(entry.key == top && top.find('[') == std::string_view::npos && v.size() >= 2 && v.front() == '"' &&
          v.back() == '"'))
        return false;
    std::string first(top);
    first += "[0]";
    return declared.Contains(first);
}

// Keeps the header and the declared, not excluded entries; names are the
// declared names of the block. decided(entry, index, keep) hears of each
// entry before it moves.
template <typename Decided>
void FilterByNamesTelling(const std::vector<std::string>& names, AmendEntries& controller, Decided&& decided)
{
    DeclaredNames declared(names);
    // Kept entries move up in place: no second list of the section.
    size_t kept = 0;
    for (AmendEntry& entry : controller) {
        bool keep;
        if (entry.key == kControllerHeader) {
            keep = true;
        } else {
            std::string_view top = TopLevelView(entry.key);
            keep = !IsExcludedView(top) && (declared.Contains(top) || IsDeclaredText(declared, top, entry));
        }
        decided(entry, static_cast<size_t>(&entry - controller.data()), keep);
        if (!keep)
            continue;
        if (&entry != &controller[kept])
            controller[kept] = std::move(entry);
        ++kept;
    }
    controller.erase(controller.begin() + static_cast<std::ptrdiff_t>(kept), controller.end());
}

void FilterByNames(const std::vector<std::string>& names, AmendEntries& controller)
{
    FilterByNamesTelling(names, controller, [](const AmendEntry&, size_t, bool) {});
}
} // namespace

void FilterByFormat(const std::string& formatPath, AmendEntries& controller)
{
    if (controller.empty())
        return;
    CFmtNameParser parser;
    parser.SetFieldName("CController");
    parser.Scan(formatPath); // names listed before a failure still count
    FilterByNames(parser.m_names, controller);
}

void FilterByDeclaredNames(const std::vector<std::string>& declared, AmendEntries& controller)
{
    FilterByNames(declared, controller);
}

namespace {
size_t FormattedSize(const AmendEntries& entries)
{
    size_t size = 0;
    for (const auto& entry : entries)
        size += entry.key.size() + entry.value.size() + 5;
    return size;
}

void AppendFormatted(const AmendEntries& entries, std::string& text)
{
    for (const auto& entry : entries) {
        text += entry.key;
        if (!entry.value.empty()) {
            text += " = ";
            text += entry.value;
        }
        text += "\r\n";
    }
}
} // namespace

std::string FormatEntries(const AmendEntries& entries)
{
    std::string text;
    text.reserve(FormattedSize(entries));
    AppendFormatted(entries, text);
    return text;
}

MergeResult MergeAmendText(std::string_view saved, std::string_view target, std::string_view format,
                           const std::string& formatName, std::string& merged)
{
    // Filtering by a format that cannot be read would empty the controller
    // section: the release's own values and the carried ones.
    CFmtNameParser names;
    names.SetFieldName("CController");
    if (!names.ScanText(format.data(), format.size(), formatName) || !names.m_bFieldFound)
        return MergeResult::formatUnreadable;
    MergeAmendTextByNames(saved, target, names.m_names, merged);
    return MergeResult::merged;
}

void MergeAmendTextByNames(std::string_view saved, std::string_view target, const std::vector<std::string>& declared,
                           std::string& merged, MergeTally* tally)
{
    // ParseControllerSection and MergeEntries in one: each saved entry, in
    // order, takes the place of the target's entry of its key unless an
    // earlier one took it, and is appended otherwise. The target's keys are
    // unique once parsed, so this is the same as each of the target's
    // entries taking the first unused saved entry of its key.
    AmendEntries other;
    std::vector<KeyedLine> section, savedLines;
    section.reserve(CountLines(target));
    SplitTarget(target, section, other);
    savedLines.reserve(CountLines(saved));
    ForEachTrimmedLine(saved, [&](std::string_view line) {
        std::string_view key, value;
        if (ParseIniView(line, key, value))
            savedLines.push_back({key, value});
    });
    const AmendKeyMatch match = MatchAmendKeys(section, savedLines);

    AmendEntries controller;
    controller.reserve(section.size() + savedLines.size());
    // Where each target line's key went in controller; a later line of the
    // same key gives its value to the first one's entry.
    std::vector<uint32_t> entryOf(section.size());
    for (size_t i = 0; i < section.size(); ++i) {
        const KeyedLine& line = section[i];
        uint32_t first = match.firstOf[i];
        if (first == i) {
            entryOf[i] = static_cast<uint32_t>(controller.size());
            controller.push_back({std::string(line.key), std::string(line.value)});
        } else {
            controller[entryOf[first]].value.assign(line.value.data(), line.value.size());
        }
    }
    // For the tally: which saved line each entry holds the value of (none:
    // the target's own), so that the dropped ones are told in the saved
    // file's order, as the carry report tells them.
    const uint32_t fromTarget = UINT32_MAX;
    std::vector<uint32_t> savedLineOf;
    if (tally)
        savedLineOf.assign(controller.size(), fromTarget);
    for (size_t i = 0; i < savedLines.size(); ++i) {
        const KeyedLine& line = savedLines[i];
        if (match.takes[i] != AmendKeyMatch::kNone) {
            const uint32_t at = entryOf[match.takes[i]];
            controller[at].value.assign(line.value.data(), line.value.size());
            if (tally)
                savedLineOf[at] = static_cast<uint32_t>(i);
        } else {
            controller.push_back({std::string(line.key), std::string(line.value)});
            if (tally)
                savedLineOf.push_back(static_cast<uint32_t>(i));
        }
    }
    if (tally) {
        *tally = MergeTally();
        std::vector<std::pair<uint32_t, AmendEntry>> dropped;
        FilterByNamesTelling(declared, controller, [&](const AmendEntry& entry, size_t at, bool keep) {
            if (entry.key.empty() || entry.key[0] == '[')
                return;
            if (savedLineOf[at] == fromTarget) {
                if (keep)
                    tally->added.push_back(entry);
            } else if (keep) {
                ++tally->carried;
            } else if (!IsExcludedView(TopLevelView(entry.key))) {
                dropped.emplace_back(savedLineOf[at], entry);
            }
        });
        std::stable_sort(dropped.begin(), dropped.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        tally->dropped.reserve(dropped.size());
        for (auto& d : dropped)
            tally->dropped.push_back(std::move(d.second));
    } else if (!controller.empty()) {
        FilterByNames(declared, controller);
    }
    merged.clear();
    merged.reserve(FormattedSize(controller) + FormattedSize(other));
    AppendFormatted(controller, merged);
    AppendFormatted(other, merged);
}

namespace {
// A saved amend file is text with at least one value: a data file (binary)
// or an empty file given by mistake would carry nothing and empty the target.
bool IsAmendText(std::string_view text)
{
    if (memchr(text.data(), '\0', text.size()))
        return false;
    for (size_t start = 0; start < text.size();) {
        const void* nl = memchr(text.data() + start, '\n', text.size() - start);
        const size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
        std::string_view line = TrimView(text.substr(start, end - start)), key, value;
        if (!line.empty() && line[0] != '[' && ParseIniView(line, key, value))
            return true;
        start = end + 1;
    }
    return false;
}

// Writes beside the target, then replaces it in one step: the machine's
// amend.dat is never gone while the merged file is being written.
MergeResult WriteMerged(const std::string& targetPath, const std::string& text)
{
    std::string temp = targetPath + ".merge";
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
    return MergeResult::targetNotWritten;
}
} // namespace

MergeResult MergeAmendFile(const std::string& savedPath, const std::string& targetPath,
                           const std::string& formatPath)
{
    std::string format;
    if (!ReadFileText(formatPath, format))
        return MergeResult::formatUnreadable;
    std::string saved, target, text;
    ReadFileText(savedPath, saved);
    ReadFileText(targetPath, target);
    if (MergeAmendText(saved, target, format, formatPath, text) != MergeResult::merged)
        return MergeResult::formatUnreadable;
    return WriteMerged(targetPath, text);
}

bool IsAmendTextFile(const std::string& path)
{
    std::string text;
    return ReadFileText(path, text) && !memchr(text.data(), '\0', text.size());
}

MergeResult MergeAmendFileChecked(const std::string& savedPath, const std::string& targetPath,
                                  const std::string& formatPath, MergeTally& tally)
{
    tally = MergeTally();
    std::string format, saved, target, text;
    if (!ReadFileText(formatPath, format))
        return MergeResult::formatUnreadable;
    if (!ReadFileText(savedPath, saved) || !IsAmendText(saved))
        return MergeResult::savedNotAmendText;
    CFmtNameParser names;
    names.SetFieldName("CController");
    if (!names.ScanText(format.data(), format.size(), formatPath))
        return MergeResult::formatUnreadable;
    if (!names.m_bFieldFound)
        return MergeResult::formatWithoutController;
    ReadFileText(targetPath, target);
    if (memchr(target.data(), '\0', target.size()))
        return MergeResult::targetNotAmendText;
    MergeAmendTextByNames(saved, target, names.m_names, text, &tally);
    // The format's filter would also take the target's own entries away.
    if (tally.carried == 0 && !tally.dropped.empty())
        return MergeResult::nothingCarried;
    return WriteMerged(targetPath, text);
}
