// Joining path parts: the one way every layer builds a path.
#pragma once
#include <string>

// dir and more joined with exactly one backslash, as PathCombineA does ("."
// and ".." resolved, an absolute more replaces dir), also beyond its 260-byte
// buffer (Windows); empty when the result is longer than the file system
// takes (32 767 wide characters; 259 bytes natively): paths are refused,
// never truncated.
std::string JoinPath(const std::string& dir, const std::string& more);

// The absolute form of path as the system resolves it (current directory,
// "." and ".."); empty when it cannot (natively: or when it does not fit in
// 260 bytes).
std::string FullPathName(const std::string& path);

// The separator of the running system's paths.
char PathSeparator();

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// The long form of an existing path, or empty when it does not exist.
std::string LongPathOf(const std::string& path);
// The long, absolute spelling of path, for comparing where a path really
// leads: the system's full path name with its longest existing part in long
// form (8.3 names resolved) and the rest as written. Empty when it cannot be
// formed or a part that does not exist has a '~' (a short spelling that
// resolves to nothing cannot be compared with anything).
std::string LongFullPathOf(const std::string& path);
// The final path of an existing directory (links, junctions and mount points
// on the way resolved), as "C:\dir" or "\\server\share\dir"; empty when it
// does not exist or the system cannot tell.
std::string FinalDirectoryPathOf(const std::string& path);
// Windows only, as the shell's path functions do them: path with one
// trailing backslash added where it has none, path with one trailing
// backslash removed (a drive
// root keeps it), the short (8.3) form of an existing path or empty, and the
// size of an existing file (false for a directory or nothing there).
std::string WithBackslash(const std::string& path);
std::string WithoutOneBackslash(const std::string& path);
std::string ShortPathOf(const std::string& path);
bool FileSizeOf(const std::string& path, unsigned long long* size);
// path without its trailing backslashes (a drive root "C:\" keeps its one).
std::string WithoutTrailingBackslash(const std::string& path);
// The directory that holds path: all before its last backslash (on Windows
// never the trail byte of a double-byte character).
std::string ParentOf(const std::string& path);
// Creates one directory level; true when it exists afterwards.
bool MakeDirectory(const std::string& path);
// Creates one directory level; true only when this call made it (an existing
// directory is refused: what is in it is not ours).
bool MakeNewDirectory(const std::string& path);

// What the file system says of a path, without following a link.
enum class PathKind { missing, file, directory, link };
// A junction, symbolic link or mount point (a reparse point) is a link,
// whatever it points to.
PathKind KindOfPath(const std::string& path);
// A file's last write time in 100 ns units since 1601 (Windows' file time);
// false when it cannot be read.
bool LastWriteTimeOf(const std::string& path, unsigned long long* when);
// That time as local "YYYYMMDD-HHMMSS", for a name that says when a file was
// last written.
std::string LocalStampOfFileTime(unsigned long long when);
// The same from the attributes a directory enumeration gave.
PathKind KindOfAttributes(unsigned long attributes);
// Marks a file or directory hidden.
void HideFile(const std::string& path);
// Clears every attribute (read-only, hidden, system) of a file or directory.
void ClearAttributes(const std::string& path);
