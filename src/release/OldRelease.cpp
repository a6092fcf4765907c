#include "release/OldRelease.h"

#include "release/PreviousRelease.h"
#include "deploy/Shortcuts.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallPort.h"
#include "messages/Messages.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

namespace {
void LogStayed(const AsideResult& result)
{
    for (const std::string& path : result.stayed)
        WriteLogLine("文件被占用，未删除：" + path);
}

bool SetAsideQuietly(const std::string& path)
{
    AsideResult result = SetAside(path);
    LogStayed(result);
    return result.journalWritten;
}
} // namespace

bool SetAsideDataTree(std::vector<std::string>* held)
{
    if (!MarkDataTree(WithoutTrailingBackslash(DataProductDir())))
        return false;
    AsideResult result = SetAsideReleaseFilesOf(DataProductDir());
    LogStayed(result);
    held->insert(held->end(), result.stayed.begin(), result.stayed.end());
    return result.journalWritten;
}

bool SetAsideProgramTree(InstallPort& port)
{
    std::string root = WithoutTrailingBackslash(InstallRoot());
    if (root.empty())
        return true;
    for (;;) {
        AsideResult result = SetAside(root);
        if (!result.journalWritten)
            return false;
        if (result.stayed.empty())
            return true;
        if (port.ShowMessage(StrPrintf(LocalText(MsgFileInUse), result.stayed.front().c_str()),
                             MB_OKCANCEL | MB_ICONEXCLAMATION, MessagePurpose::fileInUse) != IDOK) {
            // Each one is recorded as kept: an undo leaves it where it is.
            LogStayed(result);
            return true;
        }
    }
}

bool SetAsideReleaseExtras()
{
    bool written = true;
    if (!ProductDirName().empty())
        written = SetAsideQuietly(ProductDir()) && written;
    written = written && SetAsideQuietly(WizardsDir());
    if (IsWriteFilterSystem())
        written = written && SetAsideQuietly(WriteFilterDataTree());
    for (const std::string& shortcut : ShortcutPaths())
        written = written && SetAsideQuietly(shortcut);
    return written;
}
