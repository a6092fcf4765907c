// The program's texts are GBK (code page 936), as on a Chinese controller PC.
// A terminal shows them only in its own encoding: a UTF-8 terminal gets them
// converted, a Windows console of code page 936 gets them as they are. Text
// that goes to a file or a pipe keeps its bytes (it is data for someone).
#pragma once
#include <cstdio>
#include <string>

// text as the terminal behind stream shows it; text itself when stream is no
// terminal or already reads GBK. Bytes that are no GBK become '?'.
std::string TerminalText(FILE* stream, const std::string& text);
// Writes TerminalText(stream, text) to stream.
void WriteTerminalText(FILE* stream, const std::string& text);

// The conversion itself (portable, for the tests): GBK to UTF-8.
std::string GbkToUtf8(const std::string& text);
