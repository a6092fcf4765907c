#include "format/Description.h"

#include <new>

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

CItemData* CItemStore::Make()
{
    if (m_usedInLast == kChunk) {
        m_chunks.emplace_back(new Slot[kChunk]);
        m_usedInLast = 0;
    }
    return new (&m_chunks.back()[m_usedInLast++]) CItemData;
}

void CItemStore::Clear()
{
    for (size_t c = 0; c < m_chunks.size(); ++c) {
        size_t made = c + 1 < m_chunks.size() ? kChunk : m_usedInLast;
        for (size_t i = 0; i < made; ++i)
            reinterpret_cast<CItemData*>(&m_chunks[c][i])->~CItemData();
    }
    m_chunks.clear();
    m_usedInLast = kChunk;
}

std::string_view CDescription::KeepText(std::string text)
{
    m_keptTexts.push_back(std::move(text));
    return m_keptTexts.back();
}

void CDescription::ClearItems()
{
    m_items.clear();
    m_itemStore.Clear();
    m_keptTexts.clear();
    ItemsCleared();
}
