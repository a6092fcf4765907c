// One block's description while it is built: the format's type model, the
// items made from the block's values, the listing their lines go to, the
// checked print formats and the texts the items are shown with. The printer
// fills it; the field descriptor drives the printer and finishes the items.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "format/FormatParser.h"
#include "format/ListingTexts.h"
#include "format/ValueText.h"
#include "platform/File.h"

// One listed value (or the item of a structure or array that holds values).
class CItemData {
public:
    virtual ~CItemData() = default;

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

    std::vector<std::unique_ptr<CItemData>> m_items;
    bool m_bWithTypes = true;
    CFormatParser m_parser;
    CPrintFormatCache m_formats;

protected:
    TextFile m_listing;
    bool m_listingFailed = false; // the listing could not be created or written whole
    ListingTexts m_texts;
};
