// printf-style formatting into std::string and the few string helpers the
// callers need.
#pragma once
#include <cstdarg>
#include <string>
#include <vector>

// A symbol the program exports for its peers (Windows only).
#ifdef _WIN32
#define TLX_EXPORT __declspec(dllexport)
#else
#define TLX_EXPORT
#endif

#if defined(__GNUC__)
#define TLX_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define TLX_PRINTF(a, b)
#endif

std::string StrPrintf(const char* format, ...) TLX_PRINTF(1, 2);
std::string StrPrintfV(const char* format, va_list args);
// vsnprintf with the C99 conversions (%lld, %Lf, %a) on both systems: the
// Windows runtime's own printf lacks some of them.
int FormatInto(char* buffer, size_t size, const char* format, va_list args);

// Copies src into a fixed buffer of size cap (NUL included). Returns false and
// leaves dst empty when it does not fit: paths are refused, never truncated.
bool CopyFits(char* dst, size_t cap, const std::string& src);

bool EndsWith(const std::string& s, const std::string& suffix);
std::string TrimRight(const std::string& s);
std::string Trim(const std::string& s);

// The lines joined with "\n" between them (none after the last).
std::string JoinLines(const std::vector<std::string>& lines);
