// The arenas a description's items and their texts are made in: blocks
// owned and freed together, so that a block of many thousand values costs a
// few allocations instead of one per item.
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "format/ItemData.h"
#include "platform/PageBlock.h"

// Blocks owned and freed together, for the arenas below: the first few from
// the heap, later ones (or all, when many are expected) of whole pages
// (PageBlock.h).
template <class T>
class CBlockList {
public:
    explicit CBlockList(size_t heapBlocks) : m_heapBlocks(heapBlocks) {}
    CBlockList(const CBlockList&) = delete;
    CBlockList& operator=(const CBlockList&) = delete;
    ~CBlockList() { Clear(); }

    // Whether the next block is to be one of whole pages.
    bool PagesNext() const { return m_pagesFirst || m_blocks.size() >= m_heapBlocks; }
    // Many blocks are to come: whole pages from the first one on.
    void ExpectMany(bool many) { m_pagesFirst = many; }
    // A new block of count elements.
    T* Add(size_t count)
    {
        m_blocks.reserve(m_blocks.size() + 1);
        m_blocks.push_back({PageBlockAllocator<T>().allocate(count), count});
        return m_blocks.back().start;
    }
    void Clear()
    {
        for (const Block& block : m_blocks)
            PageBlockAllocator<T>().deallocate(block.start, block.count);
        m_blocks.clear();
        m_pagesFirst = false;
    }

private:
    struct Block {
        T* start;
        size_t count;
    };
    std::vector<Block> m_blocks;
    size_t m_heapBlocks;
    bool m_pagesFirst = false;
};

// Texts copied into big blocks: the texts made for items cost no allocation
// each and go with the blocks. A text's place stays while the arena lives.
class CTextArena {
public:
    std::string_view Keep(std::string_view text) { return KeepIndented(0, text); }
    // spaces blanks followed by text, as one text.
    std::string_view KeepIndented(size_t spaces, std::string_view text);
    // About this many bytes are to come: an arena that will outgrow its
    // heap blocks takes blocks of whole pages from the start.
    void Expect(size_t bytes) { m_blocks.ExpectMany(bytes > kSmallBlocks * kBlock); }
    void Clear();

private:
    static const size_t kBlock = 65536;
    static const size_t kSmallBlocks = 16;
    CBlockList<char> m_blocks{kSmallBlocks};
    char* m_next = nullptr; // the free bytes at the end of the last block
    size_t m_room = 0;
};

// The items of a description, made in chunks: a block of many thousand
// values costs a few allocations instead of one per item, and they are freed
// together. An item's address stays while the store lives.
class CItemStore {
public:
    CItemData* Make();
    // About this many items are to come: a store that will outgrow its heap
    // chunks takes chunks of whole pages from the start.
    void Expect(size_t count) { m_chunks.ExpectMany(count > kSmallChunks * kChunk); }
    void Clear();

private:
    static const size_t kChunk = 1024;
    static const size_t kSmallChunks = 8;
    // Raw chunks: an item is constructed when made, so a chunk's unused part
    // is never touched.
    struct alignas(CItemData) Slot {
        unsigned char bytes[sizeof(CItemData)];
    };
    // Two huge pages: a page chunk then fits the block the format's text
    // leaves when the parse is done.
    static const size_t kBigChunk = 2 * kPageBlockUnit / sizeof(Slot);
    CBlockList<Slot> m_chunks{kSmallChunks};
    Slot* m_next = nullptr; // the unused slots of the last chunk
    size_t m_room = 0;
};
