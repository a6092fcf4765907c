#include "format/PmTokenFile.h"

#include <algorithm>
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

// The keyword an identifier of 4 to 8 characters spells, or tkIdentifier.
int KeywordKind(const char* text, size_t length)
{
    for (const Keyword& k : kKeywords)
        if (k.text[0] == text[0] && strlen(k.text) == length && memcmp(k.text, text, length) == 0)
            return k.kind;
    return CPmTokenFile::tkIdentifier;
}

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

namespace {
// The character classes as one table (index: the byte; end of file has none).
enum CharClass : unsigned char { ccSpace = 1, ccDigit = 2, ccLetter = 4, ccIdentifierStart = 8, ccIdentifierChar = 16 };

struct CharClasses {
    unsigned char of[256];
    constexpr CharClasses() : of()
    {
        for (int c = 0; c < 256; ++c) {
            unsigned char k = 0;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f')
                k |= ccSpace;
            bool digit = c >= '0' && c <= '9';
            bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            bool start = letter || c == '_' || c > 128;
            if (digit)
                k |= ccDigit;
            if (letter)
                k |= ccLetter;
            if (start)
                k |= ccIdentifierStart;
            if (start || digit)
                k |= ccIdentifierChar;
            of[c] = k;
        }
    }
};
constexpr CharClasses kClasses;

inline bool Is(int c, unsigned char cls) { return c >= 0 && c < 256 && (kClasses.of[c] & cls) != 0; }
} // namespace

bool CPmTokenFile::IsSpace(int c) { return Is(c, ccSpace); }
bool CPmTokenFile::IsDigit(int c) { return Is(c, ccDigit); }
bool CPmTokenFile::IsLetter(int c) { return Is(c, ccLetter); }
bool CPmTokenFile::IsIdentifierStart(int c) { return Is(c, ccIdentifierStart); }
bool CPmTokenFile::IsIdentifierChar(int c) { return Is(c, ccIdentifierChar); }

namespace {
// Drops every '\r' that a '\n' follows: CR LF reads as one newline.
void FoldCrLf(PageString& text)
{
    size_t cr = text.find('\r');
    if (cr == std::string::npos)
        return;
    char* p = &text[0];
    size_t n = text.size(), out = cr;
    for (size_t i = cr; i < n; ++i) {
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            continue; // the newline that follows stands for both
        p[out++] = p[i];
    }
    text.resize(out);
}
} // namespace

void CPmTokenFile::LoadText()
{
    m_bLoaded = true;
    m_text.clear();
    // The rest of the file in as few reads as its length allows.
    uint64_t length = GetLength();
    uint64_t position = GetPosition();
    size_t want = length > position ? static_cast<size_t>(length - position) : 0;
    m_text.resize(want + 1);
    size_t have = 0;
    for (;;) {
        if (have == m_text.size())
            m_text.resize(m_text.size() * 2);
        size_t got = BinaryFile::Read(&m_text[have], m_text.size() - have);
        if (got == 0)
            break;
        have += got;
    }
    m_text.resize(have);
    FoldCrLf(m_text);
}

const std::string& CPmTokenFile::TokenText() const
{
    if (!m_bTokenCopied) {
        m_strToken.assign(m_text.data() + m_nTokenStart, m_nTokenLength);
        m_bTokenCopied = true;
    }
    return m_strToken;
}

