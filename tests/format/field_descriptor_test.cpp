// A controller block read from a data file the test writes (stored and LZO
// chunks, payloads split across chunks, a zero-byte record first), checked
// against a format and listed: paths, values, ID order, numbering, labels,
// effects, the serial-number findings and the collect walk.
#include <gtest/gtest.h>

#include <cstring>

#include "messages/Messages.h"
#include "format/DataPrinter.h"
#include "format/FieldDescriptor.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "support/DataFileWriter.h"
#include "support/ScratchDir.h"
#include "support/TraceCapture.h"

namespace {
const char kFormat[] = R"(// controller block
struct Axis /* -r 10 */
{
    double m_dLimit /* -g 1 -nLimit -umm -eN -dSoft limit */;
    int m_nSpeed /* -g 2 -m 10 */;
};
struct NoRange
{
    int m_a /* -g 1 */;
};
struct Inner
{
    WORD m_w /* -g 1 -n'Word' */;
    char m_sz[6] /* -g 2 */;
};
struct Outer
{
    Inner m_in /* -g 10 */;
    float m_f /* -g 20 */;
};
field CConfig
{
    int m_x;
};
field CController
{
    int m_nBegin /* -g 0 */;
    DWORD m_dwFlags /* -g 30 -nFlags */;
    UINT m_uCount /* -g 10 */;
    Axis m_axis[2] /* -g 100 -eH -F'Axis %d' */;
    WORD m_wArr[3] /* -g 20 */;
    NoRange m_bad[2] /* -g 50 */;
    Outer m_outer /* -g 200 */;
    char m_szName[8] /* -g 40 */;
    guard_t m_guard /* -g 60 */;
    plc_bit_addr_t m_plc /* -g 70 */;
    bool m_b /* -g 80 */;
    double m_dNoId;
    int m_nEnd /* -g 999 */;
};
)";

const char kExpected[] =
    "[CController]\r\n"
    "m_nBegin = 1\r\n"
    "m_dNoId = 0.1\r\n"
    "m_uCount = 5\r\n"
    "m_wArr[0] = 0x0001\r\n"
    "m_wArr[1] = 0x0002\r\n"
    "m_wArr[2] = 0xFFFF\r\n"
    "m_dwFlags = 0x000000FF\r\n"
    "m_szName = \"Mill\"\r\n"
    "m_guard = 0x0123456789ABCDEF\r\n"
    "m_plc = TIM005\r\n"
    "m_b = 1\r\n"
    "m_axis[0].m_dLimit = 1.5\r\n"
    "m_axis[0].m_nSpeed = 70\r\n"
    "m_axis[1].m_dLimit = -2.25\r\n"
    "m_axis[1].m_nSpeed = 120\r\n"
    "m_outer.m_in.m_w = 0x0009\r\n"
    "m_outer.m_in.m_sz = \"ab\"\r\n"
    "m_outer.m_f = 0.250000\r\n"
    "m_nEnd = 2\r\n";

// Offsets come from the model itself, so the block follows the layout rules.
class Block {
public:
    explicit Block(const std::string& formatPath, const std::string& field = "CController")
    {
        EXPECT_TRUE(m_parser.Parse(formatPath));
        m_field = m_parser.FindFieldType(field);
        if (m_field)
            bytes.assign(static_cast<size_t>(m_field->m_pSize), 0);
    }
    size_t Offset(const std::string& path) const
    {
        // "a" or "a.b" or "a[i].b": walks the model.
        const CBaseType* type = m_field;
        size_t offset = 0;
        size_t pos = 0;
        while (type && pos < path.size()) {
            size_t end = path.find_first_of(".[", pos);
            std::string name = path.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            const CDataMember* found = nullptr;
            for (const CDataMember& m : type->m_members)
                if (m.m_strName == name)
                    found = &m;
            if (!found)
                ADD_FAILURE() << "no member " << name;
            if (!found)
                return 0;
            offset += static_cast<size_t>(found->m_nOffset);
            const CDataType& t = m_parser.EffectiveType(*found);
            pos = end == std::string::npos ? path.size() : end;
            if (pos < path.size() && path[pos] == '[') {
                size_t close = path.find(']', pos);
                offset += static_cast<size_t>(std::stoi(path.substr(pos + 1, close - pos - 1)) * t.m_pSize);
                pos = close + 1;
            }
            if (pos < path.size() && path[pos] == '.')
                ++pos;
            type = &t;
        }
        return offset;
    }
    template <typename T>
    void Set(const std::string& path, T value)
    {
        memcpy(bytes.data() + Offset(path), &value, sizeof value);
    }
    void SetText(const std::string& path, const char* text) { memcpy(bytes.data() + Offset(path), text, strlen(text)); }

