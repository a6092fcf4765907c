#include "platform/Console.h"

#include <windows.h>

namespace {
// Looked for once: the standard output handed over at start, else the
// parent's console, attached.
HANDLE StarterOutput()
{
    static HANDLE output = [] {
        HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
        if (given && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN)
            return given;
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return INVALID_HANDLE_VALUE;
        return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }();
    return output;
}
} // namespace

bool WriteToStarter(const std::string& text)
{
    HANDLE output = StarterOutput();
    if (output == INVALID_HANDLE_VALUE)
        return false;
    std::string lines;
    lines.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            lines += '\r';
        lines += text[i];
    }
    DWORD written = 0;
    return WriteFile(output, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
           written == lines.size();
}
