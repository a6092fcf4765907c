#include "format/PmTokenFile.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
const char* const kDisplayNames[CPmTokenFile::tkCount] = {
    "--un used --",
    "semicolon(;)",
    "comma(,)",
    "leftbrace({)",
    "rightbrace(})",
    "pointer(*)",
    "sharp(#)",
    "leftbracket([)",
    "rightbracket(])",
    "leftparenthesis(()",
    "rightparenthesis())",
    "unsigned",
    "struct",
    "field",
    "pragma",
    "pack",
    "typedef",
    "an identifier",
    "an integer",
    "an integer",
    "end of file",
    "-- error --",
    "-- na --",
    "new line",
    "white spaces",
    "c comment",
    "c++ comment",
};

struct Keyword {
    const char* text;
    int kind;
};
// Compared in this order, case-sensitively.
const Keyword kKeywords[] = {
    {"struct", CPmTokenFile::tkStruct}, {"field", CPmTokenFile::tkField},   {"unsigned", CPmTokenFile::tkUnsigned},
    {"pragma", CPmTokenFile::tkPragma}, {"pack", CPmTokenFile::tkPack},     {"typedef", CPmTokenFile::tkTypedef},
};

bool IsHexDigit(int c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Only the file's name and extension go into messages.
std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// strtol as a 32-bit long converts it: values past the range clamp.
int ToInt32(const std::string& text, int base)
{
    unsigned long long value = 0;
    const char* p = text.c_str();
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        p += 2;
    for (; *p; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            break;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0x7FFFFFFFull)
            return 0x7FFFFFFF;
    }
    return static_cast<int>(value);
}
} // namespace

CPmTokenFile::CPmTokenFile() = default;
CPmTokenFile::~CPmTokenFile() = default;

const char* CPmTokenFile::TokenDisplayName(int kind)
{
    if (kind < 0 || kind >= tkCount)
        return "";
    return kDisplayNames[kind];
}

bool CPmTokenFile::IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool CPmTokenFile::IsDigit(int c) { return c >= '0' && c <= '9'; }
bool CPmTokenFile::IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool CPmTokenFile::IsIdentifierStart(int c) { return IsLetter(c) || c == '_' || c > 128; }
bool CPmTokenFile::IsIdentifierChar(int c) { return IsIdentifierStart(c) || IsDigit(c); }

void CPmTokenFile::LoadText()
{
    m_bLoaded = true;
    std::string raw;
    char piece[1 << 16];
    for (;;) {
        size_t got = BinaryFile::Read(piece, sizeof piece);
        if (got == 0)
            break;
        raw.append(piece, got);
    }
    m_text.clear();
    m_text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue; // the newline that follows stands for both
        m_text.push_back(raw[i]);
    }
}

int CPmTokenFile::GetChar()
{
    if (!m_bLoaded)
        LoadText();
    if (m_nPos >= m_text.size())
        return -1; // end of file is no character of the token
    int c = static_cast<unsigned char>(m_text[m_nPos++]);
    ++m_nChars;
    if (c == '\n')
        ++m_nLine;
    return c;
}

void CPmTokenFile::UngetChar(int c)
{
    if (c == -1)
        return;
    --m_nPos;
    --m_nChars;
    if (c == '\n')
        --m_nLine;
}

int CPmTokenFile::ReadRawToken()
{
    size_t start = m_nPos;
    int kind = ReadRawTokenKind();
    m_strToken.assign(m_text, start, m_nPos - start);
    return kind;
}

