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
        DeleteFileA(JournalFilePath().c_str());
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

namespace {
// The data tree as the update leaves it after the package: set aside under a
// journal, the new release laid and recorded. Returns the set-aside copy.
std::string SetAsideAndLay(TempTree& data, const std::vector<std::pair<const char*, const char*>>& laid)
{
    EXPECT_TRUE(BeginSetAside());
    EXPECT_TRUE(MarkDataTree(data.Root()));
    EXPECT_TRUE(SetAside(data.Root()).journalWritten);
    EXPECT_TRUE(RecordPhase(RunPhase::packageStarted));
    for (const auto& file : laid)
        data.File(file.first, file.second);
    EXPECT_TRUE(RecordWhatThePackageLaid());
    return JournalRun() ? JournalRun()->moves.at(0).aside : std::string();
}

void MakeOlder(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME old{0x10000000u, 0x01D00000u}; // 2015
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
}
} // namespace

TEST_F(ParameterSteps, TheSetAsideDataTreeComesHomeByRenamesWithoutItsParameterFilesAndAnUndoStillFindsIt)
{
    for (const char* name : {"Tornelix.DAT", "config\\m\\tornelix1.dat", "config\\m\\tornelix.dat.bak", "x.dyn.discarded",
                             "config\\m\\deep\\AMEND.DAT", "Public.dat", "CONFIG.INI", "Ncpm.pmt",
                             "config\\m\\tornelix.plc"})
        data.File(name, "param");
    // Named like parameter files, but the operator's by place.
    data.File("CAM\\config.ini", "post-processor");
    data.File("Parts\\discarded-fixture.nc", "fixture");
    data.File("m\\tornelix.fmt", "user fmt");
    data.File("user.ini", "user");
    data.File("m\\machine.plc", "plc");
    data.File("m\\part.nc", "part program");
    data.File("Parts\\p1\\O1.nc", "folder of the operator's");
    std::string copy = SetAsideAndLay(data, {{"user.ini", "release default"},
                                             {"Tornelix.DAT", "new release parameters"},
                                             {"only-new.txt", "new"}});
    ASSERT_FALSE(copy.empty());
    // Saved by the operator after the package ran: it meets the saved one.
    data.File("m\\part.nc", "edited after the package");

    RestoreDataTree(ui);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ReadText(data / "user.ini"), "user") << "the saved file wins over the package's";
    EXPECT_EQ(ReadText(data / "m\\tornelix.fmt"), "user fmt");
    EXPECT_EQ(ReadText(data / "m\\machine.plc"), "plc");
    EXPECT_EQ(ReadText(data / "Tornelix.DAT"), "new release parameters");
    EXPECT_EQ(ReadText(data / "only-new.txt"), "new");
    EXPECT_EQ(ReadText(data / "m\\part.nc"), "edited after the package");
    EXPECT_EQ(ReadText(data / "Parts\\p1\\O1.nc"), "folder of the operator's");
    EXPECT_FALSE(Exists(copy + "\\Parts")) << "a folder the new tree lacks comes home whole";
    EXPECT_FALSE(Exists(copy + "\\user.ini")) << "moved, not copied";
    EXPECT_FALSE(Exists(copy + "\\m\\part.nc")) << "kept beside the newer version, not in the copy";
    EXPECT_EQ(ReadText(data / "CAM\\config.ini"), "post-processor");
    EXPECT_EQ(ReadText(data / "Parts\\discarded-fixture.nc"), "fixture");
    for (const char* name : {"config\\m\\tornelix1.dat", "config\\m\\tornelix.dat.bak", "x.dyn.discarded",
                             "config\\m\\deep\\AMEND.DAT", "Public.dat", "CONFIG.INI", "Ncpm.pmt",
                             "config\\m\\tornelix.plc"}) {
        EXPECT_FALSE(Exists(data / name)) << name;
        EXPECT_EQ(ReadText(copy + "\\" + name), "param") << "the machine's values stay with the release set aside";
    }
    EXPECT_FALSE(Exists("D:\\TorneLixTemp"));
    EXPECT_NE(LogText().find("m\\part.nc"), std::string::npos) << "both versions named";

    // Cut after this: the undo puts the previous release back with every
    // operator file, the one saved after the package included.
    UndoResult undo = PutPreviousReleaseBack();
    EXPECT_TRUE(undo.whole);
    EXPECT_EQ(ReadText(data / "user.ini"), "user");
    EXPECT_EQ(ReadText(data / "Tornelix.DAT"), "param");
    EXPECT_EQ(ReadText(data / "config\\m\\tornelix.plc"), "param");
    EXPECT_EQ(ReadText(data / "CAM\\config.ini"), "post-processor");
    EXPECT_EQ(ReadText(data / "m\\machine.plc"), "plc");
    EXPECT_EQ(ReadText(data / "m\\part.nc"), "edited after the package");
    EXPECT_EQ(ReadText(data / "Parts\\p1\\O1.nc"), "folder of the operator's");
    EXPECT_FALSE(Exists(data / "only-new.txt"));
}