    std::vector<unsigned char> bytes;

private:
    CFormatParser m_parser;
    CFieldType* m_field = nullptr;
};

// Every serial-number finding's message, in order.
std::vector<std::string> Findings(const CFieldDescriptor& d)
{
    std::vector<std::string> messages;
    CSerialNumberCheck check = d.CheckSerialNumbers();
    SerialNumberFinding finding;
    while (check.Next(finding))
        messages.push_back(finding.message);
    return messages;
}

class FieldDescriptorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        language = kLanguageEnglish;
        WriteText(format, kFormat);
    }
    void TearDown() override { language = kLanguageChinese; }

    static void WriteText(const std::string& path, const std::string& text)
    {
        ASSERT_TRUE(WriteWholeFile(path, text.data(), text.size()));
    }
    static std::string ReadText(const std::string& path)
    {
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(path, bytes))
            return "<missing>";
        return std::string(bytes.begin(), bytes.end());
    }
    void Fill(Block& b)
    {
        b.Set<int32_t>("m_nBegin", 1);
        b.Set<uint32_t>("m_dwFlags", 255);
        b.Set<uint32_t>("m_uCount", 5);
        b.Set<double>("m_axis[0].m_dLimit", 1.5);
        b.Set<int32_t>("m_axis[0].m_nSpeed", 7);
        b.Set<double>("m_axis[1].m_dLimit", -2.25);
        b.Set<int32_t>("m_axis[1].m_nSpeed", 12);
        b.Set<uint16_t>("m_wArr[0]", 1);
        b.Set<uint16_t>("m_wArr[1]", 2);
        b.Set<uint16_t>("m_wArr[2]", 0xFFFF);
        b.Set<int32_t>("m_bad[1].m_a", 3);
        b.Set<uint16_t>("m_outer.m_in.m_w", 9);
        b.SetText("m_outer.m_in.m_sz", "ab");
        b.Set<float>("m_outer.m_f", 0.25f);
        b.SetText("m_szName", "Mill");
        b.Set<uint64_t>("m_guard", 0x0123456789ABCDEFull);
        b.Set<uint32_t>("m_plc", 10000u << 16 | 5);
        b.Set<uint8_t>("m_b", 2);
        b.Set<double>("m_dNoId", 0.1);
        b.Set<int32_t>("m_nEnd", 2);
    }
    const CItemData* Item(const CFieldDescriptor& d, const std::string& name, int index = 0)
    {
        for (const auto& item : d.m_items)
            if (item->m_pMember && item->m_pMember->m_strName == name && index-- == 0)
                return item;
        ADD_FAILURE() << "no item " << name;
        static CItemData none;
        return &none;
    }

    ScratchDir dir{"tlx-describe"};
    std::string format = dir / "tornelix.fmt";
    std::string listing = dir / "Mill_amend.dat";
    std::string data = dir / "tornelix.dat";
};
} // namespace

TEST_F(FieldDescriptorTest, ListsABlockReadFromADataFileOfStoredAndCompressedChunks)
{
    Block block(format);
    Fill(block);
    DataFileWriter w;
    w.AddRecord("CControl", {}, DataFileWriter::stored);                    // a zero-byte record first
    w.AddRecord("CConfig", std::vector<unsigned char>(4, 9), DataFileWriter::compressed);
    w.AddRecord("CController", block.bytes, DataFileWriter::compressed, 37, true); // split, both kinds
    ASSERT_TRUE(w.WriteFile(data));

    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ExtractParameters(data, "CController", bytes));
    ASSERT_EQ(bytes, block.bytes);

    TraceCapture trace;
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "CController", bytes.data(), static_cast<int>(bytes.size()), format));
    EXPECT_EQ(ReadText(listing), kExpected);
    EXPECT_EQ(Findings(d), std::vector<std::string>());
    // The array of a structure without "-r" is left out with its log line.
    EXPECT_NE(trace.Text().find("|E|The ID-Range of data-member m_bad is zero."), std::string::npos) << trace.Text();
}

