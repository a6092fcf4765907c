#include "platform/StartWithArguments.h"

#include <vector>
#include <windows.h>

#include "platform/HeldFile.h"

bool StartAndWaitWithArguments(const HeldFile& program, const std::string& arguments, unsigned long* exitCode)
{
    if (!program.IsSealed())
        return false;
    std::string line = "\"" + program.Path() + "\" " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessA(program.Path().c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
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
