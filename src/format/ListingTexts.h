// The texts of a listing's items and of its serial-number findings that
// depend on the language. The engine reads no language of its own: whoever
// describes a block fills these (printf formats, as noted) and hands them in.
#pragma once
#include <string>

struct ListingTexts {
    std::string effectReboot;      // effect letter H
    std::string effectLoadProgram; // effect letter L
    std::string effectAtOnce;      // effect letter N
    std::string groupName;         // one "%d": the element index
    std::string arrayType;         // "%s[%d]": element type name, count
    std::string maxLength;         // one "%d": the array count minus one
    std::string serialNumberOrder; // two "%s": the item names
};
