#include "messages/Messages.h"

#include "platform/StringUtil.h"

int language = kLanguageChinese;

const char* LocalText(const MessagePair& pair) { return pair.text[language == kLanguageEnglish ? 1 : 0]; }

int LocalControlId(int chineseId)
{
    static const int kOffset[2] = {0, 1000};
    return chineseId + kOffset[language == kLanguageEnglish ? 1 : 0];
}

const MessagePair MsgWipeWarning = {{
    "警告！\n安装程序将删除(%s)中的所有文件。请先保存参数，以备新版本安装后恢复。\n\n"
    "按<确定>按钮，进行下一步骤。\n按<取消>按钮，退出安装程序。",
    "Warning:\n\nSetup program will delete all files in directory(%s) \n"
    "Please save parameters for recover later. \nClick 'OK' to continue. ",
}};
const MessagePair MsgNetshFailed = {{"更新 netsh 失败！", "Fail to Update netsh!"}};
const MessagePair MsgCommitFailed = {{"提交更改失败!", "Fail to Commit Changes!"}};
const MessagePair MsgFirstRunFailed = {{"启动FirstRun失败!", "Fail to Run FirstRun!"}};
const MessagePair MsgDriverInstallFailed = {{"安装驱动失败!", "Fail to Install Drv!"}};
// The original's fixed text and its plain English twin: the setup log says
// which file, why, and that the driver in place (if any) stays.
const MessagePair MsgDriverFileFailed = {{"安装%s失败！", "Failed to install %s!"}};
const MessagePair MsgInstallSuccess = {{"TorneLix安装完成!", "Install TorneLix Success!"}};
const MessagePair MsgBootDirFailed = {{"创建启动目录失败，请检查！", "Create Boot Directory Failed, Please Check!"}};
const MessagePair MsgFileInUse = {{
    "文件(%s)正被其他程序使用，无法删除。\n请关闭该程序后按<确定>按钮重试；\n按<取消>按钮继续安装，该文件保留旧版本。",
    "The file (%s) is used by another program and cannot be deleted.\n"
    "Close that program and click 'OK' to try again;\nclick 'Cancel' to go on, the file keeps its old version.",
}};
const MessagePair MsgProductTreeRefused = {{
    "安装配置文件(%s)中的设置 Path=%s 不能使用：%s。\n安装程序没有做任何更改，现在退出。",
    "In the setup configuration (%s) the setting Path=%s cannot be used: %s.\n"
    "Setup has changed nothing and ends now.",
}};

namespace {
const MessagePair kTreeUnclear = {{"它没有指明一个确定的目录", "it does not name one definite directory"}};
const MessagePair kTreeNotBelowRoot = {{
    "相对路径必须指向安装目录和数据目录之下的目录",
    "a relative path must lead to a directory below the installation and data directories",
}};
const MessagePair kTreeDriveRoot = {{"它是驱动器的根目录", "it is the root of a drive"}};
const MessagePair kTreeHoldsRoot = {{
    "它是安装目录或数据目录，或包含它们",
    "it is or contains the installation or data directory",
}};
const MessagePair kTreeSystemFolder = {{
    "它是系统目录或包含系统目录，或位于Windows目录中",
    "it is or contains a system folder, or lies in the Windows directory",
}};
} // namespace

const char* TreeRefusalReason(TreeRefusal refusal)
{
    const MessagePair* reason = &kTreeUnclear;
    switch (refusal) {
    case TreeRefusal::NotBelowRoot: reason = &kTreeNotBelowRoot; break;
    case TreeRefusal::DriveRoot: reason = &kTreeDriveRoot; break;
    case TreeRefusal::HoldsRoot: reason = &kTreeHoldsRoot; break;
    case TreeRefusal::SystemFolder: reason = &kTreeSystemFolder; break;
    case TreeRefusal::None:
    case TreeRefusal::Unclear: break;
    }
    return LocalText(*reason);
}

