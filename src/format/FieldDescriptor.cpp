#include "format/FieldDescriptor.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "logs/TraceLog.h"
#include "format/DataPrinter.h"
#include "platform/StringUtil.h"

CFieldDescriptor::CFieldDescriptor(ListingTexts texts) : CDescription(std::move(texts)) {}

CFieldDescriptor::~CFieldDescriptor() { Reset(); }

void CFieldDescriptor::Reset()
{
    m_listing.Abort();
    m_listingFailed = false;
    m_failure = DescribeFailure::none;
    ClearItems();
    m_pData = nullptr;
    m_strFormatPath.clear();
    m_pFieldType = nullptr;
    m_parser.ResetModel();
    m_formats.Clear();
}

bool CFieldDescriptor::DescribeBlock(const std::string& listingPath, const std::string& blockName, unsigned char* data,
                                     int size, const std::string& formatPath)
{
    Reset();
    if (!m_parser.Parse(formatPath)) {
        m_failure = m_parser.LastError().empty() ? DescribeFailure::formatUnreadable : DescribeFailure::formatInvalid;
        return false;
    }
    return DescribeParsed(listingPath, blockName, data, size, formatPath);
}

bool CFieldDescriptor::DescribeBlockWithFormatText(const std::string& listingPath, const std::string& blockName,
                                                   unsigned char* data, int size, const std::string& formatText,
                                                   const std::string& formatName)
{
    Reset();
    if (!m_parser.ParseText(formatText.data(), formatText.size(), formatName)) {
        m_failure = DescribeFailure::formatInvalid;
        return false;
    }
    return DescribeParsed(listingPath, blockName, data, size, formatName);
}

bool CFieldDescriptor::DescribeParsed(const std::string& listingPath, const std::string& blockName,
                                      unsigned char* data, int size, const std::string& formatPath)
{
    CFieldType* field = m_parser.FindFieldType(blockName);
    if (!field) {
        TraceMessage("|E|CFieldDescriptor: The format of data block(%s) not found.\n", blockName.c_str());
        m_failure = DescribeFailure::blockNotDescribed;
        return false;
    }
    if (size != field->m_pSize) {
        TraceMessage("|E|CFieldDescriptor: ERROR! The size of data block(%s), %d bytes, is not equal to the "
                     "value(%d bytes) described in format file.\n",
                     blockName.c_str(), size, field->m_pSize);
        m_failure = DescribeFailure::blockNotDescribed;
        return false;
    }
    m_pData = data;
    m_strFormatPath = formatPath;
    m_pFieldType = field;
    CMemberList& members = field->m_members;
    if (members.empty())
        return true;
    // The first and the last member mark the block's begin and end and stay;
    // the others are listed by ID. Members declared in ID order, as most
    // are, stay where they are (seen on the members, in one pass); others
    // get their order found on positions and are moved into it once. The
    // same pass (a big block's list is many megabytes) counts the items to
    // come: one per member and per element of an array member at least, as a
    // rule, room for them at once instead of growing by doubling.
    auto byID = [](const CDataMember& a, const CDataMember& b) { return a.m_nID < b.m_nID; };
    bool inOrder = true;
    size_t expected = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const CDataMember& member = members[i];
        expected += member.IsArray() && !member.IsTextMember() ? 1 + static_cast<size_t>(member.m_nArrayCount) : 1;
        if (i >= 2 && i + 1 < members.size() && byID(member, members[i - 1]))
            inOrder = false;
    }
    if (members.size() >= 3 && !inOrder) {
        std::vector<size_t> order(members.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin() + 1, order.end() - 1,
                         [&](size_t a, size_t b) { return byID(members[a], members[b]); });
        CMemberList ordered;
        ordered.reserve(members.size());
        for (size_t i : order)
            ordered.push_back(std::move(members[i]));
        members.swap(ordered);
    }

    // A listing that cannot be created or written whole is a failure: the
    // caller would otherwise carry a cut-short set of values as if whole.
    m_listingFailed =
        !m_listing.Open(listingPath, BinaryFile::modeCreate | BinaryFile::modeWrite | BinaryFile::shareDenyNone);
    if (m_listingFailed)
        TraceMessage("|E|CFieldDescriptor: the listing %s cannot be created.\n", listingPath.c_str());
    // Written in one go: fewer, larger writes.
    m_listing.SetFlushSize(256u << 10);
    WriteListingLine("[" + blockName + "]\n");
    {
        expected = std::min<size_t>(expected, 4 * members.size() + 1024); // huge arrays grow as they are listed
        if (m_bKeepValueItems)
            m_items.reserve(m_items.size() + expected);
        else
            m_itemNames.reserve(m_itemNames.size() + expected);
        ExpectItems(expected);
        m_serials.reserve(m_serials.size() + expected);
        // An item's numbering reads only its own texts and its ancestors'
        // IDs and effects, all set before it is added; trimming leaves an
        // effect empty or not as it was (an empty one is inherited when the
        // item is made).
        m_bFinishAsAdded = true;
        CDataPrinter printer(this);
        printer.ListType(*field, data);
        m_bFinishAsAdded = false;
    }
    if (m_listing.IsOpen()) {
        try {
            m_listing.Close();
        } catch (const FileError&) {
            m_listing.Abort();
            m_listingFailed = true;
        }
    }
    if (m_listingFailed) {
        TraceMessage("|E|CFieldDescriptor: the listing %s is not whole.\n", listingPath.c_str());
        m_failure = DescribeFailure::listingUnwritable;
    }
    return !m_listingFailed;
}

