#include "format/FormatParser.h"

#include <cstdint>

#include "logs/TraceLog.h"
#include "format/AnnotationOptions.h"
#include "format/StringTable.h"

namespace {
// The most members a size hint reserves room for at once.
const size_t kMaxReserve = 1u << 20;

struct BuiltinAliasDef {
    const char* name;
    const char* type;
    const char* format; // nullptr: none
};
const BuiltinAliasDef kBuiltinAliases[CFormatParser::kBuiltinAliasCount] = {
    {"BOOL", "int", nullptr},
    {"BYTE", "unsigned char", "0x%02X"},
    {"COLORREF", "unsigned int", "0x%08X"},
    {"DOUBLE", "double", nullptr},
    {"DWORD", "unsigned int", "0x%08X"},
    {"FLOAT", "float", nullptr},
    {"INT", "int", nullptr},
    {"INT64", "__int64", nullptr},
    {"LONG", "long", nullptr},
    {"TCHAR", "char", "0x%02X"},
    {"UINT", "unsigned int", nullptr},
    {"UINT64", "unsigned __int64", nullptr},
    {"ULONG", "unsigned long", nullptr},
    {"WORD", "unsigned short", "0x%04X"},
    {"guard_t", "unsigned __int64", "0x%016I64X"},
    {"time_t", "long", nullptr},
};

// What printing takes from the annotation is what a member without one has.
bool IsDefault(const CMemberAnnotation& a)
{
    const CMultiplier none;
    return !a.name && a.unit.empty() && a.effect.empty() && a.description.empty() &&
           a.multiplier.integer == none.integer && a.multiplier.integerIllegal == none.integerIllegal &&
           !(a.multiplier.real < none.real || a.multiplier.real > none.real) &&
           a.multiplier.realIllegal == none.realIllegal;
}

// Whether m's annotation parts are what a gives a member.
bool SameNotes(const CDataMember& m, const CAnnotation& a)
{
    const CMemberAnnotation& x = m.Annotation();
    const CMemberAnnotation& y = a.member;
    return x.name == y.name && x.unit == y.unit && x.effect == y.effect && x.description == y.description &&
           x.multiplier.integer == y.multiplier.integer && x.multiplier.integerIllegal == y.multiplier.integerIllegal &&
           !(x.multiplier.real < y.multiplier.real || x.multiplier.real > y.multiplier.real) &&
           x.multiplier.realIllegal == y.multiplier.realIllegal && m.ElementFormat() == a.elementFormat &&
           (a.bText ? m.BText() == *a.bText : m.BText().empty());
}

// The text between "/*" and "*/" of a block comment token.
std::string_view CommentBody(std::string_view comment)
{
    if (comment.size() < 4)
        return std::string_view();
    return comment.substr(2, comment.size() - 4);
}
} // namespace

CFormatParser::CFormatParser() = default;
CFormatParser::~CFormatParser() = default;

void CFormatParser::ResetModel()
{
    m_types.clear();
    m_fieldTypes.clear();
    m_aliases.clear();
    m_nPack = 8;
    m_lastNoted = CDataMember();
}

void CFormatParser::AddBuiltins()
{
    for (const BuiltinTypeRow& t : kBuiltinTypes)
        m_types.push_back(std::make_unique<CDataType>(t.name, t.size, t.alignment, t.kind, t.type));
    for (const BuiltinAliasDef& a : kBuiltinAliases) {
        int index = -1;
        for (size_t i = 0; i < m_types.size(); ++i) {
            if (m_types[i]->m_strName == a.type) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index < 0)
            m_tokens.RaiseParseError("Undefined data type alias '%s'", a.name);
        CDataTypeAlias alias;
        alias.m_strName = a.name;
        if (a.format)
            alias.m_strPrintFormat = std::string(a.format);
        alias.m_nTypeIndex = index;
        m_aliases.push_back(std::move(alias));
    }
}

bool CFormatParser::Parse(const std::string& path) { return Run(path, nullptr, 0); }

bool CFormatParser::ParseText(const char* data, size_t size, const std::string& name)
{
    return Run(name, data, size);
}

