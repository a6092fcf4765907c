// The product's shortcuts on the current user's desktop and start menu.
// Windows only.
#pragma once
#include <string>
#include <vector>

// Deletes "Torne lix.lnk" then "Tornelix.lnk" in DesktopFolder,
// ShellFoldersDesktop and ProgramsFolder, in that order. Every failure is
// ignored; an empty folder path is passed over.
void RemoveShortcuts();
// The same two deletes in one folder (with or without a trailing backslash).
void RemoveShortcutsIn(const std::string& folder);
// The paths those deletes name, in their order.
std::vector<std::string> ShortcutPaths();

// The user's desktop, short (8.3) form with a trailing backslash; computed
// once and kept.
std::string DesktopFolder();
// HKCU ...\Explorer\Shell Folders "Desktop" as stored, read on every call;
// empty when it cannot be read.
std::string ShellFoldersDesktop();
// The start menu's programs folder, short form with a trailing backslash;
// computed once and kept.
std::string ProgramsFolder();
