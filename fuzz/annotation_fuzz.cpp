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
    std::string decoded = DecodeStringEscapes(text);
    if (decoded.size() > text.size())
        __builtin_trap(); // decoding never grows a text
    return 0;
}
