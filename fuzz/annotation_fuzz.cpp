// Annotation texts and string-file values: option extraction, the index
// range, the clamped numbers and the escape decoding on arbitrary bytes.
#include <cstdint>
#include <string>

#include "format/AnnotationOptions.h"
#include "format/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string value;
    for (char letter : {'n', 'u', 'e', 'd', 'm', 'f', 'F', 'b', 'g', 'k', 'r'}) {
        if (ExtractOption(text, letter, value)) {
            int first = -1, last = 0;
            ScanIndexRange(value, first, last);
            ClampedAtoi(value.c_str());
            ExpandNewlines(value);
        }
    }
    // The whole annotation, read once: the fields it reports are the options.
    CAnnotation a = ParseAnnotation(text);
    if (a.member.name.has_value() != ExtractOption(text, 'n', value) || a.id.has_value() != ExtractOption(text, 'g', value))
        __builtin_trap();
    std::string decoded = DecodeStringEscapes(text);
    if (decoded.size() > text.size())
        __builtin_trap(); // decoding never grows a text
    return 0;
}
