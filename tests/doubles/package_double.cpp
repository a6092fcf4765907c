// Double of the self-extracting package: records its start (with the full
// path it was started from), copies its own file to %TLX_PACKAGE_COPY% when
// set, and exits with %TLX_PACKAGE_EXIT% (default 0).
// With %TLX_PACKAGE_PROBE% set it first tries what another program could do
// to a file: its own file when the value is "self", else the file named:
// open it for writing, then delete it, and records both outcomes
// ("probe<TAB>write <error><TAB>delete <error>", 0 for success; a deleted
// file is put back).
// With %TLX_PACKAGE_TREE% (a release directory) it lays the release into
// %TLX_PACKAGE_INTO% as the real package does. For its first
// %TLX_PACKAGE_FAIL_TIMES% runs (counted in the file %TLX_PACKAGE_COUNTER%) it
// lays only every other file and exits with %TLX_PACKAGE_EXIT%; with
// %TLX_PACKAGE_HANG_FILE% set it then creates that file and waits to be killed.
#include "DoubleRecord.h"

namespace {
int g_laid = 0;

// Copies from into to, every file or only every other one.
void LayTree(const std::string& from, const std::string& to, bool half)
{
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((from + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            LayTree(from + "\\" + name, to + "\\" + name, half);
        else if (!half || g_laid++ % 2 == 0)
            CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

unsigned NextRun(const std::string& counter)
{
    unsigned runs = 0;
    if (FILE* f = fopen(counter.c_str(), "r")) {
        if (fscanf(f, "%u", &runs) != 1)
            runs = 0;
        fclose(f);
    }
    if (FILE* f = fopen(counter.c_str(), "w")) {
        fprintf(f, "%u", runs + 1);
        fclose(f);
    }
    return runs;
}
} // namespace

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
    std::string tree = DoubleEnv("TLX_PACKAGE_TREE");
    if (!tree.empty()) {
        bool failing = NextRun(DoubleEnv("TLX_PACKAGE_COUNTER")) < DoubleEnvNumber("TLX_PACKAGE_FAIL_TIMES", 0);
        LayTree(tree, DoubleEnv("TLX_PACKAGE_INTO"), failing);
        if (!failing)
            return 0;
        DoubleRecord("half laid");
        std::string hang = DoubleEnv("TLX_PACKAGE_HANG_FILE");
        if (!hang.empty()) {
            CloseHandle(CreateFileA(hang.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            for (;;)
                Sleep(1000);
        }
    }
    return static_cast<int>(DoubleEnvNumber("TLX_PACKAGE_EXIT", 0));
}