TEST_F(ParameterSteps, AFileThatCannotComeHomeStaysInTheSetAsideCopyAndIsNamed)
{
    data.File("user.ini", "user");
    data.File("Users\\operator.txt", "operator list");
    std::string copy = SetAsideAndLay(data, {{"user.ini", "release default"}});
    // Another program's older file in the way, held without sharing: the
    // operator's newer one can neither replace it nor push it aside.
    data.File("Users\\operator.txt", "another program's list");
    MakeOlder(data / "Users\\operator.txt");
    HANDLE held = CreateFileA((data / "Users\\operator.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RestoreDataTree(ui);
    CloseHandle(held);
    EXPECT_EQ(ReadText(data / "user.ini"), "user");
    EXPECT_EQ(ReadText(data / "Users\\operator.txt"), "another program's list");
    EXPECT_EQ(ReadText(copy + "\\Users\\operator.txt"), "operator list") << "the only copy of the operator's file";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(copy), std::string::npos) << ui.messages[0];
    EXPECT_NE(LogText().find(copy), std::string::npos);
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
    // The pair as it always was, then what the configuration carried; the
    // excluded member is neither carried nor dropped.
    EXPECT_EQ(ui.messages[0], "Following configurations:\nMill\nReserved parameter success!\nMill: 2 values carried.\n");
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

// After an update the data files are purged: the merged amend.dat is then
// where the machine's values are. A configuration with a data file is read
// from that, whatever amend.dat it has; one without a value is no
// configuration; of two amend.dat files of one name the program tree's wins.
TEST_F(ParameterSteps, CollectCarriesAConfigurationWithoutDataFileFromItsAmendFile)
{
    ParameterSession session(ui);
    session.paramWorkDir = ParamWorkDir();
    session.reserveQuestion = LocalText(MsgReserveQuestionHeader);
    program.File("TorneLix\\tornelix.fmt", kFormat);
    data.Dir("config\\Mill");
    WriteDataFile(data / "config\\Mill\\tornelix.dat", 12.5);
    program.File("TorneLix\\config\\Mill\\amend.dat", "[CController]\r\nm_speed = 99\r\n");
    data.File("config\\Lathe\\amend.dat", "[CController]\r\nm_speed = 1\r\n");
    program.File("TorneLix\\config\\Lathe\\AMEND.DAT",
                 "; merged\r\n[Machine]\r\nType = Lathe\r\n[CController]\r\nm_speed = 40.5\r\nm_b[1] = 7\r\n");
    program.File("TorneLix\\config\\Empty\\amend.dat", "[Machine]\r\nType = none\r\n[CController]\r\n");

    EXPECT_TRUE(CollectConfigurationValues(session));

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              std::string(LocalText(MsgReserveQuestionHeader)) + "Mill\nLathe\n" + LocalText(MsgReserveAsk));
    EXPECT_EQ(session.transferRequested, 1);
    EXPECT_NE(ReadText(ParamWorkDir() + "\\Mill_amend.dat").find("m_speed = 12.5\r\n"), std::string::npos);
    EXPECT_EQ(ReadText(ParamWorkDir() + "\\Lathe_amend.dat"), "[CController]\r\nm_speed = 40.5\r\nm_b[1] = 7\r\n");
    EXPECT_FALSE(Exists(ParamWorkDir() + "\\Empty_amend.dat"));
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
