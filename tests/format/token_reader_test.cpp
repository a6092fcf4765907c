// The token reader: token kinds and texts, the character classes, comments,
// line counting and the parse-error text.
#include <gtest/gtest.h>

#include "FormatTestFiles.h"
#include "format/PmTokenFile.h"

namespace {
class Reader : public CPmTokenFile {
public:
    bool Start(const std::string& path) { return OpenForParse(path); }
};

struct Token {
    int kind;
    std::string text;
    bool operator==(const Token& o) const { return kind == o.kind && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Token& t) { return os << t.kind << ":'" << t.text << "'"; }

// All significant tokens up to end of file; error holds the parse error text.
struct Tokens {
    std::vector<Token> tokens;
    std::string error;
};

Tokens Tokenize(const std::string& text, bool comments = false)
{
    ScratchFiles files;
    Reader reader;
    Tokens result;
    EXPECT_TRUE(reader.Start(files.Write("t.fmt", text)));
    reader.SetCommentTokens(comments);
    try {
        for (;;) {
            int kind = reader.NextToken();
            if (kind == CPmTokenFile::tkEndOfFile)
                break;
            result.tokens.push_back({kind, reader.TokenText()});
        }
    } catch (const CParseError& e) {
        result.error = e.what();
    }
    return result;
}

using T = CPmTokenFile;
} // namespace

TEST(TokenReader, PunctuationKeywordsAndIdentifiers)
{
    Tokens r = Tokenize("#pragma pack(4)\nstruct S { int *a[3], b; };\nfield F {};typedef X Y;");
    ASSERT_EQ(r.error, "");
    std::vector<Token> expected = {
        {T::tkSharp, "#"},       {T::tkPragma, "pragma"},     {T::tkPack, "pack"},       {T::tkLeftParen, "("},
        {T::tkInteger, "4"},     {T::tkRightParen, ")"},      {T::tkStruct, "struct"},   {T::tkIdentifier, "S"},
        {T::tkLeftBrace, "{"},   {T::tkIdentifier, "int"},    {T::tkPointer, "*"},       {T::tkIdentifier, "a"},
        {T::tkLeftBracket, "["}, {T::tkInteger, "3"},         {T::tkRightBracket, "]"},  {T::tkComma, ","},
        {T::tkIdentifier, "b"},  {T::tkSemicolon, ";"},       {T::tkRightBrace, "}"},    {T::tkSemicolon, ";"},
        {T::tkField, "field"},   {T::tkIdentifier, "F"},      {T::tkLeftBrace, "{"},     {T::tkRightBrace, "}"},
        {T::tkSemicolon, ";"},   {T::tkTypedef, "typedef"},   {T::tkIdentifier, "X"},    {T::tkIdentifier, "Y"},
        {T::tkSemicolon, ";"},
    };
    EXPECT_EQ(r.tokens, expected);
}

TEST(TokenReader, KeywordsAreCaseSensitive)
{
    Tokens r = Tokenize("Struct STRUCT struct unsigned Unsigned");
    ASSERT_EQ(r.error, "");
    std::vector<Token> expected = {{T::tkIdentifier, "Struct"},
                                   {T::tkIdentifier, "STRUCT"},
                                   {T::tkStruct, "struct"},
                                   {T::tkUnsigned, "unsigned"},
                                   {T::tkIdentifier, "Unsigned"}};
    EXPECT_EQ(r.tokens, expected);
}

TEST(TokenReader, Numbers)
{
    Tokens r = Tokenize("0x 0X1f 012 0 7 0x1_");
    ASSERT_EQ(r.error, "");
    std::vector<Token> expected = {{T::tkHexInteger, "0x"}, {T::tkHexInteger, "0X1f"}, {T::tkInteger, "012"},
                                   {T::tkInteger, "0"},     {T::tkInteger, "7"},       {T::tkHexInteger, "0x1"},
                                   {T::tkIdentifier, "_"}};
    EXPECT_EQ(r.tokens, expected);

    EXPECT_EQ(Tokenize("0x1G").error, "|E|fmt" + std::to_string(ProcessId()) + "-t.fmt(1): Unexpected char\n");
    EXPECT_NE(Tokenize("12ab").error.find("Unexpected char"), std::string::npos);
    EXPECT_NE(Tokenize("0q").error.find("Unexpected char"), std::string::npos);
}

TEST(TokenReader, IntegerValues)
{
    ScratchFiles files;
    Reader reader;
    ASSERT_TRUE(reader.Start(files.Write("n.fmt", "0x 012 0x10 0x1a 0X1A 0xfF 4294967296 0xFFFFFFFF 2147483647 x")));
    EXPECT_EQ(reader.ExpectInteger(), 0);
    EXPECT_EQ(reader.ExpectInteger(), 12); // no octal
    EXPECT_EQ(reader.ExpectInteger(), 16);
    // Hex digits in either letter case, as format files write them.
    EXPECT_EQ(reader.ExpectInteger(), 26);
    EXPECT_EQ(reader.ExpectInteger(), 26);
    EXPECT_EQ(reader.ExpectInteger(), 255);
    // Values past the 32-bit range clamp as a 32-bit strtol does.
    EXPECT_EQ(reader.ExpectInteger(), 2147483647);
    EXPECT_EQ(reader.ExpectInteger(), 2147483647);
    EXPECT_EQ(reader.ExpectInteger(), 2147483647);
    try {
        reader.ExpectInteger();
        FAIL() << "an identifier is no integer";
    } catch (const CParseError& e) {
        EXPECT_NE(std::string(e.what()).find("): Expecting an integer\n"), std::string::npos);
    }
}

TEST(TokenReader, IdentifierBytes)
{
    // Bytes above 128 are letters (double-byte text); 128 itself is not.
    Tokens r = Tokenize("\xD6\xD0\xCE\xC4_1 a\x81z");
    ASSERT_EQ(r.error, "");
    std::vector<Token> expected = {{T::tkIdentifier, "\xD6\xD0\xCE\xC4_1"}, {T::tkIdentifier, "a\x81z"}};
    EXPECT_EQ(r.tokens, expected);

    EXPECT_NE(Tokenize("a\x80").error.find("Unexpected char"), std::string::npos);
    EXPECT_NE(Tokenize("\x80").error.find("Unexpected char"), std::string::npos);
    EXPECT_NE(Tokenize("a = b").error.find("Unexpected char"), std::string::npos);
    EXPECT_NE(Tokenize("-1").error.find("Unexpected char"), std::string::npos);
}

TEST(TokenReader, Comments)
{
    // Invisible without the flag.
    Tokens r = Tokenize("a /* x */ b // rest\nc/**/d");
    ASSERT_EQ(r.error, "");
    std::vector<Token> plain = {{T::tkIdentifier, "a"}, {T::tkIdentifier, "b"}, {T::tkIdentifier, "c"},
                                {T::tkIdentifier, "d"}};
    EXPECT_EQ(r.tokens, plain);

    // With the flag, block comments come with their delimiters; line comments never.
    r = Tokenize("a /* x */ b // rest\n/**/ /* y **/ /***/", true);
    ASSERT_EQ(r.error, "");
    std::vector<Token> visible = {{T::tkIdentifier, "a"},     {T::tkBlockComment, "/* x */"},
                                  {T::tkIdentifier, "b"},     {T::tkBlockComment, "/**/"},
                                  {T::tkBlockComment, "/* y **/"}, {T::tkBlockComment, "/***/"}};
    EXPECT_EQ(r.tokens, visible);

    // A comment ends at the first "*/".
    r = Tokenize("/* a **/ b */", true);
    ASSERT_EQ(r.tokens.size(), 3u);
    EXPECT_EQ(r.tokens[0], (Token{T::tkBlockComment, "/* a **/"}));
    EXPECT_EQ(r.tokens[1], (Token{T::tkIdentifier, "b"}));
    EXPECT_EQ(r.tokens[2], (Token{T::tkPointer, "*"}));
    EXPECT_NE(r.error.find("Unexpected char"), std::string::npos); // the lone '/' at the end
}

TEST(TokenReader, CommentsAtEndOfFile)
{
    Tokens r = Tokenize("a // no newline");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.tokens.size(), 1u);

