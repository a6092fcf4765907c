// The shell's side of Windows: special folders, the user's shell-folder
// registry values, starting a program through the shell, the drives present.
// Windows only.
#pragma once
#include <string>

enum class SpecialFolder { desktop, programs, programFiles, programFilesX86, system };
// The folder as the shell names it (created when create is set), or empty.
std::string SpecialFolderPath(SpecialFolder folder, bool create);
// A value under HKCU\...\Explorer\Shell Folders ("Desktop"), or empty.
std::string UserShellFolderValue(const char* name);
// Starts file through the shell, hidden, without waiting and without the
// shell's error boxes; parameters may be null.
bool ShellStartHidden(const std::string& file, const char* parameters);
// The letters of the fixed drives present, in order ("CD").
std::string FixedDriveLetters();
