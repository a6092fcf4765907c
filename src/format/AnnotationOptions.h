// Options of an annotation comment ("-n Speed -u mm/min -f '%.3f'"): the
// lookup of one option letter, and the whole annotation read once, when the
// member or structure it belongs to is declared.
#pragma once
#include <climits>
#include <optional>
#include <string>

// "-m": the factor a value is shown with. Read the way its use reads it: as
// a 32-bit integer (strtol) for integer types and as a real or a fraction
// "a/b" for reals. An illegal text gives the factor 1 and is reported (the
// trace line "Illegal comment string") each time the factor is used.
struct CMultiplier {
    long integer = 1;
    bool integerIllegal = false;
    double real = 1.0;
    bool realIllegal = false;
};

// What printing takes from a member's annotation.
struct CMemberAnnotation {
    std::optional<std::string> name; // "-n": display name
    std::string unit;                // "-u"
    std::string effect;              // "-e": letter H, L or N, or a text
    std::string description;         // "-d"
    CMultiplier multiplier;          // "-m"
};

// Every option of an annotation, each read as its first occurrence.
struct CAnnotation {
    CMemberAnnotation member;
    std::optional<std::string> printFormat;   // "-f", "\n" expanded
    std::optional<std::string> elementFormat; // "-F", "\n" expanded
    std::optional<std::string> bText;         // "-b"
    std::optional<int> id;                    // "-g"
    int firstIndex = -1;                      // "-k first ~ last"
    int lastIndex = INT_MAX;
    int idRange = 0;                          // "-r" (of a structure)
};

CAnnotation ParseAnnotation(const std::string& text);
// The "-m" value as both kinds of factor.
CMultiplier ParseMultiplier(const std::string& text);

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