TEST_F(FieldDescriptorTest, NumbersLabelsNamesAndEffects)
{
    Block block(format);
    Fill(block);
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "CController", block.bytes.data(), static_cast<int>(block.bytes.size()),
                                format));
    const CItemData* uCount = Item(d, "m_uCount");
    EXPECT_EQ(uCount->m_strLabel, "N0010");
    EXPECT_EQ(uCount->m_nSerialNumber, 10);
    EXPECT_EQ(uCount->m_strType, "unsigned int");
    EXPECT_EQ(Item(d, "m_dwFlags")->m_strName, "Flags");

    // The array item has no value: no label; its elements are named and numbered.
    const CItemData* arr = Item(d, "m_wArr");
    EXPECT_EQ(arr->m_strLabel, "");
    EXPECT_EQ(arr->m_nSerialNumber, -1);
    const CItemData* w1 = Item(d, "m_wArr", 2);
    EXPECT_EQ(w1->m_nElementIndex, 1);
    EXPECT_EQ(w1->m_strName, "    Group 1");
    EXPECT_EQ(w1->m_strLabel, "N0021");
    EXPECT_EQ(w1->m_strValue, "0x0002");

    // Elements of structures step by "-r"; members below them are indented,
    // labelled with the chain's sum, and expand their effect letters.
    const CItemData* axis1 = Item(d, "m_axis", 2);
    EXPECT_EQ(axis1->m_strName, "    Axis 1");
    EXPECT_EQ(axis1->m_nID, 10);
    EXPECT_EQ(axis1->m_strEffect, "Reboot");
    const CItemData* limit1 = Item(d, "m_dLimit", 1);
    EXPECT_EQ(limit1->m_strLabel, "N0111");
    EXPECT_EQ(limit1->m_strName, "        Limit");
    EXPECT_EQ(limit1->m_strUnit, "mm");
    EXPECT_EQ(limit1->m_strDescription, "Soft limit");
    EXPECT_EQ(limit1->m_strEffect, "Become effective at once");
    EXPECT_EQ(Item(d, "m_nSpeed", 1)->m_strEffect, "Reboot"); // inherited from the array
    EXPECT_EQ(Item(d, "m_nSpeed", 1)->m_strLabel, "N0112");
    EXPECT_EQ(d.ItemFullName(*limit1), "\"[N0111]m_axis.Axis 1.Limit\"");

    const CItemData* w = Item(d, "m_w");
    EXPECT_EQ(w->m_strLabel, "N0211");
    EXPECT_EQ(w->m_strName, "        Word");
    const CItemData* sz = Item(d, "m_sz");
    EXPECT_EQ(sz->m_strType, "char[6]");
    EXPECT_EQ(sz->m_strValue, "\"ab\"");
    EXPECT_EQ(Item(d, "m_nEnd")->m_strLabel, "N0999");

    // No ID on the chain: unchanged.
    const CItemData* noId = Item(d, "m_dNoId");
    EXPECT_EQ(noId->m_strLabel, "");
    EXPECT_EQ(noId->m_nSerialNumber, -1);
    EXPECT_EQ(noId->m_strName, "m_dNoId");

    d.NumberItems(); // numbering again: expanded effects stay
    EXPECT_EQ(Item(d, "m_uCount")->m_strLabel, "N0010");
    EXPECT_EQ(limit1->m_strEffect, "Become effective at once");
}

TEST_F(FieldDescriptorTest, ChineseGroupNamesAndEffects)
{
    language = kLanguageChinese;
    ListingTexts chinese = LocalListingTexts();
    language = kLanguageEnglish; // the descriptor reads its texts, not the language
    Block block(format);
    Fill(block);
    CFieldDescriptor d(chinese);
    ASSERT_TRUE(d.DescribeBlock(listing, "CController", block.bytes.data(), static_cast<int>(block.bytes.size()),
                                format));
    EXPECT_EQ(Item(d, "m_wArr", 1)->m_strName, "    第0组");
    EXPECT_EQ(Item(d, "m_axis", 1)->m_strEffect, "重新启动");
    EXPECT_EQ(Item(d, "m_dLimit")->m_strEffect, "立即生效");
    EXPECT_EQ(ReadText(listing), kExpected); // the listing does not depend on the language
}

