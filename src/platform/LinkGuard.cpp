#include "platform/LinkGuard.h"

#include <vector>

#include "platform/FinalPath.h"
#include "platform/Paths.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/WidePath.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// path split at its last separator into the folder (a drive root keeps its
// backslash) and the entry's name; false when it has no folder part.
bool SplitEntry(const std::string& path, std::string* folder, std::string* name)
{
    size_t cut = path.find_last_of(PathSeparator());
    if (cut == std::string::npos || cut + 1 >= path.size())
        return false;
    *name = path.substr(cut + 1);
    *folder = path.substr(0, cut);
    if (folder->empty() || (folder->size() == 2 && (*folder)[1] == ':'))
        *folder += PathSeparator();
    return true;
}

FileError Refusal(const std::string& link) { return FileError(FileError::linkRefused, 0, link); }
} // namespace

#ifdef _WIN32
namespace {
// The one way a path reaches the file system: its <U+XXXX> characters and a
// length past the plain limit included.
std::wstring Wide(const std::string& text) { return WidePathOf(text); }

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::vector<char> out(n);
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out.data();
}

bool IsReparse(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Where the handle really is, UTF-8 ("\\?\D:\Velko\Boot"); empty when the
// system cannot tell.
std::string FinalPathOf(HANDLE h)
{
    std::vector<wchar_t> buf(MAX_PATH + 8);
    for (int tries = 0; tries < 2; ++tries) {
        DWORD n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return std::string();
        if (n < buf.size())
            return Utf8(std::wstring(buf.data(), n));
        buf.resize(n + 1);
    }
    return std::string();
}

// The root of a full path: "D:\" or "\\server\share\"; empty for neither.
std::string RootOf(const std::string& full)
{
    if (full.size() >= 3 && full[1] == ':' && full[2] == '\\')
        return full.substr(0, 3);
    if (full.compare(0, 2, "\\\\") == 0) {
        size_t server = full.find('\\', 2);
        size_t share = server == std::string::npos ? server : full.find('\\', server + 1);
        return share == std::string::npos ? std::string() : full.substr(0, share + 1);
    }
    return std::string();
}

HANDLE OpenDirectory(const std::string& path, DWORD access, DWORD share)
{
    return CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A folder held open while a file in it is opened, replaced or deleted:
// opened with read access to its entries and without FILE_SHARE_DELETE, so
// that nobody renames it away and puts a junction in its place meanwhile,
// and checked where it really is: its final path is its drive's root's
// final path and its own name below that (a link anywhere on the way would
// give another one), and it is no reparse point itself.
class HeldFolder {
public:
    ~HeldFolder()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    // False when the folder cannot be opened (*error the system's) or is,
    // or lies behind, a link (*error linkRefused naming it).
    bool Hold(const std::string& folder, FileError* error)
    {
        std::string full = LongPathOf(FullPathName(folder));
        std::string root = RootOf(full);
        if (full.empty() || root.empty()) {
            *error = FileError(FileError::badPath, ERROR_BAD_PATHNAME, folder);
            return false;
        }
        std::string link = LinkOnPath(full);
        if (!link.empty()) {
            *error = Refusal(link);
            return false;
        }
        m_handle = OpenDirectory(full, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (m_handle == INVALID_HANDLE_VALUE) {
            long os = static_cast<long>(GetLastError());
            *error = FileError(FileError::CauseFromOsError(os), os, folder);
            return false;
        }
        BY_HANDLE_FILE_INFORMATION info = {};
        m_final = FinalPathOf(m_handle);
        std::string rootFinal;
        HANDLE rootHandle = OpenDirectory(root, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (rootHandle != INVALID_HANDLE_VALUE) {
            rootFinal = FinalPathOf(rootHandle);
            CloseHandle(rootHandle);
        }
        // The rest below the root as written, in the final path's form.
        std::string expected = FinalPathKey(rootFinal) + FinalPathKey("\\" + Utf8(Wide(full.substr(root.size()))));
        if (full.size() == root.size())
            expected = FinalPathKey(rootFinal);
        if (!GetFileInformationByHandle(m_handle, &info) || IsReparse(info.dwFileAttributes) || m_final.empty() ||
            rootFinal.empty() || FinalPathKey(m_final) != expected) {
            *error = Refusal(full);
            return false;
        }
        return true;
    }
    const std::string& Final() const { return m_final; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::string m_final;
};

// The file behind h is folder's entry name, no reparse point, and (where
// it is written) has no other name.
bool IsOwnEntry(HANDLE h, const HeldFolder& folder, const std::string& name, bool written)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(h, &info) || IsReparse(info.dwFileAttributes))
        return false;
    if (written && info.nNumberOfLinks > 1)
        return false;
    return FinalPathIsEntry(FinalPathOf(h), folder.Final(), Utf8(Wide(name)));
}

bool WriteAll(HANDLE h, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        DWORD put = 0;
        if (!WriteFile(h, data.data() + done, static_cast<DWORD>(data.size() - done), &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return FlushFileBuffers(h) != FALSE;
}
} // namespace

std::string LinkOnPath(const std::string& path)
{
    std::string full = WithoutTrailingBackslash(FullPathName(path));
    std::string root = RootOf(full);
    if (root.empty())
        return std::string();
    for (size_t at = root.size(); at <= full.size(); ++at) {
        if (at < full.size() && full[at] != '\\') {
            // A double-byte character's trail byte may be a backslash.
            if (IsDBCSLeadByte(static_cast<BYTE>(full[at])))
                ++at;
            continue;
        }
        std::string part = full.substr(0, at);
        if (IsReparse(GetFileAttributesW(Wide(part).c_str())))
            return part;
    }
    return std::string();
}

void* OpenWithoutLinks(const std::string& path, unsigned long access, unsigned long share, bool create,
                       bool truncate, FileError* error)
{
    FileError ignored(FileError::none, 0, path);
    FileError& err = error ? *error : ignored;
    std::string full = FullPathName(path), folderPath, name;
    if (full.empty() || !SplitEntry(full, &folderPath, &name)) {
        err = FileError(FileError::badPath, ERROR_BAD_PATHNAME, path);
        return nullptr;
    }
    HeldFolder folder;
    if (!folder.Hold(folderPath, &err))
        return nullptr;
    if (IsReparse(GetFileAttributesW(Wide(full).c_str()))) {
        err = Refusal(full);
        return nullptr;
    }
    // Never CREATE_ALWAYS: a file is cut only once it is known to be ours.
    DWORD disposition = create ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE h = CreateFileW(Wide(full).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        long os = static_cast<long>(GetLastError());
        err = FileError(FileError::CauseFromOsError(os), os, path);
        return nullptr;
    }
    if (!IsOwnEntry(h, folder, name, (access & GENERIC_WRITE) != 0)) {
        CloseHandle(h);
        err = Refusal(full);
        return nullptr;
    }
    // Only a file with something in it is cut: Wine fails even a cut of an
    // empty file to nothing on a full drive.
    LARGE_INTEGER size = {};
    if (truncate && GetFileSizeEx(h, &size) && size.QuadPart > 0 && !SetEndOfFile(h)) {
        long os = static_cast<long>(GetLastError());
        CloseHandle(h);
        err = FileError(FileError::CauseFromOsError(os), os, path);
        return nullptr;
    }
    return h;
}

bool ReplaceFileWithoutLinks(const std::string& path, const std::string& data, std::string* refused)
{
    const std::string temp = path + ".new";
    FileError error(FileError::none, 0, temp);
    HANDLE h = static_cast<HANDLE>(
        OpenWithoutLinks(temp, GENERIC_WRITE, 0, true, true, &error));
    if (!h) {
        if (error.m_cause != FileError::linkRefused)
            RemoveFileWithoutLinks(temp); // one left by an earlier failure, never through a link
        else if (refused)
            *refused = error.m_fileName;
        return false;
    }
    bool written = WriteAll(h, data);
    written = CloseHandle(h) && written;
    std::string full = FullPathName(path), folderPath, name;
    HeldFolder folder;
    if (full.empty() || !SplitEntry(full, &folderPath, &name) || !folder.Hold(folderPath, &error)) {
        // Not removed either: where the folder now leads is not ours.
        if (refused && error.m_cause == FileError::linkRefused)
            *refused = error.m_fileName;
        return false;
    }
    // A rename within the held folder acts on the entries themselves (a
    // link in place of the state file is replaced, not written through).
    if (written && MoveFileExW(Wide(temp).c_str(), Wide(full).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    // A full drive leaves an empty temp file behind a failed write.
    DeleteFileW(Wide(temp).c_str());
    return false;
}

bool RemoveFileWithoutLinks(const std::string& path)
{
    std::string full = FullPathName(path), folderPath, name;
    HeldFolder folder;
    FileError error(FileError::none, 0, path);
    if (full.empty() || !SplitEntry(full, &folderPath, &name) || !folder.Hold(folderPath, &error))
        return false;
    if (IsReparse(GetFileAttributesW(Wide(full).c_str())))
        return false;
    HANDLE h = CreateFileW(Wide(full).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool removed = false;
    // Deleted through the handle that was checked, not by name again.
    if (IsOwnEntry(h, folder, name, false)) {
        FILE_DISPOSITION_INFO disposition = {TRUE};
        removed = SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
        if (!removed) {
            // Read-only: what RemoveFile does by name, here by the handle.
            FILE_BASIC_INFO basic = {};
            if (GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
                (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
                basic.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
                removed = SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) &&
                          SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
            }
        }
    }
    CloseHandle(h);
    return removed;
}
#else
std::string LinkOnPath(const std::string& path)
{
    // Not realpath: that would resolve the very links looked for.
    std::string full = path;
    char cwd[4096];
    if (!full.empty() && full[0] != '/' && getcwd(cwd, sizeof cwd))
        full = std::string(cwd) + "/" + full;
    for (size_t at = 1; at <= full.size(); ++at) {
        if (at < full.size() && full[at] != '/')
            continue;
        std::string part = full.substr(0, at);
        struct stat st = {};
        if (lstat(part.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return part;
    }
    return std::string();
}

void* OpenWithoutLinks(const std::string& path, unsigned long access, unsigned long, bool create, bool truncate,
                       FileError* error)
{
    FileError ignored(FileError::none, 0, path);
    FileError& err = error ? *error : ignored;
    std::string folder, name;
    if (!SplitEntry(path, &folder, &name)) {
        err = FileError(FileError::badPath, ENOENT, path);
        return nullptr;
    }
    std::string link = LinkOnPath(path);
    if (!link.empty()) {
        err = Refusal(link);
        return nullptr;
    }
    int oflags = O_CLOEXEC | O_NOFOLLOW | static_cast<int>(access);
    if (create)
        oflags |= O_CREAT;
    int fd = ::open(path.c_str(), oflags, 0644);
    if (fd < 0) {
        long os = errno;
        err = os == ELOOP ? Refusal(path) : FileError(FileError::CauseFromOsError(os), os, path);
        return nullptr;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (static_cast<int>(access) != O_RDONLY && st.st_nlink > 1)) {
        ::close(fd);
        err = Refusal(path);
        return nullptr;
    }
    if (truncate && ftruncate(fd, 0) != 0) {
        long os = errno;
        ::close(fd);
        err = FileError(FileError::CauseFromOsError(os), os, path);
        return nullptr;
    }
    // fd + 1: descriptor 0 is a valid one, nullptr is the failure.
    return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

bool ReplaceFileWithoutLinks(const std::string& path, const std::string& data, std::string* refused)
{
    const std::string temp = path + ".new";
    FileError error(FileError::none, 0, temp);
    void* opened = OpenWithoutLinks(temp, O_WRONLY, 0, true, true, &error);
    if (!opened) {
        if (refused && error.m_cause == FileError::linkRefused)
            *refused = error.m_fileName;
        return false;
    }
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(opened) - 1);
    bool written = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) && fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    std::string link = LinkOnPath(temp);
    if (!link.empty()) {
        if (refused)
            *refused = link;
        return false;
    }
    if (written && rename(temp.c_str(), path.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

bool RemoveFileWithoutLinks(const std::string& path)
{
    return LinkOnPath(path).empty() && unlink(path.c_str()) == 0;
}
#endif