int CPmTokenFile::ReadRawTokenKind()
{
    if (!m_bLoaded)
        LoadText();
    // Scans on the text directly.
    const unsigned char* text = reinterpret_cast<const unsigned char*>(m_text.data());
    const size_t n = m_text.size();
    const size_t start = m_nPos;
    size_t p = start;
    auto at = [&](size_t i) { return i < n ? static_cast<int>(text[i]) : -1; };
    auto finish = [&](int kind) {
        // Only these tokens can hold a newline.
        if (kind == tkNewLine || kind == tkBlockComment || kind == tkError)
            for (size_t i = start; i < p; ++i)
                if (text[i] == '\n')
                    ++m_nLine;
        m_nPos = p;
        return kind;
    };

    int c = at(p);
    if (c == -1)
        return tkEndOfFile; // end of file is no character of the token
    ++p;
    switch (c) {
    case '\n': return finish(tkNewLine);
    case '#': return finish(tkSharp);
    case '(': return finish(tkLeftParen);
    case ')': return finish(tkRightParen);
    case '*': return finish(tkPointer);
    case ',': return finish(tkComma);
    case ';': return finish(tkSemicolon);
    case '[': return finish(tkLeftBracket);
    case ']': return finish(tkRightBracket);
    case '{': return finish(tkLeftBrace);
    case '}': return finish(tkRightBrace);
    default: break;
    }

    if (c == '/') {
        c = at(p);
        if (c != -1)
            ++p;
        if (c == '/') {
            const void* nl = p < n ? memchr(text + p, '\n', n - p) : nullptr;
            p = nl ? static_cast<size_t>(static_cast<const unsigned char*>(nl) - text) : n;
            return finish(tkLineComment); // the newline is the next token
        }
        if (c == '*') {
            size_t close = m_text.find("*/", p);
            if (close == std::string::npos) {
                p = n;
                return finish(tkError);
            }
            p = close + 2;
            return finish(tkBlockComment);
        }
        return finish(tkError);
    }

    // The runs below stop at the text's terminating zero (no class) at the
    // latest, as at its end.
    const unsigned char* classes = kClasses.of;
    if (classes[c] & ccSpace) {
        while (classes[text[p]] & ccSpace)
            ++p;
        return finish(tkWhiteSpace);
    }

    if (classes[c] & ccDigit) {
        if (c == '0' && (at(p) == 'x' || at(p) == 'X')) {
            ++p;
            while (IsHexDigit(at(p)))
                ++p;
            if (IsLetter(at(p))) {
                ++p;
                return finish(tkError);
            }
            return finish(tkHexInteger);
        }
        while (classes[text[p]] & ccDigit)
            ++p;
        if (IsLetter(at(p))) {
            ++p;
            return finish(tkError);
        }
        return finish(tkInteger);
    }

    if (classes[c] & ccIdentifierStart) {
        while (classes[text[p]] & ccIdentifierChar)
            ++p;
        return finish(tkIdentifier);
    }
    return finish(tkError);
}

size_t CPmTokenFile::PastBlanks(size_t p, int& newlines) const
{
    const char* text = m_text.data();
    const size_t n = m_text.size();
    for (; p < n; ++p) {
        char c = text[p];
        if (c == '\n')
            ++newlines;
        else if (!IsSpace(static_cast<unsigned char>(c)))
            break;
    }
    return p;
}

