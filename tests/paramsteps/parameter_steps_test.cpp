#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <windows.h>

#include "release/DataTreeFiles.h"
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
LaidFile LaidHere(TempTree& tree, const char* name) { return {tree / name, FileStamp(tree / name)}; }
} // namespace

TEST_F(ParameterSteps, AnUpdateMovesOnlyTheReleasesFilesAndTheValuesAndLeavesEveryOperatorFileInPlace)
{
    for (const char* name : {"Tornelix.DAT", "config\\m\\tornelix1.dat", "config\\m\\deep\\AMEND.DAT", "Ncpm.pmt"})
        data.File(name, "param");
    data.File("Macros\\macro.txt", "release A macro");
    data.File("Macros\\edited.txt", "release A text");
    std::vector<LaidFile> prior = {LaidHere(data, "Macros\\macro.txt"), LaidHere(data, "Macros\\edited.txt")};
    data.File("Macros\\edited.txt", "the operator's edit");
    // The operator's, whatever their names: by place, not by pattern.
    data.File("CAM\\config.ini", "post-processor");
    data.File("Parts\\discarded-fixture.nc", "fixture");
    data.File("Parts\\p1\\O1.nc", "part program");
    data.File("user.txt", "operator's note");
    // Held without sharing: it is never touched, so it never stays "in use".
    HANDLE held = CreateFileA((data / "Parts\\p1\\O1.nc").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    ASSERT_TRUE(BeginSetAside("B", std::string(), prior));
    ASSERT_TRUE(MarkDataTree(data.Root()));
    AsideResult aside = SetAsideReleaseFilesOf(data.Root());
    CloseHandle(held);
    EXPECT_TRUE(aside.journalWritten);
    EXPECT_TRUE(aside.stayed.empty()) << aside.stayed.front();
    ASSERT_TRUE(JournalRun() && JournalRun()->moves.size() == 1u);
    std::string copy = JournalRun()->moves[0].aside;
    for (const char* name : {"Tornelix.DAT", "config\\m\\tornelix1.dat", "config\\m\\deep\\AMEND.DAT", "Ncpm.pmt"}) {
        EXPECT_FALSE(Exists(data / name)) << name;
        EXPECT_EQ(ReadText(copy + "\\" + name), "param") << name;
    }
    EXPECT_EQ(ReadText(copy + "\\Macros\\macro.txt"), "release A macro") << "laid and unchanged: the release's";
    EXPECT_EQ(ReadText(data / "Macros\\edited.txt"), "the operator's edit") << "an edit is the operator's";
    EXPECT_FALSE(Exists(copy + "\\Parts")) << "a folder of the operator's is never opened";
    EXPECT_FALSE(Exists(copy + "\\CAM"));
    EXPECT_EQ(ReadText(data / "user.txt"), "operator's note");

    // The new release's user tree: where the operator has a file of that
    // name, the operator's stays and the release's goes beside it.
    ASSERT_TRUE(RecordPhase(RunPhase::packageStarted));
    ASSERT_TRUE(RecordWhatThePackageLaid());
    program.File("User\\TorneLix\\Macros\\macro.txt", "release B macro");
    program.File("User\\TorneLix\\Macros\\edited.txt", "release B text");
    program.File("User\\TorneLix\\user.txt", "release B note");
    ParameterSession session(ui);
    CopyReleaseUserTree(session);
    EXPECT_EQ(ReadText(data / "Macros\\macro.txt"), "release B macro");
    EXPECT_EQ(ReadText(data / "Macros\\edited.txt"), "the operator's edit");
    EXPECT_EQ(ReadText(data / "user.txt"), "operator's note");
    std::string log = LogText();
    EXPECT_NE(log.find(data / "Macros\\edited.txt"), std::string::npos) << "the meeting is named";
    std::vector<std::string> besideFiles;
    for (const LaidFile& file : JournalRun()->laid)
        if (file.path.find(".older-") != std::string::npos) {
            besideFiles.push_back(file.path);
            EXPECT_TRUE(Exists(file.path)) << file.path;
        }
    EXPECT_EQ(besideFiles.size(), 2u) << "the release's versions beside the operator's, recorded as the release's";

    // Cut here: the undo takes the new release's files, puts the old one
    // back, and leaves every operator file as it was.
    UndoResult undo = PutPreviousReleaseBack();
    EXPECT_TRUE(undo.whole);
    EXPECT_EQ(ReadText(data / "Macros\\macro.txt"), "release A macro");
    EXPECT_EQ(ReadText(data / "Macros\\edited.txt"), "the operator's edit");
    EXPECT_EQ(ReadText(data / "Tornelix.DAT"), "param");
    EXPECT_EQ(ReadText(data / "config\\m\\deep\\AMEND.DAT"), "param");
    EXPECT_EQ(ReadText(data / "user.txt"), "operator's note");
    EXPECT_EQ(ReadText(data / "CAM\\config.ini"), "post-processor");
    EXPECT_EQ(ReadText(data / "Parts\\discarded-fixture.nc"), "fixture");
    EXPECT_EQ(ReadText(data / "Parts\\p1\\O1.nc"), "part program");
    for (const std::string& path : besideFiles)
        EXPECT_FALSE(Exists(path)) << "the release's version beside went with it: " << path;
}

TEST_F(ParameterSteps, TheReleasesFilesComeHomeAfterTheCarryAndTheValuesStayAside)
{
    data.File("Tornelix.DAT", "param");
    data.File("Macros\\macro.txt", "release A macro");
    std::vector<LaidFile> prior = {LaidHere(data, "Macros\\macro.txt")};
    data.File("Parts\\O1.nc", "part program");
    ASSERT_TRUE(BeginSetAside("B", std::string(), prior));
    ASSERT_TRUE(MarkDataTree(data.Root()));
    ASSERT_TRUE(SetAsideReleaseFilesOf(data.Root()).journalWritten);
    std::string copy = JournalRun()->moves.at(0).aside;
    ASSERT_TRUE(RecordPhase(RunPhase::packageStarted));
    // With the values carried the new release lays nothing in the data tree:
    // the old release's files come back, its values stay with it.
    EXPECT_TRUE(RestoreDataTree(ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ReadText(data / "Macros\\macro.txt"), "release A macro");
    EXPECT_FALSE(Exists(data / "Tornelix.DAT"));
    EXPECT_EQ(ReadText(copy + "\\Tornelix.DAT"), "param");
    EXPECT_EQ(ReadText(data / "Parts\\O1.nc"), "part program");
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
