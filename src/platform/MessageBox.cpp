#include "platform/MessageBox.h"

#include <cstdio>
#include <cstring>

namespace {
MessageHandler g_handler;
void* g_owner = nullptr;

#ifdef _WIN32
// The application's title: the program file's name without its extension.
std::string ProgramFileName()
{
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    std::string name = slash ? slash + 1 : path;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}
#endif
} // namespace

unsigned WithDefaultIcon(unsigned type)
{
    const unsigned iconMask = 0xF0, buttonMask = 0x0F;
    if (type & iconMask)
        return type;
    unsigned buttons = type & buttonMask;
    if (buttons == MB_OK || buttons == MB_OKCANCEL)
        return type | MB_ICONEXCLAMATION;
    if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL)
        return type | MB_ICONQUESTION;
    return type;
}

void SetMessageOwner(void* hwnd) { g_owner = hwnd; }

void SetMessageHandler(MessageHandler handler) { g_handler = std::move(handler); }

int ShowMessageBox(const std::string& text, unsigned type)
{
    type = WithDefaultIcon(type);
    if (g_handler)
        return g_handler(text, type);
#ifdef _WIN32
    std::string caption = ProgramFileName();
    return MessageBoxA(static_cast<HWND>(g_owner), text.c_str(), caption.c_str(), type);
#else
    (void)g_owner;
    fprintf(stderr, "%s\n", text.c_str());
    unsigned buttons = type & 0x0F;
    return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
#endif
}
