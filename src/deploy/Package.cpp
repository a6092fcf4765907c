#include "deploy/Package.h"

#include <new>
#include <vector>
#include <windows.h>

#include "messages/Messages.h"
#include "setupfile/SetupImage.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace {
enum class ReadResult { ok, fileError, tooLarge };

// The whole setup file in one buffer and one read, others allowed to read
// and write it meanwhile.
ReadResult ReadSetupFile(const std::string& path, std::vector<unsigned char>& bytes, FileError* error)
{
    try {
        BinaryFile file;
        file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        uint64_t length = file.GetLength();
        if (length > 0xFFFFFFFFull || length > bytes.max_size())
            return ReadResult::tooLarge;
        bytes.resize(static_cast<size_t>(length));
        if (length > 0)
            file.ReadExact(bytes.data(), bytes.size());
        file.Close();
        return ReadResult::ok;
    } catch (const FileError& e) {
        *error = e;
        return ReadResult::fileError;
    } catch (const std::bad_alloc&) {
        *error = FileError(FileError::genericException, ERROR_NOT_ENOUGH_MEMORY, path);
        return ReadResult::fileError;
    }
}

} // namespace


bool ExtractPackage() { return ExtractPackageFrom(RunningProgramPath()); }

bool ExtractPackageFrom(const std::string& setupPath)
{
    uint32_t offset = 0, size = 0;
    std::string tempFile;
    {
        std::vector<unsigned char> bytes;
        FileError error(FileError::none, 0, setupPath);
        ReadResult read = ReadSetupFile(setupPath, bytes, &error);
        if (read == ReadResult::fileError) {
            ReportFileError(error);
            return false;
        }
        if (read == ReadResult::tooLarge ||
            CheckSetupImage(bytes.data(), bytes.size(), &offset, &size) != ImageCheck::ok) {
            ShowMessageBox(kTextBadSignature, MB_OK);
            return false;
        }

        char tempDir[MAX_PATH] = {0};
        char tempName[MAX_PATH] = {0};
        DWORD n = GetTempPathA(MAX_PATH, tempDir);
        if (n == 0 || n >= MAX_PATH || GetTempFileNameA(tempDir, "sep", 0, tempName) == 0) {
            ReportFileError(FileError(FileError::CauseFromOsError(GetLastError()), GetLastError(),
                                      std::string(tempDir) + "sep*.tmp"));
            return false;
        }
        tempFile = tempName;
        try {
            BinaryFile out;
            out.OpenOrThrow(tempFile, BinaryFile::modeCreate | BinaryFile::modeWrite);
            if (size > 0)
                out.Write(bytes.data() + offset, size);
            out.Close();
        } catch (const FileError& e) {
            ReportFileError(e);
            return false;
        }
    } // the buffer is freed before the package runs

    unsigned long exitCode = 0;
    if (!StartAndWait(tempFile, &exitCode)) {
        ShowMessageBox(kTextCreateProcessFailed, MB_OK);
        return false;
    }
    DeleteFileA(tempFile.c_str());
    return true;
}

bool VerifySetupFile() { return VerifySetupFileAt(RunningProgramPath()); }

bool VerifySetupFileAt(const std::string& setupPath)
{
    std::vector<unsigned char> bytes;
    FileError error(FileError::none, 0, setupPath);
    if (ReadSetupFile(setupPath, bytes, &error) != ReadResult::ok)
        return false;
    return CheckSetupImage(bytes.data(), bytes.size(), nullptr, nullptr) == ImageCheck::ok;
}
