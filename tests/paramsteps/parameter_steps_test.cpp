#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <windows.h>

#include "release/PreviousRelease.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "platform/StringUtil.h"
#include "paramsteps/ParameterFileSet.h"
#include "paramsteps/ParameterTransfer.h"
#include "logs/SetupLog.h"
#include "messages/InstallPort.h"
#include "platform/MessageBox.h"
#include "support/DataFileWriter.h"
#include "support/TempTree.h"

namespace {
// The dialog's side of the steps: answers questions and remembers them.
class RecordingUi : public InstallPort {
public:
    int answer = IDYES;   // to Yes/No questions
    int okAnswer = IDOK;  // to OK/Cancel boxes
    std::vector<std::string> messages;
    std::vector<unsigned> types;
    void ShowStep(InstallStep) override {}
    int ShowMessage(const std::string& text, unsigned type, MessagePurpose) override
    {
        messages.push_back(text);
        types.push_back(type);
        return (type & 0x0F) == MB_YESNO ? answer : okAnswer;
    }
};

// A controller PC with the product TorneLix installed on C: and D:.
class ParameterSteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        language = kLanguageEnglish;
        RemoveTreeForTest("D:\\TorneLixTemp");
        RemoveTreeForTest(ParamWorkDir());
        program.File("setup.cfg", "[Settings]\r\nPath=TorneLix\\\r\n");
        ASSERT_EQ(DataProductDir(), "D:\\Velko\\TorneLix\\");
        log = std::make_unique<CSetUpLogMgr>("C:\\tlx_paramsteps.log");
        DeleteFileA(log->Path().c_str());
        log->Open();
        SetSetupLog(log.get());
    }
    void TearDown() override
    {
        SetSetupLog(nullptr);
        log.reset();
        DeleteFileA("C:\\tlx_paramsteps.log");
        // What a kept data tree set aside in place, and its journal.
        RemoveTreeForTest("D:\\Velko.previous");
        DeleteFileA((BootDir() + "SetUp.journal").c_str());
        RemoveTreeForTest("D:\\TorneLixTemp");
        RemoveTreeForTest(ParamWorkDir());
    }
    std::string LogText() { return ReadText("C:\\tlx_paramsteps.log"); }

    TempTree program{InstallRoot().substr(0, InstallRoot().size() - 1)};
    TempTree data{"D:\\Velko\\TorneLix"};
    std::unique_ptr<CSetUpLogMgr> log;
    RecordingUi ui;
};

const char kFormat[] = "field CController { double m_speed; int m_b[3]; int m_nxaOffset[2]; };\n";
} // namespace

TEST_F(ParameterSteps, SavedCopyLeavesOutEveryParameterFileAndComesBackOverTheNewRelease)
{
    for (const char* name : {"Tornelix.DAT", "m\\tornelix1.dat", "m\\tornelix.dat.bak", "x.dyn.discarded",
                             "m\\deep\\AMEND.DAT", "Public.dat", "CONFIG.INI", "Ncpm.pmt", "m\\tornelix.plc"})
        data.File(name, "param");
    data.File("m\\tornelix.fmt", "user fmt");
    data.File("user.ini", "user");
    data.File("m\\machine.plc", "plc");
    SaveDataTreeWithoutParameterFiles();
    EXPECT_EQ(ReadText("D:\\TorneLixTemp\\user.ini"), "user");
    EXPECT_EQ(ReadText("D:\\TorneLixTemp\\m\\tornelix.fmt"), "user fmt");
    EXPECT_EQ(ReadText("D:\\TorneLixTemp\\m\\machine.plc"), "plc");
    for (const char* gone : {"Tornelix.DAT", "m\\tornelix1.dat", "m\\tornelix.dat.bak", "x.dyn.discarded",
                             "m\\deep\\AMEND.DAT", "Public.dat", "CONFIG.INI", "Ncpm.pmt", "m\\tornelix.plc"})
        EXPECT_FALSE(Exists(std::string("D:\\TorneLixTemp\\") + gone)) << gone;

    // The wipe, then the new release's own files.
    RemoveTreeForTest(data.Root());
    data.File("user.ini", "release default");
    data.File("Tornelix.DAT", "new release parameters");
    data.File("only-new.txt", "new");
    RestoreDataTree(ui);
    EXPECT_EQ(ReadText(data / "user.ini"), "user");
    EXPECT_EQ(ReadText(data / "Tornelix.DAT"), "new release parameters");
    EXPECT_EQ(ReadText(data / "only-new.txt"), "new");
    EXPECT_EQ(ReadText(data / "m\\machine.plc"), "plc");
    EXPECT_FALSE(Exists("D:\\TorneLixTemp"));
}

