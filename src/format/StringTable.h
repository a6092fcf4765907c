// The numbered string table "Tornelix.string" of the active language: texts
// read on demand from its [STRING] section, escape sequences decoded, cached
// for the life of the process (or until ReleaseStringTable).
#pragma once
#include <string>

// Releases the cache, finds the file and reads [Attribute] MaxIndex. Always true.
bool LoadStringTable();
// The same on the bytes of a string file in memory (tools, tests); the table
// then stays that text until the next load or release.
void LoadStringTableText(std::string text);
// The text of number n, or "!ErrStr!" for any failure. The pointer stays
// valid until ReleaseStringTable.
const char* GetResourceString(int n);
void ReleaseStringTable();

// The directory of the string file: on Windows the setup registers LangDir;
// tools and tests set one. The provider is asked on every load so that a
// change of language takes effect at the next load.
using StringDirProvider = std::string (*)();
void SetStringTableDirProvider(StringDirProvider provider);
void SetStringTableDir(const std::string& dir);
// The full path the next load uses ("" when no directory is known).
std::string StringTablePath();

// Backslash escapes as the string file writes them; a decoded byte 0 ends the text.
std::string DecodeStringEscapes(const std::string& text);