int CPmTokenFile::NextToken()
{
    for (;;) {
        // Blanks and newlines are skipped here at once; the raw reader would
        // return each run as a token of its own.
        if (m_bLoaded) {
            size_t p = PastBlanks(m_nPos, m_nLine);
            m_nPos = p;
        }
        // Only a token that is returned needs its text.
        size_t start = m_nPos;
        m_nToken = ReadRawTokenKind();
        switch (m_nToken) {
        case tkNewLine:
        case tkWhiteSpace:
        case tkLineComment:
            continue;
        case tkBlockComment:
            if (m_nFlags & flagComments)
                break;
            continue;
        case tkError:
            m_strToken.assign(m_text.data() + start, m_nPos - start);
            m_bTokenCopied = true;
            RaiseParseError("Unexpected char");
        default:
            break;
        }
        // The text is copied only when asked for (TokenText).
        m_nTokenStart = start;
        m_nTokenLength = m_nPos - start;
        m_bTokenCopied = false;
        if (m_nToken == tkIdentifier && m_nTokenLength >= 4 && m_nTokenLength <= 8)
            m_nToken = KeywordKind(m_text.data() + start, m_nTokenLength);
        return m_nToken;
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
    SkipToken(kind);
    return TokenText();
}

void CPmTokenFile::SkipToken(int kind)
{
    if (PeekToken() != kind)
        RaiseParseError("Expecting token '%s'", TokenDisplayName(kind));
    m_nToken = tkNone;
}

const std::string& CPmTokenFile::ExpectIdentifier() { return ExpectToken(tkIdentifier); }

std::string_view CPmTokenFile::ExpectIdentifierView()
{
    SkipToken(tkIdentifier);
    return TokenView();
}

std::string_view CPmTokenFile::TokenView() const
{
    if (m_bTokenCopied)
        return m_strToken;
    return std::string_view(m_text.data() + m_nTokenStart, m_nTokenLength);
}

bool CPmTokenFile::ReadBlockComment(std::string_view& comment)
{
    // On the text directly, without a token's round trip; a pending token,
    // a text not read yet or a comment left open take the token reader's
    // way, which also raises its error.
    if (m_nToken == tkNone && m_bLoaded) {
        const char* text = m_text.data();
        const size_t n = m_text.size();
        size_t p = m_nPos;
        int lines = 0;
        for (;;) {
            p = PastBlanks(p, lines);
            if (p + 1 < n && text[p] == '/' && text[p + 1] == '/') {
                const void* nl = memchr(text + p, '\n', n - p); // the newline is passed over above
                p = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text) : n;
                continue;
            }
            break;
        }
        bool opens = p + 1 < n && text[p] == '/' && text[p + 1] == '*';
        size_t close = opens ? m_text.find("*/", p + 2) : std::string::npos;
        if (!opens || close != std::string::npos) {
            m_nLine += lines;
            m_nPos = p;
            if (!opens)
                return false;
            size_t end = close + 2;
            m_nLine += static_cast<int>(std::count(text + p, text + end, '\n'));
            m_nTokenStart = p;
            m_nTokenLength = end - p;
            m_bTokenCopied = false;
            m_nPos = end;
            comment = std::string_view(text + p, end - p);
            return true;
        }
    }
    SetCommentTokens(true);
    int kind = PeekToken();
    SetCommentTokens(false);
    if (kind != tkBlockComment)
        return false;
    SkipToken(tkBlockComment);
    comment = TokenView();
    return true;
}

int CPmTokenFile::ExpectInteger()
{
    int kind = PeekToken();
    if (kind == tkHexInteger) {
        m_nToken = tkNone;
        return ToInt32(TokenText(), 16);
    }
    if (kind == tkInteger) {
        m_nToken = tkNone;
        return ToInt32(TokenText(), 10);
    }
    RaiseParseError("Expecting an integer");
}

void CPmTokenFile::CloseQuietly()
{
    TokenText(); // the last token's text outlives the text read
    m_bInMemory = false;
    PageString().swap(m_text); // the text is not read again
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
    m_bTokenCopied = true;
    m_text.clear();
    m_nPos = 0;
    m_bLoaded = false;
    m_nToken = tkNone;
    m_nLine = 0;
    m_nFlags = 0;
    return Open(path, modeRead | shareDenyWrite);
}

void CPmTokenFile::StartParseOfText(const char* data, size_t size, const std::string& name)
{
    CloseQuietly();
    m_strToken.clear();
    m_bTokenCopied = true;
    m_text.assign(data, size);
    FoldCrLf(m_text);
    m_nPos = 0;
    m_bLoaded = true;
    m_bInMemory = true;
    m_path = name;
    m_nToken = tkNone;
    m_nLine = 0;
    m_nFlags = 0;
}

size_t CPmTokenFile::CountAhead(char what, char stop) const
{
    if (m_nPos >= m_text.size())
        return 0;
    const char* begin = m_text.data() + m_nPos;
    const char* end = static_cast<const char*>(memchr(begin, stop, m_text.size() - m_nPos));
    if (!end)
        end = m_text.data() + m_text.size();
    // One pass over the bytes, in byte-wide sums of 255 bytes at most that
    // the compiler vectorises: a memchr per hit cost more where hits are a
    // few dozen bytes apart, as a block's ';' are.
    size_t count = 0;
    for (const char* p = begin; p < end;) {
        size_t run = static_cast<size_t>(end - p) < 255 ? static_cast<size_t>(end - p) : 255;
        unsigned char partial = 0;
        for (size_t i = 0; i < run; ++i)
            partial = static_cast<unsigned char>(partial + (p[i] == what));
        count += partial;
        p += run;
    }
    return count;
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
    if (IsOpen() || m_bInMemory)
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
