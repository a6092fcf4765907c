// The progress dialog under Wine, with the control program's mutex held so
// that the sequence waits in its first state and touches nothing: template
// and labels by language, the refusal to close, the invalid-state end.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/AutoUpdateDlg.h"
#include "deploy/FileTree.h"
#include "release/PreviousRelease.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/StringUtil.h"

namespace {

const char kControlMutex[] = "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}";

// Runs script steps on the dialog's own thread, one every 100 ms, from a
// thread timer that the modal loop dispatches.
class Script {
public:
    using Step = std::function<void(CAutoUpdateDlg&)>;
    Script(CAutoUpdateDlg& dialog, std::vector<Step> steps) : m_dialog(dialog), m_steps(std::move(steps))
    {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, 100, Tick);
    }
    ~Script()
    {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    size_t done = 0;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        Script* self = s_current;
        if (!self || !self->m_dialog.Handle() || self->done >= self->m_steps.size())
            return;
        self->m_steps[self->done++](self->m_dialog);
    }
    static Script* s_current;
    CAutoUpdateDlg& m_dialog;
    std::vector<Step> m_steps;
    UINT_PTR m_timer;
};
Script* Script::s_current = nullptr;

class ProgressDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_control = CreateMutexA(nullptr, TRUE, kControlMutex);
        ASSERT_NE(m_control, nullptr);
        SetMessageHandler([this](const std::string& text, unsigned type) {
            boxes.push_back(text);
            types.push_back(type);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageHandler(nullptr);
        CloseHandle(m_control);
        language = kLanguageChinese;
    }
    static bool Visible(CAutoUpdateDlg& d, int id)
    {
        HWND item = GetDlgItem(d.Handle(), id);
        return item && (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE);
    }
    static std::vector<int> VisibleLabels(CAutoUpdateDlg& d)
    {
        std::vector<int> ids;
        for (int id = 140; id <= 151; ++id)
            if (Visible(d, LocalControlId(id)))
                ids.push_back(id);
        return ids;
    }
    // What a user does to close a dialog: Enter, Esc, Alt+F4, the close box.
    static void TryToClose(CAutoUpdateDlg& d)
    {
        HWND h = d.Handle();
        SendMessageA(h, WM_COMMAND, IDOK, 0);
        SendMessageA(h, WM_COMMAND, IDCANCEL, 0);
        SendMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        SendMessageA(h, WM_CLOSE, 0, 0);
    }

    std::vector<std::string> boxes;
    std::vector<unsigned> types;

private:
    HANDLE m_control = nullptr;
};

