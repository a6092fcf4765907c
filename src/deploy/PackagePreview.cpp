#include "deploy/PackagePreview.h"

#include <algorithm>
#include <vector>

#include "deploy/FileTree.h"
#include "platform/DirectoryEntries.h"
#include "platform/DirectoryTree.h"
#include "platform/File.h"
#include "platform/HeldFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "setupfile/SetupImage.h"

namespace {
// Writes the package out and looks for the first header of the archive
// builder (flags, 0xDEADBEEF, "NullsoftInst"), which may straddle two pieces.
class HeldSink : public PackageSink {
public:
    explicit HeldSink(HeldFile& file) : m_file(file) {}
    void Take(const unsigned char* data, size_t size) override
    {
        m_file.Write(data, size);
        if (head.size() < kHeadBytes)
            head.append(reinterpret_cast<const char*>(data), std::min(size, kHeadBytes - head.size()));
        if (found)
            return;
        static const char kSignature[] = "\xEF\xBE\xAD\xDENullsoftInst";
        const size_t length = sizeof(kSignature) - 1;
        m_tail.append(reinterpret_cast<const char*>(data), size);
        found = m_tail.find(kSignature, 0, length) != std::string::npos;
        if (m_tail.size() >= length)
            m_tail.erase(0, m_tail.size() - (length - 1));
    }
    bool found = false;
    static const size_t kHeadBytes = 4096;
    std::string head; // the package's first bytes: a program's headers

private:
    HeldFile& m_file;
    std::string m_tail;
};

} // namespace

PackagePreview PreviewPackage(const std::string& setupPath) { return LayPackageInto(setupPath, std::string()); }

PackagePreview LayPackageInto(const std::string& setupPath, const std::string& releaseDir)
{
    PackagePreview preview;
    FileError error(FileError::none, 0, setupPath);
    preview.runDir = CreateRunDirectory("sep", ".tmp", &error);
    if (preview.runDir.empty()) {
        preview.problem = error.what();
        return preview;
    }
    preview.releaseDir = releaseDir.empty() ? JoinPath(preview.runDir, "release") : releaseDir;
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
        // The update starts the package as a program: one Windows cannot
        // start fails there, after the old release was set aside.
        std::string notProgram =
            ProgramImageProblem(reinterpret_cast<const unsigned char*>(sink.head.data()), sink.head.size());
        if (!notProgram.empty()) {
            preview.problem = "安装包不是可以启动的程序（" + notProgram + "）";
            package.Discard();
            return preview;
        }
        if (!sink.found) {
            preview.notStarted = true;
            preview.problem = "安装包不接受/D=，没有运行";
            package.Discard();
            return preview;
        }
        package.Seal();
    } catch (const FileError& e) {
        preview.problem = e.what();
        package.Discard();
        return preview;
    }
    unsigned long exitCode = 0;
    if (!StartAndWaitWithArguments(package, "/D=" + preview.releaseDir, &exitCode))
        preview.problem = "安装包无法启动";
    else if (exitCode != 0)
        preview.problem = StrPrintf("安装包的退出代码为%lu", exitCode);
    else if (!PathExists(preview.releaseDir))
        preview.problem = "安装包没有解压到指定的目录";
    package.Discard();
    if (!preview.problem.empty())
        return preview;
    preview.releaseSize = DirectoryTreeBytes(preview.releaseDir);
    preview.ok = true;
    return preview;
}

void RemovePackagePreview(const PackagePreview& preview)
{
    if (!preview.runDir.empty())
        DeleteTree(preview.runDir);
}
