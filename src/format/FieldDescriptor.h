// The field descriptor checks one data block against its field type in a
// format file, writes the block's values as a listing ("[Block]" and lines of
// path " = " value), and keeps every listed value as an item: numbered from
// the "-g" IDs of its chain, labelled, and checked for repeated or unordered
// serial numbers.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "format/FormatParser.h"
#include "format/ValueText.h"
#include "platform/File.h"

class CFieldDescriptor;

// One listed value (or the item of a structure or array that holds values).
class CItemData {
public:
    virtual ~CItemData() = default;

    CFieldDescriptor* m_pDescriptor = nullptr;
    CItemData* m_pParent = nullptr;          // enclosing structure or array item
    const CDataMember* m_pMember = nullptr;  // for an array element: the array member
    int m_nElementIndex = -1;
    int m_nElementCount = 1;
    unsigned char* m_pValue = nullptr;       // inside the block data
    int m_nID = -1;
    int m_nSerialNumber = -1;
    std::string m_strType;
    std::string m_strLabel;
    std::string m_strName;        // display name
    std::string m_strEffect;
    std::string m_strValue;
    std::string m_strUnit;
    std::string m_strDescription;
};

class CFieldDescriptor {
public:
    CFieldDescriptor();
    virtual ~CFieldDescriptor();
    CFieldDescriptor(const CFieldDescriptor&) = delete;
    CFieldDescriptor& operator=(const CFieldDescriptor&) = delete;

    // Checks the block (data, size) against field type blockName of the
    // format file and writes the listing to listingPath. False on a parse
    // failure, an unknown block or a size mismatch (each logged).
    bool DescribeBlock(const std::string& listingPath, const std::string& blockName, unsigned char* data, int size,
                       const std::string& formatPath);
    // Forgets the items, the block, the format and its model.
    void Reset();

    void NumberItems();
    void TrimItemTexts();
    // Shows one box for each pair of serial numbers out of order; Cancel ends
    // the check. Returns the number of boxes shown.
    int CheckSerialNumbers();
    std::string ItemFullName(const CItemData& item) const;

    // The listing stream of the current description (not open: lines are lost).
    void WriteListingLine(const std::string& line);

    int m_nIDLetter = 'N';
    int m_nIDBase = 0;
    std::vector<std::unique_ptr<CItemData>> m_items;
    bool m_bWithTypes = true;
    unsigned char* m_pData = nullptr;
    std::string m_strFormatPath;
    CFieldType* m_pFieldType = nullptr;
    CFormatParser m_parser;
    CPrintFormatCache m_formats;

private:
    TextFile m_listing;
};
