// Shared by the doubles that hold something (a mutex, a file) until told to
// let go: the options --until-file PATH, --hold-ms N and --ready-file PATH,
// the ready file, and the wait.
#pragma once
#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>

struct HoldOptions {
    std::string untilFile;
    std::string readyFile;
    unsigned holdMs = 0;

    // Takes one of the hold options with its value; false for any other.
    bool Take(const char* option, const char* value)
    {
        if (strcmp(option, "--until-file") == 0)
            untilFile = value;
        else if (strcmp(option, "--hold-ms") == 0)
            holdMs = static_cast<unsigned>(strtoul(value, nullptr, 10));
        else if (strcmp(option, "--ready-file") == 0)
            readyFile = value;
        else
            return false;
        return true;
    }
    // Without an until-file or a time, hold for fallbackMs.
    void DefaultTo(unsigned fallbackMs)
    {
        if (untilFile.empty() && holdMs == 0)
            holdMs = fallbackMs;
    }
    // Creates the ready file (if asked for) with text in it.
    void MarkReady(const std::string& text = std::string()) const
    {
        if (readyFile.empty())
            return;
        HANDLE h = CreateFileA(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        if (!text.empty())
            WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
    }
    // Waits until the until-file exists or the time has passed.
    void Wait() const
    {
        DWORD start = GetTickCount();
        for (;;) {
            if (!untilFile.empty() && GetFileAttributesA(untilFile.c_str()) != INVALID_FILE_ATTRIBUTES)
                return;
            if (holdMs != 0 && GetTickCount() - start >= holdMs)
                return;
            Sleep(50);
        }
    }
};
