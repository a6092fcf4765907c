#include "platform/MessageText.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::string FormatMessageInserts(const char* pattern, const std::string& text, long number)
{
#ifdef _WIN32
    DWORD_PTR inserts[2] = {reinterpret_cast<DWORD_PTR>(text.c_str()), static_cast<DWORD_PTR>(number)};
    char* formatted = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             pattern, 0, 0, reinterpret_cast<LPSTR>(&formatted), 0,
                             reinterpret_cast<va_list*>(inserts));
    if (n && formatted) {
        std::string message(formatted, n);
        LocalFree(formatted);
        return message;
    }
#endif
    // The same inserts without the system's formatter.
    std::string message = pattern;
    size_t at = message.find("%1!s!");
    if (at != std::string::npos)
        message.replace(at, 5, text);
    at = message.find("%2!d!", at == std::string::npos ? 0 : at + text.size());
    if (at != std::string::npos)
        message.replace(at, 5, std::to_string(number));
    return message;
}
