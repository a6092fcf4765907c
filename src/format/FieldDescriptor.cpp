#include "format/FieldDescriptor.h"

#include <algorithm>
#include <climits>

#include "messages/Messages.h"
#include "logs/TraceLog.h"
#include "format/DataPrinter.h"
#include "platform/MessageBox.h"
#include "platform/StringUtil.h"

CFieldDescriptor::CFieldDescriptor() = default;

CFieldDescriptor::~CFieldDescriptor() { Reset(); }

void CFieldDescriptor::Reset()
{
    m_listing.Abort();
    m_items.clear();
    m_pData = nullptr;
    m_strFormatPath.clear();
    m_pFieldType = nullptr;
    m_parser.ResetModel();
    m_formats.Clear();
}

void CFieldDescriptor::WriteListingLine(const std::string& line)
{
    if (!m_listing.IsOpen())
        return;
    try {
        m_listing.WriteString(line);
    } catch (const FileError&) {
        m_listing.Abort(); // the rest of the lines are lost, as with no file
    }
}

bool CFieldDescriptor::DescribeBlock(const std::string& listingPath, const std::string& blockName, unsigned char* data,
                                     int size, const std::string& formatPath)
{
    Reset();
    if (!m_parser.Parse(formatPath))
        return false;
    CFieldType* field = m_parser.FindFieldType(blockName);
    if (!field) {
        TraceMessage("|E|CFieldDescriptor: The format of data block(%s) not found.\n", blockName.c_str());
        return false;
    }
    if (size != field->m_pSize) {
        TraceMessage("|E|CFieldDescriptor: ERROR! The size of data block(%s), %d bytes, is not equal to the "
                     "value(%d bytes) described in format file.\n",
                     blockName.c_str(), size, field->m_pSize);
        return false;
    }
    m_pData = data;
    m_strFormatPath = formatPath;
    m_pFieldType = field;
    std::vector<CDataMember>& members = field->m_members;
    if (members.empty())
        return true;
    // The first and the last member mark the block's begin and end and stay.
    if (members.size() >= 3)
        std::stable_sort(members.begin() + 1, members.end() - 1,
                         [](const CDataMember& a, const CDataMember& b) { return a.m_nID < b.m_nID; });

    m_listing.Open(listingPath, BinaryFile::modeCreate | BinaryFile::modeWrite | BinaryFile::shareDenyNone);
    WriteListingLine("[" + blockName + "]\n");
    {
        CDataPrinter printer(this);
        printer.ListType(*field, data);
    }
    NumberItems();
    TrimItemTexts();
    CheckSerialNumbers();
    try {
        m_listing.Close();
    } catch (const FileError&) {
        m_listing.Abort();
    }
    return true;
}

void CFieldDescriptor::NumberItems()
{
    for (auto& owned : m_items) {
        CItemData& item = *owned;
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
            continue;
        int serial = sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
        if (!item.m_strValue.empty()) {
            item.m_strLabel = StrPrintf("%c%04d", m_nIDLetter, serial);
            item.m_nSerialNumber = serial;
        }
        if (!item.m_strName.empty())
            item.m_strName.insert(0, static_cast<size_t>(4 * (chain - 1)), ' ');
        std::string effect;
        for (const CItemData* y = &item; y && effect.empty(); y = y->m_pParent)
            effect = y->m_strEffect;
        if (!effect.empty()) {
            switch (effect[0]) {
            case 'H': effect = LocalText(MsgEffectReboot); break;
            case 'L': effect = LocalText(MsgEffectLoadProgram); break;
            case 'N': effect = LocalText(MsgEffectAtOnce); break;
            default: break;
            }
        }
        item.m_strEffect = effect;
    }
}

void CFieldDescriptor::TrimItemTexts()
{
    for (auto& item : m_items) {
        for (std::string* text : {&item->m_strType, &item->m_strLabel, &item->m_strName, &item->m_strEffect,
                                  &item->m_strValue, &item->m_strUnit, &item->m_strDescription})
            *text = TrimRight(*text);
    }
}

int CFieldDescriptor::CheckSerialNumbers()
{
    // Pairs i < j with serial(i) >= serial(j). The smallest serial number
    // after each position tells which i can have such a pair at all, so an
    // ordered list costs one pass instead of all pairs.
    size_t n = m_items.size();
    std::vector<long long> smallestAfter(n + 1, LLONG_MAX);
    for (size_t k = n; k-- > 0;) {
        int s = m_items[k]->m_nSerialNumber;
        smallestAfter[k] = s != -1 && s < smallestAfter[k + 1] ? s : smallestAfter[k + 1];
    }
    int boxes = 0;
    for (size_t i = 0; i < n; ++i) {
        int si = m_items[i]->m_nSerialNumber;
        if (si == -1 || smallestAfter[i + 1] > si)
            continue;
        for (size_t j = i + 1; j < n; ++j) {
            int sj = m_items[j]->m_nSerialNumber;
            if (sj == -1 || si < sj)
                continue;
            ++boxes;
            std::string text = StrPrintf(LocalText(MsgSerialNumberOrder), ItemFullName(*m_items[i]).c_str(),
                                         ItemFullName(*m_items[j]).c_str());
            if (ShowMessageBox(text, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL)
                return boxes;
        }
    }
    return boxes;
}

std::string CFieldDescriptor::ItemFullName(const CItemData& item) const
{
    std::vector<const CItemData*> chain;
    for (const CItemData* y = &item; y; y = y->m_pParent)
        chain.push_back(y);
    std::string names;
    for (size_t k = chain.size(); k-- > 0;) {
        names += Trim(chain[k]->m_strName);
        if (k > 0)
            names += ".";
    }
    return StrPrintf("\"[%s]%s\"", item.m_strLabel.c_str(), names.c_str());
}