TEST_F(FieldDescriptorTest, RefusesUnknownBlocksWrongSizesAndBadFormats)
{
    Block block(format);
    Fill(block);
    std::vector<unsigned char> bigger = block.bytes;
    bigger.push_back(0);
    TraceCapture trace;
    CFieldDescriptor d(LocalListingTexts());
    EXPECT_FALSE(d.DescribeBlock(listing, "CController", bigger.data(), static_cast<int>(bigger.size()), format));
    EXPECT_NE(trace.Text().find(
                  "|E|CFieldDescriptor: ERROR! The size of data block(CController), " + std::to_string(bigger.size()) +
                  " bytes, is not equal to the value(" + std::to_string(block.bytes.size()) +
                  " bytes) described in format file.\n"),
              std::string::npos)
        << trace.Text();
    EXPECT_FALSE(d.DescribeBlock(listing, "CControl", bigger.data(), 4, format));
    EXPECT_NE(trace.Text().find("|E|CFieldDescriptor: The format of data block(CControl) not found.\n"),
              std::string::npos);
    EXPECT_FALSE(d.DescribeBlock(listing, "CController", block.bytes.data(), 4, dir / "missing.fmt"));
    EXPECT_EQ(ReadText(listing), "<missing>"); // no listing from any failure
    EXPECT_TRUE(d.m_items.empty());
}

TEST_F(FieldDescriptorTest, SortsByIdOnlyBetweenTheMarkers)
{
    WriteText(format, "field F { int a /* -g 5 */; int b /* -g 30 */; int c /* -g 10 */; int d /* -g 20 */;"
                      " int e /* -g 1 */; };\n"
                      "field Two { int z /* -g 9 */; int y /* -g 1 */; };\n");
    std::vector<unsigned char> bytes(20, 0);
    for (int i = 0; i < 5; ++i)
        bytes[static_cast<size_t>(4 * i)] = static_cast<unsigned char>('a' + i);
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "F", bytes.data(), 20, format));
    EXPECT_EQ(ReadText(listing), "[F]\r\na = 97\r\nc = 99\r\nd = 100\r\nb = 98\r\ne = 101\r\n");
    // Markers keep their place even when their IDs are out of order: the
    // last one comes after four higher numbers.
    std::vector<std::string> findings = Findings(d);
    ASSERT_EQ(findings.size(), 4u);
    EXPECT_EQ(findings[0], "There is repeated serial number or the sequence is wrong: \r\n\"[N0005]a\" and "
                              "\"[N0001]e\"\r\nPlease modify");
    // The offsets stay as laid out.
    EXPECT_EQ(Item(d, "b")->m_pValue, bytes.data() + 4);

    ASSERT_TRUE(d.DescribeBlock(listing, "Two", bytes.data(), 8, format));
    EXPECT_EQ(ReadText(listing), "[Two]\r\nz = 97\r\ny = 98\r\n");
    EXPECT_EQ(Findings(d).size(), 1u);
}

