// Writes into folders that every operator account can write (the boot
// directory on the data drive, the data tree) must not be led elsewhere by a
// link planted there: an elevated setup that wrote "D:\Velko\Boot\SetUp.log"
// through a junction "D:\Velko\Boot" -> "C:\Windows\System32" would write
// the system directory. A file opened here is opened without following a
// reparse point and then checked where it really is: its final path is the
// folder's entry of that name, the folder's final path is the folder meant
// (no junction, symbolic link or mount point from the drive's root down),
// neither is a reparse point, and a file opened for writing has one link only
// (a hard link to another file is not written). The folder is held, not to be
// renamed or replaced, while its file is opened and checked. Refused, nothing
// is written, renamed or deleted, and the caller learns the link.
// Native builds make the same checks with the POSIX calls (no symbolic link
// on the way, one link only), for the tools and the portable tests.
#pragma once
#include <string>

#include "platform/FileError.h"

// The first link (junction, directory or file symbolic link, mount point)
// on the way from path's drive root to path, path itself included; empty when
// there is none (parts that do not exist are not links). Under Wine a Unix
// symbolic link to a directory is one; one to a file is not seen here (the
// checks of an opened file find it).
std::string LinkOnPath(const std::string& path);

// What BinaryFile::Open does for modeNoLinks: opens path so that it cannot
// have been reached through a link, with the system's access and share
// values (Windows: GENERIC_... and FILE_SHARE_...; natively O_RDONLY,
// O_WRONLY or O_RDWR, share unused), created where create is set and cut to
// nothing only after the checks where truncate is. Returns the handle
// (Windows: a HANDLE; natively: the file descriptor plus one) or nullptr; a
// refusal sets *error to FileError::linkRefused naming the link (the folder
// or one above it, or the file itself), any other failure to the system's
// error.
void* OpenWithoutLinks(const std::string& path, unsigned long access, unsigned long share, bool create,
                       bool truncate, FileError* error);

// Writes data to path + ".new" (opened as OpenWithoutLinks does) and puts
// it in the place of path in one step, written through, while the folder is
// held and still not a link: what ReplaceFileAtomically does for a folder
// anyone can write. A ".new" this call wrote is removed after a failure;
// false leaves path as it was. *refused (when given) names a link found.
bool ReplaceFileWithoutLinks(const std::string& path, const std::string& data, std::string* refused = nullptr);

// Deletes the file path only where it is the very entry of a folder that is
// not a link, and not a link itself: never a file that a link leads to.
bool RemoveFileWithoutLinks(const std::string& path);
