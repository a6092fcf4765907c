#include "format/DataType.h"

#include <climits>

namespace {
[[noreturn]] void RaiseLayoutError(const char* what, const std::string& name, const char* rest)
{
    throw CLayoutError(what + name + rest);
}
} // namespace

CBaseType::CBaseType(const std::string& name, int size, int alignment)
    : m_strName(name), m_pSize(size), m_nAlignment(alignment)
{
}

CBaseType::~CBaseType() = default;

void CBaseType::AlignSize(int n)
{
    if (n < 1 || m_pSize % n == 0)
        return;
    long long size = (static_cast<long long>(m_pSize) / n + 1) * n;
    if (size > INT_MAX)
        RaiseLayoutError("Size of data type '", m_strName, "' exceeds 2147483647 bytes");
    m_pSize = static_cast<int>(size);
}

void CBaseType::AddMember(const CDataMember& member, const CDataType& element, int pack)
{
    AddMember(CDataMember(member), element, pack);
}

void CBaseType::AddMember(CDataMember&& member, const CDataType& element, int pack)
{
    m_members.push_back(std::move(member));
    LayOutLastMember(element, pack);
}

void CBaseType::LayOutLastMember(const CDataType& element, int pack)
{
    CDataMember& member = m_members.back();
    try {
        int a = element.m_nAlignment;
        if (m_nAlignment < a)
            m_nAlignment = a < pack ? a : pack;
        AlignSize(a < m_nAlignment ? a : m_nAlignment);

        // Count times size in 64 bits: a wrapped size would let a short block pass
        // the size check and be read past its end.
        long long bytes = static_cast<long long>(element.m_pSize) * member.ElementCount();
        if (bytes > INT_MAX)
            RaiseLayoutError("Size of data member '", member.m_strName, "' exceeds 2147483647 bytes");
        if (static_cast<long long>(m_pSize) + bytes > INT_MAX)
            RaiseLayoutError("Size of data type '", m_strName, "' exceeds 2147483647 bytes");

        member.m_nOffset = m_pSize;
        m_pSize += static_cast<int>(bytes);
    } catch (...) {
        m_members.pop_back();
        throw;
    }
    if ((member.m_nTypeIndex == btChar || member.m_nTypeIndex == btUChar) && member.IsArray() &&
        !member.m_strPrintFormat)
        member.m_nKind = CDataMember::kindText;
}

void CBaseType::DumpBody(std::ostream& out, const CTypeList& types) const
{
    out << "(" << m_strName << ") = {\n";
    out << "\tm_pSize=" << m_pSize << ";\n";
    out << "\tm_nAlignment=" << m_nAlignment << ";\n";
    if (m_nIDRange != 0)
        out << "\tm_nIDRange=" << m_nIDRange << ";\n";
    for (const CDataMember& m : m_members) {
        // "+offset  type[*] name[count]" then the options that change printing.
        std::string typeName = "?";
        if (m.m_nTypeIndex >= 0 && static_cast<size_t>(m.m_nTypeIndex) < types.size())
            typeName = types[static_cast<size_t>(m.m_nTypeIndex)]->m_strName;
        out << "\t+" << m.m_nOffset << "\t" << typeName << (m.m_bPointer ? " *" : " ") << m.m_strName;
        if (m.IsArray())
            out << "[" << m.m_nArrayCount << "]";
        out << ";";
        if (m.IsTextMember())
            out << " text";
        if (m.m_strPrintFormat)
            out << " format=\"" << *m.m_strPrintFormat << "\"";
        if (m.ElementFormat())
            out << " element=\"" << *m.ElementFormat() << "\"";
        if (m.m_nID != -1)
            out << " id=" << m.m_nID;
        if (m.m_nFirstIndex != -1 || m.m_nLastIndex != INT_MAX)
            out << " range=" << m.m_nFirstIndex << "~" << m.m_nLastIndex;
        if (!m.m_strComment.empty())
            out << " /*" << m.m_strComment << "*/";
        out << "\n";
    }
    out << "}\n\n";
}

CDataType::CDataType(const std::string& name, int size, int alignment, int kind, int builtin)
    : CBaseType(name, size, alignment), m_nKind(kind), m_nBuiltin(builtin)
{
}

CDataType::CDataType(const std::string& name) : CBaseType(name), m_nKind(kindStructure), m_nBuiltin(-1) {}

void CDataType::Dump(std::ostream& out, const CTypeList& types) const
{
    out << "type ";
    DumpBody(out, types);
}

CFieldType::CFieldType(const std::string& name) : CBaseType(name) {}

void CFieldType::Dump(std::ostream& out, const CTypeList& types) const
{
    out << "field ";
    DumpBody(out, types);
}