void CFieldDescriptor::ItemAdded(CItemData& item)
{
    if (!m_bFinishAsAdded)
        return;
    NumberItem(item);
    TrimTexts(item);
    // The items so far, this one included (its name comes after).
    size_t added = m_bKeepValueItems ? m_items.size() : m_itemNames.size() + 1;
    if (m_serials.size() + 1 == added)
        m_serials.push_back(item.m_nSerialNumber);
}

bool CFieldDescriptor::IsListingEffect(std::string_view effect) const
{
    for (const std::string* text : {&m_texts.effectReboot, &m_texts.effectLoadProgram, &m_texts.effectAtOnce})
        if (effect.data() >= text->data() && effect.data() <= text->data() + text->size())
            return true;
    return false;
}

void CFieldDescriptor::NumberItems()
{
    if (!m_bKeepValueItems)
        return; // the serial numbers of the values stay as described
    m_serials.clear();
    for (auto& item : m_items) {
        NumberItem(*item);
        m_serials.push_back(item->m_nSerialNumber);
    }
}

void CFieldDescriptor::NumberItem(CItemData& item)
{
    long long sum = m_nIDBase;
    int chain = 0;
    bool numbered = true;
    for (const CItemData* y = &item; y; y = y->m_pParent) {
        ++chain;
        if (y->m_nID == -1)
            numbered = false;
        sum += y->m_nID;
    }
    if (!numbered)
        return;
    int serial = sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
    if (!item.m_strValue.empty()) {
        // "%c%04d": the letter, the sign, zeros up to four places, the digits.
        char digits[12];
        size_t n = 0;
        unsigned magnitude = serial < 0 ? 0u - static_cast<unsigned>(serial) : static_cast<unsigned>(serial);
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        // Built in a buffer and stored at once.
        char label[20];
        size_t length = 0;
        label[length++] = static_cast<char>(m_nIDLetter);
        if (serial < 0)
            label[length++] = '-';
        size_t width = n + (serial < 0 ? 1 : 0);
        for (; width < 4; ++width)
            label[length++] = '0';
        while (n > 0)
            label[length++] = digits[--n];
        item.m_strLabel = KeepText(std::string_view(label, length));
        item.m_nSerialNumber = serial;
    }
    if (chain > 1 && !item.m_strName.empty())
        item.m_strName = KeepIndentedText(static_cast<size_t>(4 * (chain - 1)), item.m_strName);
    // The effect of the item or of the nearest item above it that has one.
    const CItemData* from = &item;
    while (from && from->m_strEffect.empty())
        from = from->m_pParent;
    if (!from)
        return; // the item's own effect is empty already
    // An effect expanded already (the parent's, inherited) stays: an
    // expanded text may itself begin with one of the letters.
    if (IsListingEffect(from->m_strEffect)) {
        item.m_strEffect = from->m_strEffect;
        return;
    }
    switch (from->m_strEffect[0]) {
    case 'H': item.m_strEffect = m_texts.effectReboot; break;
    case 'L': item.m_strEffect = m_texts.effectLoadProgram; break;
    case 'N': item.m_strEffect = m_texts.effectAtOnce; break;
    default: item.m_strEffect = from->m_strEffect; break;
    }
}

namespace {
bool IsTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
} // namespace