    r = Tokenize("a /* unterminated\n\n");
    EXPECT_NE(r.error.find("(3): Unexpected char"), std::string::npos) << r.error;
    EXPECT_NE(Tokenize("a /").error.find("(1): Unexpected char"), std::string::npos);
    EXPECT_NE(Tokenize("a /x").error.find("Unexpected char"), std::string::npos);
}

TEST(TokenReader, LineCountingAndCrLf)
{
    ScratchFiles files;
    Reader reader;
    // CR LF is one newline; a comment spanning lines counts its newlines.
    ASSERT_TRUE(reader.Start(files.Write("l.fmt", "a\r\nb /* 1\r\n2\n */ c\r\n\r\n =")));
    reader.NextToken();
    EXPECT_EQ(reader.Line(), 0);
    reader.NextToken();
    EXPECT_EQ(reader.Line(), 1);
    reader.NextToken();
    EXPECT_EQ(reader.Line(), 3);
    try {
        reader.NextToken();
        FAIL() << "'=' starts no token";
    } catch (const CParseError& e) {
        EXPECT_EQ(std::string(e.what()), "|E|fmt" + std::to_string(ProcessId()) + "-l.fmt(6): Unexpected char\n");
    }
}

TEST(TokenReader, ExpectTokenNamesTheWantedKind)
{
    ScratchFiles files;
    Reader reader;
    ASSERT_TRUE(reader.Start(files.Write("e.fmt", "name ;")));
    EXPECT_EQ(reader.PeekToken(), T::tkIdentifier);
    EXPECT_EQ(reader.PeekToken(), T::tkIdentifier); // look-ahead is not consumed
    EXPECT_EQ(reader.ExpectIdentifier(), "name");
    try {
        reader.ExpectToken(T::tkRightParen);
        FAIL();
    } catch (const CParseError& e) {
        EXPECT_NE(std::string(e.what()).find("(1): Expecting token 'rightparenthesis())'\n"), std::string::npos);
    }
    EXPECT_EQ(reader.ExpectToken(T::tkSemicolon), ";");
    EXPECT_EQ(reader.PeekToken(), T::tkEndOfFile);
    EXPECT_EQ(reader.PeekToken(), T::tkEndOfFile);
}

