#include "format/ItemArenas.h"

#include <cstring>
#include <new>
#include <type_traits>

CItemData* CItemStore::Make()
{
    if (m_room == 0) {
        m_room = m_chunks.PagesNext() ? kBigChunk : kChunk;
        m_next = m_chunks.Add(m_room);
    }
    --m_room;
    return new (m_next++) CItemData;
}

// Items own nothing: a chunk goes without a pass over its items.
static_assert(std::is_trivially_destructible<CItemData>::value, "items are freed with their chunks");

void CItemStore::Clear()
{
    m_chunks.Clear();
    m_next = nullptr;
    m_room = 0;
}

std::string_view CTextArena::KeepIndented(size_t spaces, std::string_view text)
{
    size_t size = spaces + text.size();
    if (size == 0)
        return std::string_view();
    char* at;
    if (size > kBlock / 4) {
        // A long text (rare) has a block of its own; the next short one starts a new block.
        at = m_blocks.Add(size);
        m_room = 0;
    } else {
        if (size > m_room) {
            m_room = m_blocks.PagesNext() ? kPageBlockUnit : kBlock;
            m_next = m_blocks.Add(m_room);
        }
        at = m_next;
        m_next += size;
        m_room -= size;
    }
    memset(at, ' ', spaces);
    if (!text.empty())
        memcpy(at + spaces, text.data(), text.size());
    return std::string_view(at, size);
}

void CTextArena::Clear()
{
    m_blocks.Clear();
    m_next = nullptr;
    m_room = 0;
}