void CFieldDescriptor::TrimItemTexts()
{
    for (auto& item : m_items)
        TrimTexts(*item);
}

void CFieldDescriptor::TrimTexts(CItemData& item)
{
    auto trimmedSize = [](std::string_view text) {
        size_t end = text.size();
        while (end > 0 && IsTrailingBlank(text[end - 1]))
            --end;
        return end;
    };
    for (CItemText* text : {&item.m_strType, &item.m_strLabel, &item.m_strName, &item.m_strEffect, &item.m_strValue,
                            &item.m_strUnit, &item.m_strDescription})
        *text = text->View().substr(0, trimmedSize(*text));
}

CSerialNumberCheck CFieldDescriptor::CheckSerialNumbers() const
{
    if (!m_bKeepValueItems)
        return CSerialNumberCheck(m_itemNames, m_serials, m_texts.serialNumberOrder);
    if (m_serials.size() == m_items.size())
        return CSerialNumberCheck(m_items, m_serials, m_texts.serialNumberOrder);
    return CSerialNumberCheck(m_items, m_texts.serialNumberOrder);
}

CSerialNumberCheck::CSerialNumberCheck(const std::vector<CItemData*>& items, std::string messageFormat)
    : m_items(&items), m_format(std::move(messageFormat))
{
    m_ownSerials.reserve(items.size());
    for (const CItemData* item : items)
        m_ownSerials.push_back(item->m_nSerialNumber);
    m_serials = m_ownSerials.data(); // moving the vector keeps its buffer
    m_count = m_ownSerials.size();
    Prepare();
}

CSerialNumberCheck::CSerialNumberCheck(const std::vector<CItemData*>& items, const std::vector<int>& serials,
                                       std::string messageFormat)
    : m_items(&items), m_format(std::move(messageFormat)), m_serials(serials.data()), m_count(serials.size())
{
    Prepare();
}

CSerialNumberCheck::CSerialNumberCheck(const std::vector<CItemName, PageBlockAllocator<CItemName>>& names,
                                       const std::vector<int>& serials, std::string messageFormat)
    : m_names(&names), m_format(std::move(messageFormat)), m_serials(serials.data()),
      m_count(std::min(names.size(), serials.size()))
{
    Prepare();
}

void CSerialNumberCheck::Prepare()
{
    m_smallestAfter.assign(m_count + 1, INT_MAX);
    for (size_t k = m_count; k-- > 0;) {
        int s = m_serials[k];
        m_smallestAfter[k] = s != -1 && s < m_smallestAfter[k + 1] ? s : m_smallestAfter[k + 1];
    }
}

std::string CSerialNumberCheck::FullName(size_t i) const
{
    return m_names ? CFieldDescriptor::ItemFullName((*m_names)[i]) : CFieldDescriptor::ItemFullName(*(*m_items)[i]);
}

bool CSerialNumberCheck::Next(SerialNumberFinding& finding)
{
    size_t n = m_count;
    for (; m_i < n; ++m_i, m_j = m_i + 1) {
        int si = m_serials[m_i];
        if (si == -1 || m_smallestAfter[m_i + 1] > si)
            continue;
        while (m_j < n) {
            size_t j = m_j++;
            int sj = m_serials[j];
            if (sj == -1 || si < sj)
                continue;
            finding.first = FullName(m_i);
            finding.second = FullName(j);
            finding.message = StrPrintf(m_format.c_str(), finding.first.c_str(), finding.second.c_str());
            return true;
        }
    }
    return false;
}

namespace {
// "\"[label]name.name\"": the label, the display names of the items above
// and the item's own.
std::string FullName(std::string_view label, std::string_view name, const CItemData* parent)
{
    std::vector<const CItemData*> chain;
    for (const CItemData* y = parent; y; y = y->m_pParent)
        chain.push_back(y);
    std::string names;
    for (size_t k = chain.size(); k-- > 0;) {
        names += Trim(std::string(chain[k]->m_strName));
        names += ".";
    }
    names += Trim(std::string(name));
    return StrPrintf("\"[%s]%s\"", std::string(label).c_str(), names.c_str());
}
} // namespace

std::string CFieldDescriptor::ItemFullName(const CItemData& item)
{
    return FullName(item.m_strLabel, item.m_strName, item.m_pParent);
}

std::string CFieldDescriptor::ItemFullName(const CItemName& item)
{
    return FullName(item.label, item.name, item.parent);
}