std::string ProductTreeRefusalText(const std::string& setupCfg, const std::string& pathValue, TreeRefusal refusal)
{
    return StrPrintf(LocalText(MsgProductTreeRefused), setupCfg.c_str(), pathValue.c_str(),
                     TreeRefusalReason(refusal));
}

const MessagePair MsgReserveQuestionHeader = {{
    "在重新装载软件时候，以下配置的参数可能可以被保留：\n",
    "Following configuration parameters may be reserved after software reinstalled:\n",
}};
const MessagePair MsgReserveAsk = {{
    "是否保留这些配置的参数？\n",
    "Try to reserved these configurations's parameters ?\n",
}};
const MessagePair MsgReserveFailed = {{
    "创建文件 *.dat 失败，保留参数不成功，文件 .fmt 可能已损坏，请重新启动安装程序，安装新的TorneLix。",
    "Fail to creat the file *.dat. Reserve parameters unsuccessful, the file .fmt may be destroyed, "
    "please restart the installation software, install a new TorneLix.",
}};
const MessagePair MsgNotCarried = {{
    "以下配置的参数无法读取或保存，将不会被保留：\n%s"
    "按<确定>按钮，不保留这些参数继续安装。\n按<取消>按钮，退出安装程序，不做任何更改。",
    "The parameters of the following configurations cannot be read or saved and will not be kept:\n%s"
    "Click 'OK' to go on without them.\nClick 'Cancel' to end the setup; nothing is changed.",
}};
const MessagePair MsgSavedValuesKept = {{
    "无法写入%s。\n保存的参数保留在%s中。",
    "%s could not be written.\nThe saved parameters are kept in %s.",
}};
const MessagePair MsgProductDirChanged = {{
    "新版本的产品目录与原来不同，参数没有迁移。\n保存的参数保留在%s中。",
    "The new release uses another product directory; the parameters were not carried.\n"
    "The saved parameters are kept in %s.",
}};
const MessagePair MsgRestoreIncomplete = {{
    "无法将保存的文件全部恢复到%s。\n保存的文件保留在%s中。",
    "The saved files could not all be restored to %s.\nThe saved files are kept in %s.",
}};
const MessagePair MsgReleaseFilesHeld = {{
    "以下文件被其他程序占用，没有更新：\n%s\n关闭该程序后再运行一次安装程序即可完成更新。",
    "These files were held open by another program and were not updated:\n%s\nClose that program and run the setup again to complete the update.",
}};
const MessagePair MsgPackageFailed = {{
    "安装包运行失败：%s（退出代码 %s）。\n按<重试>按钮再次运行安装包；\n按<取消>按钮恢复原来的版本并退出安装程序。",
    "The package failed: %s (exit code %s).\nClick 'Retry' to run it again;\n"
    "click 'Cancel' to put the previous release back and end the setup.",
}};
const MessagePair MsgPackageNotStarted = {{"无法启动", "it could not be started"}};
const MessagePair MsgPackageExitCode = {{"运行出错", "it ended with an error"}};
const MessagePair MsgPackageNoProduct = {{"没有安装产品目录", "it left no product directory"}};
const MessagePair MsgPackageRejected = {{"安装包检查或复制失败", "its check or its copy failed"}};
const MessagePair MsgPreviousRestored = {{
    "更新失败，原来的版本已恢复。安装程序退出。",
    "The update failed; the previous release has been put back. The setup ends.",
}};
const MessagePair MsgNewPathRefused = {{
    "新版本的安装配置文件(%s)中的设置 Path=%s 不能使用：%s。\n新版本没有安装。",
    "In the new release's setup configuration (%s) the setting Path=%s cannot be used: %s.\n"
    "The new release is not installed.",
}};
const MessagePair MsgSameRelease = {{
    "这个安装文件的版本 %s 已经安装在这台机器上（安装于%s）。\n"
    "按<是>按钮重新安装（机器的参数和用户文件保留）；\n按<否>按钮退出安装程序，不做任何更改。",
    "The release %s of this setup file is already installed on this machine (installed %s).\n"
    "Click 'Yes' to install it again (the machine's values and the user's files are kept);\n"
    "click 'No' to end the setup; nothing is changed.",
}};
const MessagePair MsgPreviousNotRestored = {{
    "更新失败，原来的版本未能完全恢复，详见 SetUp.log。安装程序退出。",
    "The update failed, and the previous release could not be put back completely; see SetUp.log. The setup ends.",
}};
const MessagePair MsgUnfinishedRun = {{
    "上次安装没有完成（断电或中断）。\n原来的版本及其数据已恢复，现在重新安装。",
    "The last setup run did not finish (a power cut or an interruption).\n"
    "The previous release and its data have been put back; the setup now runs again.",
}};
const MessagePair MsgUndoNotWhole = {{
    "上次安装没有完成，原来的版本未能完全恢复：\n%s\n安装程序没有做其他更改并退出，详见 SetUp.log。",
    "The last setup run did not finish, and the previous release could not be put back completely:\n%s\n"
    "The setup changed nothing else and ends; see SetUp.log.",
}};
const MessagePair MsgJournalUnreadable = {{
    "安装记录文件 %s 已损坏，无法判断上次安装做了哪些更改。\n为免丢失数据，安装程序没有做任何更改并退出。请联系服务工程师。",
    "The setup's journal %s is damaged: what the last run changed cannot be told.\n"
    "To lose nothing, the setup changed nothing and ends. Call a service engineer.",
}};
const MessagePair MsgJournalUnwritable = {{
    "无法写入安装记录文件 %s（%s 盘已满或不可写）。\n原来的版本保持不变，安装程序退出。",
    "The setup's journal %s cannot be written (drive %s is full or cannot be written).\n"
    "The previous release stays as it was; the setup ends.",
}};
const MessagePair MsgSetupInsideRelease = {{
    "安装程序位于更新时将被替换的目录中（%s）。\n请把安装程序复制到其他位置（例如桌面或U盘）再运行。没有做任何更改。",
    "The setup file lies in a folder that the update replaces (%s).\n"
    "Copy it elsewhere (the desktop, a USB stick) and run it from there. Nothing was changed.",
}};
const MessagePair MsgUnitFileCreateFailed = {{"合并文件时创建文件出错", "Create file error while unit files"}};
const MessagePair MsgTransferSummaryHeader = {{"以下配置：\n", "Following configurations:\n"}};
const MessagePair MsgTransferSummarySuccess = {{"保留参数成功！\n", "Reserved parameter success!\n"}};
const MessagePair MsgCarryLineCarried = {{"%s：保留%lu个参数", "%s: %lu values carried"}};
const MessagePair MsgCarryLineDropped = {{
    "，丢弃%lu个（新版本没有这些参数）",
    "; %lu dropped (the new release has no such members)",
}};
const MessagePair MsgCarryLineAdded = {{"，新参数%lu个（使用新版本的默认值）", "; %lu new members (the new release's defaults)"}};
const MessagePair MsgCarryLineEnd = {{"。\n", ".\n"}};
const MessagePair MsgCarryReportWhere = {{"丢弃的参数及其原值见 %s\n", "The dropped values are listed in %s\n"}};
const MessagePair MsgRollbackNothingKept = {{
    "没有保留的上一版本，无法回退。安装程序没有做任何更改。",
    "No previous release is kept: there is nothing to go back to. The setup changed nothing.",
}};
const MessagePair MsgRollbackToOlder = {{
    "回到较早的版本 %s（安装于%s）？\n当前的版本 %s（安装于%s）将被保留，以后可以再前进到它。\n"
    "程序和机床参数随版本改变；操作员的文件（零件程序等）留在数据目录中，不随版本改变。\n\n"
    "按<是>按钮回到较早的版本；\n按<否>按钮退出，不做任何更改。",
    "Go back to the older release %s (installed %s)?\n"
    "The current release %s (installed %s) is kept: going forward again returns to it.\n"
    "The program and the machine's values change with the release; the operator's files (part programs and "
    "others) stay in the data directory as they are.\n\n"
    "Click 'Yes' to go back to the older release;\nclick 'No' to end; nothing is changed.",
}};
const MessagePair MsgRollbackToNewer = {{
    "前进到较新的版本 %s（安装于%s）？\n当前的版本 %s（安装于%s）将被保留，以后可以再回到它。\n"
    "程序和机床参数随版本改变；操作员的文件（零件程序等）留在数据目录中，不随版本改变。\n\n"
    "按<是>按钮前进到较新的版本；\n按<否>按钮退出，不做任何更改。",
    "Go forward to the newer release %s (installed %s)?\n"
    "The current release %s (installed %s) is kept: going back again returns to it.\n"
    "The program and the machine's values change with the release; the operator's files (part programs and "
    "others) stay in the data directory as they are.\n\n"
    "Click 'Yes' to go forward to the newer release;\nclick 'No' to end; nothing is changed.",
}};
const MessagePair MsgReleaseNameUnknown = {{"（名称未记录）", "(name not recorded)"}};
const MessagePair MsgNoUninstaller = {{
    "TorneLix 没有卸载程序。新版本的 Setup.exe 替换已安装的版本，Setup.exe /ROLLBACK 回到保留的上一版本。没有做任何更改。",
    "Tornelix has no uninstaller. A new release's Setup.exe replaces the installed one; Setup.exe /ROLLBACK goes "
    "back to the kept previous release. Nothing was changed.",
}};
const MessagePair MsgInstalledBefore = {{"%s之前", "before %s"}};
const MessagePair& StepLabel(InstallStep step)
{
    static const MessagePair labels[] = {
        {{"等待TorneLix关闭...", "Waiting for closing TorneLix..."}},
        {{"开始执行安装程序...", "Starting to carry out setup..."}},
        {{"搜集信息...", "Collecting information..."}},
        {{"生成临时参数文件...", "Copy temp param flies ..."}},
        {{"清除原始目录...", "Clear old files ..."}},
        {{"正在拷贝文件...", "Copying files..."}},
        {{"拷贝其他文件...", "Copying other files..."}},
        {{"备份安装包本身...", "Backup ..."}},
        {{"迁移参数...", "Transfer parameters ..."}},
        {{"安装驱动程序...", "Installing driver..."}},
        {{"自动更新过程结束...", "Setup program finished..."}},
        {{"退出操作系统，重启计算机!", "Reboot computer!"}},
    };
    static_assert(sizeof labels / sizeof labels[0] == static_cast<size_t>(InstallStep::Reboot) + 1,
                  "one label per step");
    return labels[static_cast<size_t>(step)];
}

