#include "format/DataPrinter.h"

#include <charconv>
#include <climits>
#include <cstring>

#include "format/BuiltinTypes.h"
#include "logs/TraceLog.h"
#include "platform/StringUtil.h"

namespace {
// text == word, the lengths compared first.
template <size_t N>
bool IsWord(std::string_view text, const char (&word)[N])
{
    return text.size() == N - 1 && memcmp(text.data(), word, N - 1) == 0;
}
} // namespace

CDataPrinter::CDataPrinter(CDescription* description) : m_pDescription(description) {}

CDataPrinter::~CDataPrinter() = default;

const CDataType& CDataPrinter::TypeOf(const CDataMember& member) const
{
    return m_pDescription->m_parser.EffectiveType(member);
}

void CDataPrinter::AddItem(CItemData* item)
{
    if (m_pDescription && item)
        m_pDescription->AddItem(item);
}

void CDataPrinter::CollectType(const CBaseType& type, unsigned char* address)
{
    if (!m_pDescription)
        return;
    for (const CDataMember& member : type.m_members)
        CollectMember(member, address + member.m_nOffset);
}

void CDataPrinter::ListType(const CBaseType& type, unsigned char* address)
{
    if (!m_pDescription)
        return;
    for (const CDataMember& member : type.m_members)
        ListMember(member, address + member.m_nOffset);
}

void CDataPrinter::ListMember(const CDataMember& member, unsigned char* address)
{
    if (member.IsTextMember())
        ListText(member, address);
    else if (member.IsArray())
        ListArray(member, address);
    else
        ListSingle(member, address);
}

void CDataPrinter::CollectMember(const CDataMember& member, unsigned char* address)
{
    if (member.IsTextMember())
        CollectText(member, address);
    else if (member.IsArray())
        CollectArray(member, address);
    else
        CollectSingle(member, address);
}

CItemData* CDataPrinter::CreateItem(const CDataMember& member, unsigned char* address)
{
    if (!m_pDescription)
        return nullptr;
    return FillItem(m_pDescription->MakeItem(), member, address);
}

CItemData* CDataPrinter::FillItem(CItemData* item, const CDataMember& member, unsigned char* address)
{
    item->m_pParent = m_pCurrent;
    item->m_pMember = &member;
    item->m_pValue = address;
    item->m_nID = member.m_nID;
    if (m_pDescription->m_bWithTypes)
        item->m_strType = TypeOf(member).m_strName;
    const CMemberAnnotation& annotation = member.Annotation();
    item->m_strName = annotation.name ? *annotation.name : member.m_strName;
    item->m_strUnit = annotation.unit;
    item->m_strEffect = annotation.effect;
    item->m_strDescription = annotation.description;
    for (CItemData* up = m_pCurrent; item->m_strEffect.empty() && up; up = up->m_pParent)
        if (!up->m_strEffect.empty())
            item->m_strEffect = up->m_strEffect;
    return item;
}

void CDataPrinter::WalkStructure(const CDataType& type, CItemData* item, unsigned char* address, bool list)
{
    CItemData* savedCurrent = m_pCurrent;
    int savedSingle = m_nSingle;
    m_pCurrent = item;
    if (type.m_members.size() == 1)
        m_nSingle = 1;
    for (const CDataMember& member : type.m_members) {
        if (list)
            ListMember(member, address + member.m_nOffset);
        else
            CollectMember(member, address + member.m_nOffset);
    }
    m_pCurrent = savedCurrent;
    m_nSingle = savedSingle;
}

void CDataPrinter::ListSingle(const CDataMember& member, unsigned char* address)
{
    if (!m_pDescription)
        return;
    const CDataType& type = TypeOf(member);
    if (type.IsStructure()) {
        CItemData* item = CreateItem(member, address);
        AddItem(item);
        WalkStructure(type, item, address, true);
        return;
    }
    CItemData* item = FillItem(m_pDescription->MakeValueItem(), member, address);
    FormatItem(*item);
    WriteItemLine(*item);
    AddItem(item);
}