TEST_F(FieldDescriptorTest, ADescriptionWithoutValueItemsListsAndFindsTheSame)
{
    // Findings between array elements (group and element-format names),
    // members of structures in arrays and nested ones, and text members;
    // the names come from the items above the values, which are kept.
    WriteText(format, "struct Axis /* -r 10 */ { double m_dLimit /* -g 1 -nLimit */; int m_nSpeed /* -g 2 */; };\n"
                      "struct In { WORD w /* -g 1 -n'Word' */; char sz[4] /* -g 2 */; };\n"
                      "struct Pair { In in /* -g 5 */; int x /* -g 1 */; };\n"
                      "field F { int begin /* -g 0 */; int a /* -g 30 -nAlpha */; WORD w[3] /* -g 20 */;\n"
                      " Axis axis[2] /* -g 25 -F'Axis %d' */; Pair p /* -g 21 */; char t[4] /* -g 22 */;\n"
                      " int b /* -g 21 */; int end /* -g 999 */; };\n");
    Block b(format, "F");
    int size = static_cast<int>(b.bytes.size());
    CFieldDescriptor full(LocalListingTexts());
    ASSERT_TRUE(full.DescribeBlock(listing, "F", b.bytes.data(), size, format));
    std::string fullListing = ReadText(listing);
    std::vector<std::string> fullFindings = Findings(full);
    ASSERT_GE(fullFindings.size(), 8u);
    EXPECT_NE(fullFindings.back().find("\"[N0037]axis.Axis 1.m_nSpeed\""), std::string::npos) << fullFindings.back();

    CFieldDescriptor lean(LocalListingTexts());
    lean.m_bKeepValueItems = false;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(lean.DescribeBlock(listing, "F", b.bytes.data(), size, format));
        EXPECT_EQ(ReadText(listing), fullListing);
        EXPECT_EQ(Findings(lean), fullFindings);
        // Only the items holding others stay: w, axis and its elements, p and p.in.
        ASSERT_EQ(lean.m_items.size(), 6u);
        for (const CItemData* item : lean.m_items)
            EXPECT_TRUE(item->m_strValue.empty()) << item->m_strName;
    }
}

TEST_F(FieldDescriptorTest, RepeatedSerialNumbersAreFoundOnePairAtATime)
{
    WriteText(format, "field F { int a /* -g 1 */; int b /* -g 12 */; int c /* -g 12 */; int d /* -g 12 */;"
                      " int e /* -g 99 */; };\n");
    std::vector<unsigned char> bytes(20, 1);
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "F", bytes.data(), 20, format)); // the findings do not fail it
    CSerialNumberCheck check = d.CheckSerialNumbers();
    SerialNumberFinding finding;
    std::vector<std::string> pairs;
    while (check.Next(finding))
        pairs.push_back(finding.first + " " + finding.second);
    EXPECT_EQ(pairs, (std::vector<std::string>{"\"[N0012]b\" \"[N0012]c\"", "\"[N0012]b\" \"[N0012]d\"",
                                               "\"[N0012]c\" \"[N0012]d\""}));
    EXPECT_FALSE(check.Next(finding)); // and stays done

    // The message is the texts' own, whatever the process's language.
    ListingTexts chinese;
    language = kLanguageChinese;
    chinese = LocalListingTexts();
    language = kLanguageEnglish;
    CFieldDescriptor c(chinese);
    ASSERT_TRUE(c.DescribeBlock(listing, "F", bytes.data(), 20, format));
    std::vector<std::string> messages = Findings(c);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "参数编号重复或顺序有误: \r\n\"[N0012]b\" 和 \"[N0012]c\"\r\n请修改");
}

TEST_F(FieldDescriptorTest, ElementsWithoutIdBreakTheNumberingBelowThem)
{
    WriteText(format, "struct S /* -r 4 */ { int v /* -g 1 -eL */; };\n"
                      "field F { int begin /* -g 0 */; S arr[2] /* -eH */; S one[1] /* -g 10 */; int end /* -g 90 */; };\n");
    std::vector<unsigned char> bytes(20, 0);
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "F", bytes.data(), 20, format));
    const CItemData* v = Item(d, "v");
    EXPECT_EQ(v->m_strLabel, "");
    EXPECT_EQ(v->m_strName, "v");
    EXPECT_EQ(v->m_strEffect, "L");
    // An array of one element is named by its index, as the name scan lists it.
    EXPECT_EQ(ReadText(listing), "[F]\r\nbegin = 0\r\narr[0].v = 0\r\narr[1].v = 0\r\none[0].v = 0\r\nend = 0\r\n");
    EXPECT_EQ(Item(d, "v", 2)->m_strLabel, "N0011");
    EXPECT_EQ(Item(d, "v", 2)->m_strEffect, "Load program");
}