bool CFormatParser::Run(const std::string& path, const char* data, size_t size)
{
    ResetModel();
    m_tokens.CloseQuietly();
    m_strLastError.clear();
    m_strPath = path;

    bool ok = true;
    try {
        AddBuiltins();
        if (data)
            m_tokens.StartParseOfText(data, size, path);
        else if (!m_tokens.OpenForParse(path))
            return false;
        while (m_tokens.PeekToken() != CPmTokenFile::tkEndOfFile)
            ParseTopLevel();
        m_tokens.SkipToken(CPmTokenFile::tkEndOfFile);
    } catch (const CParseError& e) {
        m_strLastError = e.what();
        ok = false;
    } catch (const FileError& e) {
        m_strLastError = StrPrintf("|E|%s: read error %d\n", path.c_str(), e.m_cause);
        ok = false;
    }
    // Nothing reads the file after the parse; an open handle that denies
    // writes would only stand in the way of the wipe of the program tree.
    m_tokens.CloseQuietly();
    if (!ok)
        AppendTraceLog(m_strLastError);
    return ok;
}

void CFormatParser::ParseTopLevel()
{
    switch (m_tokens.PeekToken()) {
    case CPmTokenFile::tkSharp: ParsePack(); break;
    case CPmTokenFile::tkStruct: ParseStruct(); break;
    case CPmTokenFile::tkField: ParseField(); break;
    case CPmTokenFile::tkTypedef: ParseTypedef(); break;
    default: m_tokens.RaiseParseError("Invalid token");
    }
}

void CFormatParser::ParsePack()
{
    m_tokens.SkipToken(CPmTokenFile::tkSharp);
    m_tokens.SkipToken(CPmTokenFile::tkPragma);
    m_tokens.SkipToken(CPmTokenFile::tkPack);
    m_tokens.SkipToken(CPmTokenFile::tkLeftParen);
    int pack = m_tokens.ExpectInteger();
    if (pack != 1 && pack != 2 && pack != 4 && pack != 8)
        m_tokens.RaiseParseError("Incorrect pack value");
    m_tokens.SkipToken(CPmTokenFile::tkRightParen);
    m_nPack = pack;
}

bool CFormatParser::ReadAnnotation(std::string& text)
{
    std::string_view comment;
    if (!m_tokens.ReadBlockComment(comment))
        return false;
    text = CommentBody(comment);
    return true;
}

void CFormatParser::ParseStruct()
{
    m_tokens.SkipToken(CPmTokenFile::tkStruct);
    auto type = std::make_unique<CDataType>(m_tokens.ExpectIdentifier());
    std::string annotation;
    if (ReadAnnotation(annotation))
        type->m_nIDRange = ParseAnnotation(annotation).idRange;
    m_tokens.SkipToken(CPmTokenFile::tkLeftBrace);
    ParseMemberList(*type);
    m_tokens.SkipToken(CPmTokenFile::tkRightBrace);
    m_tokens.SkipToken(CPmTokenFile::tkSemicolon);
    AlignSize(*type, type->m_nAlignment);
    if (type->m_members.size() == 1)
        type->m_nKind = type->m_members[0].m_nKind;
    m_types.push_back(std::move(type));
}

void CFormatParser::ParseField()
{
    m_tokens.SkipToken(CPmTokenFile::tkField);
    auto type = std::make_unique<CFieldType>(m_tokens.ExpectIdentifier());
    m_tokens.SkipToken(CPmTokenFile::tkLeftBrace);
    ParseMemberList(*type);
    m_tokens.SkipToken(CPmTokenFile::tkRightBrace);
    m_tokens.SkipToken(CPmTokenFile::tkSemicolon);
    m_fieldTypes.push_back(std::move(type));
}

void CFormatParser::ParseTypedef()
{
    m_tokens.SkipToken(CPmTokenFile::tkTypedef);
    CDataTypeAlias alias;
    const std::optional<std::string>* format = nullptr;
    alias.m_nTypeIndex = FindType(format);
    alias.m_strPrintFormat = *format;
    alias.m_strName = m_tokens.ExpectIdentifier();
    m_tokens.SkipToken(CPmTokenFile::tkSemicolon);
    m_aliases.push_back(std::move(alias));
}

