// The full parser of a format file: builds the type model (built-in types and
// aliases first, then the file's structures, typedefs and field blocks) with
// the packing pragma in force. Parse reports success as a bool; a parse error
// is written to the trace log and kept in LastError().
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/DataMember.h"
#include "format/DataType.h"
#include "format/PmTokenFile.h"

class CFormatParser {
public:
    // The built-in aliases ("BOOL" .. "time_t") that precede the typedefs.
    static const int kBuiltinAliasCount = 16;

    CFormatParser();
    ~CFormatParser();
    CFormatParser(const CFormatParser&) = delete;
    CFormatParser& operator=(const CFormatParser&) = delete;

    // Builds the model from the file. False when the file cannot be opened
    // (no log line) or on a parse error (logged); the model then holds what
    // was built before the error.
    bool Parse(const std::string& path);
    // The same parse of a format held in memory; name stands for the file's
    // name in messages and Path().
    bool ParseText(const char* data, size_t size, const std::string& name);

    // The text of the last parse error ("" after success).
    const std::string& LastError() const { return m_strLastError; }

    // A type by name: aliases first, then types; -1 when not found. Sets
    // printFormat to the alias's format (none for a type); left as it is when
    // the name is unknown.
    int LookupType(const std::string& name, std::optional<std::string>* printFormat = nullptr) const;

    // Empties the model (types, field types, aliases) and resets the pack value.
    void ResetModel();

    // The first field block with exactly this name, or nullptr.
    CFieldType* FindFieldType(const std::string& name);
    const CFieldType* FindFieldType(const std::string& name) const;
    // Entry of the type list (index must be valid).
    CDataType& TypeAt(int index) { return *m_types[static_cast<size_t>(index)]; }
    const CDataType& TypeAt(int index) const { return *m_types[static_cast<size_t>(index)]; }
    // The type a member is laid out and printed as ("void*" for a pointer).
    const CDataType& EffectiveType(const CDataMember& member) const { return TypeAt(member.EffectiveTypeIndex()); }

    int PackValue() const { return m_nPack; }
    const std::string& Path() const { return m_strPath; }

    // The model, read directly by the block description and printing.
    CTypeList m_types;                                     // built-ins first (BuiltinType order)
    std::vector<std::unique_ptr<CFieldType>> m_fieldTypes; // in file order, duplicates kept
    std::vector<CDataTypeAlias> m_aliases;                 // built-ins first, then typedefs
    int m_nPack = 8;
    std::string m_strPath; // the file last parsed

private:
    // Reads a type reference (optional "unsigned", identifier) from the
    // token stream and looks it up. Raises "Undefined data type '%s'".
    int FindType(const std::optional<std::string>*& printFormat);
    // Reads one declarator (pointer, name, array count, annotation) of a
    // declaration of type typeIndex into member.
    void ReadMember(CDataMember& member, int typeIndex, const std::optional<std::string>& aliasFormat);
    // The layout step of the model, its size error raised as a parse error.
    bool Run(const std::string& path, const char* data, size_t size);
    void AlignSize(CBaseType& type, int n);
    void AddBuiltins();
    void ParseTopLevel();
    void ParsePack();
    void ParseStruct();
    void ParseField();
    void ParseTypedef();
    void ParseMemberList(CBaseType& type);
    void ParseMemberDeclaration(CBaseType& type);
    // Reads a block comment right after the current token when one follows.
    bool ReadAnnotation(std::string& text);

    CPmTokenFile m_tokens;
    std::string m_strLastError;
    // Holds the annotation parts of the member last given some: the next
    // member declared alike shares them.
    CDataMember m_lastNoted;
    // LookupType's index of the names: the first alias and the first type
    // of each name, over the first m_indexedAliases / m_indexedTypes entries,
    // in one table so that a name is hashed and looked for once.
    // A name index: open addressing over the names' hashes.
    class CNameIndex {
    public:
        struct Entry {
            std::string name;
            size_t hash;
            int alias; // the first alias of the name, or -1
            int type;  // the first type of the name, or -1
        };
        void Clear();
        // Indexes name as alias or type number value unless that name has
        // one of the kind already (the first counts).
        void Add(const std::string& name, bool alias, int value);
        // The entry of name, or nullptr.
        const Entry* Find(std::string_view name) const;

    private:
        std::vector<Entry> m_entries;
        std::vector<int> m_slots; // entry index or -1; a power of two long
    };
    // LookupType on a name that need not be a string of its own; printFormat
    // points at the alias's format (at an empty one for a type), valid while
    // the alias list is unchanged. Not set when the name is unknown.
    int LookupName(std::string_view name, const std::optional<std::string>*& printFormat) const;

    mutable CNameIndex m_nameIndex;
    mutable size_t m_indexedAliases = 0;
    mutable size_t m_indexedTypes = 0;
};