TEST_F(ParameterSteps, ASaveThatCannotCopyEveryFileKeepsTheDataTreeAndClearsItsParameterFilesInPlace)
{
    data.File("Tornelix.dat", "param");
    data.File("m\\amend.dat", "param");
    data.File("user.ini", "user");
    data.File("m\\machine.plc", "plc");
    data.File("m\\part.nc", "part program");
    // Another program holds the part program without sharing: the copy
    // misses it, as it misses what no longer fits on a full drive.
    HANDLE held = CreateFileA((data / "m\\part.nc").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    bool saved = SaveDataTreeWithoutParameterFiles();
    CloseHandle(held);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(Exists("D:\\TorneLixTemp")) << "a partial copy would come back over the originals";

    // In place the parameter files are set aside under a run's journal.
    ASSERT_TRUE(BeginSetAside());
    RemoveParameterFilesInPlace();
    DeleteSetAsideRelease();
    EXPECT_EQ(ReadText(data / "user.ini"), "user");
    EXPECT_EQ(ReadText(data / "m\\machine.plc"), "plc");
    EXPECT_EQ(ReadText(data / "m\\part.nc"), "part program");
    EXPECT_FALSE(Exists(data / "Tornelix.dat"));
    EXPECT_FALSE(Exists(data / "m\\amend.dat"));
    // Nothing saved, nothing restored: the kept tree stands.
    RestoreDataTree(ui);
    EXPECT_EQ(ReadText(data / "m\\part.nc"), "part program");

    // The same tree copies whole once it is free.
    EXPECT_TRUE(SaveDataTreeWithoutParameterFiles());
    EXPECT_EQ(ReadText("D:\\TorneLixTemp\\m\\part.nc"), "part program");
}

TEST_F(ParameterSteps, ARestoreThatCannotCompleteKeepsTheSavedTreeAndSaysWhere)
{
    data.File("user.ini", "user");
    data.File("m\\part.nc", "part program");
    ASSERT_TRUE(SaveDataTreeWithoutParameterFiles());
    RemoveTreeForTest(data.Root());
    // The new release's user.ini is held without sharing: the saved one
    // cannot come back over it.
    data.File("user.ini", "release default");
    HANDLE held = CreateFileA((data / "user.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RestoreDataTree(ui);
    CloseHandle(held);
    EXPECT_EQ(ReadText("D:\\TorneLixTemp\\user.ini"), "user") << "the only whole copy of the user's file";
    EXPECT_EQ(ReadText("D:\\TorneLixTemp\\m\\part.nc"), "part program");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("D:\\TorneLixTemp"), std::string::npos) << ui.messages[0];
    EXPECT_NE(LogText().find("D:\\TorneLixTemp"), std::string::npos);
}

TEST_F(ParameterSteps, NothingToSaveLeavesNoSaveDirectory)
{
    RemoveTreeForTest(data.Root());
    EXPECT_TRUE(SaveDataTreeWithoutParameterFiles());
    EXPECT_FALSE(Exists("D:\\TorneLixTemp"));
    RestoreDataTree(ui);
    EXPECT_FALSE(Exists(data.Root()));
}

TEST_F(ParameterSteps, UserTreeOfTheProductFillsTheDataDirectory)
{
    program.File("User\\TorneLix\\config\\Mill\\user.cfg", "mill");
    ParameterSession session(ui);
    CopyReleaseUserTree(session);
    EXPECT_EQ(ReadText(data / "config\\Mill\\user.cfg"), "mill");
    EXPECT_FALSE(Exists(program / "User"));

    program.File("User\\config\\Lathe\\user.cfg", "lathe");
    CopyReleaseUserTree(session);
    EXPECT_EQ(ReadText(data / "config\\Lathe\\user.cfg"), "lathe");
    EXPECT_FALSE(Exists(program / "User"));
}

TEST_F(ParameterSteps, TransferMergesEachSavedConfigurationThatTheNewReleaseHas)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    session.transferRequested = 1;
    session.recordedProductDirName = "TorneLix";
    TempTree work(ParamWorkDir());
    work.File("Mill_amend.dat", "[CController]\r\nm_speed = 12\r\nm_b[1] = 7\r\nm_nxaOffset[0] = 1.5\r\n");
    work.File("Lathe_amend.dat", "[CController]\r\nm_speed = 99\r\n");
    program.File("TorneLix\\tornelix.fmt", kFormat);
    program.File("TorneLix\\config\\Mill\\amend.dat",
                 "[CController]\r\nm_speed = 10\r\nm_nxaOffset[1] = 2\r\n[Other]\r\nk=v\r\n");

    MergeSavedAmendFiles(session);

    EXPECT_EQ(ReadText(program / "TorneLix\\config\\Mill\\amend.dat"),
              "[CController]\r\nm_speed = 12\r\nm_b[1] = 7\r\n[Other]\r\nk = v\r\n");
    EXPECT_FALSE(Exists(program / "TorneLix\\config\\Lathe")) << "a configuration the release lacks is skipped";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Following configurations:\nMill\nReserved parameter success!\n");
    EXPECT_NE(LogText().find("参数迁移完成"), std::string::npos);
    EXPECT_NE(LogText().find("Following configurations:\r\nMill\r\nReserved parameter success!"), std::string::npos);
    EXPECT_FALSE(Exists(ParamWorkDir()));
}

TEST_F(ParameterSteps, TransferMergesNothingWhenTheProductPathChangedAndSaysWhereTheValuesAre)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    session.transferRequested = 1;
    session.recordedProductDirName = "OldName";
    TempTree work(ParamWorkDir());
    work.File("Mill_amend.dat", "[CController]\r\nm_speed = 12\r\n");
    program.File("TorneLix\\config\\Mill\\amend.dat", "[CController]\r\nm_speed = 10\r\n");
    MergeSavedAmendFiles(session);
    EXPECT_EQ(ReadText(program / "TorneLix\\config\\Mill\\amend.dat"), "[CController]\r\nm_speed = 10\r\n");
    EXPECT_TRUE(Exists(work / "Mill_amend.dat"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(ParamWorkDir()), std::string::npos) << ui.messages[0];
    EXPECT_NE(LogText().find(ParamWorkDir()), std::string::npos);
}

namespace {
// A controller block of kFormat: m_speed, m_b[3], m_nxaOffset[2] (no tail padding).
std::vector<unsigned char> ControllerBlock(double speed)
{
    std::vector<unsigned char> bytes(8 + 3 * 4 + 2 * 4, 0);
    memcpy(bytes.data(), &speed, sizeof speed);
    for (int i = 0; i < 3; ++i)
        PutLe(bytes, 8 + 4 * i, static_cast<uint64_t>(10 + i), 4);
    return bytes;
}

void WriteDataFile(const std::string& path, double speed)
{
    DataFileWriter w;
    w.AddRecord("CConfig", std::vector<unsigned char>(8, 1), DataFileWriter::stored);
    w.AddRecord("CController", ControllerBlock(speed), DataFileWriter::compressed, 16, true);
    ASSERT_TRUE(w.WriteFile(path));
}
} // namespace

TEST_F(ParameterSteps, CollectFindsNoConfigurationAndAsksNothing)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    data.File("config\\Mill\\tornelix.dat\\inside.txt", "a directory of that name is no data file");
    CollectConfigurationValues(session);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(session.transferRequested, 0);
    EXPECT_FALSE(Exists(ParamWorkDir()));
}

