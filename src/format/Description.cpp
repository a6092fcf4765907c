#include "format/Description.h"

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

void CDescription::ClearItems()
{
    m_items.clear();
    m_itemStore.Clear();
    m_itemTexts.Clear();
    ItemsCleared();
}
