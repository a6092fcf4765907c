#include "format/Description.h"

#include <cstring>
#include <new>
#include <type_traits>

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
    if (m_chunks.empty() || m_usedInLast == m_chunks.back().count) {
        size_t count = m_chunks.size() < kSmallChunks && !m_pagesFirst ? kChunk : kBigChunk;
        m_chunks.reserve(m_chunks.size() + 1);
        m_chunks.push_back({PageBlockAllocator<Slot>().allocate(count), count});
        m_usedInLast = 0;
    }
    return new (&m_chunks.back().slots[m_usedInLast++]) CItemData;
}

// Items own nothing: a chunk goes without a pass over its items.
static_assert(std::is_trivially_destructible<CItemData>::value, "items are freed with their chunks");

void CItemStore::Clear()
{
    for (const Chunk& chunk : m_chunks)
        PageBlockAllocator<Slot>().deallocate(chunk.slots, chunk.count);
    m_chunks.clear();
    m_usedInLast = 0;
    m_pagesFirst = false;
}

char* CTextArena::AddBlock(size_t size)
{
    m_blocks.reserve(m_blocks.size() + 1);
    m_blocks.push_back({PageBlockAllocator<char>().allocate(size), size});
    return m_blocks.back().bytes;
}

std::string_view CTextArena::KeepIndented(size_t spaces, std::string_view text)
{
    size_t size = spaces + text.size();
    if (size == 0)
        return std::string_view();
    char* at;
    if (size > kBlock / 4) {
        // A long text (rare) has a block of its own; the next short one starts a new block.
        at = AddBlock(size);
        m_room = 0;
    } else {
        if (size > m_room) {
            m_room = m_blocks.size() < kSmallBlocks && !m_pagesFirst ? kBlock : kPageBlockUnit;
            AddBlock(m_room);
        }
        const Block& last = m_blocks.back();
        at = last.bytes + (last.size - m_room);
        m_room -= size;
    }
    memset(at, ' ', spaces);
    if (!text.empty())
        memcpy(at + spaces, text.data(), text.size());
    return std::string_view(at, size);
}

void CTextArena::Clear()
{
    for (const Block& block : m_blocks)
        PageBlockAllocator<char>().deallocate(block.bytes, block.size);
    m_blocks.clear();
    m_room = 0;
    m_pagesFirst = false;
}

void CDescription::ClearItems()
{
    m_items.clear();
    m_itemStore.Clear();
    m_itemTexts.Clear();
    ItemsCleared();
}
