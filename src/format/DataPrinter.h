// Walks a type of the model over a block's memory and turns every member into
// an item of a description: the list walk also writes each value's line to
// the listing; the collect walk only builds the items and honours the "-k"
// index ranges of arrays.
#pragma once
#include <string>
#include <vector>

#include "format/Description.h"

class CDataPrinter {
public:
    // A printer without a description makes no items.
    explicit CDataPrinter(CDescription* description);
    virtual ~CDataPrinter();

    // Collects every member of type at address, in member order.
    virtual void CollectType(const CBaseType& type, unsigned char* address);
    // Hands item over to the description's item list.
    virtual void AddItem(CItemData* item);
    // Lists every member of type at address, in member order.
    void ListType(const CBaseType& type, unsigned char* address);

    // A new item for member at address (none without a description).
    CItemData* CreateItem(const CDataMember& member, unsigned char* address);

    void ListSingle(const CDataMember& member, unsigned char* address);
    void ListArray(const CDataMember& member, unsigned char* address);
    void CollectSingle(const CDataMember& member, unsigned char* address);
    void CollectArray(const CDataMember& member, unsigned char* address);
    void ListText(const CDataMember& member, unsigned char* address);
    void CollectText(const CDataMember& member, unsigned char* address);

    // Writes "path = value" for item to the description's listing.
    void WriteItemLine(CItemData& item);
    // Formats the item's value by its built-in type.
    void FormatItem(CItemData& item);
    // Parses text into the item's value and formats it again.
    bool ParseItem(CItemData& item, const std::string& text);

    CDescription* m_pDescription;
    int m_nSingle = 0;
    CItemData* m_pCurrent = nullptr;

private:
    // Sets item up for member at address, as a new item of the current one.
    CItemData* FillItem(CItemData* item, const CDataMember& member, unsigned char* address);
    void ListMember(const CDataMember& member, unsigned char* address);
    void CollectMember(const CDataMember& member, unsigned char* address);
    // Walks a structure's members with item as the current item.
    void WalkStructure(const CDataType& type, CItemData* item, unsigned char* address, bool list);
    // Walks the elements of an array member; elements outside "-k" are
    // skipped when collecting.
    void WalkArray(const CDataMember& member, unsigned char* address, bool list);
    const CDataType& TypeOf(const CDataMember& member) const;

    // Reused by WriteItemLine: the item's chain and the line being built.
    std::vector<const CItemData*> m_chain;
    std::string m_line;
    std::string m_value; // a value's text, made here before the description keeps it
};
