// A member of a structure or field block as the format file declares it,
// with its layout (offset), its print format and the options of its
// annotation; and the typedef alias that attaches a print format to a type.
#pragma once
#include <climits>
#include <memory>
#include <optional>
#include <string>

#include "format/AnnotationOptions.h"

// The parts of a member's annotation that few members have, kept apart so
// that a member whose annotation sets none of them stays small.
struct CMemberNotes {
    // What the listing shows of the annotation (name, unit, effect,
    // description, multiplier), read from comment when declared.
    CMemberAnnotation annotation;
    // "-F": format with one int (the element index) for element display names.
    std::optional<std::string> elementFormat;
    std::string bText; // "-b", kept but not used
};

class CDataMember {
public:
    enum Kind {
        kindPlain = 0,
        kindText = 5 // char / unsigned char array without print format: printed as one quoted text
    };

    CDataMember() = default;
    CDataMember(const CDataMember&) = default;
    CDataMember& operator=(const CDataMember&) = default;
    CDataMember(CDataMember&&) noexcept = default;
    CDataMember& operator=(CDataMember&&) noexcept = default;
    ~CDataMember() = default;

    std::string m_strName;
    // printf-style format of the value (from the alias or "-f"); none: the
    // type's default text form. Present-but-empty is a real (empty) format.
    std::optional<std::string> m_strPrintFormat;
    // Annotation text without "/*" "*/", or the resource string it names; "" when none.
    std::string m_strComment;
    int m_nTypeIndex = -1;        // declared type: index in the parser's type list
    int m_bPointer = 0;           // declared with '*': laid out and printed as type 0 ("void*")
    int m_nArrayCount = 0;        // 0: plain member, else the element count
    int m_nOffset = -1;           // byte offset in the containing type (set by AddMember)
    int m_nKind = kindPlain;
    int m_nFirstIndex = -1;       // "-k" index range
    int m_nLastIndex = INT_MAX;
    int m_nID = -1;               // "-g"; also the sort key of a field block's members

    // The annotation's parts; empty ones for a member whose annotation sets none.
    const CMemberAnnotation& Annotation() const { return NotesOrNone().annotation; }
    const std::optional<std::string>& ElementFormat() const { return NotesOrNone().elementFormat; }
    const std::string& BText() const { return NotesOrNone().bText; }
    // The annotation's parts to set, created at the first call (and copied
    // first when another member shares them).
    CMemberNotes& Notes();
    // Takes other's annotation parts without a copy: members declared alike
    // (the same unit, effect, ...) keep one set between them.
    void ShareNotes(const CDataMember& other) { m_pNotes = other.m_pNotes; }
    bool HasNotes() const { return m_pNotes != nullptr; }

    bool IsArray() const { return m_nArrayCount > 0; }
    bool IsTextMember() const { return m_nKind == kindText; }
    // 1 for a plain member, the array count otherwise.
    int ElementCount() const { return m_nArrayCount > 0 ? m_nArrayCount : 1; }
    // The type the member is laid out and printed as: 0 for a pointer.
    int EffectiveTypeIndex() const { return m_bPointer ? 0 : m_nTypeIndex; }

private:
    static const CMemberNotes& NoNotes();
    const CMemberNotes& NotesOrNone() const { return m_pNotes ? *m_pNotes : NoNotes(); }

    // None until an annotation part is set; shared between copies and
    // members declared alike, copied before it is changed.
    std::shared_ptr<CMemberNotes> m_pNotes;
};

class CDataTypeAlias {
public:
    std::string m_strName;
    std::optional<std::string> m_strPrintFormat;
    // Annotation text without "/*" "*/", or the resource string it names; "" when none.
    std::string m_strComment;
    int m_nTypeIndex = -1;
};
