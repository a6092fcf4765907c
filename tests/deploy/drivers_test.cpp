#include <gtest/gtest.h>

#include "DeployTestSupport.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "deploy/Drivers.h"
#include "platform/SystemInfo.h"
#include "platform/Profile.h"
#include "support/TraceCapture.h"

namespace {
std::string Scratch(const std::string& name) { return TempDirectory() + "tlx_drivers_" + name; }
} // namespace

TEST(FindDirectoryParent, FindsTheDirectoryHoldingTheNamedSubdirectory)
{
    TempTree t(Scratch("find"));
    t.Dir("a\\b\\directx");
    EXPECT_EQ(FindDirectoryParent(t.Root(), "directx"), t / "a\\b");
    // A file of that name, or another letter case, does not count.
    t.File("c\\directx");
    t.Dir("d\\DirectX");
    EXPECT_EQ(FindDirectoryParent(t.Root(), "directx"), t / "a\\b");
    EXPECT_EQ(FindDirectoryParent(t.Root(), "nothing"), "");
    EXPECT_EQ(FindDirectoryParent(t / "missing", "directx"), "");
}

TEST(FindDirectoryParent, AMatchDirectlyBelowTheRootIsTheRootAndAGivenTrailingBackslashIsKept)
{
    TempTree t(Scratch("root"));
    t.Dir("directx");
    EXPECT_EQ(FindDirectoryParent(t.Root(), "directx"), t.Root());
    EXPECT_EQ(FindDirectoryParent(t.Root() + "\\", "directx"), t.Root() + "\\");
}

class CopySystemFilesTest : public ::testing::Test {
protected:
    TempTree t{Scratch("sysfiles")};
    std::string root = t.Dir("Velko") + "\\";
    std::string system = t.Dir("system32");
};

TEST_F(CopySystemFilesTest, Nt6CopiesMissingFilesIntoTheSystemDirectoryOnly)
{
    t.File("Velko\\TorneLix\\directx\\d3dx9_43.dll", "new d3dx");
    t.File("Velko\\TorneLix\\directx\\xinput1_3.dll", "new xinput");
    t.File("Velko\\TorneLix\\directx\\sub\\deep.dll", "deep");
    t.File("system32\\xinput1_3.dll", "old xinput");
    CopySystemFilesTo(root, system, true);
    EXPECT_EQ(ReadText(t / "system32\\d3dx9_43.dll"), "new d3dx");
    EXPECT_EQ(ReadText(t / "system32\\xinput1_3.dll"), "old xinput") << "an existing system file is never replaced";
    EXPECT_FALSE(Exists(t / "system32\\deep.dll")) << "only the directx directory itself is copied";
    EXPECT_FALSE(Exists(t / "system32\\sub"));
    EXPECT_FALSE(Exists(t / "Velko\\TorneLix\\d3dx9_43.dll")) << "NT 6 leaves the parent alone";
}

TEST_F(CopySystemFilesTest, BeforeNt6TheFilesAlsoReplaceTheirNamesakesInTheParent)
{
    t.File("Velko\\TorneLix\\directx\\d3dx9_43.dll", "new d3dx");
    t.File("Velko\\TorneLix\\d3dx9_43.dll", "old parent copy");
    CopySystemFilesTo(root, system, false);
    EXPECT_EQ(ReadText(t / "Velko\\TorneLix\\d3dx9_43.dll"), "new d3dx");
    EXPECT_EQ(ReadText(t / "system32\\d3dx9_43.dll"), "new d3dx");
}

TEST_F(CopySystemFilesTest, AReleaseWithoutDirectxChangesNothing)
{
    t.File("Velko\\TorneLix\\other\\a.dll", "a");
    CopySystemFilesTo(root, system, false);
    EXPECT_TRUE(FilesMatching(system + "\\", "*.dll").empty());
}

