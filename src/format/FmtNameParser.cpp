#include "format/FmtNameParser.h"

#include <charconv>
#include <cstring>

#include "logs/TraceLog.h"

CFmtNameParser::CFmtNameParser() = default;
CFmtNameParser::~CFmtNameParser() = default;

bool CFmtNameParser::Scan(const std::string& path) { return Run(path, nullptr, 0); }

bool CFmtNameParser::ScanText(const char* data, size_t size, const std::string& name)
{
    return Run(name, data, size);
}

bool CFmtNameParser::Run(const std::string& path, const char* data, size_t size)
{
    m_strLastError.clear();
    m_strPath = path;
    m_nScanStart = m_names.size();
    m_bFieldFound = false;
    if (data)
        StartParseOfText(data, size, path);
    else if (!OpenForParse(path))
        return false;
    try {
        while (PeekToken() != tkEndOfFile) {
            if (PeekToken() != tkField) {
                SkipToken(PeekToken());
                continue;
            }
            SkipToken(tkField);
            if (ExpectIdentifierView() != m_strFieldName)
                continue;
            m_bFieldFound = true;
            SkipToken(tkLeftBrace);
            ScanMembers();
            SkipToken(tkRightBrace);
            SkipToken(tkSemicolon);
            break;
        }
    } catch (const CParseError& e) {
        m_strLastError = e.what();
    } catch (const FileError& e) {
        m_strLastError = StrPrintf("|E|%s: read error %d\n", path.c_str(), e.m_cause);
    }
    CloseQuietly(); // as after a full parse: no handle left on the file
    if (m_strLastError.empty())
        return true;
    AppendTraceLog(m_strLastError);
    return false;
}

void CFmtNameParser::ScanMembers()
{
    // Room for one name per ';' up to the closing brace (a size hint; arrays add more).
    size_t expected = CountAhead(';', '}');
    if (expected > 64)
        m_names.reserve(m_names.size() + (expected < m_nMaxNames ? expected : m_nMaxNames));
    std::string name; // reused: the token text is gone once the next token is read
    // Type names are not looked up; "unsigned" may precede one, as in the full parser.
    while (PeekToken() == tkIdentifier || PeekToken() == tkUnsigned) {
        if (PeekToken() == tkUnsigned)
            SkipToken(tkUnsigned);
        SkipToken(tkIdentifier);
        for (;;) {
            if (PeekToken() == tkPointer)
                SkipToken(tkPointer);
            name = ExpectIdentifierView();
            if (PeekToken() == tkLeftBracket) {
                SkipToken(tkLeftBracket);
                int count = ExpectInteger();
                if (count <= 0)
                    RaiseParseError("Array size should be greater than zero");
                SkipToken(tkRightBracket);
                for (int i = 0; i < count; ++i)
                    AddElementName(name, i);
            } else {
                AddName(name);
            }
            if (PeekToken() != tkComma)
                break;
            SkipToken(tkComma);
        }
        SkipToken(tkSemicolon);
    }
}

void CFmtNameParser::CheckRoom()
{
    if (m_names.size() - m_nScanStart >= m_nMaxNames)
        RaiseParseError("Too many member names (more than %u)", static_cast<unsigned>(m_nMaxNames));
}

void CFmtNameParser::AddName(const std::string& name)
{
    CheckRoom();
    m_names.push_back(name);
}

void CFmtNameParser::AddElementName(const std::string& name, int index)
{
    CheckRoom();
    // "name[index]" put together first, then made a string at once.
    char suffix[16];
    suffix[0] = '[';
    std::to_chars_result r = std::to_chars(suffix + 1, suffix + sizeof suffix - 1, index);
    *r.ptr++ = ']';
    size_t length = static_cast<size_t>(r.ptr - suffix);
    if (name.size() + length <= sizeof m_nameBuffer) {
        memcpy(m_nameBuffer, name.data(), name.size());
        memcpy(m_nameBuffer + name.size(), suffix, length);
        m_names.emplace_back(m_nameBuffer, name.size() + length);
        return;
    }
    std::string& text = m_names.emplace_back();
    text.reserve(name.size() + length);
    text.append(name);
    text.append(suffix, length);
}
