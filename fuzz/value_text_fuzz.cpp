// Value texts as a service engineer or a saved file gives them, parsed into
// a member of every built-in type: byte 0 picks the type, the text up to the
// first newline is the member's annotation ("-m" multiplier), the rest is the
// value text. A parse writes only the type's bytes; without a multiplier a
// parsed value printed and parsed again gives the same bytes (where the
// type's two text forms agree). Text members
// take the rest within a length from byte 1.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "logs/TraceLog.h"
#include "format/BuiltinTypes.h"
#include "format/DataMember.h"
#include "format/ValueText.h"

using namespace value_text;

namespace {
// Types whose printed text is a text their parse reads back. Not so by
// design: characters print as "%c" but parse as numbers, 64-bit values print
// in decimal but parse as hexadecimal, unsigned 32-bit values above the
// signed range saturate as strtol would, reals print shortened, and a PLC
// data-memory address prints its stored number but parses with 1200 added.
bool RoundTrips(int builtin)
{
    switch (builtin) {
    case btVoidPtr: case btBool: case btShort: case btUShort: case btInt: case btLong: case btPlcBitAddr:
        return true;
    default:
        return false;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetTraceFileEnabled(false), SetTraceEcho(nullptr), true);
    (void)ready;
    if (size < 2)
        return 0;
    int builtin = data[0] % btCount;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t newline = rest.find('\n');
    CDataMember member;
    member.m_strName = "m_value";
    member.m_strComment = newline == std::string::npos ? std::string() : rest.substr(0, newline);
    member.Notes().annotation = ParseAnnotation(member.m_strComment).member;
    std::string text = newline == std::string::npos ? rest : rest.substr(newline + 1);

    // Exactly the type's bytes, so that a store past them is caught.
    std::vector<unsigned char> value(static_cast<size_t>(kBuiltinTypes[builtin].size), 0xCD);
    if (ParseBuiltin(builtin, member, value.data(), text) && member.m_strComment.empty() && RoundTrips(builtin)) {
        CPrintFormatCache formats;
        std::string printed = FormatBuiltin(builtin, member, value.data(), formats);
        std::vector<unsigned char> again(static_cast<size_t>(kBuiltinTypes[builtin].size), 0xAB);
        bool dataMemory = builtin == btPlcBitAddr && printed.compare(0, 3, "*DM") == 0;
        if (!dataMemory && (!ParseBuiltin(builtin, member, again.data(), printed) || again != value))
            abort();
    } else {
        CPrintFormatCache formats;
        FormatBuiltin(builtin, member, value.data(), formats);
    }

    int count = data[1] % 40;
    std::vector<unsigned char> textValue(static_cast<size_t>(count), 0xCD);
    if (ParseText(textValue.data(), count, text)) {
        std::string printed = FormatText(textValue.data(), count);
        std::vector<unsigned char> again(static_cast<size_t>(count), 0xAB);
        // A text with a zero or a line break prints only up to it.
        if (text.find_first_of(std::string("\0\r\n", 3)) == std::string::npos &&
            (!ParseText(again.data(), count, printed) || again != textValue))
            abort();
    }
    return 0;
}
