#include "deploy/OldRelease.h"

#include "deploy/PreviousRelease.h"
#include "deploy/Shortcuts.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallPort.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

namespace {
void SetAsideQuietly(const std::string& path)
{
    std::string held;
    if (!SetAside(path, &held))
        TraceMessage("|E|SetAside: %s stays (%s)", path.c_str(), held.c_str());
}
} // namespace

void SetAsideDataTree()
{
    SetAsideQuietly(DataProductDir());
}

void SetAsideProgramTree(InstallPort& port)
{
    std::string root = WithoutTrailingBackslash(InstallRoot());
    if (root.empty())
        return;
    std::string held;
    while (!SetAside(root, &held)) {
        if (held.empty())
            break;
        if (port.ShowMessage(StrPrintf(LocalText(MsgFileInUse), held.c_str()), MB_OKCANCEL | MB_ICONEXCLAMATION,
                             MessagePurpose::fileInUse) != IDOK) {
            WriteLogLine("文件被占用，未删除：" + held);
            RecordKept(held);
            break;
        }
    }
}

void SetAsideReleaseExtras(bool dataTreeKept)
{
    if (!ProductDirName().empty())
        SetAsideQuietly(ProductDir());
    SetAsideQuietly("D:\\NcFiles\\Wizards");
    if (IsWriteFilterSystem() && !dataTreeKept)
        SetAsideQuietly("C:\\Velko");
    for (const std::string& shortcut : ShortcutPaths())
        SetAsideQuietly(shortcut);
}
