#include "deploy/Package.h"

#include <new>

#include "logs/TraceLog.h"
#include "messages/Messages.h"
#include "platform/HeldFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TempDirectory.h"

namespace {
class HeldFileSink : public PackageSink {
public:
    explicit HeldFileSink(HeldFile& file) : m_file(file) {}
    void Take(const unsigned char* data, size_t size) override { m_file.Write(data, size); }

private:
    HeldFile& m_file;
};

ImageCheck CheckFile(const std::string& path, PackageSink* sink, FileError* error)
{
    ImageCheck check = CheckSetupFileAt(path, sink, error);
    if (check != ImageCheck::ok && check != ImageCheck::unreadable)
        TraceMessage("|E|setup file %s: %s", path.c_str(), ImageCheckReason(check));
    return check;
}

PackageOutcome Outcome(PackageOutcome::Kind kind, const std::string& report = std::string())
{
    PackageOutcome outcome;
    outcome.kind = kind;
    outcome.report = report;
    return outcome;
}
} // namespace

PackageOutcome RunSetupPackage() { return RunSetupPackageFrom(RunningProgramPath()); }

PackageOutcome RunSetupPackageFrom(const std::string& setupPath)
{
    FileError error(FileError::none, 0, setupPath);
    const std::string runDir = CreateRunDirectory("sep", ".tmp", &error);
    if (runDir.empty())
        return Outcome(PackageOutcome::unreadable, error.what());
    PackageOutcome outcome;
    {
        HeldFile package;
        if (!package.Create(JoinPath(runDir, "package.exe"), &error)) {
            RemoveEmptyDirectory(runDir);
            return Outcome(PackageOutcome::unreadable, error.what());
        }
        // The digest is computed while the package is copied out; the copy
        // is started only when it matched, and held from then on.
        HeldFileSink sink(package);
        ImageCheck check = CheckFile(setupPath, &sink, &error);
        if (check == ImageCheck::ok) {
            try {
                package.Seal();
            } catch (const FileError& e) {
                error = e;
                check = ImageCheck::unreadable;
            }
        }
        if (check != ImageCheck::ok) {
            package.Discard();
            RemoveEmptyDirectory(runDir);
            if (check == ImageCheck::unreadable)
                return Outcome(PackageOutcome::unreadable, error.what());
            PackageOutcome damaged = Outcome(PackageOutcome::badSignature, kTextBadSignature);
            damaged.cause = ImageCheckCause(check);
            return damaged;
        }
        unsigned long exitCode = 0;
        if (!StartAndWait(package, &exitCode)) {
            outcome = Outcome(PackageOutcome::notStarted, kTextCreateProcessFailed);
        } else {
            outcome = Outcome(exitCode == 0 ? PackageOutcome::ran : PackageOutcome::failedExit);
            outcome.exitCode = exitCode;
            if (exitCode != 0)
                TraceMessage("|E|package %s ended with exit code %lu", package.Path().c_str(), exitCode);
        }
        package.Discard();
    }
    RemoveEmptyDirectory(runDir);
    return outcome;
}

ImageCheck VerifySetupFile(FileError* error) { return VerifySetupFileAt(RunningProgramPath(), error); }

ImageCheck VerifySetupFileAt(const std::string& setupPath, FileError* error)
{
    FileError local(FileError::none, 0, setupPath);
    ImageCheck check = CheckFile(setupPath, nullptr, &local);
    if (check == ImageCheck::unreadable && error)
        *error = local;
    return check;
}

bool VerifySetupFile() { return VerifySetupFileAt(RunningProgramPath()); }

bool VerifySetupFileAt(const std::string& setupPath) { return VerifySetupFileAt(setupPath, nullptr) == ImageCheck::ok; }