int CPmTokenFile::ReadRawTokenKind()
{
    int c = GetChar();
    switch (c) {
    case '\n': return tkNewLine;
    case '#': return tkSharp;
    case '(': return tkLeftParen;
    case ')': return tkRightParen;
    case '*': return tkPointer;
    case ',': return tkComma;
    case ';': return tkSemicolon;
    case '[': return tkLeftBracket;
    case ']': return tkRightBracket;
    case '{': return tkLeftBrace;
    case '}': return tkRightBrace;
    case -1: return tkEndOfFile;
    default: break;
    }

    if (c == '/') {
        c = GetChar();
        if (c == '/') {
            do
                c = GetChar();
            while (c != '\n' && c != -1);
            UngetChar(c); // the newline is the next token
            return tkLineComment;
        }
        if (c == '*') {
            for (;;) {
                c = GetChar();
                if (c == -1)
                    return tkError;
                if (c == '*') {
                    c = GetChar();
                    if (c == '/')
                        return tkBlockComment;
                    UngetChar(c); // another '*' may start the end
                }
            }
        }
        return tkError;
    }

    if (IsSpace(c)) {
        do
            c = GetChar();
        while (IsSpace(c));
        UngetChar(c);
        return tkWhiteSpace;
    }

    if (IsDigit(c)) {
        if (c == '0') {
            int next = GetChar();
            if (next == 'x' || next == 'X') {
                do
                    c = GetChar();
                while (IsHexDigit(c));
                if (IsLetter(c))
                    return tkError;
                UngetChar(c);
                return tkHexInteger;
            }
            UngetChar(next);
        }
        do
            c = GetChar();
        while (IsDigit(c));
        if (IsLetter(c))
            return tkError;
        UngetChar(c);
        return tkInteger;
    }

    if (IsIdentifierStart(c)) {
        do
            c = GetChar();
        while (IsIdentifierChar(c));
        UngetChar(c);
        return tkIdentifier;
    }
    return tkError;
}

int CPmTokenFile::NextToken()
{
    for (;;) {
        m_nToken = ReadRawToken();
        switch (m_nToken) {
        case tkNewLine:
        case tkWhiteSpace:
        case tkLineComment:
            continue;
        case tkBlockComment:
            if (m_nFlags & flagComments)
                return m_nToken;
            continue;
        case tkError:
            RaiseParseError("Unexpected char");
        case tkIdentifier:
            for (const Keyword& k : kKeywords) {
                if (m_strToken == k.text) {
                    m_nToken = k.kind;
                    break;
                }
            }
            return m_nToken;
        default:
            return m_nToken;
        }
    }
}

int CPmTokenFile::PeekToken()
{
    if (m_nToken == tkNone)
        NextToken();
    return m_nToken;
}

const std::string& CPmTokenFile::ExpectToken(int kind)
{
    if (PeekToken() != kind)
        RaiseParseError("Expecting token '%s'", TokenDisplayName(kind));
    m_nToken = tkNone;
    return m_strToken;
}

const std::string& CPmTokenFile::ExpectIdentifier() { return ExpectToken(tkIdentifier); }

int CPmTokenFile::ExpectInteger()
{
    int kind = PeekToken();
    if (kind == tkHexInteger) {
        m_nToken = tkNone;
        return ToInt32(m_strToken, 16);
    }
    if (kind == tkInteger) {
        m_nToken = tkNone;
        return ToInt32(m_strToken, 10);
    }
    RaiseParseError("Expecting an integer");
}

void CPmTokenFile::CloseQuietly()
{
    std::string().swap(m_text); // the text is not read again
    m_nPos = 0;
    try {
        Close();
    } catch (const FileError&) {
        Abort();
    }
}

bool CPmTokenFile::OpenForParse(const std::string& path)
{
    CloseQuietly();
    m_strToken.clear();
    m_text.clear();
    m_nPos = 0;
    m_bLoaded = false;
    m_nToken = tkNone;
    m_nChars = 0;
    m_nLine = 0;
    m_nFlags = 0;
    return Open(path, modeRead | shareDenyWrite);
}

void CPmTokenFile::SetCommentTokens(bool on)
{
    if (on)
        m_nFlags |= flagComments;
    else
        m_nFlags &= ~flagComments;
}

void CPmTokenFile::RaiseParseError(const char* format, ...)
{
    std::string prefix;
    if (IsOpen())
        prefix = "|E|" + BaseName(m_path) + "(" + std::to_string(m_nLine + 1) + "): ";

    char message[kMessageBufferSize];
    std::string messageFormat = std::string(format) + "\n";
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, messageFormat.c_str(), args);
    va_end(args);

    std::string text = prefix + message;
    if (text.size() > kMessageBufferSize - 1)
        text.resize(kMessageBufferSize - 1);
    throw CParseError(text);
}