void CDataPrinter::CollectSingle(const CDataMember& member, unsigned char* address)
{
    CItemData* item = CreateItem(member, address);
    if (!item)
        return;
    const CDataType& type = TypeOf(member);
    AddItem(item);
    if (type.IsStructure())
        WalkStructure(type, item, address, false);
    else
        FormatItem(*item);
}

void CDataPrinter::WalkArray(const CDataMember& member, unsigned char* address, bool list)
{
    if (!m_pDescription)
        return;
    const CDataType& type = TypeOf(member);
    if (type.IsStructure() && type.m_nIDRange == 0) {
        TraceMessage("|E|The ID-Range of data-member %s is zero.", member.m_strName.c_str());
        return;
    }
    CItemData* arrayItem = CreateItem(member, address);
    AddItem(arrayItem);
    CItemData* saved = m_pCurrent;
    m_pCurrent = arrayItem;

    const CPrintFormat* nameFormat = nullptr;
    if (member.ElementFormat()) {
        const CPrintFormat& f =
            m_pDescription->m_formats.Get(*member.ElementFormat(), CPrintFormat::elementIndex, member.m_strName);
        if (f.valid)
            nameFormat = &f;
    }
    long long step = type.m_nIDRange != 0 ? type.m_nIDRange : 1;
    for (int i = 0; i < member.m_nArrayCount; ++i) {
        if (!list && (i < member.m_nFirstIndex || i > member.m_nLastIndex))
            continue;
        unsigned char* at = address + static_cast<long long>(i) * type.m_pSize;
        // A listed element that holds no others is a single value.
        CItemData* element = FillItem(list && !type.IsStructure() ? m_pDescription->MakeValueItem()
                                                                  : m_pDescription->MakeItem(),
                                      member, at);
        element->m_nElementIndex = i;
        element->m_nElementCount = list ? member.m_nArrayCount : 1;
        if (nameFormat)
            element->m_strName = m_pDescription->KeepText(value_text::FormatElementName(*nameFormat, i));
        else
            element->m_strName = m_pDescription->GroupName(i);
        if (member.m_nID != -1) {
            long long id = i * step;
            element->m_nID = id > INT_MAX ? INT_MAX : id < INT_MIN ? INT_MIN : static_cast<int>(id);
        } else {
            element->m_nID = -1;
        }
        if (type.IsStructure()) {
            AddItem(element);
            WalkStructure(type, element, at, list);
        } else {
            FormatItem(*element);
            if (list)
                WriteItemLine(*element);
            AddItem(element);
        }
    }
    m_pCurrent = saved;
}

void CDataPrinter::ListArray(const CDataMember& member, unsigned char* address) { WalkArray(member, address, true); }

void CDataPrinter::CollectArray(const CDataMember& member, unsigned char* address)
{
    WalkArray(member, address, false);
}

void CDataPrinter::ListText(const CDataMember& member, unsigned char* address)
{
    if (!m_pDescription)
        return;
    CItemData* item = FillItem(m_pDescription->MakeValueItem(), member, address);
    if (m_pDescription->m_bWithTypes)
        item->m_strType = m_pDescription->KeepText(StrPrintf(m_pDescription->Texts().arrayType.c_str(),
                                                             TypeOf(member).m_strName.c_str(), member.m_nArrayCount));
    item->m_strValue = m_pDescription->KeepText(value_text::FormatText(address, member.m_nArrayCount));
    WriteItemLine(*item);
    AddItem(item);
}