TEST_F(ParameterSteps, CollectAsksForEveryConfigurationAndSavesEachControllerBlock)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    session.reserveQuestion = LocalText(MsgReserveQuestionHeader);
    program.File("TorneLix\\tornelix.fmt", kFormat);
    data.Dir("config\\Mill");
    program.Dir("TorneLix\\config\\Lathe");
    WriteDataFile(data / "config\\Mill\\tornelix.dat", 12.5);
    WriteDataFile(program / "TorneLix\\config\\Lathe\\TORNELIX.DAT", 7.0);
    // A damaged data file without a backup is skipped; the others are saved.
    program.File("TorneLix\\config\\Broken\\tornelix.dat", "FFLC damaged");

    EXPECT_TRUE(CollectConfigurationValues(session)) << "OK goes on without the damaged configuration";

    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], StrPrintf(LocalText(MsgNotCarried), "Broken\n"));
    EXPECT_NE(LogText().find("Broken"), std::string::npos);
    // The data tree first, then the program tree (in the file system's order).
    std::string header = std::string(LocalText(MsgReserveQuestionHeader)) + "Mill\n";
    std::string ask = LocalText(MsgReserveAsk);
    const std::string& question = ui.messages[0];
    EXPECT_EQ(question.rfind(header, 0), 0u) << question;
    EXPECT_EQ(question.substr(header.size(), question.size() - header.size() - ask.size()).size(),
              std::string("Broken\nLathe\n").size()) << question;
    EXPECT_NE(question.find("\nLathe\n"), std::string::npos);
    EXPECT_NE(question.find("\nBroken\n"), std::string::npos);
    EXPECT_EQ(question.substr(question.size() - ask.size()), ask);
    EXPECT_EQ(session.transferRequested, 1);
    EXPECT_EQ(session.recordedProductDirName, "TorneLix");
    std::string mill = ReadText(ParamWorkDir() + "\\Mill_amend.dat");
    EXPECT_EQ(mill.rfind("[CController]\r\n", 0), 0u) << mill;
    EXPECT_NE(mill.find("m_speed = 12.5\r\n"), std::string::npos) << mill;
    EXPECT_NE(mill.find("m_b[2] = 12\r\n"), std::string::npos) << mill;
    EXPECT_NE(ReadText(ParamWorkDir() + "\\Lathe_amend.dat").find("m_speed = 7\r\n"), std::string::npos);
    EXPECT_FALSE(Exists(ParamWorkDir() + "\\Broken_amend.dat"));
    EXPECT_NE(LogText().find("需要进行参数迁移"), std::string::npos);
}

