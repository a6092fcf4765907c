// The full parser: layout and packing, aliases and print formats, text
// members, annotations, the error texts with their lines, hostile input.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "FormatTestFiles.h"
#include "format/FmtNameParser.h"
#include "format/FormatParser.h"
#include "format/StringTable.h"

namespace {
struct Parsed {
    CFormatParser parser;
    bool ok = false;
    std::string log;

    const CDataType& Type(const std::string& name) const
    {
        for (const auto& t : parser.m_types)
            if (t->m_strName == name)
                return *t;
        throw std::runtime_error("no type " + name);
    }
    const CFieldType& Field(const std::string& name) const
    {
        const CFieldType* f = parser.FindFieldType(name);
        if (!f)
            throw std::runtime_error("no field " + name);
        return *f;
    }
};

std::unique_ptr<Parsed> ParseText(const std::string& text, const std::string& name = "tornelix.fmt")
{
    ScratchFiles files;
    TraceRecords trace;
    auto p = std::make_unique<Parsed>();
    p->ok = p->parser.Parse(files.Write(name, text));
    p->log = trace.Text();
    return p;
}

// The error text without the per-process file-name prefix.
std::string ErrorOf(const std::string& text)
{
    auto p = ParseText(text, "e.fmt");
    EXPECT_FALSE(p->ok);
    std::string error = p->parser.LastError();
    size_t at = error.find("-e.fmt");
    return at == std::string::npos ? error : "|E|e.fmt" + error.substr(at + 6);
}

const CDataMember& Member(const CBaseType& t, const std::string& name)
{
    for (const CDataMember& m : t.m_members)
        if (m.m_strName == name)
            return m;
    throw std::runtime_error("no member " + name);
}
} // namespace

TEST(FormatModel, BuiltinTypesAndAliasesInOrder)
{
    auto p = ParseText("");
    ASSERT_TRUE(p->ok);
    // The sizes themselves are checked by the types listing (paramtool_types_full).
    ASSERT_EQ(p->parser.m_types.size(), static_cast<size_t>(btCount));
    for (const BuiltinTypeRow& row : kBuiltinTypes) {
        const CDataType& t = p->parser.TypeAt(row.type);
        EXPECT_EQ(t.m_strName, row.name);
        EXPECT_EQ(t.m_pSize, row.size) << row.name;
        EXPECT_EQ(t.m_nAlignment, row.alignment) << row.name;
        EXPECT_EQ(t.m_nKind, row.kind) << row.name;
        EXPECT_EQ(t.m_nBuiltin, row.type) << row.name;
        EXPECT_FALSE(t.IsStructure());
    }
    ASSERT_EQ(p->parser.m_aliases.size(), 16u);
    EXPECT_EQ(p->parser.m_aliases[0].m_strName, "BOOL");
    EXPECT_EQ(p->parser.m_aliases[15].m_strName, "time_t");
    std::optional<std::string> format;
    EXPECT_EQ(p->parser.LookupType("guard_t", &format), btUInt64);
    EXPECT_EQ(format.value_or("none"), "0x%016I64X");
    EXPECT_EQ(p->parser.LookupType("UINT", &format), btUInt);
    EXPECT_FALSE(format.has_value());
    EXPECT_EQ(p->parser.LookupType("TCHAR", &format), btChar);
    EXPECT_EQ(format.value_or("none"), "0x%02X");
    EXPECT_EQ(p->parser.LookupType("Int"), -1);
}

