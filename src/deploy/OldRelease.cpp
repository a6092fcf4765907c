#include "deploy/OldRelease.h"

#include "deploy/FileTree.h"
#include "deploy/Shortcuts.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "messages/InstallPort.h"
#include "messages/Messages.h"
#include "platform/DirectoryEntries.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

std::string FirstFileBelow(const std::string& dir)
{
    std::string file;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        std::string full = dir + "\\" + entry.name;
        file = entry.IsDirectory() ? FirstFileBelow(full) : full;
        return file.empty();
    });
    return file;
}

void WipeDataTree()
{
    std::string dataProduct = DataProductDir();
    if (!IsDirectory(dataProduct))
        return;
    ClearAttributes(dataProduct);
    DeleteTree(dataProduct);
}

void WipeProgramTree(InstallPort& port)
{
    std::string root = WithoutTrailingBackslash(InstallRoot());
    if (root.empty() || !IsDirectory(root))
        return;
    ClearAttributes(root);
    while (!DeleteTree(root)) {
        std::string held = FirstFileBelow(root);
        if (held.empty())
            break;
        if (port.ShowMessage(StrPrintf(LocalText(MsgFileInUse), held.c_str()), MB_OKCANCEL | MB_ICONEXCLAMATION) !=
            IDOK) {
            WriteLogLine("文件被占用，未删除：" + held);
            break;
        }
    }
}

void WipeReleaseExtras(bool dataTreeKept)
{
    if (!ProductDirName().empty() && IsDirectory(ProductDir()))
        DeleteTree(ProductDir());
    DeleteTree("D:\\NcFiles\\Wizards\\");
    if (IsWriteFilterSystem() && !dataTreeKept)
        DeleteTree("C:\\Velko\\");
    RemoveShortcuts();
}
