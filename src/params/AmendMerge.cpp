#include "params/AmendMerge.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <cstdint>

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

// A table from names to values with open addressing: one flat array, so
// that a lookup in a table of a few hundred thousand names costs one or two
// cache misses instead of a walk through scattered nodes. The names are
// views; what they point at must outlive the table.
template <typename V>
class NameTable {
public:
    explicit NameTable(size_t expected)
    {
        size_t capacity = 16;
        while (capacity < expected * 2)
            capacity <<= 1;
        m_slots.resize(capacity);
    }

    // The value of name, added as value when name is new; second: added.
    std::pair<V*, bool> Emplace(std::string_view name, const V& value)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            Grow();
        uint32_t hash = Hash(name);
        Slot* slot = Probe(name, hash);
        if (slot->data)
            return {&slot->value, false};
        *slot = Slot{name.data() ? name.data() : "", static_cast<uint32_t>(name.size()), hash, value};
        ++m_count;
        return {&slot->value, true};
    }

    V* Find(std::string_view name)
    {
        Slot* slot = Probe(name, Hash(name));
        return slot->data ? &slot->value : nullptr;
    }

private:
    struct Slot {
        const char* data = nullptr; // nullptr: the slot is free
        uint32_t size = 0;
        uint32_t hash = 0;
        V value = V();
    };

    static uint32_t Hash(std::string_view name)
    {
        uint64_t h = 14695981039346656037ull; // FNV-1a, then mixed
        for (char c : name)
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        h ^= h >> 29;
        h *= 0xbf58476d1ce4e5b9ull;
        return static_cast<uint32_t>(h ^ (h >> 32));
    }

    Slot* Probe(std::string_view name, uint32_t hash)
    {
        size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (!slot.data || (slot.hash == hash && slot.size == name.size() &&
                               (name.empty() || memcmp(slot.data, name.data(), name.size()) == 0)))
                return &slot;
        }
    }

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.resize(old.size() * 2);
        size_t mask = m_slots.size() - 1;
        for (Slot& slot : old) {
            if (!slot.data)
                continue;
            size_t i = slot.hash & mask;
            while (m_slots[i].data)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};

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

AmendEntries ParseAmendEntries(std::string_view text)
{
    AmendEntries entries;
    ForEachTrimmedLine(text, [&](std::string_view line) {
        std::string_view key, value;
        if (ParseIniView(line, key, value))
            entries.push_back({std::string(key), std::string(value)});
    });
    return entries;
}

AmendEntries ReadAmendEntries(const std::string& path)
{
    std::string text;
    ReadFileText(path, text);
    return ParseAmendEntries(text);
}

void ParseControllerSection(std::string_view text, AmendEntries& controller, AmendEntries& other)
{
    bool inSection = false;
    bool headerSeen = false;
    // Key -> position in controller, so that large sections merge in linear
    // time. The keys are views: of the text, and of copies of the keys the
    // list held before (its strings move as it grows).
    std::vector<std::string> earlierKeys;
    earlierKeys.reserve(controller.size());
    NameTable<size_t> index(controller.size() + text.size() / 32);
    for (const auto& entry : controller) {
        earlierKeys.push_back(entry.key);
        index.Emplace(earlierKeys.back(), static_cast<size_t>(&entry - controller.data()));
    }
    const std::string_view header(kControllerHeader);
    ForEachTrimmedLine(text, [&](std::string_view line) {
        if (line[0] == '[')
            inSection = line == header;
        if (line == header) {
            if (!headerSeen) {
                index.Emplace(line, controller.size());
                controller.push_back({std::string(line), std::string()});
                headerSeen = true;
            }
            return;
        }
        std::string_view key, value;
        if (!ParseIniView(line, key, value))
            return;
        if (!inSection) {
            other.push_back({std::string(key), std::string(value)});
            return;
        }
        std::pair<size_t*, bool> at = index.Emplace(key, controller.size());
        if (!at.second)
            controller[*at.first].value.assign(value.data(), value.size());
        else
            controller.push_back({std::string(key), std::string(value)});
    });
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
// A character array without a print format is listed as one quoted text under
// its bare name (m_szName = "X"), while the name scan declares it element by
// element (m_szName[0] ..). Without this the machine's texts would be lost on
// every reinstall. A quoted value is never the text of a number, so a plain
// member that became an array is still dropped.
bool IsDeclaredText(NameTable<bool>& declared, std::string_view top, const AmendEntry& entry)
{
    const std::string& v = entry.value;
    if (!(entry.key == top && top.find('[') == std::string_view::npos && v.size() >= 2 && v.front() == '"' &&
          v.back() == '"'))
        return false;
    std::string first(top);
    first += "[0]";
    return declared.Find(first) != nullptr;
}

// Keeps the header and the declared, not excluded entries; names are the
// declared names of the block.
void FilterByNames(const std::vector<std::string>& names, AmendEntries& controller)
{
    NameTable<bool> declared(names.size());
    for (const std::string& name : names)
        declared.Emplace(name, true);
    AmendEntries kept;
    kept.reserve(controller.size());
    for (auto& entry : controller) {
        if (entry.key == kControllerHeader) {
            kept.push_back(std::move(entry));
            continue;
        }
        std::string_view top = TopLevelView(entry.key);
        if (IsExcludedView(top))
            continue;
        if (declared.Find(top) || IsDeclaredText(declared, top, entry))
            kept.push_back(std::move(entry));
    }
    controller.swap(kept);
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

std::string FormatEntries(const AmendEntries& entries)
{
    size_t size = 0;
    for (const auto& entry : entries)
        size += entry.key.size() + entry.value.size() + 5;
    std::string text;
    text.reserve(size);
    for (const auto& entry : entries) {
        text += entry.key;
        if (!entry.value.empty()) {
            text += " = ";
            text += entry.value;
        }
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

MergeResult MergeAmendText(std::string_view saved, std::string_view target, std::string_view format,
                           const std::string& formatName, std::string& merged)
{
    // Filtering by a format that cannot be read would empty the controller
    // section: the release's own values and the carried ones.
    CFmtNameParser names;
    names.SetFieldName("CController");
    if (!names.ScanText(format.data(), format.size(), formatName) || !names.m_bFieldFound)
        return MergeResult::formatUnreadable;
    AmendEntries old = ParseAmendEntries(saved);
    AmendEntries controller, other;
    ParseControllerSection(target, controller, other);
    MergeEntries(controller, old);
    if (!controller.empty())
        FilterByNames(names.m_names, controller);
    merged = FormatEntries(controller) + FormatEntries(other);
    return MergeResult::merged;
}

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

    // Write beside the target, then replace it in one step: the machine's
    // amend.dat is never gone while the merged file is being written.
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
    ShowMessageBox(LocalText(MsgUnitFileCreateFailed), MB_OK);
    return MergeResult::targetNotWritten;
}
