#include "platform/DirectoryTree.h"

#include <windows.h>

#include "platform/DirectoryEntries.h"
#include "platform/FileCopy.h"
#include "platform/Paths.h"
#include "platform/WidePath.h"

namespace {
bool DeleteTreeBelow(const std::string& directory)
{
    std::string prefix = directory + "\\";
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(WidePathOf(directory + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool linkKept = false;
    for (;;) {
        std::string name = NarrowNameOf(found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // Removing a link may act on what it leads to (Wine does): it
            // stays, and so does the directory around it.
            if (name != "." && name != "..")
                linkKept = true;
        } else if (name != "." && name != "..") {
            std::string full = prefix + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!DeleteTreeBelow(full)) {
                    FindClose(h);
                    return false;
                }
            } else {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(WidePathOf(full).c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                if (!DeleteFileW(WidePathOf(full).c_str())) {
                    FindClose(h);
                    return false;
                }
            }
        }
        if (!FindNextFileW(h, &found)) {
            DWORD err = GetLastError();
            FindClose(h);
            if (err != ERROR_NO_MORE_FILES)
                return false;
            break;
        }
    }
    return !linkKept && RemoveDirectoryW(WidePathOf(directory).c_str()) != 0;
}

int CopyTreeBelow(const std::string& source, const std::string& destination)
{
    if (!CreateDirectoryW(WidePathOf(destination).c_str(), nullptr) && !IsDirectory(destination))
        return static_cast<int>(GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND);
    int first = 0;
    auto note = [&first](int error) {
        if (first == 0)
            first = error;
    };
    bool listed = ForEachEntry(source, "*", [&](const DirectoryEntry& entry) {
        if (entry.IsReparsePoint())
            return true;
        std::string from = source + "\\" + entry.name;
        std::string to = destination + "\\" + entry.name;
        if (entry.IsDirectory()) {
            note(CopyTreeBelow(from, to));
        } else {
            unsigned long error = 0;
            if (!CopyFileOver(from, to, &error))
                note(error ? static_cast<int>(error) : ERROR_GEN_FAILURE);
        }
        return true;
    });
    if (!listed)
        note(ERROR_PATH_NOT_FOUND);
    return first;
}
} // namespace

bool DeleteDirectoryTree(const std::string& directory)
{
    DWORD attributes = GetFileAttributesW(WidePathOf(directory).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false; // a link in the place of the tree stays, and what it leads to
    return DeleteTreeBelow(directory);
}

int CopyDirectoryTree(const std::string& source, const std::string& destination)
{
    // An own walk rather than the shell's copy: that one follows links and
    // may stop at a box of its own.
    std::string from = source, to = destination;
    while (from.size() > 3 && from.back() == '\\')
        from.pop_back();
    while (to.size() > 3 && to.back() == '\\')
        to.pop_back();
    DWORD attributes = GetFileAttributesW(WidePathOf(from).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ERROR_PATH_NOT_FOUND;
    MakeDirectoryPath(to);
    return CopyTreeBelow(from, to);
}

void MakeDirectoryPath(const std::string& directory)
{
    if (IsDirectory(directory))
        return;
    for (size_t pos = 0; pos < directory.size(); ++pos) {
        if (IsDBCSLeadByte(static_cast<unsigned char>(directory[pos]))) {
            ++pos; // its trail byte may be a backslash that separates nothing
            continue;
        }
        if (directory[pos] != '\\')
            continue;
        std::string prefix = directory.substr(0, pos);
        if (!IsDirectory(prefix) && !CreateDirectoryW(WidePathOf(prefix).c_str(), nullptr))
            return;
    }
    if (!IsDirectory(directory))
        CreateDirectoryW(WidePathOf(directory).c_str(), nullptr);
}

unsigned long long DirectoryTreeBytes(const std::string& directory)
{
    unsigned long long total = 0;
    ForEachEntry(directory, "*", [&](const DirectoryEntry& entry) {
        if (entry.IsReparsePoint())
            return true;
        total += entry.IsDirectory() ? DirectoryTreeBytes(JoinPath(directory, entry.name)) : entry.size;
        return true;
    });
    return total;
}
