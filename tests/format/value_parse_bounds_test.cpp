// Value texts at the edges of their types, as damaged or hand-edited files
// give them: the parse stores a result (or refuses) without trapping, and
// writes no byte beyond the type.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "format/BuiltinTypes.h"
#include "format/DataMember.h"
#include "format/ValueText.h"

using namespace value_text;

namespace {
CDataMember WithComment(const std::string& comment)
{
    CDataMember m;
    m.m_strName = "m_x";
    m.m_strComment = comment;
    m.Notes().annotation = ParseAnnotation(comment).member;
    return m;
}

int64_t ParsedInt64(const std::string& comment, const std::string& text)
{
    // Guard bytes on both sides catch a store of the wrong width.
    unsigned char bytes[12];
    memset(bytes, 0xCD, sizeof bytes);
    EXPECT_TRUE(ParseBuiltin(btInt64, WithComment(comment), bytes + 2, text)) << comment << " " << text;
    EXPECT_EQ(bytes[0], 0xCD);
    EXPECT_EQ(bytes[1], 0xCD);
    EXPECT_EQ(bytes[10], 0xCD);
    EXPECT_EQ(bytes[11], 0xCD);
    int64_t value;
    memcpy(&value, bytes + 2, sizeof value);
    return value;
}
} // namespace

TEST(ValueParseBounds, TheLowest64BitValueOverMinusOneWrapsInsteadOfTrapping)
{
    // INT64_MIN / -1 has no 64-bit result; the division used to trap the process.
    EXPECT_EQ(ParsedInt64("-m'-1'", "8000000000000000"), INT64_MIN);
    EXPECT_EQ(ParsedInt64("-m'-1'", "0x8000000000000000"), INT64_MIN);
    // Its neighbours and the other negative multipliers divide as before.
    EXPECT_EQ(ParsedInt64("-m'-1'", "7FFFFFFFFFFFFFFF"), -INT64_MAX);
    EXPECT_EQ(ParsedInt64("-m'-1'", "FFFFFFFFFFFFFFFF"), 1);
    EXPECT_EQ(ParsedInt64("-m'-2'", "8000000000000000"), INT64_MIN / -2);
    EXPECT_EQ(ParsedInt64("-m'-1'", "10"), -16);
    EXPECT_EQ(ParsedInt64("", "8000000000000000"), INT64_MIN);
}

TEST(ValueParseBounds, EveryIntegerTypeStoresOnlyItsOwnBytesAtTheExtremes)
{
    const BuiltinType types[] = {btBool, btChar,  btUChar, btShort,  btUShort, btInt,
                                 btUInt, btLong,  btULong, btInt64,  btUInt64, btVoidPtr};
    const char* texts[] = {"-2147483648", "2147483647", "99999999999999999999", "FFFFFFFFFFFFFFFF", "-1", "1"};
    const char* comments[] = {"", "-m'-1'", "-m 3", "-m'-2147483648'"};
    for (BuiltinType t : types)
        for (const char* text : texts)
            for (const char* comment : comments) {
                std::vector<unsigned char> bytes(static_cast<size_t>(kBuiltinTypes[t].size) + 8, 0xCD);
                ParseBuiltin(t, WithComment(comment), bytes.data() + 4, text);
                for (size_t i = 0; i < 4; ++i) {
                    EXPECT_EQ(bytes[i], 0xCD) << kBuiltinTypes[t].name << " " << text << " " << comment;
                    EXPECT_EQ(bytes[bytes.size() - 1 - i], 0xCD) << kBuiltinTypes[t].name << " " << text << " "
                                                                 << comment;
                }
            }
}
