// The built-in scalar types of the format language, one row each: name,
// size, alignment, kind, default text form and the functions that print and
// parse a value. The parser's type list, the value printer and the tools all
// read them from kBuiltinTypes; a new type is a row here (and an enumerator),
// with a printer and parser of its own only when none of the others fits.
#pragma once
#include <string>

class CDataMember;
class CPrintFormatCache;

// The built-in types; the value is also the row and the index in the type list.
enum BuiltinType {
    btVoidPtr = 0,
    btBool = 1,
    btChar = 2,
    btUChar = 3,
    btDouble = 4,
    btFloat = 5,
    btInt = 6,
    btUInt = 7,
    btLong = 8,
    btULong = 9,
    btShort = 10,
    btUShort = 11,
    btInt64 = 12,
    btUInt64 = 13,
    btPlcBitAddr = 14,
    btCount = 15
};

// What a type's values are (CDataType::m_nKind).
enum TypeKind {
    kindStructure = 0,
    kindBool = 2,
    kindInteger = 3, // characters and pointers too
    kindReal = 4,
    kindPlcBitAddr = 5
};

struct BuiltinTypeRow;
// Writes the value text of the row's type at address for member (its print
// format and multiplier) into out.
using BuiltinPrinter = void (*)(std::string& out, const BuiltinTypeRow& row, const CDataMember& member,
                                const unsigned char* address, CPrintFormatCache& formats);
// Parses text and stores it at address; false (nothing stored) when the text
// is not a value of the type.
using BuiltinParser = bool (*)(const BuiltinTypeRow& row, const CDataMember& member, unsigned char* address,
                               const std::string& text);

struct BuiltinTypeRow {
    BuiltinType type; // the row's own index
    const char* name;
    int size;
    int alignment;
    TypeKind kind;
    bool isSigned;
    const char* defaultFormat; // integers without a print format; nullptr: the printer's own form
    BuiltinPrinter print;
    BuiltinParser parse;
};

// In BuiltinType order.
extern const BuiltinTypeRow kBuiltinTypes[btCount];

namespace value_text {
// The value text of a built-in scalar at address for member (its print
// format and multiplier); builtin is one of BuiltinType.
std::string FormatBuiltin(int builtin, const CDataMember& member, const unsigned char* address,
                          CPrintFormatCache& formats);
// The same into out, whose room is kept for the next value.
void FormatBuiltinTo(std::string& out, int builtin, const CDataMember& member, const unsigned char* address,
                     CPrintFormatCache& formats);
// Parses text and stores it at address; false (nothing stored) when the
// text is not a value of the type.
bool ParseBuiltin(int builtin, const CDataMember& member, unsigned char* address, const std::string& text);
} // namespace value_text
