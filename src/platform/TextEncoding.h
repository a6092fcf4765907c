// GBK text (the setup's own texts, its logs and reports) as UTF-8, for files
// that other programs read: JSON reports and the fleet page. Portable: Win32's
// code-page conversion on Windows, iconv elsewhere.
#pragma once
#include <string>
#include <string_view>

// Converts GBK (code page 936) to UTF-8. ASCII passes through unchanged; a
// byte sequence that is not GBK becomes U+FFFD, so the result is always valid
// UTF-8, whatever the input.
std::string GbkToUtf8(std::string_view gbk);
// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);
