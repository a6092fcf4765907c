// Options of an annotation comment ("-n Speed -u mm/min -f '%.3f'"): the
// lookup of one option letter, shared by the parser and the value printing.
#pragma once
#include <string>

// Finds "-L" (the first place counts). A value that starts with a single quote
// runs to the next single quote or the end, as is; otherwise it runs to the
// next '-' or the end with trailing blanks removed (leading blanks stay).
// Returns false when the option is absent; an empty value is still present.
bool ExtractOption(const std::string& text, char letter, std::string& value);

// atoi with the value clamped to the int range instead of overflowing.
int ClampedAtoi(const char* text);
// Every two-character sequence backslash, 'n' becomes a newline.
std::string ExpandNewlines(const std::string& text);
// Reads "%d ~ %d" like sscanf; returns the number of values converted.
int ScanIndexRange(const std::string& text, int& first, int& last);