TEST_F(ProgressDialog, ChineseWaitsForTheControlProgramAndRefusesToClose)
{
    language = kLanguageChinese;
    CAutoUpdateDlg dialog;
    EXPECT_EQ(dialog.TemplateId(), 102);
    std::vector<int> atStart, afterTicks;
    bool aliveAfterKeys = false;
    char caption[64] = {0};
    Script script(dialog, {
        [&](CAutoUpdateDlg& d) {
            atStart = VisibleLabels(d);
            GetWindowTextA(d.Handle(), caption, sizeof caption);
        },
        [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {},
        [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {},
        [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {}, [](CAutoUpdateDlg&) {},
        [&](CAutoUpdateDlg& d) {
            afterTicks = VisibleLabels(d);
            TryToClose(d);
            aliveAfterKeys = IsWindow(d.Handle()) && d.allowClose == 0;
            // Leave through the sequence's own end.
            d.Sequence().state = 42;
        },
    });
    INT_PTR result = dialog.DoModal();

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_STREQ(caption, "Tornelix 安装程序...");
    EXPECT_TRUE(atStart.empty()) << "labels visible before the first tick";
    EXPECT_EQ(afterTicks, std::vector<int>{140}) << "only the wait label while the control program runs";
    EXPECT_TRUE(aliveAfterKeys);
    EXPECT_EQ(dialog.Sequence().state, InstallSequence::Finish);
    ASSERT_EQ(boxes, std::vector<std::string>{"Invalid state!"});
    EXPECT_EQ(types[0] & 0x0F, static_cast<unsigned>(MB_OK));
}

TEST_F(ProgressDialog, EnglishUsesTemplate1102AndItsLabels)
{
    language = kLanguageEnglish;
    CAutoUpdateDlg dialog;
    EXPECT_EQ(dialog.TemplateId(), 1102);
    std::vector<int> shown;
    bool chineseLabelPresent = true;
    char caption[64] = {0};
    Script script(dialog, {
        [&](CAutoUpdateDlg& d) {
            GetWindowTextA(d.Handle(), caption, sizeof caption);
            chineseLabelPresent = GetDlgItem(d.Handle(), 148) != nullptr;
            d.ShowStepLabel(148);
            d.ShowStepLabel(999); // not a label of this dialog: ignored
            shown = VisibleLabels(d);
            d.CloseDialog();
        },
    });
    INT_PTR result = dialog.DoModal();

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_STREQ(caption, "Tornelix Setup...");
    EXPECT_FALSE(chineseLabelPresent);
    EXPECT_EQ(shown, std::vector<int>{148});
    EXPECT_TRUE(Visible(dialog, 1148) || !dialog.Handle());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ProgressDialog, NoStateRunsAfterTheSequenceClosedTheDialog)
{
    CAutoUpdateDlg dialog;
    Script script(dialog, {
        [](CAutoUpdateDlg& d) {
            d.Sequence().state = 42;
            d.CloseDialog();
            // A tick that was already queued must not run a state.
            SendMessageA(d.Handle(), WM_TIMER, CAutoUpdateDlg::kSequenceTimer, 0);
        },
    });
    dialog.DoModal();
    EXPECT_TRUE(boxes.empty()) << "a state ran after CloseDialog";
    EXPECT_EQ(dialog.Sequence().state, 42);
}

TEST_F(ProgressDialog, ATickInsideAStatesMessageBoxRunsNoState)
{
    CAutoUpdateDlg dialog;
    // The box's own message loop delivers a sequence tick while it is open.
    SetMessageHandler([&](const std::string& text, unsigned) {
        boxes.push_back(text);
        SendMessageA(dialog.Handle(), WM_TIMER, CAutoUpdateDlg::kSequenceTimer, 0);
        return IDOK;
    });
    Script script(dialog, {
        [](CAutoUpdateDlg& d) { d.Sequence().state = 42; },
    });
    dialog.DoModal();
    EXPECT_EQ(boxes, std::vector<std::string>{"Invalid state!"});
}

// An old program tree in which another program holds one file open without
// sharing: state 5 names the file, and OK tries the wipe again.
class HeldFile : public ProgressDialog {
protected:
    void SetUp() override
    {
        ProgressDialog::SetUp();
        language = kLanguageEnglish;
        root = InstallRoot();
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "TorneLix").c_str(), nullptr);
        Write(root + "old.txt");
        heldPath = root + "TorneLix\\held.dll";
        Write(heldPath);
        held = CreateFileA(heldPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    void TearDown() override
    {
        Release();
        // What state 5 set aside, and its journal: a journal left in the bed
        // would make the next setup undo a run that never happened.
        PutPreviousReleaseBack();
        DeleteTree(root.substr(0, root.size() - 1));
        ProgressDialog::TearDown();
    }
    static void Write(const std::string& path)
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    void Release()
    {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    }
    // Runs state 5; the extraction that follows (this program carries no
    // package) fails, and its Retry ends the run, the dialog closed.
    void RunClearOld(CAutoUpdateDlg& dialog, const std::function<int(int)>& answerInUse)
    {
        SetMessageHandler([&](const std::string& text, unsigned type) {
            boxes.push_back(text);
            types.push_back(type);
            if (text.find("is used by another program") != std::string::npos)
                return answerInUse(++inUse);
            if ((type & 0x0F) != MB_RETRYCANCEL)
                return IDOK;
            dialog.CloseDialog();
            return IDRETRY;
        });
        Script script(dialog, {[](CAutoUpdateDlg& d) { d.Sequence().state = InstallSequence::ClearOld; }});
        dialog.DoModal();
    }
    std::string InUseText() { return StrPrintf(LocalText(MsgFileInUse), heldPath.c_str()); }

    std::string root, heldPath;
    HANDLE held = INVALID_HANDLE_VALUE;
    int inUse = 0;
};

TEST_F(HeldFile, OkTriesTheWipeAgainUntilTheFileIsFree)
{
    CAutoUpdateDlg dialog;
    RunClearOld(dialog, [this](int n) {
        if (n == 2)
            Release(); // the user closed the other program
        return IDOK;
    });
    ASSERT_EQ(inUse, 2);
    EXPECT_EQ(boxes[0], InUseText());
    EXPECT_EQ(boxes[1], InUseText());
    EXPECT_EQ(types[0], static_cast<unsigned>(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(GetFileAttributesA(root.c_str()), INVALID_FILE_ATTRIBUTES) << "the program tree is set aside";
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2], "Bad Signature") << "the sequence went on to the extraction";
}

TEST_F(HeldFile, CancelGoesOnWithTheFileInPlace)
{
    CAutoUpdateDlg dialog;
    RunClearOld(dialog, [](int) { return IDCANCEL; });
    EXPECT_EQ(inUse, 1);
    EXPECT_NE(GetFileAttributesA(heldPath.c_str()), INVALID_FILE_ATTRIBUTES);
    // The sequence went on to the extraction.
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], "Bad Signature");
    Release();
    DeleteFileA(heldPath.c_str());
}

} // namespace
