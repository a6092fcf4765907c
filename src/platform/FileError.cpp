#include "platform/FileError.h"

#include "platform/MessageBox.h"
#include "platform/StringUtil.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace {
const char* CauseText(int cause)
{
    switch (cause) {
    case FileError::fileNotFound: return "was not found";
    case FileError::badPath: return "has an invalid path";
    case FileError::tooManyOpenFiles: return "could not be opened: too many open files";
    case FileError::accessDenied: return "could not be accessed: access denied";
    case FileError::invalidFile: return "is not a valid file";
    case FileError::sharingViolation: return "is in use by another process";
    case FileError::lockViolation: return "is locked";
    case FileError::diskFull: return "could not be written: the disk is full";
    case FileError::endOfFile: return "ended unexpectedly";
    case FileError::badSeek: return "could not be positioned";
    case FileError::hardIO: return "could not be read or written (hardware error)";
    case FileError::linkRefused: return "is a link: nothing is written through it";
    default: return "could not be accessed";
    }
}
} // namespace

FileError::FileError(int cause, long osError, std::string fileName, std::string what)
    : std::runtime_error(what.empty() ? StrPrintf("%s %s", fileName.c_str(), CauseText(cause)) : what),
      m_cause(cause), m_osError(osError), m_fileName(std::move(fileName))
{
}

int FileError::CauseFromOsError(long osError)
{
#ifdef _WIN32
    switch (osError) {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK: return badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT: return hardIO;
    default: return genericException;
    }
#else
    switch (osError) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS: return accessDenied;
    case EBADF: return invalidFile;
    case ETXTBSY:
    case EBUSY: return sharingViolation;
    case ENOSPC:
    case EDQUOT: return diskFull;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    default: return genericException;
    }
#endif
}

long FileError::LastOsError()
{
#ifdef _WIN32
    return static_cast<long>(GetLastError());
#else
    return errno;
#endif
}

void FileError::ThrowLast(const std::string& fileName)
{
    long os = LastOsError();
    throw FileError(CauseFromOsError(os), os, fileName);
}

void ReportFileError(const FileError& error)
{
    ShowMessageBox(error.what(), MB_OK | MB_ICONEXCLAMATION);
}
