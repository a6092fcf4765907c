// Shared by the doubles of the outside programs: each appends what it was
// started with to a record file, one tab-separated line per event:
//   start<TAB>file name<TAB>arguments<TAB>full path
//   end<TAB>file name
// The record file is %TLX_DOUBLE_LOG% when set, else the program's own path
// followed by ".log".
#pragma once
#include <cstdlib>
#include <string>
#include <windows.h>

inline std::string DoubleEnv(const char* name)
{
    char buf[1024] = {0};
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return (n > 0 && n < sizeof buf) ? std::string(buf) : std::string();
}

inline unsigned DoubleEnvNumber(const char* name, unsigned fallback)
{
    std::string v = DoubleEnv(name);
    return v.empty() ? fallback : static_cast<unsigned>(strtoul(v.c_str(), nullptr, 10));
}

inline std::string DoubleOwnPath()
{
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

inline std::string DoubleOwnName()
{
    std::string path = DoubleOwnPath();
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The command line after the program name, leading blanks dropped.
inline std::string DoubleArguments()
{
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

inline void DoubleRecord(const std::string& line)
{
    std::string file = DoubleEnv("TLX_DOUBLE_LOG");
    if (file.empty())
        file = DoubleOwnPath() + ".log";
    HANDLE h = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

inline void DoubleRecordStart()
{
    DoubleRecord("start\t" + DoubleOwnName() + "\t" + DoubleArguments() + "\t" + DoubleOwnPath());
}

inline void DoubleRecordEnd() { DoubleRecord("end\t" + DoubleOwnName()); }
