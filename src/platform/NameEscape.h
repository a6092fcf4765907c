// The written form of a character that the system code page cannot hold:
// "<U+XXXX>", 4 to 6 hex digits ("<U+1F600>" beyond the BMP), written in
// upper case and read in either. Portable, so that the checks of a path read it alike everywhere.
#pragma once
#include <string>

// The bytes of such a form at text[at] and its code point; 0 when there is
// none (a '<' of anything else).
size_t NameEscapeAt(const std::string& text, size_t at, unsigned long* codePoint);
// The same, only for a character a file name may hold that the code page
// has not: beyond ASCII (an escaped ASCII character is never written).
size_t NameCharacterEscapeAt(const std::string& text, size_t at);
