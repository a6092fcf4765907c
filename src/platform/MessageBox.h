// Message boxes. On Windows a real MessageBoxA owned by the current owner
// window and captioned with the program file's name; natively (the tools) the
// text goes to stderr and the box answers as a user accepting it would.
#pragma once
#include <functional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
enum : unsigned {
    MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5,
    MB_ICONHAND = 0x10, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONASTERISK = 0x40, MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
#endif

// Shows text with the given MB_* type and returns the ID* of the answer.
// An OK/OK-Cancel box without an icon gets the exclamation icon, a Yes-No box
// without an icon the question icon.
int ShowMessageBox(const std::string& text, unsigned type);

// The window that owns the boxes (Windows only; 0 = none).
void SetMessageOwner(void* hwnd);

// Replaces the box by a handler (tests of portable code, tools). Pass an
// empty function to restore the default.
using MessageHandler = std::function<int(const std::string& text, unsigned type)>;
void SetMessageHandler(MessageHandler handler);

// The icon rule, exposed for tests.
unsigned WithDefaultIcon(unsigned type);
