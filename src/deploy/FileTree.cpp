#include "deploy/FileTree.h"

#include "locations/Locations.h"
#include "platform/DirectoryEntries.h"
#include "platform/MultiByte.h"

#include <cstring>
#include <functional>
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace {
bool Fits(const std::string& s) { return s.size() < MAX_PATH; }

using NameRule = std::function<bool(const std::string& name)>;

void Collect(const std::string& root, const NameRule& matches, PathList& list)
{
    ForEachEntry(root, "*.*", [&](const DirectoryEntry& entry) {
        std::string full = root + "\\" + entry.name;
        if (!Fits(full))
            return true;
        if (entry.IsDirectory())
            Collect(full, matches, list);
        else if (matches(entry.name))
            list.push_back(full);
        return true;
    });
}

bool DeleteTreeBelow(const std::string& directory)
{
    std::string pattern = directory + "\\*";
    std::string prefix = directory + "\\";
    if (!Fits(pattern))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    for (;;) {
        std::string name = found.cFileName;
        if (name != "." && name != "..") {
            std::string full = prefix + name;
            if (!Fits(full)) {
                FindClose(h);
                return false;
            }
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!DeleteTreeBelow(full)) {
                    FindClose(h);
                    return false;
                }
            } else {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesA(full.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                if (!DeleteFileA(full.c_str())) {
                    FindClose(h);
                    return false;
                }
            }
        }
        if (!FindNextFileA(h, &found)) {
            DWORD err = GetLastError();
            FindClose(h);
            if (err != ERROR_NO_MORE_FILES)
                return false;
            break;
        }
    }
    return RemoveDirectoryA(directory.c_str()) != 0;
}
} // namespace

bool DeleteTree(const std::string& directory)
{
    // The last line of defence behind the check of setup.cfg's Path: a
    // drive root or a system folder is never wiped, whoever asks.
    if (IsProtectedFromDeletion(directory))
        return false;
    return DeleteTreeBelow(directory);
}

int CopyTree(const std::string& source, const std::string& destination, unsigned flags)
{
    // Double-NUL lists of one element each.
    char from[MAX_PATH + 1] = {0};
    char to[MAX_PATH + 1] = {0};
    // With one destination per source, a directory copied onto an existing
    // directory merges its contents into it. Some shells nest the copy
    // instead (dst\src); naming the contents explicitly gives the merge everywhere.
    std::string what = source;
    if ((flags & FOF_MULTIDESTFILES) && PathIsDirectoryA(source.c_str()) && PathIsDirectoryA(destination.c_str())) {
        if (PathIsDirectoryEmptyA(source.c_str()))
            return 0;
        what = source;
        if (what.empty() || what.back() != '\\')
            what += '\\';
        what += '*';
    }
    if (!Fits(what) || !Fits(destination))
        return ERROR_FILENAME_EXCED_RANGE;
    memcpy(from, what.c_str(), what.size());
    memcpy(to, destination.c_str(), destination.size());
    SHFILEOPSTRUCTA op;
    memset(&op, 0, sizeof op);
    op.hwnd = nullptr;
    op.wFunc = FO_COPY;
    op.pFrom = from;
    op.pTo = to;
    op.fFlags = static_cast<FILEOP_FLAGS>(flags);
    op.fAnyOperationsAborted = FALSE;
    op.hNameMappings = nullptr;
    op.lpszProgressTitle = nullptr;
    return SHFileOperationA(&op);
}

void MakeDirectoryPath(const std::string& directory)
{
    if (!Fits(directory) || PathIsDirectoryA(directory.c_str()))
        return;
    for (size_t pos = directory.find('\\'); pos != std::string::npos; pos = directory.find('\\', pos + 1)) {
        std::string prefix = directory.substr(0, pos);
        if (!PathIsDirectoryA(prefix.c_str()) && !CreateDirectoryA(prefix.c_str(), nullptr))
            return;
    }
    if (!PathIsDirectoryA(directory.c_str()))
        CreateDirectoryA(directory.c_str(), nullptr);
}

void CollectByName(const std::string& root, const std::string& name, PathList& list)
{
    if (name.empty())
        return;
    std::string key = LowerMultiByte(name);
    Collect(root, [&](const std::string& n) { return LowerMultiByte(n) == key; }, list);
}

void CollectByFragment(const std::string& root, const std::string& fragment, PathList& list)
{
    if (fragment.empty())
        return;
    Collect(root, [&](const std::string& n) { return ContainsMultiByte(LowerMultiByte(n), fragment); }, list);
}

void CollectByFragments(const std::string& root, const std::string& first, const std::string& second,
                        PathList& list)
{
    if (first.empty() || second.empty())
        return;
    Collect(root,
            [&](const std::string& n) {
                std::string lower = LowerMultiByte(n);
                return ContainsMultiByte(lower, second) && ContainsMultiByte(lower, first);
            },
            list);
}
