// The type model: built-in scalar types and structures (CDataType) and field
// blocks (CFieldType), each with its size, alignment and members at their
// byte offsets. Types refer to each other by index into the parser's type
// list, which is never reordered once built.
//
// The value walks (collect, parse, list) are not stored in the model: a
// printer dispatches on the data here. A member is a text member
// (IsTextMember), an array (IsArray) or plain; its effective type is the
// type list's entry EffectiveTypeIndex(); that type is a built-in scalar
// (m_nBuiltin, one of BuiltinType, its facts in kBuiltinTypes) or a structure (m_nBuiltin == -1, members
// in m_members).
//
// The model knows nothing of the text it was read from: a layout that passes
// the size limit throws CLayoutError, which the parser turns into its parse
// error.
#pragma once
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/BuiltinTypes.h"
#include "format/DataMember.h"
#include "platform/PageBlock.h"

// A big block's member list is an arena of its own (see PageBlock.h).
using CMemberList = std::vector<CDataMember, PageBlockAllocator<CDataMember>>;

class CDataType;
// The type list: built-ins first (BuiltinType order), then the structures.
using CTypeList = std::vector<std::unique_ptr<CDataType>>;

// A size past INT_MAX: what() is the message, without a line break.
class CLayoutError : public std::runtime_error {
public:
    explicit CLayoutError(const std::string& text) : std::runtime_error(text) {}
};

class CBaseType {
public:
    explicit CBaseType(const std::string& name, int size = 0, int alignment = 1);
    virtual ~CBaseType();
    CBaseType(const CBaseType&) = delete;
    CBaseType& operator=(const CBaseType&) = delete;

    // Rounds m_pSize up to a multiple of n (n < 1: no change). Throws
    // CLayoutError when the size would pass INT_MAX.
    virtual void AlignSize(int n);
    // Lays member out after the members so far, element being its effective
    // type and pack the packing in force, and appends a copy. Throws
    // CLayoutError when the size passes INT_MAX.
    virtual void AddMember(const CDataMember& member, const CDataType& element, int pack);
    // The same, taking the member over instead of copying it.
    void AddMember(CDataMember&& member, const CDataType& element, int pack);
    // Lays out the member appended last to m_members as AddMember would have
    // it (element its effective type); on CLayoutError the member is removed
    // again before the error passes on.
    void LayOutLastMember(const CDataType& element, int pack);
    // Diagnostic text: "type (" / "field (" name ") = {" size, alignment,
    // members "}"; member types are named from types.
    virtual void Dump(std::ostream& out, const CTypeList& types) const = 0;

    virtual bool IsFieldType() const = 0;

    std::string m_strName;
    int m_pSize;
    int m_nAlignment;
    int m_nIDRange = 0; // "-r" of a structure: IDs one array element spans
    CMemberList m_members;

protected:
    void DumpBody(std::ostream& out, const CTypeList& types) const;
};

class CDataType : public CBaseType {
public:
    // A built-in scalar type (builtin: one of BuiltinType).
    CDataType(const std::string& name, int size, int alignment, int kind, int builtin);
    // A new structure: size 0, alignment 1, kind 0.
    explicit CDataType(const std::string& name);

    void Dump(std::ostream& out, const CTypeList& types) const override;
    bool IsFieldType() const override { return false; }

    bool IsStructure() const { return m_nBuiltin < 0; }

    // A TypeKind. Scalars: their row's kind. Structures: the kind of a single
    // member (0 or 5), otherwise 0.
    int m_nKind;
    int m_nBuiltin; // BuiltinType, or -1 for a structure
};

// A field block: the layout of one named data block. No tail padding; listed
// member by member.
class CFieldType : public CBaseType {
public:
    explicit CFieldType(const std::string& name);

    void Dump(std::ostream& out, const CTypeList& types) const override;
    bool IsFieldType() const override { return true; }
};