TEST_F(FieldDescriptorTest, AListingThatCannotBeCreatedOrWrittenWholeIsAFailure)
{
    Block block(format);
    Fill(block);
    CFieldDescriptor d(LocalListingTexts());
#ifndef _WIN32
    // A device that takes no byte: every write of the listing fails.
    EXPECT_FALSE(d.DescribeBlock("/dev/full", "CController", block.bytes.data(), static_cast<int>(block.bytes.size()),
                                 format));
#endif
    std::string nowhere = dir / "no-such-dir" + ScratchDir::kSep + "x.dat";
    EXPECT_FALSE(d.DescribeBlock(nowhere, "CController", block.bytes.data(), static_cast<int>(block.bytes.size()),
                                 format));
    // The values were still described: the serial-number check can run.
    EXPECT_EQ(Item(d, "m_nEnd")->m_strLabel, "N0999");
    d.Reset();
    EXPECT_TRUE(d.m_items.empty());
    EXPECT_EQ(d.m_pFieldType, nullptr);
    EXPECT_TRUE(d.m_parser.m_types.empty());
}

TEST_F(FieldDescriptorTest, CollectWalkHonoursIndexRangesAndTextsOfSingleMemberStructures)
{
    WriteText(format, "struct Name { char text[5] /* -dTool name */; };\n"
                      "field F { int arr[5] /* -g 10 -k 1 ~ 3 */; Name n /* -g 20 -nTool */; char t[4] /* -g 30 */; };\n");
    std::vector<unsigned char> bytes(29, 0);
    for (int i = 0; i < 5; ++i)
        bytes[static_cast<size_t>(4 * i)] = static_cast<unsigned char>(i);
    memcpy(bytes.data() + 20, "ab", 2);
    memcpy(bytes.data() + 25, "xyz", 3);
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.m_parser.Parse(format));
    CFieldType* field = d.m_parser.FindFieldType("F");
    ASSERT_NE(field, nullptr);
    ASSERT_EQ(field->m_pSize, 29);
    CDataPrinter printer(&d);
    printer.CollectType(*field, bytes.data());
    std::vector<std::string> seen;
    for (const auto& item : d.m_items)
        seen.push_back(std::string(item->m_strName) + "=" + std::string(item->m_strValue) + "|" +
                       std::string(item->m_strDescription));
    EXPECT_EQ(seen, (std::vector<std::string>{"arr=|", "Group 1=1|", "Group 2=2|", "Group 3=3|",
                                              "Tool=\"ab\"|Tool name  Maximal length is 4 letters",
                                              "t=\"xyz\"|  Maximal length is 3 letters"}));
    EXPECT_EQ(d.m_items[1]->m_nElementCount, 1);
    EXPECT_EQ(d.m_items[1]->m_nID, 1);

    // A printer without a descriptor makes nothing.
    CDataPrinter idle(nullptr);
    EXPECT_EQ(idle.CreateItem(field->m_members[0], bytes.data()), nullptr);
    idle.CollectType(*field, bytes.data());
    idle.ListType(*field, bytes.data());
}

TEST_F(FieldDescriptorTest, ParseThroughItemsStoresAndFormatsAgain)
{
    Block block(format);
    Fill(block);
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "CController", block.bytes.data(), static_cast<int>(block.bytes.size()),
                                format));
    CDataPrinter printer(&d);
    CItemData* speed = const_cast<CItemData*>(Item(d, "m_nSpeed"));
    EXPECT_TRUE(printer.ParseItem(*speed, "250"));
    EXPECT_EQ(speed->m_strValue, "250");
    int32_t stored;
    memcpy(&stored, speed->m_pValue, 4);
    EXPECT_EQ(stored, 25);
    CItemData* name = const_cast<CItemData*>(Item(d, "m_szName"));
    EXPECT_TRUE(printer.ParseItem(*name, "\"Lathe\""));
    EXPECT_EQ(name->m_strValue, "\"Lathe\"");
    EXPECT_FALSE(printer.ParseItem(*name, "\"TooLongName\""));
    CItemData* axis = const_cast<CItemData*>(Item(d, "m_axis", 1));
    EXPECT_FALSE(printer.ParseItem(*axis, "1")); // a structure of two members
}

