#include "format/Description.h"

#include "platform/StringUtil.h"

CDescription::CDescription(ListingTexts texts) : m_texts(std::move(texts)) {}

CDescription::~CDescription() = default;

void CDescription::WriteListingLine(const std::string& line)
{
    if (!m_listing.IsOpen())
        return;
    try {
        m_listing.WriteString(line);
    } catch (const FileError&) {
        m_listing.Abort();
        m_listingFailed = true;
    }
}

std::string_view CDescription::GroupName(int index)
{
    size_t at = static_cast<size_t>(index);
    if (at >= kGroupNamesKept)
        return KeepText(StrPrintf(m_texts.groupName.c_str(), index));
    while (m_groupNames.size() <= at)
        m_groupNames.push_back(KeepText(StrPrintf(m_texts.groupName.c_str(), static_cast<int>(m_groupNames.size()))));
    return m_groupNames[at];
}

CItemData* CDescription::MakeValueItem()
{
    if (m_bKeepValueItems)
        return MakeItem();
    m_valueItem = CItemData();
    return &m_valueItem;
}

void CDescription::AddItem(CItemData* item)
{
    if (item != &m_valueItem)
        m_items.push_back(item);
    ItemAdded(*item);
    if (!m_bKeepValueItems)
        m_itemNames.push_back(CItemName{item->m_pParent, item->m_strLabel, item->m_strName});
}

void CDescription::ClearItems()
{
    m_items.clear();
    m_itemNames.clear();
    m_groupNames.clear();
    m_itemStore.Clear();
    m_itemTexts.Clear();
    ItemsCleared();
}
