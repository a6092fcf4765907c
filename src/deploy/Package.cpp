#include "deploy/Package.h"

#include <new>
#include <vector>
#include <windows.h>

#include "logs/TraceLog.h"
#include "messages/Messages.h"
#include "platform/File.h"
#include "platform/HeldFile.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/TempDirectory.h"
#include "setupfile/SetupImage.h"

namespace {
class HeldFileSink : public PackageSink {
public:
    explicit HeldFileSink(HeldFile& file) : m_file(file) {}
    void Take(const unsigned char* data, size_t size) override { m_file.Write(data, size); }

private:
    HeldFile& m_file;
};

enum class CheckOutcome { ok, fileError, badImage };

// Opens the setup file (others may read and write it meanwhile) and checks
// it in one pass through a fixed buffer, giving the package to sink.
CheckOutcome CheckFile(const std::string& path, PackageSink* sink, FileError* error)
{
    try {
        std::vector<unsigned char> buffer(kSetupBufferSize);
        BinaryFile file;
        file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        FileSetupSource source(file);
        SetupLayout layout;
        ImageCheck check = CheckSetupSource(source, buffer.data(), buffer.size(), &layout, sink);
        file.Close();
        if (check != ImageCheck::ok) {
            TraceMessage("|E|setup file %s: %s", path.c_str(), ImageCheckReason(check));
            return CheckOutcome::badImage;
        }
        return CheckOutcome::ok;
    } catch (const FileError& e) {
        *error = e;
        return CheckOutcome::fileError;
    } catch (const std::bad_alloc&) {
        *error = FileError(FileError::genericException, ERROR_NOT_ENOUGH_MEMORY, path);
        return CheckOutcome::fileError;
    }
}

PackageResult Result(PackageRun run, unsigned long exitCode = 0)
{
    PackageResult result;
    result.run = run;
    result.exitCode = exitCode;
    return result;
}
} // namespace

PackageResult ExtractPackage() { return ExtractPackageFrom(RunningProgramPath()); }

PackageResult ExtractPackageFrom(const std::string& setupPath)
{
    FileError error(FileError::none, 0, setupPath);
    const std::string runDir = CreateRunDirectory("sep", ".tmp", &error);
    if (runDir.empty()) {
        ReportFileError(error);
        return Result(PackageRun::fileError);
    }
    PackageResult result;
    {
        HeldFile package;
        if (!package.Create(runDir + "\\package.exe", &error)) {
            RemoveEmptyDirectory(runDir);
            ReportFileError(error);
            return Result(PackageRun::fileError);
        }
        // The digest is computed while the package is copied out; the copy
        // is started only when it matched, and held from then on.
        HeldFileSink sink(package);
        CheckOutcome check = CheckFile(setupPath, &sink, &error);
        if (check == CheckOutcome::ok) {
            try {
                package.Seal();
            } catch (const FileError& e) {
                error = e;
                check = CheckOutcome::fileError;
            }
        }
        if (check != CheckOutcome::ok) {
            package.Discard();
            RemoveEmptyDirectory(runDir);
            if (check == CheckOutcome::fileError)
                ReportFileError(error);
            else
                ShowMessageBox(kTextBadSignature, MB_OK);
            return Result(check == CheckOutcome::fileError ? PackageRun::fileError : PackageRun::badSignature);
        }
        unsigned long exitCode = 0;
        if (!StartAndWait(package, &exitCode)) {
            result = Result(PackageRun::notStarted);
        } else {
            result = Result(exitCode == 0 ? PackageRun::ok : PackageRun::packageFailed, exitCode);
            if (exitCode != 0)
                TraceMessage("|E|package %s ended with exit code %lu", package.Path().c_str(), exitCode);
        }
        package.Discard();
    }
    RemoveEmptyDirectory(runDir);
    if (result.run == PackageRun::notStarted)
        ShowMessageBox(kTextCreateProcessFailed, MB_OK);
    return result;
}

SetupFileCheck VerifySetupFile(FileError* error) { return VerifySetupFileAt(RunningProgramPath(), error); }

SetupFileCheck VerifySetupFileAt(const std::string& setupPath, FileError* error)
{
    FileError local(FileError::none, 0, setupPath);
    switch (CheckFile(setupPath, nullptr, &local)) {
    case CheckOutcome::ok: return SetupFileCheck::ok;
    case CheckOutcome::badImage: return SetupFileCheck::badImage;
    case CheckOutcome::fileError: break;
    }
    if (error)
        *error = local;
    return SetupFileCheck::fileError;
}

bool VerifySetupFile() { return VerifySetupFileAt(RunningProgramPath()); }

bool VerifySetupFileAt(const std::string& setupPath) { return VerifySetupFileAt(setupPath, nullptr) == SetupFileCheck::ok; }
