#include "app/AutoUpdateApp.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/AutoUpdateDlg.h"
#include "app/ExitCodes.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "deploy/FileTree.h"
#include "format/StringTable.h"
#include "platform/MessageBox.h"

CAutoUpdateApp::CAutoUpdateApp() : m_log(BootDir() + "SetUp.log") {}

CAutoUpdateApp::~CAutoUpdateApp() = default;

int CAutoUpdateApp::InitInstance()
{
    language = kLanguageChinese;
    // Annotation texts "{@n}" come from the string file of the active language.
    SetStringTableDirProvider(LangDir);
    std::string bootDir = BootDir();
    if (!PathFileExistsA(bootDir.c_str()))
        MakeDirectoryPath(bootDir);
    if (PathIsDirectoryA(bootDir.c_str())) {
        SetSetupLog(&m_log);
        m_log.Open();
        WriteLogLine("SetUp启动");
        CAutoUpdateDlg* dialog = new CAutoUpdateDlg();
        dialog->DoModal(nullptr);
        int code = dialog->Sequence().exitCode;
        delete dialog;
        return code;
    }
    ShowMessageBox(LocalText(MsgBootDirFailed), MB_OK);
    return kExitCancelled;
}
