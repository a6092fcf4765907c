// Option extraction from annotation comments.
#include <gtest/gtest.h>

#include <climits>

#include "format/AnnotationOptions.h"

namespace {
std::string Option(const std::string& text, char letter)
{
    std::string value;
    return ExtractOption(text, letter, value) ? "[" + value + "]" : "absent";
}
} // namespace

TEST(AnnotationOptions, QuotedAndUnquotedValues)
{
    // Quoted: everything to the next quote, dashes and blanks included.
    EXPECT_EQ(Option("-n 'x' -n'Feed - max rate ' -u mm", 'n'), "[ 'x']");
    EXPECT_EQ(Option("-n'Feed - max rate ' -u mm", 'n'), "[Feed - max rate ]");
    EXPECT_EQ(Option("-n'unterminated - text", 'n'), "[unterminated - text]");
    // Unquoted: to the next dash, trailing blanks dropped, leading blank kept.
    EXPECT_EQ(Option("-n Speed  -u mm/min", 'n'), "[ Speed]");
    EXPECT_EQ(Option("-n Speed  -u mm/min", 'u'), "[ mm/min]");
    EXPECT_EQ(Option("-d range -1 to 1", 'd'), "[ range]");
    // Present with an empty value, absent, first occurrence.
    EXPECT_EQ(Option("-f -n x", 'f'), "[]");
    EXPECT_EQ(Option("-f", 'f'), "[]");
    EXPECT_EQ(Option("-n x", 'u'), "absent");
    EXPECT_EQ(Option("n x", 'n'), "absent");
    EXPECT_EQ(Option("-g 1 -g 2", 'g'), "[ 1]");
    // A dash inside another option's value is found like any other.
    EXPECT_EQ(Option("-n 'a -u b' -u c", 'u'), "[ b']");
    EXPECT_EQ(Option("-k2~5", 'k'), "[2~5]");
}

TEST(AnnotationOptions, Numbers)
{
    int first = -1, last = INT_MAX;
    EXPECT_EQ(ScanIndexRange(" 2 ~ 5", first, last), 2);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 5);
    first = -1, last = INT_MAX;
    EXPECT_EQ(ScanIndexRange("3~", first, last), 1);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, INT_MAX);
    first = -1;
    EXPECT_EQ(ScanIndexRange("x", first, last), 0);
    EXPECT_EQ(first, -1);
    EXPECT_EQ(ScanIndexRange("99999999999 ~ -99999999999", first, last), 2);
    EXPECT_EQ(first, INT_MAX);
    EXPECT_EQ(last, INT_MIN);

    EXPECT_EQ(ClampedAtoi(" 12ab"), 12);
    EXPECT_EQ(ClampedAtoi("0x10"), 0);
    EXPECT_EQ(ClampedAtoi("-7"), -7);
    EXPECT_EQ(ClampedAtoi(""), 0);
    EXPECT_EQ(ClampedAtoi("123456789012345678901234567890"), INT_MAX);

    EXPECT_EQ(ExpandNewlines("a\\nb\\\\n\\t"), "a\nb\\\n\\t");
}
