// One listed value of a block's description and its texts, as the printer
// makes it and the field descriptor finishes it.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

class CDataMember;

// A text an item shows, read as a std::string_view: a pointer and a 32-bit
// length (12 bytes instead of 16 in a 64-bit build). A big block makes
// hundreds of thousands of items, each with seven texts, and every byte of
// them is fresh memory the system has to clear. Texts are far shorter than
// 4 GB.
#pragma pack(push, 4)
class CItemText {
public:
    CItemText() = default;
    CItemText(std::string_view text) : m_data(text.data()), m_size(static_cast<uint32_t>(text.size())) {}
    CItemText(const std::string& text) : CItemText(std::string_view(text)) {}
    CItemText(const char* text) : CItemText(std::string_view(text)) {}

    operator std::string_view() const { return std::string_view(m_data, m_size); }
    std::string_view View() const { return *this; }
    const char* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    char operator[](size_t i) const { return m_data[i]; }

    friend bool operator==(const CItemText& a, std::string_view b) { return a.View() == b; }
    friend bool operator!=(const CItemText& a, std::string_view b) { return a.View() != b; }
    friend std::ostream& operator<<(std::ostream& out, const CItemText& text) { return out << text.View(); }

private:
    const char* m_data = nullptr;
    uint32_t m_size = 0;
};
#pragma pack(pop)
static_assert(sizeof(CItemText) == sizeof(const char*) + sizeof(uint32_t), "an item's text is a pointer and a length");

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
    CItemText m_strType;
    CItemText m_strLabel;
    CItemText m_strName;   // display name
    CItemText m_strEffect;
    CItemText m_strValue;
    CItemText m_strUnit;
    CItemText m_strDescription;
};

// What the serial check needs of an item that is not kept (a single value
// of a description that keeps only the items holding others): its label,
// its display name and the item it belongs to, which is kept.
struct CItemName {
    const CItemData* parent = nullptr;
    CItemText label;
    CItemText name;
};
