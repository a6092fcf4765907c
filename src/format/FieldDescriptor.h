// The field descriptor checks one data block against its field type in a
// format file, writes the block's values as a listing ("[Block]" and lines of
// path " = " value), and keeps every listed value as an item: numbered from
// the "-g" IDs of its chain and labelled. The items whose serial numbers are
// repeated or out of order are findings for the caller to show.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "format/Description.h"

// Two items whose serial numbers are repeated or out of order.
struct SerialNumberFinding {
    std::string first;   // full name of the earlier item: "\"[N0012]m_axis.Axis 1.Limit\""
    std::string second;  // full name of the later one
    std::string message; // the texts' serialNumberOrder with both names
};

// The pairs i < j of items with serial(i) >= serial(j), ordered by i, then
// j, found one at a time so that the caller may stop at any of them. It reads
// the descriptor's items and serial numbers: use it before the next
// description, numbering or Reset.
class CSerialNumberCheck {
public:
    CSerialNumberCheck(const std::vector<CItemData*>& items, std::string messageFormat);
    // The same with the items' serial numbers known, one per item: read
    // where they are, so they must stay as long as the check.
    CSerialNumberCheck(const std::vector<CItemData*>& items, const std::vector<int>& serials,
                       std::string messageFormat);
    // The same over the names of a description that keeps no value items.
    CSerialNumberCheck(const std::vector<CItemName, PageBlockAllocator<CItemName>>& names,
                       const std::vector<int>& serials, std::string messageFormat);
    CSerialNumberCheck(CSerialNumberCheck&&) noexcept = default;
    CSerialNumberCheck(const CSerialNumberCheck&) = delete;
    CSerialNumberCheck& operator=(const CSerialNumberCheck&) = delete;
    // The next finding; false when there is none left.
    bool Next(SerialNumberFinding& finding);

private:
    void Prepare();
    std::string FullName(size_t i) const;

    const std::vector<CItemData*>* m_items = nullptr;
    const std::vector<CItemName, PageBlockAllocator<CItemName>>* m_names = nullptr; // instead of m_items
    std::string m_format;
    // The items' serial numbers, read once from the items when not known:
    // the search runs over these.
    std::vector<int> m_ownSerials;
    const int* m_serials = nullptr;
    size_t m_count = 0;
    // The smallest serial number after each position (INT_MAX: none): which
    // i can have a pair at all, so that an ordered list costs one pass
    // instead of all pairs.
    std::vector<int> m_smallestAfter;
    size_t m_i = 0;
    size_t m_j = 1;
};

// Why a description failed: the caller names the real cause.
enum class DescribeFailure {
    none,
    formatUnreadable,  // the format file cannot be opened
    formatInvalid,     // it does not parse (its error is in the trace log)
    blockNotDescribed, // no field type of that name, or not of the block's size
    listingUnwritable, // the listing cannot be created or written whole
};

class CFieldDescriptor : public CDescription {
public:
    explicit CFieldDescriptor(ListingTexts texts);
    ~CFieldDescriptor() override;

    // Checks the block (data, size) against field type blockName of the
    // format file and writes the listing to listingPath. False on a parse
    // failure, an unknown block or a size mismatch (each logged).
    bool DescribeBlock(const std::string& listingPath, const std::string& blockName, unsigned char* data, int size,
                       const std::string& formatPath);
    // The same with the format file's text in memory; formatName stands for
    // its name in messages.
    bool DescribeBlockWithFormatText(const std::string& listingPath, const std::string& blockName,
                                     unsigned char* data, int size, const std::string& formatText,
                                     const std::string& formatName);
    // Forgets the items, the block, the format and its model.
    void Reset();
    // The cause of the last DescribeBlock's failure (none after a success).
    DescribeFailure LastFailure() const { return m_failure; }

    // Number and trim the items in m_items (DescribeBlock does both as it
    // adds them). Numbering leaves a description that keeps no value items
    // as it was described: its values' serial numbers have no items left.
    void NumberItems();
    void TrimItemTexts();
    // The serial-number findings of the items described.
    CSerialNumberCheck CheckSerialNumbers() const;
    // "\"[label]name.name\"": the label and the display names of the chain.
    static std::string ItemFullName(const CItemData& item);
    static std::string ItemFullName(const CItemName& item);

    int m_nIDLetter = 'N';
    int m_nIDBase = 0;
    unsigned char* m_pData = nullptr;
    std::string m_strFormatPath;
    CFieldType* m_pFieldType = nullptr;

private:
    // While the block is listed, each item is numbered and trimmed as it is
    // added, while it is still in the cache.
    void ItemAdded(CItemData& item) override;
    // True when effect is one of the texts' effects: numbering leaves it.
    bool IsListingEffect(std::string_view effect) const;
    void ItemsCleared() override { m_serials.clear(); }
    bool m_bFinishAsAdded = false;
    DescribeFailure m_failure = DescribeFailure::none;
    // The items' serial numbers, one per item, when all were numbered.
    std::vector<int> m_serials;

    // One item's step of NumberItems and of TrimItemTexts.
    void NumberItem(CItemData& item);
    static void TrimTexts(CItemData& item);
    // DescribeBlock after the format's parse.
    bool DescribeParsed(const std::string& listingPath, const std::string& blockName, unsigned char* data, int size,
                        const std::string& formatPath);
};
