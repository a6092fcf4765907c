#include "deploy/PackagePreview.h"

#include <vector>

#include "deploy/FileTree.h"
#include "platform/DirectoryEntries.h"
#include "platform/File.h"
#include "platform/HeldFile.h"
#include "platform/Paths.h"
#include "platform/StartWithArguments.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "setupfile/SetupImage.h"

namespace {
class HeldSink : public PackageSink {
public:
    explicit HeldSink(HeldFile& file) : m_file(file) {}
    void Take(const unsigned char* data, size_t size) override { m_file.Write(data, size); }

private:
    HeldFile& m_file;
};

unsigned long long TreeSize(const std::string& dir)
{
    unsigned long long total = 0;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        if (entry.IsDirectory())
            total += TreeSize(JoinPath(dir, entry.name));
        else
            total += entry.size;
        return true;
    });
    return total;
}
} // namespace

PackagePreview PreviewPackage(const std::string& setupPath)
{
    PackagePreview preview;
    FileError error(FileError::none, 0, setupPath);
    preview.runDir = CreateRunDirectory("sep", ".tmp", &error);
    if (preview.runDir.empty()) {
        preview.problem = error.what();
        return preview;
    }
    preview.releaseDir = JoinPath(preview.runDir, "release");
    HeldFile package;
    if (!package.Create(JoinPath(preview.runDir, "package.exe"), &error)) {
        preview.problem = error.what();
        return preview;
    }
    try {
        std::vector<unsigned char> buffer(kSetupBufferSize);
        BinaryFile file;
        file.OpenOrThrow(setupPath, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        FileSetupSource source(file);
        SetupLayout layout;
        HeldSink sink(package);
        ImageCheck check = CheckSetupSource(source, buffer.data(), buffer.size(), &layout, &sink);
        file.Close();
        if (check != ImageCheck::ok) {
            preview.problem = ImageCheckReason(check);
            package.Discard();
            return preview;
        }
        preview.packageSize = layout.packageSize;
        package.Seal();
    } catch (const FileError& e) {
        preview.problem = e.what();
        package.Discard();
        return preview;
    }
    unsigned long exitCode = 0;
    if (!StartAndWaitWithArguments(package, "/D=" + preview.releaseDir, &exitCode))
        preview.problem = "the package could not be started";
    else if (exitCode != 0)
        preview.problem = StrPrintf("the package ended with exit code %lu", exitCode);
    package.Discard();
    if (!preview.problem.empty())
        return preview;
    preview.releaseSize = TreeSize(preview.releaseDir);
    preview.ok = true;
    return preview;
}

void RemovePackagePreview(const PackagePreview& preview)
{
    if (!preview.runDir.empty())
        DeleteTree(preview.runDir);
}