TEST(FormatModel, PackingAndAlignment)
{
    auto p = ParseText("struct D { char c; int i; };\n"
                       "#pragma pack(1)\n"
                       "struct P1 { char c; int i; };\n"
                       "#pragma pack(2)\n"
                       "struct P2 { char c; int i; char t; };\n"
                       "#pragma pack(4)\n"
                       "struct P4 { char c; double d; };\n"
                       "#pragma pack(8)\n"
                       "struct P8 { char c; double d; short s; };\n"
                       "struct Outer { char c; P4 inner; char t; };\n"
                       "struct Arr { short s[3]; };\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    EXPECT_EQ(p->Type("D").m_pSize, 8);
    EXPECT_EQ(p->Type("D").m_nAlignment, 4);
    EXPECT_EQ(Member(p->Type("D"), "i").m_nOffset, 4);

    EXPECT_EQ(p->Type("P1").m_pSize, 5);
    EXPECT_EQ(p->Type("P1").m_nAlignment, 1);
    EXPECT_EQ(Member(p->Type("P1"), "i").m_nOffset, 1);

    EXPECT_EQ(p->Type("P2").m_pSize, 8);
    EXPECT_EQ(p->Type("P2").m_nAlignment, 2);
    EXPECT_EQ(Member(p->Type("P2"), "i").m_nOffset, 2);
    EXPECT_EQ(Member(p->Type("P2"), "t").m_nOffset, 6);

    EXPECT_EQ(p->Type("P4").m_pSize, 12);
    EXPECT_EQ(p->Type("P4").m_nAlignment, 4);
    EXPECT_EQ(Member(p->Type("P4"), "d").m_nOffset, 4);

    EXPECT_EQ(p->Type("P8").m_pSize, 24);
    EXPECT_EQ(p->Type("P8").m_nAlignment, 8);
    EXPECT_EQ(Member(p->Type("P8"), "s").m_nOffset, 16);

    // A structure member aligns to the structure's alignment.
    EXPECT_EQ(Member(p->Type("Outer"), "inner").m_nOffset, 4);
    EXPECT_EQ(Member(p->Type("Outer"), "t").m_nOffset, 16);
    EXPECT_EQ(p->Type("Outer").m_pSize, 20);
    EXPECT_EQ(p->Type("Arr").m_pSize, 6);
}

TEST(FormatModel, FieldBlockHasNoTailPadding)
{
    auto p = ParseText("struct S { double d; char c; };\nfield F { double d; char c; };\n"
                       "field G { char a; int *p; char b[3]; };\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    EXPECT_EQ(p->Type("S").m_pSize, 16);
    EXPECT_EQ(p->Field("F").m_pSize, 9);
    EXPECT_EQ(p->Field("F").m_nAlignment, 8);
    EXPECT_EQ(Member(p->Field("G"), "p").m_nOffset, 4);
    EXPECT_EQ(Member(p->Field("G"), "b").m_nOffset, 8);
    EXPECT_EQ(p->Field("G").m_pSize, 11);
}

TEST(FormatModel, FieldLookupTakesTheFirstOfDuplicates)
{
    auto p = ParseText("field F { int a; };\nfield F { char a; char b; };\n");
    ASSERT_TRUE(p->ok);
    ASSERT_EQ(p->parser.m_fieldTypes.size(), 2u);
    EXPECT_EQ(p->parser.FindFieldType("F")->m_pSize, 4);
    EXPECT_EQ(p->parser.FindFieldType("f"), nullptr);
}

TEST(FormatModel, PointersAreVoidPointers)
{
    auto p = ParseText("#pragma pack(1)\nstruct S { char c; double *pd; char *name[4]; };\n");
    ASSERT_TRUE(p->ok);
    const CDataMember& pd = Member(p->Type("S"), "pd");
    EXPECT_EQ(pd.m_bPointer, 1);
    EXPECT_EQ(pd.m_nTypeIndex, btDouble);
    EXPECT_EQ(p->parser.EffectiveType(pd).m_strName, "void*");
    EXPECT_EQ(pd.m_nOffset, 1);
    // The declared type decides a text member, even for pointers.
    EXPECT_TRUE(Member(p->Type("S"), "name").IsTextMember());
    EXPECT_EQ(p->Type("S").m_pSize, 21);
}

TEST(FormatModel, AliasesAndPrintFormats)
{
    auto p = ParseText("typedef WORD MYWORD;\ntypedef unsigned short MYSHORT;\ntypedef MYWORD W2;\n"
                       "typedef int DWORD;\n" // shadows nothing: the built-in DWORD is found first
                       "struct S { MYWORD a; MYSHORT b; W2 c; DWORD d; UINT e; unsigned short f; };\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    const CDataType& s = p->Type("S");
    EXPECT_EQ(Member(s, "a").m_strPrintFormat.value_or("none"), "0x%04X");
    EXPECT_EQ(Member(s, "a").m_nTypeIndex, btUShort);
    EXPECT_FALSE(Member(s, "b").m_strPrintFormat.has_value());
    EXPECT_EQ(Member(s, "c").m_strPrintFormat.value_or("none"), "0x%04X");
    EXPECT_EQ(Member(s, "d").m_strPrintFormat.value_or("none"), "0x%08X");
    EXPECT_EQ(Member(s, "d").m_nTypeIndex, btUInt);
    EXPECT_FALSE(Member(s, "e").m_strPrintFormat.has_value());
    EXPECT_EQ(Member(s, "f").m_nTypeIndex, btUShort);
}

TEST(FormatModel, AliasShadowsType)
{
    auto p = ParseText("struct Pos { int x; int y; };\ntypedef double Pos;\nstruct Pos { char c; };\n"
                       "struct S { Pos p; };\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    // The alias wins over the structure; the later structure is never found.
    EXPECT_EQ(Member(p->Type("S"), "p").m_nTypeIndex, btDouble);
    EXPECT_EQ(p->Type("S").m_pSize, 8);
    EXPECT_EQ(p->parser.m_types.size(), btCount + 3u);
}

TEST(FormatModel, TextMembers)
{
    auto p = ParseText("struct One { char name[16]; };\n"
                       "struct S { char name[16]; unsigned char u[4]; BYTE b[16]; TCHAR t[8]; char c;\n"
                       "  char f[4] /* -f %s */; };\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    const CDataType& s = p->Type("S");
    EXPECT_TRUE(Member(s, "name").IsTextMember());
    EXPECT_TRUE(Member(s, "u").IsTextMember());
    EXPECT_FALSE(Member(s, "b").IsTextMember());
    EXPECT_EQ(Member(s, "b").m_nArrayCount, 16);
    EXPECT_FALSE(Member(s, "t").IsTextMember());
    EXPECT_FALSE(Member(s, "c").IsTextMember());
    EXPECT_FALSE(Member(s, "f").IsTextMember());
    // A structure takes the kind of a single member.
    EXPECT_EQ(p->Type("One").m_nKind, 5);
    EXPECT_EQ(s.m_nKind, 0);
}

TEST(FormatModel, AnnotationOptions)
{
    auto p = ParseText("struct Axis /* -r 10 */ { int a; };\n"
                       "field F {\n"
                       "  int speed /* -n 'Feed - max' -u mm/min -f'%.3f\\n' -g 12 */;\n"
                       "  int plain /*-n Name -u mm*/, other;\n"
                       "  WORD arr[8] /* -k 2 ~ 5 -F Axis%d -b bits -g 0x10 */;\n"
                       "  int late; /* after the semicolon: ignored */\n"
                       "  DWORD fmt /* -f */;\n"
                       "  int half /* -k 3 */;\n"
                       "};\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    EXPECT_EQ(p->Type("Axis").m_nIDRange, 10);
    const CFieldType& f = p->Field("F");
    const CDataMember& speed = Member(f, "speed");
    EXPECT_EQ(speed.m_strComment, " -n 'Feed - max' -u mm/min -f'%.3f\\n' -g 12 ");
    EXPECT_EQ(speed.m_strPrintFormat.value_or("none"), "%.3f\n");
    EXPECT_EQ(speed.m_nID, 12);
    EXPECT_EQ(Member(f, "plain").m_strComment, "-n Name -u mm");
    EXPECT_EQ(Member(f, "other").m_strComment, "");
    EXPECT_EQ(Member(f, "other").m_nID, -1);

    const CDataMember& arr = Member(f, "arr");
    EXPECT_EQ(arr.m_nFirstIndex, 2);
    EXPECT_EQ(arr.m_nLastIndex, 5);
    // Unquoted values keep the blank after the letter.
    EXPECT_EQ(arr.ElementFormat().value_or("none"), " Axis%d");
    EXPECT_EQ(arr.BText(), " bits");
    EXPECT_EQ(arr.m_nID, 0); // atoi reads the leading 0 only
    EXPECT_EQ(arr.m_strPrintFormat.value_or("none"), "0x%04X");

    EXPECT_EQ(Member(f, "late").m_strComment, "");
    // An empty "-f" is still a format: it replaces the alias's.
    EXPECT_EQ(Member(f, "fmt").m_strPrintFormat.value_or("none"), "");
    EXPECT_EQ(Member(f, "half").m_nFirstIndex, 3);
    EXPECT_EQ(Member(f, "half").m_nLastIndex, INT_MAX);
}

// Members declared alike share one set of annotation parts; a change to
// one member's parts must not reach the others, and a member that differs
// in any part (here only the "-b" text) keeps its own.
TEST(FormatModel, AnnotationPartsSharedAndCopiedOnChange)
{
    auto p = ParseText("field F {\n"
                       "  double a /* -u mm -g 1 */; double b /* -g 2 -u mm */;\n"
                       "  double c /* -u mm -b x */; double d /* -u mm */;\n"
                       "};\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    CFieldType& f = *p->parser.FindFieldType("F");
    for (const CDataMember& m : f.m_members)
        EXPECT_EQ(m.Annotation().unit, " mm") << m.m_strName;
    EXPECT_EQ(f.m_members[2].BText(), " x");
    EXPECT_EQ(f.m_members[3].BText(), "");
    EXPECT_EQ(f.m_members[1].m_nID, 2);

    CDataMember copy = f.m_members[0];
    f.m_members[0].Notes().annotation.unit = "cm";
    EXPECT_EQ(f.m_members[0].Annotation().unit, "cm");
    EXPECT_EQ(f.m_members[1].Annotation().unit, " mm");
    EXPECT_EQ(copy.Annotation().unit, " mm");
}

TEST(FormatModel, AnnotationOnlyAfterNameOrBracket)
{
    auto p = ParseText("struct S { int a /* -g 1 */, b[2] /* -g 2 */; };\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    EXPECT_EQ(Member(p->Type("S"), "a").m_nID, 1);
    EXPECT_EQ(Member(p->Type("S"), "b").m_nID, 2);
    // A comment between the name and the brackets is the annotation; the
    // brackets that follow it are out of place.
    EXPECT_EQ(ErrorOf("struct S { int a /* x */ [2]; };"), "|E|e.fmt(1): Expecting token 'semicolon(;)'\n");
}

TEST(FormatModel, ResourceStringAnnotation)
{
    ScratchFiles files;
    std::string dir = files.Dir("lang");
    files.WriteIn(dir, "Tornelix.string",
                  "[Attribute]\r\nMaxIndex=20\r\n[STRING]\r\n12=-n Spindle\\tspeed -u rpm\r\n");
    SetStringTableDir(dir);
    ReleaseStringTable();
    auto p = ParseText("field F { int s /*{@12} ignored -g 5 */; int t /*{@13}*/; };\n");
    ReleaseStringTable();
    SetStringTableDir("");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    const CDataMember& s = Member(p->Field("F"), "s");
    EXPECT_EQ(s.m_strComment, "-n Spindle\tspeed -u rpm");
    EXPECT_EQ(s.m_nID, -1); // the comment's own text is gone
    EXPECT_EQ(Member(p->Field("F"), "t").m_strComment, "!ErrStr!");
    EXPECT_NE(p->log.find("|E|Load string 13 failed\n"), std::string::npos);
}

TEST(FormatAnnotations, FoundPastLineCommentsAndNewlinesWithTheLinesCounted)
{
    // An annotation may follow blank lines and line comments; the lines it
    // and they span count for the messages after it.
    auto p = ParseText("struct S {\n int a // note\n /* -g 7\n */ ;\n int c\n\n [2] // x\n /* -g 9 -u mm */;\n};\n");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    EXPECT_EQ(Member(p->Type("S"), "a").m_nID, 7);
    EXPECT_EQ(Member(p->Type("S"), "a").m_strComment, " -g 7\n ");
    EXPECT_EQ(Member(p->Type("S"), "c").m_nID, 9);
    EXPECT_EQ(Member(p->Type("S"), "c").m_strComment, " -g 9 -u mm ");
    EXPECT_EQ(ErrorOf("struct S {\n int a // note\n /* -g 7\n */ ;\n int b = 1;\n};"), "|E|e.fmt(5): Unexpected char\n");
    // A comment left open is the token reader's error, at the end of the text.
    EXPECT_EQ(ErrorOf("struct S { int a /* -g 1 ;\n};\n"), "|E|e.fmt(3): Unexpected char\n");
}

TEST(FormatErrors, MessagesCarryTheLine)
{
    EXPECT_EQ(ErrorOf("struct S {\n int a;\n int b = 1;\n};"), "|E|e.fmt(3): Unexpected char\n");
    EXPECT_EQ(ErrorOf("int a;"), "|E|e.fmt(1): Invalid token\n");
    EXPECT_EQ(ErrorOf("\n\n#pragma pack(3)"), "|E|e.fmt(3): Incorrect pack value\n");
    EXPECT_EQ(ErrorOf("#pragma pack(x)"), "|E|e.fmt(1): Expecting an integer\n");
    EXPECT_EQ(ErrorOf("#pragma pack 4"), "|E|e.fmt(1): Expecting token 'leftparenthesis(()'\n");
    EXPECT_EQ(ErrorOf("struct S { int a[0]; };"), "|E|e.fmt(1): Array size should be greater than zero\n");
    EXPECT_EQ(ErrorOf("struct S {\n WORDS a; };"), "|E|e.fmt(2): Undefined data type 'WORDS'\n");
    EXPECT_EQ(ErrorOf("struct S { unsigned WORD a; };"), "|E|e.fmt(1): Undefined data type 'unsigned WORD'\n");
    EXPECT_EQ(ErrorOf("struct T { int a; };\nstruct S { struct T t; };"),
              "|E|e.fmt(2): Expecting token 'an identifier'\n");
    EXPECT_EQ(ErrorOf("struct S { };"), "|E|e.fmt(1): Expecting token 'an identifier'\n");
    EXPECT_EQ(ErrorOf("struct S { int a; }"), "|E|e.fmt(1): Expecting token 'semicolon(;)'\n");
    EXPECT_EQ(ErrorOf("typedef int *P;"), "|E|e.fmt(1): Expecting token 'an identifier'\n");
    EXPECT_EQ(ErrorOf("field F { int a; };\n}"), "|E|e.fmt(2): Invalid token\n");
}

TEST(FormatErrors, ParseLogsAndKeepsWhatWasBuilt)
{
    auto p = ParseText("struct A { int a; };\nstruct B { int b; int c = ; };\n", "bad.fmt");
    EXPECT_FALSE(p->ok);
    EXPECT_NE(p->log.find("bad.fmt(2): Unexpected char\n"), std::string::npos) << p->log;
    EXPECT_EQ(p->parser.m_types.size(), btCount + 1u); // the built-ins and A
    EXPECT_EQ(p->parser.m_types.back()->m_strName, "A");

    ScratchFiles files;
    TraceRecords trace;
    CFormatParser parser;
    EXPECT_FALSE(parser.Parse(files.Missing("none.fmt")));
    EXPECT_EQ(trace.Text(), ""); // a missing file is no log line
    EXPECT_EQ(parser.Path(), files.Missing("none.fmt"));
}

TEST(FormatErrors, ReparseStartsAfresh)
{
    ScratchFiles files;
    TraceRecords trace;
    CFormatParser parser;
    EXPECT_FALSE(parser.Parse(files.Write("a.fmt", "#pragma pack(1)\nstruct A { int a; };\n\n\nbad")));
    ASSERT_TRUE(parser.Parse(files.Write("b.fmt", "struct B { char c; int i; };\n")));
    EXPECT_EQ(parser.m_types.size(), btCount + 1u);
    EXPECT_EQ(parser.m_types.back()->m_pSize, 8); // the pack value is back to 8
    EXPECT_FALSE(parser.Parse(files.Write("c.fmt", "struct C { int c; };\nx")));
    EXPECT_NE(parser.LastError().find("-c.fmt(2): Invalid token"), std::string::npos) << parser.LastError();
}

TEST(FormatErrors, SizesPastTheIntRangeAreRefused)
{
    EXPECT_EQ(ErrorOf("struct S { double d[0x7FFFFFFF]; };"),
              "|E|e.fmt(1): Size of data member 'd' exceeds 2147483647 bytes\n");
    EXPECT_EQ(ErrorOf("struct S { int a[0x20000000]; };"),
              "|E|e.fmt(1): Size of data member 'a' exceeds 2147483647 bytes\n");
    EXPECT_EQ(ErrorOf("field F { char a[0x7FFFFFFF]; char b; };"),
              "|E|e.fmt(1): Size of data type 'F' exceeds 2147483647 bytes\n");
    // A size that fits only before the final padding.
    EXPECT_EQ(ErrorOf("struct S { int i; char a[2147483641]; };"),
              "|E|e.fmt(1): Size of data type 'S' exceeds 2147483647 bytes\n");
    // The largest size still parses.
    auto p = ParseText("field F { char a[0x7FFFFFFF]; };");
    ASSERT_TRUE(p->ok) << p->parser.LastError();
    EXPECT_EQ(p->Field("F").m_pSize, INT_MAX);
}

TEST(FormatErrors, HostileInputParsesOrFailsCleanly)
{
    std::string longName(200000, 'n');
    auto p = ParseText("struct S { int " + longName + "; };");
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(p->Type("S").m_members[0].m_strName.size(), longName.size());

    p = ParseText("struct S { " + longName + " a; };");
    EXPECT_FALSE(p->ok);
    std::string err = p->parser.LastError();
    EXPECT_EQ(err.size(), 1023u);
    EXPECT_NE(err.find("tornelix.fmt(1): Undefined data type 'nnnnnnnnnn"), std::string::npos);

    // A million tokens in one field block.
    std::string big = "field F {\n";
    for (int i = 0; i < 250000; ++i)
        big += "int m" + std::to_string(i) + ";\n";
    big += "};\n";
    p = ParseText(big);
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(p->Field("F").m_pSize, 1000000);

    // A million stray tokens fail at the first.
    EXPECT_EQ(ErrorOf(std::string(1000000, ';')), "|E|e.fmt(1): Invalid token\n");
}

TEST(FormatModel, DumpShowsSizesAlignmentsAndOffsets)
{
    auto p = ParseText("struct S /* -r 3 */ { char c; DWORD d /* -g 4 */; };\nfield F { S s; char n[8]; };\n");
    ASSERT_TRUE(p->ok);
    std::ostringstream type, field;
    p->Type("S").Dump(type, p->parser.m_types);
    p->Field("F").Dump(field, p->parser.m_types);
    EXPECT_EQ(type.str(), "type (S) = {\n\tm_pSize=8;\n\tm_nAlignment=4;\n\tm_nIDRange=3;\n"
                          "\t+0\tchar c;\n\t+4\tunsigned int d; format=\"0x%08X\" id=4 /* -g 4 */\n}\n\n");
    EXPECT_EQ(field.str(), "field (F) = {\n\tm_pSize=16;\n\tm_nAlignment=4;\n"
                           "\t+0\tS s;\n\t+8\tchar n[8]; text\n}\n\n");
}

TEST(FormatErrors, ParsersLeaveNoHandleOnTheFile)
{
    ScratchFiles files;
    TraceRecords trace;
    std::string good = files.Write("h1.fmt", "field CController { int a; };");
    std::string bad = files.Write("h2.fmt", "field CController { int a = 1; };");
    CFormatParser parser;
    CFmtNameParser names;
    ASSERT_TRUE(parser.Parse(good));
    EXPECT_FALSE(parser.Parse(bad));
    ASSERT_TRUE(names.Scan(good));
    EXPECT_FALSE(names.Scan(bad));
    // On Windows an open handle denying writes would make these fail.
    EXPECT_TRUE(WriteWholeFile(good, "x", 1));
    EXPECT_EQ(remove(good.c_str()), 0);
    EXPECT_EQ(remove(bad.c_str()), 0);
}
