// File errors as exceptions, with the cause numbers that the logs and
// messages report (the classic framework's numbering, kept so messages read
// the same as on the machines in the field).
#pragma once
#include <stdexcept>
#include <string>

class FileError : public std::runtime_error {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
        // Ours, beyond the classic numbering: a link (junction, symbolic or
        // hard link) stood where a file was to be written (LinkGuard).
        linkRefused = 15,
    };

    FileError(int cause, long osError, std::string fileName, std::string what = std::string());

    int m_cause;
    long m_osError;
    std::string m_fileName;

    // Maps an operating-system error number (GetLastError or errno) to a cause.
    static int CauseFromOsError(long osError);
    // The last operating-system error of this thread (GetLastError, errno),
    // read right after the call that failed.
    static long LastOsError();
    // Throws a FileError for the last operating-system error.
    [[noreturn]] static void ThrowLast(const std::string& fileName);
};

// The standard report of a file error: a message box naming the file and the cause.
void ReportFileError(const FileError& error);