TEST(InstallDrivers, ReplacesEverySysFileOnceTheNewCopyIsWhole)
{
    TempTree t(Scratch("install"));
    std::string product = t.Dir("TorneLix") + "\\";
    std::string drivers = t.Dir("drivers") + "\\";
    t.File("TorneLix\\motion.sys", "motion v2");
    t.File("TorneLix\\io.sys", "io v2");
    t.File("TorneLix\\readme.txt", "not a driver");
    t.File("drivers\\motion.sys", "motion v1 with a longer old content");
    RecordingUi box;
    InstallDriverFilesTo(box, product, drivers);
    EXPECT_TRUE(box.messages.empty()) << box.messages[0].text;
    EXPECT_EQ(ReadText(drivers + "motion.sys"), "motion v2");
    EXPECT_EQ(ReadText(drivers + "io.sys"), "io v2");
    EXPECT_FALSE(Exists(drivers + "readme.txt"));
    EXPECT_FALSE(Exists(drivers + "motion.sys.new")) << "no copy left beside the driver";
}

TEST(InstallDrivers, ANewDriverThatCannotBeCopiedLeavesTheOldOneInPlace)
{
    TempTree t(Scratch("keep"));
    std::string product = t.Dir("TorneLix") + "\\";
    std::string drivers = t.Dir("drivers") + "\\";
    t.File("TorneLix\\motion.sys", "motion v2");
    t.File("drivers\\motion.sys", "motion v1");
    // Another program holds the release's copy without sharing: it cannot be read.
    HANDLE held = CreateFileA((product + "motion.sys").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RecordingUi box;
    language = kLanguageEnglish;
    TraceCapture trace;
    InstallDriverFilesTo(box, product, drivers);
    language = kLanguageChinese;
    CloseHandle(held);
    ASSERT_EQ(box.messages.size(), 1u);
    EXPECT_EQ(box.messages[0].text, "Failed to install motion.sys!") << "the plain twin of 安装%s失败！";
    // The trace names the driver, the copy that failed and the system's error.
    EXPECT_NE(trace.Text().find("|E|driver " + drivers + "motion.sys: "), std::string::npos) << trace.Text();
    EXPECT_NE(trace.Text().find(product + "motion.sys"), std::string::npos) << trace.Text();
    EXPECT_NE(trace.Text().find("Windows \xB4\xED\xCE\xF3 32"), std::string::npos) // 错误 32: a sharing violation
        << trace.Text();
    EXPECT_EQ(ReadText(drivers + "motion.sys"), "motion v1");
    EXPECT_FALSE(Exists(drivers + "motion.sys.new"));
}

TEST(InstallDrivers, AFailedFileIsReportedByNameAndTheNextOneIsStillInstalled)
{
    TempTree t(Scratch("fail"));
    std::string product = t.Dir("TorneLix") + "\\";
    std::string drivers = t.Dir("drivers") + "\\";
    t.File("TorneLix\\a.sys", "a");
    t.File("TorneLix\\b.sys", "b");
    // A directory in the way of a.sys: neither deleted nor overwritten.
    t.Dir("drivers\\a.sys");
    RecordingUi box;
    InstallDriverFilesTo(box, product, drivers);
    ASSERT_EQ(box.messages.size(), 1u);
    EXPECT_EQ(box.messages[0].text, "\xB0\xB2\xD7\xB0" "a.sys" "\xCA\xA7\xB0\xDC\xA3\xA1"); // 安装a.sys失败！ in GBK
    EXPECT_EQ(box.messages[0].type, static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(ReadText(drivers + "b.sys"), "b");
}

TEST(InstallDrivers, NoSysFileDoesNothing)
{
    TempTree t(Scratch("none"));
    std::string product = t.Dir("TorneLix") + "\\";
    RecordingUi box;
    InstallDriverFilesTo(box, product, t / "no-drivers-dir\\");
    EXPECT_TRUE(box.messages.empty());
}

TEST(Platform, TheBedIsA64BitNt6System)
{
    // The Wine bed is a 64-bit prefix of a Windows 7 or later system.
    EXPECT_TRUE(IsNt6OrLater());
    EXPECT_TRUE(IsWow64());
}

// State 16 with the doubles in a fake installation root.
class PostInstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plan.installRoot = t.Root() + "\\";
        plan.bootIni = t / "Boot\\Boot.ini";
        t.Dir("Boot");
        plan.firstRunPath = t / "FirstRun.exe";
        plan.ewfmgr = t / "system32\\ewfmgr.exe";
        plan.waitMs = 1000;
        log.Open();
        SetSetupLog(&log);
    }
    void TearDown() override
    {
        SetSetupLog(nullptr);
        language = kLanguageChinese;
        // Let every double end before the tree goes.
        WaitFor([] { return !IsDriverInstallerRunning(); }, 15000);
    }
    void Place(const std::string& doubleName, const std::string& rel)
    {
        t.Dir(rel.substr(0, rel.rfind('\\') == std::string::npos ? 0 : rel.rfind('\\')));
        ASSERT_TRUE(CopyFileA(DoublePath(doubleName).c_str(), (t / rel).c_str(), FALSE)) << rel;
    }
    std::vector<std::string> Records() { return Exists(recordFile) ? SplitLines(ReadText(recordFile)) : std::vector<std::string>(); }
    bool Recorded(const std::string& prefix)
    {
        for (const auto& r : Records())
            if (r.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
    std::vector<std::string> LogLines()
    {
        std::vector<std::string> out;
        for (const auto& line : SplitLines(ReadText(t / "SetUp.log"))) {
            size_t tab = line.find('\t');
            out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
        return out;
    }

    TempTree t{Scratch("post")};
    std::string recordFile = t.Root() + "-record.txt";
    ScopedEnv env{"TLX_DOUBLE_LOG", recordFile};
    ScopedEnv hold{"TLX_DRIVER_HOLD_MS", "2500"};
    CSetUpLogMgr log{t / "SetUp.log"};
    PostInstallPlan plan;
    RecordingUi ui;
    ~PostInstallTest() override { DeleteFileA(recordFile.c_str()); }
};

TEST_F(PostInstallTest, WithoutWriteFilterTheBatchAndThe64BitInstallerRunAndAreWaitedFor)
{
    CopyFileA((BinDirectory() + "double_netsh_install.bat").c_str(), t.File("netsh\\install.bat").c_str(), FALSE);
    Place("installdrv.exe", "InstallDrv_x64.exe");
    Place("installdrv.exe", "InstallDrv_x86.exe");
    plan.wow64 = true;
    plan.english = true;
    StartPostInstallPrograms(ui, plan);

    EXPECT_EQ(ui.labels, std::vector<InstallStep>{InstallStep::Drivers});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(WaitFor([&] { return Exists(t / "netsh\\install.done"); }, 10000)) << "the batch ran";
    ASSERT_TRUE(WaitFor([&] { return Recorded("start\tInstallDrv_x64.exe"); }, 10000));
    EXPECT_TRUE(Recorded("start\tInstallDrv_x64.exe\t-eng\t"));
    EXPECT_FALSE(Recorded("start\tInstallDrv_x86.exe"));

    // The installer holds its instance name for 2.5 s; the probe sees it
    // until it ends, and keeps answering false afterwards.
    EXPECT_TRUE(IsDriverInstallerRunning());
    EXPECT_TRUE(WaitFor([] { return !IsDriverInstallerRunning(); }, 15000));
    EXPECT_TRUE(Recorded("end\tInstallDrv_x64.exe"));
    EXPECT_FALSE(IsDriverInstallerRunning());
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(PostInstallTest, A32BitSystemRunsThe32BitInstallerWithoutParametersInChinese)
{
    Place("installdrv.exe", "InstallDrv_x64.exe");
    Place("installdrv.exe", "InstallDrv_x86.exe");
    plan.wow64 = false;
    StartPostInstallPrograms(ui, plan);
    ASSERT_TRUE(WaitFor([&] { return Recorded("start\tInstallDrv_x86.exe"); }, 10000));
    EXPECT_TRUE(Recorded("start\tInstallDrv_x86.exe\t\t"));
    EXPECT_FALSE(Recorded("start\tInstallDrv_x64.exe"));
}

TEST_F(PostInstallTest, NothingToStartShowsOnlyTheLabel)
{
    plan.wow64 = true;
    StartPostInstallPrograms(ui, plan);
    EXPECT_EQ(ui.labels, std::vector<InstallStep>{InstallStep::Drivers});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(IsDriverInstallerRunning());
    Sleep(500);
    EXPECT_TRUE(Records().empty());
}

TEST_F(PostInstallTest, AWriteFilterSystemLeavesNoticesCommitsAndStartsFirstRun)
{
    Place("ewfmgr.exe", "system32\\ewfmgr.exe");
    Place("firstrun.exe", "FirstRun.exe");
    Place("installdrv.exe", "InstallDrv_x64.exe");
    plan.writeFilter = true;
    plan.wow64 = true;
    StartPostInstallPrograms(ui, plan);

    EXPECT_EQ(ui.labels, (std::vector<InstallStep>{InstallStep::Drivers, InstallStep::Finished}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ProfileGetString(plan.bootIni, "Operation", "InstallDriver"), "1");
    EXPECT_EQ(ProfileGetString(plan.bootIni, "Operation", "Commit"), "1");
    EXPECT_TRUE(WaitFor([&] { return Recorded("start\tFirstRun.exe"); }, 10000));
    EXPECT_TRUE(Recorded("start\tewfmgr.exe\tc: -commit\t"));
    EXPECT_FALSE(Recorded("start\tInstallDrv"));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"\xCD\xA8\xD6\xAA FirstRun \xB0\xB2\xD7\xB0\xC7\xFD\xB6\xAF",
                                                     "\xCD\xA8\xD6\xAA FirstRun \xCC\xE1\xBD\xBB\xB8\xFC\xB8\xC4"}));
}

TEST_F(PostInstallTest, PackupOnAWriteFilterSystemSkipsTheDriverNoticeButStillCommits)
{
    Place("ewfmgr.exe", "system32\\ewfmgr.exe");
    Place("firstrun.exe", "FirstRun.exe");
    plan.writeFilter = true;
    plan.packup = true;
    StartPostInstallPrograms(ui, plan);
    EXPECT_EQ(ui.labels, std::vector<InstallStep>{InstallStep::Finished});
    EXPECT_EQ(ProfileGetString(plan.bootIni, "Operation", "InstallDriver"), "");
    EXPECT_EQ(ProfileGetString(plan.bootIni, "Operation", "Commit"), "1");
    EXPECT_TRUE(WaitFor([&] { return Recorded("start\tFirstRun.exe") && Recorded("start\tewfmgr.exe"); }, 10000));
    EXPECT_EQ(LogLines(), std::vector<std::string>{"\xCD\xA8\xD6\xAA FirstRun \xCC\xE1\xBD\xBB\xB8\xFC\xB8\xC4"});
}

TEST_F(PostInstallTest, MissingCommitAndFirstRunProgramsAreReportedInTheCurrentLanguage)
{
    plan.writeFilter = true;
    language = kLanguageEnglish;
    plan.english = true;
    StartPostInstallPrograms(ui, plan);
    EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Fail to Commit Changes!", "Fail to Run FirstRun!"}));
    for (const auto& m : ui.messages)
        EXPECT_EQ(m.type, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(ui.labels, (std::vector<InstallStep>{InstallStep::Drivers, InstallStep::Finished}));
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "\xC6\xF4\xB6\xAF" "FirstRun" "\xCA\xA7\xB0\xDC!"); // 启动FirstRun失败!
    EXPECT_EQ(lines[3], "Fail to Run FirstRun!");
}