const MessagePair MsgOtherSetupRunning = {{
    "另一个安装程序正在运行。请等它结束后按<重试>按钮；按<取消>按钮退出，不做任何更改。",
    "Another setup is running. Wait until it has ended and click 'Retry'; click 'Cancel' to end without any change.",
}};
const MessagePair MsgRollbackControlRunning = {{
    "控制程序正在运行。请关闭控制程序后按<确定>按钮；按<取消>按钮退出，不做任何更改。",
    "The control program is running. Close it and click 'OK'; click 'Cancel' to end without any change.",
}};
const MessagePair MsgRollbackDoneOlder = {{
    "已回到较早的版本 %s（安装于%s）。\n较新的版本 %s（安装于%s）已保留，可以再前进到它。操作员的文件留在数据目录中。",
    "Back to the older release %s (installed %s).\n"
    "The newer release %s (installed %s) is kept: going forward again returns to it. "
    "The operator's files stay in the data directory.",
}};
const MessagePair MsgRollbackDoneNewer = {{
    "已前进到较新的版本 %s（安装于%s）。\n较早的版本 %s（安装于%s）已保留，可以再回到它。操作员的文件留在数据目录中。",
    "Forward to the newer release %s (installed %s).\n"
    "The older release %s (installed %s) is kept: going back again returns to it. "
    "The operator's files stay in the data directory.",
}};
const MessagePair MsgRollbackNotDone = {{
    "无法回退，以下文件无法移动：\n%s\n当前版本保持不变。",
    "The setup cannot go back; these could not be moved:\n%s\nThe current release stays as it was.",
}};
const MessagePair MsgRollbackKeptIncomplete = {{
    "保留的版本不完整，以下目录不存在（可能已被手动删除）：\n%s\n无法回退，安装程序没有做任何更改。",
    "The kept release is not whole; these are missing (deleted by hand?):\n%s\n"
    "The setup cannot go back and changed nothing.",
}};
const MessagePair MsgRollbackNotWhole = {{
    "回退没有完成，以下文件无法移动：\n%s\n下次启动安装程序时将继续，详见 SetUp.log。",
    "Going back did not finish; these could not be moved:\n%s\nThe next start of the setup goes on; see SetUp.log.",
}};
const MessagePair MsgRollbackRecordUnreadable = {{
    "保留版本的记录无法读取：%s\n为免丢失数据，安装程序没有做任何更改并退出。请联系服务工程师。",
    "The record of the kept release cannot be read: %s\n"
    "To lose nothing, the setup changed nothing and ends. Call a service engineer.",
}};
const MessagePair MsgRollbackFinishedBefore = {{
    "上次回退没有完成（断电或中断），现已完成。原来的版本已保留。",
    "Going back was interrupted last time (a power cut or an interruption) and has now been finished. "
    "The release it replaced is kept.",
}};
const MessagePair MsgParamFileAccessFailed = {{
    "访问参数配置文件失败！文件名'%1!s!'，错误代码(%2!d!)。",
    "Access parameters configuration file failed! File Name'%1!s!', Error Code(%2!d!).",
}};