TEST(TokenReader, DisplayNames)
{
    EXPECT_STREQ(T::TokenDisplayName(T::tkSemicolon), "semicolon(;)");
    EXPECT_STREQ(T::TokenDisplayName(T::tkLeftParen), "leftparenthesis(()");
    EXPECT_STREQ(T::TokenDisplayName(T::tkIdentifier), "an identifier");
    EXPECT_STREQ(T::TokenDisplayName(T::tkHexInteger), "an integer");
    EXPECT_STREQ(T::TokenDisplayName(T::tkNone), "-- na --");
    EXPECT_STREQ(T::TokenDisplayName(T::tkLineComment), "c++ comment");
    EXPECT_STREQ(T::TokenDisplayName(27), "");
}

TEST(TokenReader, MessageIsTruncatedAndNameIsPlainText)
{
    ScratchFiles files;
    Reader reader;
    // A '%' in the file name must not be taken as a format directive.
    ASSERT_TRUE(reader.Start(files.Write("p%s%n.fmt", "x")));
    std::string longText(3000, 'y');
    try {
        reader.RaiseParseError("Undefined data type '%s'", longText.c_str());
    } catch (const CParseError& e) {
        std::string text = e.what();
        EXPECT_EQ(text.size(), 1023u);
        EXPECT_EQ(text.compare(0, 3, "|E|"), 0);
        EXPECT_NE(text.find("-p%s%n.fmt(1): Undefined data type 'yyy"), std::string::npos);
    }
    // Without an open file there is no prefix.
    Reader closed;
    try {
        closed.RaiseParseError("Invalid token");
    } catch (const CParseError& e) {
        EXPECT_STREQ(e.what(), "Invalid token\n");
    }
}
