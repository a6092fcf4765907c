// The token reader of the format description language: a text file read
// whole into memory at the first character asked for (CR LF arrives as one
// newline on every platform), cut into tokens with one token of look-ahead
// and a line counter. Syntax
// errors are thrown as CParseError carrying the finished "|E|name(line): ..."
// text; the parse entry points catch it and log it.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/File.h"
#include "platform/PageBlock.h"
#include "platform/StringUtil.h"

// A parse error: what() is the finished message, newline included.
class CParseError : public std::runtime_error {
public:
    explicit CParseError(const std::string& text) : std::runtime_error(text) {}
};

class CPmTokenFile : public TextFile {
public:
    enum TokenKind {
        tkUnused = 0,
        tkSemicolon = 1,
        tkComma = 2,
        tkLeftBrace = 3,
        tkRightBrace = 4,
        tkPointer = 5,
        tkSharp = 6,
        tkLeftBracket = 7,
        tkRightBracket = 8,
        tkLeftParen = 9,
        tkRightParen = 10,
        tkUnsigned = 11,
        tkStruct = 12,
        tkField = 13,
        tkPragma = 14,
        tkPack = 15,
        tkTypedef = 16,
        tkIdentifier = 17,
        tkInteger = 18,
        tkHexInteger = 19,
        tkEndOfFile = 20,
        tkError = 21,
        tkNone = 22, // no token pending
        tkNewLine = 23,
        tkWhiteSpace = 24,
        tkBlockComment = 25,
        tkLineComment = 26,
        tkCount = 27
    };
    enum Flags {
        flagComments = 1 // block comments are returned as tokens, not skipped
    };
    // The message buffer size of a parse error (terminator included).
    static const int kMessageBufferSize = 1024;

    CPmTokenFile();
    ~CPmTokenFile() override;

    // "semicolon(;)", "an identifier", ...; "" for a value out of range.
    static const char* TokenDisplayName(int kind);

    // Character classes of the language (bytes 0..255, -1 = end of file).
    static bool IsSpace(int c);          // isspace without the newline
    static bool IsDigit(int c);
    static bool IsLetter(int c);         // A-Z, a-z
    static bool IsIdentifierStart(int c); // letter, '_', byte > 128
    static bool IsIdentifierChar(int c);  // letter, digit, '_', byte > 128

    int NextToken();
    int PeekToken();
    // Returns the token text; valid until the next token is read.
    const std::string& ExpectToken(int kind);
    const std::string& ExpectIdentifier();
    // ExpectToken without the token's text.
    void SkipToken(int kind);
    // ExpectIdentifier as a view of the text read; valid until the next
    // token is read.
    std::string_view ExpectIdentifierView();
    int ExpectInteger();

    // Builds "|E|name(line): " + message and throws CParseError. The file name
    // is inserted as plain text; the whole is cut to 1023 characters.
    [[noreturn]] void RaiseParseError(const char* format, ...) TLX_PRINTF(2, 3);

    // The block comment that comes next, if one does (an annotation): blanks,
    // newlines and line comments before it are passed over as the token
    // reader passes them. Returns false, with only those passed over, when
    // something else comes next. The comment, "/*" and "*/" included, stays
    // valid until the next token is read.
    bool ReadBlockComment(std::string_view& comment);

    // How often what occurs between the reading position and the next stop
    // character (or the end of the text read so far): a size hint.
    size_t CountAhead(char what, char stop) const;

    // Switches the comment flag (bit 0 of the flags).
    void SetCommentTokens(bool on);

    const std::string& TokenText() const;
    // The same as a view; valid until the next token is read.
    std::string_view TokenView() const;
    int TokenKind() const { return m_nToken; }
    int Line() const { return m_nLine; }
    // The text of the last parse error caught by Scan ("" after success).
    const std::string& LastError() const { return m_strLastError; }

    // Closes any open file, opens path for reading (denying writes) and starts
    // the token state afresh: no token pending, line 0, comments skipped.
    bool OpenForParse(const std::string& path);
    // The same start on text held in memory (CR LF folded as from a file);
    // name stands for the file's name in error messages.
    void StartParseOfText(const char* data, size_t size, const std::string& name);
    void CloseQuietly();

protected:
    // Reads the rest of the open file into m_text with CR LF folded.
    void LoadText();
    // The kind of the raw token at the reading position, moved over.
    int ReadRawTokenKind();
    // The position after the blanks and newlines from p on, the newlines
    // passed over added to newlines.
    size_t PastBlanks(size_t p, int& newlines) const;

    PageString m_text; // the file's characters (CR LF as '\n')
    size_t m_nPos = 0;
    bool m_bLoaded = false;
    bool m_bInMemory = false; // the text was given, not read from a file
    // The last token's text, copied from the text read when first asked for.
    mutable std::string m_strToken;
    mutable bool m_bTokenCopied = true;
    size_t m_nTokenStart = 0;
    size_t m_nTokenLength = 0;
    int m_nToken = tkNone;
    int m_nLine = 0;
    int m_nFlags = 0;
    std::string m_strLastError;
};

