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
#include "format/ItemArenas.h"
#include "format/ItemData.h"
#include "format/ListingTexts.h"
#include "format/ValueText.h"
#include "platform/File.h"

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
    // A new item for a single value being listed: one of the description's,
    // or, when value items are not kept, a scratch item the next value
    // reuses once this one is added.
    CItemData* MakeValueItem();
    // Takes a complete item over: kept in m_items (a scratch value item is
    // not), finished by ItemAdded, and named in m_itemNames when value items
    // are not kept.
    void AddItem(CItemData* item);
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
    // The texts' group name of an element index (index >= 0), kept as long
    // as the items; the first indexes are made once and shared by every
    // array's elements.
    std::string_view GroupName(int index);
    void ClearItems();
    // Called with each item the printer hands over, complete: its value
    // formatted and its line written.
    virtual void ItemAdded(CItemData&) {}
    // Called when the items are gone.
    virtual void ItemsCleared() {}

    // The items listed, in listing order; when value items are not kept,
    // only the structure and array items.
    std::vector<CItemData*> m_items;
    // Whether the items of single values listed are kept (the default).
    // Without them a big block's description takes a fraction of the memory
    // (most items are single values); what the serial check needs of every
    // item is kept in m_itemNames instead.
    bool m_bKeepValueItems = true;
    // When value items are not kept: every item's label and name, in listing
    // order.
    std::vector<CItemName, PageBlockAllocator<CItemName>> m_itemNames;
    bool m_bWithTypes = true;
    CFormatParser m_parser;
    CPrintFormatCache m_formats;

protected:
    // What an item's label and value text take, as a rule.
    static const size_t kTextBytesPerItem = 16;
    CItemStore m_itemStore;
    CTextArena m_itemTexts;
    CItemData m_valueItem; // the scratch value item
    static const size_t kGroupNamesKept = 4096;
    std::vector<std::string_view> m_groupNames; // in m_itemTexts
    TextFile m_listing;
    bool m_listingFailed = false; // the listing could not be created or written whole
    ListingTexts m_texts;
};
