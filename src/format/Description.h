// One block's description while it is built: the format's type model, the
// items made from the block's values, the listing their lines go to, the
// checked print formats and the texts the items are shown with. The printer
// fills it; the field descriptor drives the printer and finishes the items.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "format/FormatParser.h"
#include "format/ListingTexts.h"
#include "format/ValueText.h"
#include "platform/File.h"
#include "platform/PageBlock.h"

// One listed value (or the item of a structure or array that holds values).
class CItemData {
public:
    CItemData* m_pParent = nullptr;          // enclosing structure or array item
    const CDataMember* m_pMember = nullptr;  // for an array element: the array member
    int m_nElementIndex = -1;
    int m_nElementCount = 1;
    unsigned char* m_pValue = nullptr;       // inside the block data
    int m_nID = -1;
    int m_nSerialNumber = -1;
    // The texts are shared with the member's annotation, the type model or
    // the listing texts, which outlive the items, or made for the item and
    // kept by the description (KeepText): an item owns nothing.
    std::string_view m_strType;
    std::string_view m_strLabel;
    std::string_view m_strName;   // display name
    std::string_view m_strEffect;
    std::string_view m_strValue;
    std::string_view m_strUnit;
    std::string_view m_strDescription;
};

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

class CDescription {
public:
    explicit CDescription(ListingTexts texts);
    virtual ~CDescription();
    CDescription(const CDescription&) = delete;
    CDescription& operator=(const CDescription&) = delete;

    // The listing stream of the current description. A line that cannot be
    // written marks the listing failed; the rest are not attempted.
    void WriteListingLine(const std::string& line);
    const ListingTexts& Texts() const { return m_texts; }

    // A new item, owned by the description until ClearItems.
    CItemData* MakeItem() { return m_itemStore.Make(); }
    // About this many items, with a few short texts each, are to come.
    void ExpectItems(size_t count)
    {
        m_itemStore.Expect(count);
        m_itemTexts.Expect(count * kTextBytesPerItem);
    }
    // Keeps a text made for one item as long as the items.
    std::string_view KeepText(std::string_view text) { return m_itemTexts.Keep(text); }
    std::string_view KeepIndentedText(size_t spaces, std::string_view text)
    {
        return m_itemTexts.KeepIndented(spaces, text);
    }
    void ClearItems();
    // Called with each item the printer hands over, complete: its value
    // formatted and its line written.
    virtual void ItemAdded(CItemData&) {}
    // Called when the items are gone.
    virtual void ItemsCleared() {}

    // The items listed, in listing order.
    std::vector<CItemData*> m_items;
    bool m_bWithTypes = true;
    CFormatParser m_parser;
    CPrintFormatCache m_formats;

protected:
    // What an item's label and value text take, as a rule.
    static const size_t kTextBytesPerItem = 16;
    CItemStore m_itemStore;
    CTextArena m_itemTexts;
    TextFile m_listing;
    bool m_listingFailed = false; // the listing could not be created or written whole
    ListingTexts m_texts;
};
