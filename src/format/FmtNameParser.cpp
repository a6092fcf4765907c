#include "format/FmtNameParser.h"

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
                ExpectToken(PeekToken());
                continue;
            }
            ExpectToken(tkField);
            if (ExpectIdentifier() != m_strFieldName)
                continue;
            m_bFieldFound = true;
            ExpectToken(tkLeftBrace);
            ScanMembers();
            ExpectToken(tkRightBrace);
            ExpectToken(tkSemicolon);
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
    // Type names are not looked up; "unsigned" may precede one, as in the full parser.
    while (PeekToken() == tkIdentifier || PeekToken() == tkUnsigned) {
        if (PeekToken() == tkUnsigned)
            ExpectToken(tkUnsigned);
        ExpectIdentifier();
        for (;;) {
            if (PeekToken() == tkPointer)
                ExpectToken(tkPointer);
            std::string name = ExpectIdentifier();
            if (PeekToken() == tkLeftBracket) {
                ExpectToken(tkLeftBracket);
                int count = ExpectInteger();
                if (count <= 0)
                    RaiseParseError("Array size should be greater than zero");
                ExpectToken(tkRightBracket);
                for (int i = 0; i < count; ++i)
                    AddName(name + "[" + std::to_string(i) + "]");
            } else {
                AddName(name);
            }
            if (PeekToken() != tkComma)
                break;
            ExpectToken(tkComma);
        }
        ExpectToken(tkSemicolon);
    }
}

void CFmtNameParser::AddName(const std::string& name)
{
    if (m_names.size() - m_nScanStart >= m_nMaxNames)
        RaiseParseError("Too many member names (more than %u)", static_cast<unsigned>(m_nMaxNames));
    m_names.push_back(name);
}
