#include "platform/DirectoryEntries.h"

#ifdef _WIN32
#include <windows.h>

bool ForEachEntry(const std::string& dir, const char* pattern, const std::function<bool(const DirectoryEntry&)>& visit)
{
    std::string search = dir;
    if (search.empty() || search.back() != '\\')
        search += '\\';
    search += pattern;
    if (search.size() >= MAX_PATH)
        return false;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(search.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    do {
        DirectoryEntry entry{found.cFileName, found.dwFileAttributes,
                             (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow};
        if (entry.name == "." || entry.name == "..")
            continue;
        if (!visit(entry))
            break;
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return true;
}
#endif
