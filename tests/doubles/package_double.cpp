// Double of the self-extracting package: records its start (with the full
// path it was started from), copies its own file to %TLX_PACKAGE_COPY% when
// set, and exits with %TLX_PACKAGE_EXIT% (default 0).
// With %TLX_PACKAGE_PROBE% set it first tries what another program could do
// to a file: its own file when the value is "self", else the file named:
// open it for writing, then delete it, and records both outcomes
// ("probe<TAB>write <error><TAB>delete <error>", 0 for success; a deleted
// file is put back).
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    DoubleRecordStart();
    std::string probe = DoubleEnv("TLX_PACKAGE_PROBE");
    if (!probe.empty()) {
        std::string self = probe == "self" ? DoubleOwnPath() : probe;
        HANDLE h = CreateFileA(self.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD writeError = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        std::string copy = self + ".kept";
        CopyFileA(self.c_str(), copy.c_str(), FALSE);
        DWORD deleteError = DeleteFileA(self.c_str()) ? 0 : GetLastError();
        if (deleteError == 0) // put it back, so that the run can go on
            MoveFileA(copy.c_str(), self.c_str());
        else
            DeleteFileA(copy.c_str());
        DoubleRecord("probe\twrite " + std::to_string(writeError) + "\tdelete " + std::to_string(deleteError));
    }
    std::string copy = DoubleEnv("TLX_PACKAGE_COPY");
    if (!copy.empty())
        CopyFileA(DoubleOwnPath().c_str(), copy.c_str(), FALSE);
    return static_cast<int>(DoubleEnvNumber("TLX_PACKAGE_EXIT", 0));
}