void CFormatParser::ParseMemberList(CBaseType& type)
{
    // Room for one member per ';' up to the closing brace, so that a block
    // of many members is not moved again and again as it grows.
    size_t expected = m_tokens.CountAhead(';', '}');
    if (expected > 64)
        type.m_members.reserve(type.m_members.size() + (expected < kMaxReserve ? expected : kMaxReserve));
    // Later declarations may begin with "unsigned" as well as the first.
    do
        ParseMemberDeclaration(type);
    while (m_tokens.PeekToken() == CPmTokenFile::tkIdentifier || m_tokens.PeekToken() == CPmTokenFile::tkUnsigned);
}

void CFormatParser::ParseMemberDeclaration(CBaseType& type)
{
    const std::optional<std::string>* format = nullptr;
    int typeIndex = FindType(format);
    // The alias list does not change during the declaration.
    const std::optional<std::string>& aliasFormat = *format;
    for (;;) {
        // Built in its place in the list, and taken out again on an error.
        CDataMember& member = type.m_members.emplace_back();
        try {
            ReadMember(member, typeIndex, aliasFormat);
        } catch (...) {
            type.m_members.pop_back();
            throw;
        }
        try {
            type.LayOutLastMember(EffectiveType(member), m_nPack);
        } catch (const CLayoutError& e) {
            m_tokens.RaiseParseError("%s", e.what());
        }

        if (m_tokens.PeekToken() != CPmTokenFile::tkComma)
            break;
        m_tokens.SkipToken(CPmTokenFile::tkComma);
    }
    m_tokens.SkipToken(CPmTokenFile::tkSemicolon);
}

void CFormatParser::ReadMember(CDataMember& member, int typeIndex, const std::optional<std::string>& aliasFormat)
{
    member.m_nTypeIndex = typeIndex;
    member.m_strPrintFormat = aliasFormat;
    if (m_tokens.PeekToken() == CPmTokenFile::tkPointer) {
        m_tokens.SkipToken(CPmTokenFile::tkPointer);
        member.m_bPointer = 1;
    }
    member.m_strName = m_tokens.ExpectIdentifierView();

    std::string comment;
    bool annotated = ReadAnnotation(comment);
    if (!annotated && m_tokens.PeekToken() == CPmTokenFile::tkLeftBracket) {
        m_tokens.SkipToken(CPmTokenFile::tkLeftBracket);
        member.m_nArrayCount = m_tokens.ExpectInteger();
        if (member.m_nArrayCount <= 0)
            m_tokens.RaiseParseError("Array size should be greater than zero");
        m_tokens.SkipToken(CPmTokenFile::tkRightBracket);
        annotated = ReadAnnotation(comment);
    }
    if (annotated) {
        if (comment.size() >= 2 && comment[0] == '{' && comment[1] == '@')
            comment = GetResourceString(ClampedAtoi(comment.c_str() + 2));
        CAnnotation a = ParseAnnotation(comment);
        member.m_strComment = std::move(comment);
        if (a.printFormat)
            member.m_strPrintFormat = std::move(a.printFormat);
        // Most annotations set only the ID: the other parts are made when set.
        if (!IsDefault(a.member) || a.elementFormat || a.bText) {
            // Neighbours often carry the same unit or effect: one set of
            // parts for a run of them.
            if (m_lastNoted.HasNotes() && SameNotes(m_lastNoted, a)) {
                member.ShareNotes(m_lastNoted);
            } else {
                CMemberNotes& notes = member.Notes();
                notes.annotation = std::move(a.member);
                notes.elementFormat = std::move(a.elementFormat);
                if (a.bText)
                    notes.bText = std::move(*a.bText);
                m_lastNoted.ShareNotes(member);
            }
        }
        if (a.id)
            member.m_nID = *a.id;
        member.m_nFirstIndex = a.firstIndex;
        member.m_nLastIndex = a.lastIndex;
    }
}

void CFormatParser::AlignSize(CBaseType& type, int n)
{
    try {
        type.AlignSize(n);
    } catch (const CLayoutError& e) {
        m_tokens.RaiseParseError("%s", e.what());
    }
}

namespace {
size_t HashName(std::string_view name)
{
    uint64_t h = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : name)
        h = (h ^ c) * 1099511628211ull;
    return static_cast<size_t>(h ^ (h >> 29));
}
} // namespace