TEST_F(FieldDescriptorTest, YesAndNoAreWrittenAsDigitsAndBadElementFormatsFallBack)
{
    WriteText(format, "field F { int a /* -g 1 -f'Yes%.0d' */; int b /* -g 2 -f'否%.0d' */;"
                      " int c /* -g 3 -f'No%.0d' */; WORD w[2] /* -g 4 -F'%s' */; int e /* -g 9 */; };\n");
    std::vector<unsigned char> bytes(20, 0);
    bytes[8] = 1; // c = 1 prints "No1", which stays
    TraceCapture trace;
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "F", bytes.data(), 20, format));
    EXPECT_EQ(ReadText(listing), "[F]\r\na = 1\r\nb = 0\r\nc = No1\r\nw[0] = 0x0000\r\nw[1] = 0x0000\r\ne = 0\r\n");
    EXPECT_EQ(Item(d, "a")->m_strValue, "1");
    EXPECT_EQ(Item(d, "w", 1)->m_strName, "    Group 0");
    EXPECT_NE(trace.Text().find("|E|Print format \"%s\" of w refused"), std::string::npos) << trace.Text();
}

TEST_F(FieldDescriptorTest, ItemTextsStayWholeAroundALongText)
{
    // The items' texts share blocks; a text longer than a block's quarter
    // gets one of its own. Texts made before and after it stay as they were.
    WriteText(format, "field F { int a /* -g 1 */; char t[20000] /* -g 2 */; int b[3] /* -g 3 */; };\n");
    std::vector<unsigned char> bytes(20016, 0);
    bytes[0] = 7;
    memset(bytes.data() + 4, 'x', 19999);
    bytes[20004] = 9;
    CFieldDescriptor d(LocalListingTexts());
    ASSERT_TRUE(d.DescribeBlock(listing, "F", bytes.data(), static_cast<int>(bytes.size()), format));
    EXPECT_EQ(Item(d, "a")->m_strValue, "7");
    EXPECT_EQ(Item(d, "t")->m_strValue, "\"" + std::string(19999, 'x') + "\"");
    EXPECT_EQ(Item(d, "b", 1)->m_strValue, "9");
    EXPECT_EQ(Item(d, "b", 1)->m_strName, "    Group 0");
    EXPECT_EQ(Item(d, "b", 3)->m_strLabel, "N0005");
    EXPECT_EQ(ReadText(listing), "[F]\r\na = 7\r\nt = \"" + std::string(19999, 'x') +
                                     "\"\r\nb[0] = 9\r\nb[1] = 0\r\nb[2] = 0\r\n");
}

TEST_F(FieldDescriptorTest, BigBlocksKeepEveryItemAcrossTheirArenas)
{
    // 12 000 members (a member list past a heap block) and an array of
    // 40 000 elements: items and texts in whole-page blocks from the start.
    // Then 10 members and the array: the count expected is capped, so the
    // items outgrow the heap chunks into page ones. Every item keeps its own
    // value and label, also when the same descriptor describes again.
    const int elements = 40000;
    for (int members : {12000, 10}) {
        std::string text = "field F {\n";
        for (int i = 0; i < members; ++i)
            text += "int m" + std::to_string(i) + " /* -g " + std::to_string(i) + " */;\n";
        text += "int v[" + std::to_string(elements) + "] /* -g " + std::to_string(members) + " */;\n};\n";
        WriteText(format, text);
        std::vector<unsigned char> bytes(4 * static_cast<size_t>(members + elements));
        for (size_t i = 0; i < bytes.size() / 4; ++i)
            PutLe(bytes, 4 * i, i * 3, 4);
        CFieldDescriptor d(LocalListingTexts());
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(d.DescribeBlock(listing, "F", bytes.data(), static_cast<int>(bytes.size()), format));
            ASSERT_EQ(d.m_items.size(), static_cast<size_t>(members + 1 + elements));
            for (size_t k = 0; k < d.m_items.size(); ++k) {
                if (k == static_cast<size_t>(members))
                    continue; // the array's own item has no value
                // Past the array's item, values and serial numbers run one behind the items.
                size_t slot = k < static_cast<size_t>(members) ? k : k - 1;
                const CItemData& item = *d.m_items[k];
                ASSERT_EQ(item.m_strValue, std::to_string(slot * 3)) << members << " members, item " << k;
                char label[16];
                snprintf(label, sizeof label, "N%04d", static_cast<int>(slot));
                ASSERT_EQ(item.m_strLabel, label) << members << " members, item " << k;
            }
            EXPECT_EQ(Item(d, "v", 1)->m_strName, "    Group 0");
        }
        SerialNumberFinding finding;
        EXPECT_FALSE(d.CheckSerialNumbers().Next(finding)) << finding.message;
    }
}
