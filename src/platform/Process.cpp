#include "platform/Process.h"

#include <cstdio>
#include <vector>

bool StartAndWait(const HeldFile& program, unsigned long* exitCode)
{
    if (!program.IsSealed())
        return false;
    return StartAndWait(program.Path(), exitCode);
}

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <tlhelp32.h>

std::vector<std::string> OtherProcessImagePaths()
{
    std::vector<std::string> paths;
    // Absent before Vista: then no process is seen by its path.
    using QueryImageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto queryImage = kernel ? reinterpret_cast<QueryImageFn>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "QueryFullProcessImageNameA")))
                             : nullptr;
    if (!queryImage)
        return paths;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return paths;
    DWORD self = GetCurrentProcessId();
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        char path[MAX_PATH] = {0};
        DWORD size = MAX_PATH;
        if (queryImage(process, 0, path, &size) && size > 0 && size < MAX_PATH)
            paths.emplace_back(path, size);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return paths;
}

bool InServiceSession()
{
    DWORD session = 1;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

namespace {
// Starts a program (commandLine may be null) and waits for it to end.
bool RunAndWait(const char* program, char* commandLine, WORD show, unsigned long* exitCode)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code))
        code = static_cast<DWORD>(-1);
    *exitCode = code;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}
} // namespace

bool StartAndWait(const std::string& program, unsigned long* exitCode)
{
    return RunAndWait(program.c_str(), nullptr, SW_SHOW, exitCode);
}

bool StartAndWaitWithArguments(const HeldFile& program, const std::string& arguments, unsigned long* exitCode)
{
    if (!program.IsSealed())
        return false;
    std::string line = "\"" + program.Path() + "\" " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    return RunAndWait(program.Path().c_str(), buffer.data(), SW_HIDE, exitCode);
}

std::string RunningProgramPath()
{
    char path[MAX_PATH] = {0};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return path;
}

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

void SetStdoutBinary() { _setmode(_fileno(stdout), _O_BINARY); }

unsigned long long ElapsedMilliseconds()
{
    // GetTickCount64 is missing before Windows Vista; the 32-bit count is
    // widened across its wrap (every 49.7 days) here.
    static DWORD last = GetTickCount();
    static unsigned long long high = 0;
    DWORD now = GetTickCount();
    if (now < last)
        high += 0x100000000ull;
    last = now;
    return high + now;
}

void SleepMilliseconds(unsigned ms) { Sleep(ms); }
#else
#include <climits>
#include <ctime>

std::vector<std::string> OtherProcessImagePaths() { return {}; }

bool InServiceSession() { return false; }
#include <sys/wait.h>
#include <unistd.h>

bool StartAndWait(const std::string& program, unsigned long* exitCode)
{
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return false;
    *exitCode = WIFEXITED(status) ? static_cast<unsigned long>(WEXITSTATUS(status)) : 1ul;
    return true;
}

std::string RunningProgramPath()
{
    char path[PATH_MAX] = {0};
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return std::string();
    return std::string(path, static_cast<size_t>(n));
}

int CurrentProcessId() { return static_cast<int>(getpid()); }

void SetStdoutBinary() {}

unsigned long long ElapsedMilliseconds()
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 1000ull + static_cast<unsigned long long>(now.tv_nsec) / 1000000ull;
}

void SleepMilliseconds(unsigned ms) { usleep(static_cast<useconds_t>(ms) * 1000u); }
#endif