TEST_F(ParameterSteps, CollectWithTheAnswerNoSavesNothing)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    ui.answer = IDNO;
    program.File("TorneLix\\tornelix.fmt", kFormat);
    data.Dir("config\\Mill");
    WriteDataFile(data / "config\\Mill\\tornelix.dat", 12.5);
    CollectConfigurationValues(session);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(session.transferRequested, 0);
    EXPECT_FALSE(Exists(ParamWorkDir()));
}

TEST_F(ParameterSteps, CollectReportsABlockThatDoesNotMatchItsFormat)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    program.File("TorneLix\\tornelix.fmt", "field CController { double m_speed; };\n");
    data.Dir("config\\Mill");
    WriteDataFile(data / "config\\Mill\\tornelix.dat", 12.5);
    ui.okAnswer = IDCANCEL;
    EXPECT_FALSE(CollectConfigurationValues(session)) << "Cancel ends the setup";
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], StrPrintf(LocalText(MsgNotCarried), "Mill\n"));
    EXPECT_FALSE(Exists(ParamWorkDir())) << "nothing of the run is left behind";
}

TEST_F(ParameterSteps, SaveShowsOneBoxPerSerialNumberPairUntilCancel)
{
    // m_speed is numbered 30, m_b[0..2] 20..22 and m_nxaOffset[0..1] 5..6.
    const char format[] = "field CController { double m_speed /* -g 30 */; int m_b[3] /* -g 20 */;"
                          " int m_nxaOffset[2] /* -g 5 */; };\n";
    for (int answer : {IDOK, IDCANCEL}) {
        RemoveTreeForTest(ParamWorkDir());
        ParameterSession session(ui);
        session.paramWorkDir = ParamWorkDir();
        program.File("TorneLix\\tornelix.fmt", format);
        data.Dir("config\\Mill");
        WriteDataFile(data / "config\\Mill\\tornelix.dat", 12.5);
        ui.messages.clear();
        ui.types.clear();
        ui.okAnswer = answer;
        CollectConfigurationValues(session);
        ui.okAnswer = IDOK;
        // The question, then the boxes.
        ASSERT_GE(ui.messages.size(), 2u);
        std::vector<std::string> boxes(ui.messages.begin() + 1, ui.messages.end());
        std::vector<unsigned> types(ui.types.begin() + 1, ui.types.end());
        EXPECT_EQ(boxes[0], "There is repeated serial number or the sequence is wrong: \r\n\"[N0030]m_speed\" and "
                            "\"[N0020]m_b.Group 0\"\r\nPlease modify");
        EXPECT_EQ(types[0], static_cast<unsigned>(MB_OKCANCEL | MB_ICONEXCLAMATION));
        // The listing is written whatever the answers.
        EXPECT_NE(ReadText(ParamWorkDir() + "\\Mill_amend.dat").find("m_speed = 12.5\r\n"), std::string::npos);
        // OK: every pair (m_speed with the five values after it, each m_b
        // element with both m_nxaOffset elements); Cancel: the first only.
        EXPECT_EQ(boxes.size(), answer == IDOK ? 11u : 1u);
    }
}
