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

std::string ProductTreeRefusalText(const std::string& setupCfg, const std::string& pathValue, TreeRefusal refusal)
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
    return StrPrintf(LocalText(MsgProductTreeRefused), setupCfg.c_str(), pathValue.c_str(), LocalText(*reason));
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
const MessagePair MsgUnitFileCreateFailed = {{"合并文件时创建文件出错", "Create file error while unit files"}};
const MessagePair MsgTransferSummaryHeader = {{"以下配置：\n", "Following configurations:\n"}};
const MessagePair MsgTransferSummarySuccess = {{"保留参数成功！\n", "Reserved parameter success!\n"}};
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
const char kTextDriverFileFailed[] = "安装%s失败！";