const MessagePair MsgEffectReboot = {{"重新启动", "Reboot"}};
const MessagePair MsgEffectLoadProgram = {{"装载程序", "Load program"}};
const MessagePair MsgEffectAtOnce = {{"立即生效", "Become effective at once"}};
const MessagePair MsgSerialNumberOrder = {{
    "参数编号重复或顺序有误: \r\n%s 和 %s\r\n请修改",
    "There is repeated serial number or the sequence is wrong: \r\n%s and %s\r\nPlease modify",
}};
const MessagePair MsgGroupName = {{"第%d组", "Group %d"}};
const MessagePair MsgArrayType = {{"%s[%d]", "%s[%d]"}};
const MessagePair MsgMaxLength = {{"最大长度%d个字母（或者一半长度汉字）", "Maximal length is %d letters"}};

const char kTextInvalidState[] = "Invalid state!";
const char kTextBadSignature[] = "Bad Signature";
const char kTextCreateProcessFailed[] = "ERR 203: Create a process failed!";

const NamedPair* AllMessagePairs(size_t* count)
{
    static const NamedPair pairs[] = {
        {"MsgWipeWarning", &MsgWipeWarning},
        {"MsgNetshFailed", &MsgNetshFailed},
        {"MsgCommitFailed", &MsgCommitFailed},
        {"MsgFirstRunFailed", &MsgFirstRunFailed},
        {"MsgDriverInstallFailed", &MsgDriverInstallFailed},
        {"MsgDriverFileFailed", &MsgDriverFileFailed},
        {"MsgInstallSuccess", &MsgInstallSuccess},
        {"MsgBootDirFailed", &MsgBootDirFailed},
        {"MsgFileInUse", &MsgFileInUse},
        {"MsgProductTreeRefused", &MsgProductTreeRefused},
        {"kTreeUnclear", &kTreeUnclear},
        {"kTreeNotBelowRoot", &kTreeNotBelowRoot},
        {"kTreeDriveRoot", &kTreeDriveRoot},
        {"kTreeHoldsRoot", &kTreeHoldsRoot},
        {"kTreeSystemFolder", &kTreeSystemFolder},
        {"MsgReserveQuestionHeader", &MsgReserveQuestionHeader},
        {"MsgReserveAsk", &MsgReserveAsk},
        {"MsgReserveFailed", &MsgReserveFailed},
        {"MsgNotCarried", &MsgNotCarried},
        {"MsgSavedValuesKept", &MsgSavedValuesKept},
        {"MsgProductDirChanged", &MsgProductDirChanged},
        {"MsgRestoreIncomplete", &MsgRestoreIncomplete},
        {"MsgReleaseFilesHeld", &MsgReleaseFilesHeld},
        {"MsgPackageFailed", &MsgPackageFailed},
        {"MsgPackageNotStarted", &MsgPackageNotStarted},
        {"MsgPackageExitCode", &MsgPackageExitCode},
        {"MsgPackageNoProduct", &MsgPackageNoProduct},
        {"MsgPackageRejected", &MsgPackageRejected},
        {"MsgPreviousRestored", &MsgPreviousRestored},
        {"MsgNewPathRefused", &MsgNewPathRefused},
        {"MsgSameRelease", &MsgSameRelease},
        {"MsgPreviousNotRestored", &MsgPreviousNotRestored},
        {"MsgUnfinishedRun", &MsgUnfinishedRun},
        {"MsgUndoNotWhole", &MsgUndoNotWhole},
        {"MsgJournalUnreadable", &MsgJournalUnreadable},
        {"MsgJournalUnwritable", &MsgJournalUnwritable},
        {"MsgSetupInsideRelease", &MsgSetupInsideRelease},
        {"MsgUnitFileCreateFailed", &MsgUnitFileCreateFailed},
        {"MsgTransferSummaryHeader", &MsgTransferSummaryHeader},
        {"MsgTransferSummarySuccess", &MsgTransferSummarySuccess},
        {"MsgCarryLineCarried", &MsgCarryLineCarried},
        {"MsgCarryLineDropped", &MsgCarryLineDropped},
        {"MsgCarryLineAdded", &MsgCarryLineAdded},
        {"MsgCarryLineEnd", &MsgCarryLineEnd},
        {"MsgCarryReportWhere", &MsgCarryReportWhere},
        {"MsgRollbackNothingKept", &MsgRollbackNothingKept},
        {"MsgRollbackToOlder", &MsgRollbackToOlder},
        {"MsgRollbackToNewer", &MsgRollbackToNewer},
        {"MsgReleaseNameUnknown", &MsgReleaseNameUnknown},
        {"MsgNoUninstaller", &MsgNoUninstaller},
        {"MsgInstalledBefore", &MsgInstalledBefore},
        {"MsgOtherSetupRunning", &MsgOtherSetupRunning},
        {"MsgRollbackControlRunning", &MsgRollbackControlRunning},
        {"MsgRollbackDoneOlder", &MsgRollbackDoneOlder},
        {"MsgRollbackDoneNewer", &MsgRollbackDoneNewer},
        {"MsgRollbackNotDone", &MsgRollbackNotDone},
        {"MsgRollbackKeptIncomplete", &MsgRollbackKeptIncomplete},
        {"MsgRollbackNotWhole", &MsgRollbackNotWhole},
        {"MsgRollbackRecordUnreadable", &MsgRollbackRecordUnreadable},
        {"MsgRollbackFinishedBefore", &MsgRollbackFinishedBefore},
        {"MsgParamFileAccessFailed", &MsgParamFileAccessFailed},
        {"MsgEffectReboot", &MsgEffectReboot},
        {"MsgEffectLoadProgram", &MsgEffectLoadProgram},
        {"MsgEffectAtOnce", &MsgEffectAtOnce},
        {"MsgSerialNumberOrder", &MsgSerialNumberOrder},
        {"MsgGroupName", &MsgGroupName},
        {"MsgArrayType", &MsgArrayType},
        {"MsgMaxLength", &MsgMaxLength},
    };
    *count = sizeof pairs / sizeof pairs[0];
    return pairs;
}