void CDataPrinter::CollectText(const CDataMember& member, unsigned char* address)
{
    CItemData* item = CreateItem(member, address);
    if (!item)
        return;
    if (m_pDescription->m_bWithTypes)
        item->m_strType = m_pDescription->KeepText(StrPrintf(m_pDescription->Texts().arrayType.c_str(),
                                                             TypeOf(member).m_strName.c_str(), member.m_nArrayCount));
    item->m_strValue = m_pDescription->KeepText(value_text::FormatText(address, member.m_nArrayCount));
    item->m_strDescription = m_pDescription->KeepText(
        std::string(item->m_strDescription) + "  " +
        StrPrintf(m_pDescription->Texts().maxLength.c_str(), member.m_nArrayCount - 1));
    if (m_nSingle && m_pCurrent) {
        m_pCurrent->m_strValue = item->m_strValue;
        m_pCurrent->m_strDescription = item->m_strDescription;
        return; // the unused item goes with the description's others
    }
    AddItem(item);
}

void CDataPrinter::FormatItem(CItemData& item)
{
    if (!item.m_pMember)
        return;
    if (item.m_pMember->IsTextMember()) {
        item.m_strValue = m_pDescription->KeepText(value_text::FormatText(item.m_pValue, item.m_pMember->m_nArrayCount));
        return;
    }
    const CDataType& type = TypeOf(*item.m_pMember);
    if (type.IsStructure())
        return;
    value_text::FormatBuiltinTo(m_value, type.m_nBuiltin, *item.m_pMember, item.m_pValue, m_pDescription->m_formats);
    item.m_strValue = m_pDescription->KeepText(m_value);
}

bool CDataPrinter::ParseItem(CItemData& item, const std::string& text)
{
    if (!item.m_pMember)
        return false;
    const CDataMember* member = item.m_pMember;
    const CDataType* type = &TypeOf(*member);
    bool ok;
    if (member->IsTextMember()) {
        ok = value_text::ParseText(item.m_pValue, member->m_nArrayCount, text);
    } else {
        // A structure of exactly one member parses as that member.
        unsigned char* at = item.m_pValue;
        while (type->IsStructure() && type->m_members.size() == 1 && !type->m_members[0].IsArray()) {
            member = &type->m_members[0];
            at += member->m_nOffset;
            type = &TypeOf(*member);
        }
        if (type->IsStructure() || member->IsTextMember())
            ok = member->IsTextMember() && value_text::ParseText(at, member->m_nArrayCount, text);
        else
            ok = value_text::ParseBuiltin(type->m_nBuiltin, *member, at, text);
        if (ok && member != item.m_pMember) {
            item.m_strValue = m_pDescription->KeepText(
                member->IsTextMember()
                    ? value_text::FormatText(at, member->m_nArrayCount)
                    : value_text::FormatBuiltin(type->m_nBuiltin, *member, at, m_pDescription->m_formats));
            return true;
        }
    }
    if (ok)
        FormatItem(item);
    return ok;
}

void CDataPrinter::WriteItemLine(CItemData& item)
{
    m_chain.clear();
    for (const CItemData* y = &item; y; y = y->m_pParent)
        m_chain.push_back(y);
    std::string& line = m_line;
    line.clear();
    for (size_t k = m_chain.size(); k-- > 0;) {
        const CItemData* y = m_chain[k];
        const CItemData* z = k > 0 ? m_chain[k - 1] : nullptr;
        // An array element is named by its index, also in an array of one.
        if (y->m_nElementIndex < 0) {
            if (y->m_pMember)
                line += y->m_pMember->m_strName;
            if (z && z->m_nElementIndex < 0)
                line += '.';
        } else {
            char index[16];
            std::to_chars_result r = std::to_chars(index, index + sizeof index, y->m_nElementIndex);
            line += '[';
            line.append(index, r.ptr);
            line += z ? "]." : "]";
        }
    }
    if (IsWord(item.m_strValue, "是") || IsWord(item.m_strValue, "Yes"))
        item.m_strValue = "1";
    else if (IsWord(item.m_strValue, "否") || IsWord(item.m_strValue, "No"))
        item.m_strValue = "0";
    if (m_pDescription) {
        line += " = ";
        line += item.m_strValue;
        line += '\n';
        m_pDescription->WriteListingLine(line);
    }
}
