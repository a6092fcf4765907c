#include "platform/DirectoryEntries.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/WidePath.h"

bool ForEachEntry(const std::string& dir, const char* pattern, const std::function<bool(const DirectoryEntry&)>& visit)
{
    std::string search = dir;
    if (search.empty() || search.back() != '\\')
        search += '\\';
    search += pattern;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(WidePathOf(search).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    do {
        DirectoryEntry entry{NarrowNameOf(found.cFileName), found.dwFileAttributes,
                             (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow};
        if (entry.name == "." || entry.name == "..")
            continue;
        if (!visit(entry))
            break;
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return true;
}
#else
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

// The tools' stand-in: the same entries from the POSIX calls; pattern as a
// shell glob ("*.*" matches names without a dot too, as on Windows).
bool ForEachEntry(const std::string& dir, const char* pattern, const std::function<bool(const DirectoryEntry&)>& visit)
{
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return false;
    const bool all = std::string(pattern) == "*.*";
    while (struct dirent* found = readdir(d)) {
        std::string name = found->d_name;
        if (name == "." || name == "..")
            continue;
        if (!all && fnmatch(pattern, name.c_str(), 0) != 0)
            continue;
        struct stat st;
        std::string path = dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
        if (stat(path.c_str(), &st) != 0)
            continue;
        DirectoryEntry entry{name, S_ISDIR(st.st_mode) ? 0x10ul : 0x20ul, static_cast<unsigned long long>(st.st_size)};
        if (!visit(entry))
            break;
    }
    closedir(d);
    return true;
}
#endif

std::vector<DirectoryEntry> ListEntries(const std::string& dir, const char* pattern)
{
    std::vector<DirectoryEntry> entries;
    ForEachEntry(dir, pattern, [&](const DirectoryEntry& entry) {
        entries.push_back(entry);
        return true;
    });
    return entries;
}
