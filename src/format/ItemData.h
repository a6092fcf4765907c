// One listed value of a block's description and its texts, as the printer
// makes it and the field descriptor finishes it.
#pragma once
#include <string_view>

class CDataMember;

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