void CFormatParser::CNameIndex::Clear()
{
    m_entries.clear();
    m_slots.clear();
}

void CFormatParser::CNameIndex::Add(const std::string& name, bool alias, int value)
{
    if (const Entry* found = Find(name)) {
        Entry& e = m_entries[static_cast<size_t>(found - m_entries.data())];
        int& first = alias ? e.alias : e.type;
        if (first < 0)
            first = value;
        return;
    }
    if ((m_entries.size() + 1) * 2 > m_slots.size()) {
        size_t size = m_slots.empty() ? 64 : m_slots.size() * 2;
        m_slots.assign(size, -1);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            size_t slot = m_entries[i].hash & (size - 1);
            while (m_slots[slot] >= 0)
                slot = (slot + 1) & (size - 1);
            m_slots[slot] = static_cast<int>(i);
        }
    }
    size_t hash = HashName(name);
    size_t mask = m_slots.size() - 1;
    size_t slot = hash & mask;
    while (m_slots[slot] >= 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = static_cast<int>(m_entries.size());
    m_entries.push_back({name, hash, alias ? value : -1, alias ? -1 : value});
}

const CFormatParser::CNameIndex::Entry* CFormatParser::CNameIndex::Find(std::string_view name) const
{
    if (m_slots.empty())
        return nullptr;
    size_t hash = HashName(name);
    size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask; m_slots[slot] >= 0; slot = (slot + 1) & mask) {
        const Entry& e = m_entries[static_cast<size_t>(m_slots[slot])];
        if (e.hash == hash && e.name == name)
            return &e;
    }
    return nullptr;
}

int CFormatParser::LookupType(const std::string& name, std::optional<std::string>* printFormat) const
{
    const std::optional<std::string>* format = nullptr;
    int index = LookupName(name, format);
    if (printFormat && index >= 0)
        *printFormat = *format;
    return index;
}

int CFormatParser::LookupName(std::string_view name, const std::optional<std::string>*& printFormat) const
{
    // Aliases first, then types; the first of equal names counts. The index
    // follows the lists as they grow and starts again when they shrink.
    if (m_indexedAliases > m_aliases.size() || m_indexedTypes > m_types.size()) {
        m_nameIndex.Clear();
        m_indexedAliases = m_indexedTypes = 0;
    }
    for (; m_indexedAliases < m_aliases.size(); ++m_indexedAliases)
        m_nameIndex.Add(m_aliases[m_indexedAliases].m_strName, true, static_cast<int>(m_indexedAliases));
    for (; m_indexedTypes < m_types.size(); ++m_indexedTypes)
        m_nameIndex.Add(m_types[m_indexedTypes]->m_strName, false, static_cast<int>(m_indexedTypes));

    static const std::optional<std::string> kNoFormat;
    const CNameIndex::Entry* e = m_nameIndex.Find(name);
    if (!e)
        return -1;
    if (e->alias >= 0) {
        const CDataTypeAlias& a = m_aliases[static_cast<size_t>(e->alias)];
        printFormat = &a.m_strPrintFormat;
        return a.m_nTypeIndex;
    }
    printFormat = &kNoFormat;
    return e->type;
}

int CFormatParser::FindType(const std::optional<std::string>*& printFormat)
{
    if (m_tokens.PeekToken() != CPmTokenFile::tkUnsigned) {
        std::string_view name = m_tokens.ExpectIdentifierView();
        int index = LookupName(name, printFormat);
        if (index < 0)
            m_tokens.RaiseParseError("Undefined data type '%s'", std::string(name).c_str());
        return index;
    }
    m_tokens.SkipToken(CPmTokenFile::tkUnsigned);
    std::string name = "unsigned " + m_tokens.ExpectIdentifier();
    int index = LookupName(name, printFormat);
    if (index < 0)
        m_tokens.RaiseParseError("Undefined data type '%s'", name.c_str());
    return index;
}

CFieldType* CFormatParser::FindFieldType(const std::string& name)
{
    for (auto& field : m_fieldTypes)
        if (field->m_strName == name)
            return field.get();
    return nullptr;
}

const CFieldType* CFormatParser::FindFieldType(const std::string& name) const
{
    return const_cast<CFormatParser*>(this)->FindFieldType(name);
}
