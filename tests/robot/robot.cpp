// robot: plays the user of a dialog program in the end-to-end tests.
//
//   robot [options] -- PROGRAM [ARGS...]
//
// Starts PROGRAM and watches the top-level dialog windows (class #32770) of
// its process until it ends. Writes a transcript, one UTF-8 line per event,
// to stdout and to --log FILE (flushed at once, so a test can read it while
// the program runs):
//   dialog <id-of-first-label> caption="..." style=0x... exstyle=0x... x=.. y=..
//   label <control id> "text"              a step label became visible
//   box caption="..." buttons=OK,CANCEL text="..."   a message box appeared
//   answer <BUTTON>                        the button the robot pressed
//   keys refused | keys closed             Enter, Esc, Alt+F4, WM_CLOSE tried
//   boxes open <n>                         more message boxes open at once than before
//   window class="..." caption="..."       with --report-windows: a visible top-level
//                                          window of the program of another class
//   exit <code> | timeout
// Options:
//   --log FILE            also write the transcript there
//   --answer TEXT=BUTTON  answer a box whose text contains TEXT with BUTTON
//                         (OK, CANCEL, YES, NO, or ENTER: the key, which
//                         presses the box's default button); first matching
//                         rule wins; otherwise OK, or YES when the box has no OK
//   --pause-at TEXT=FILE  before answering a box whose text contains TEXT,
//                         move it to the screen's lower right corner, create
//                         FILE.ready and wait (up to 30 s) for FILE
//   --answer-delay MS     leave each box open that long before answering
//   --try-keys            each time a label appears and no box is open, post
//                         Enter, Esc, Alt+F4 and WM_CLOSE to the dialog and
//                         report whether it survived
//   --report-windows      also report every other visible top-level window of
//                         the program (a program that should show none)
//   --timeout SECONDS     give up after that long (default 120); the program
//                         is then terminated
// Exit status: 0 when the program ended by itself, 1 on timeout, 2 on usage
// errors.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Rule {
    std::wstring text;
    std::wstring value;
};

FILE* g_log = nullptr;

std::string Utf8(const std::wstring& w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// Quotes a text for the transcript: line breaks and quotes escaped.
std::string Quoted(const std::wstring& w)
{
    std::string s = Utf8(w), out = "\"";
    for (char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out + "\"";
}

void Emit(const std::string& line)
{
    fprintf(stdout, "%s\n", line.c_str());
    fflush(stdout);
    if (g_log) {
        fprintf(g_log, "%s\n", line.c_str());
        fflush(g_log);
    }
}

std::wstring WindowText(HWND hwnd)
{
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(n + 1, L'\0');
    n = GetWindowTextW(hwnd, &text[0], n + 1);
    text.resize(n > 0 ? n : 0);
    return text;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {0};
    GetClassNameW(hwnd, name, 64);
    return name;
}

struct Found {
    DWORD pid;
    std::vector<HWND> dialogs;
    std::vector<HWND> others; // visible top-level windows of other classes
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param)
{
    Found* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != found->pid || !IsWindowVisible(hwnd))
        return TRUE;
    if (ClassOf(hwnd) == L"#32770")
        found->dialogs.push_back(hwnd);
    else
        found->others.push_back(hwnd);
    return TRUE;
}

// A message box carries its text in the static control 0xFFFF.
bool IsMessageBox(HWND hwnd) { return GetDlgItem(hwnd, 0xFFFF) != nullptr; }

struct ChildList {
    std::vector<HWND> children;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param)
{
    reinterpret_cast<ChildList*>(param)->children.push_back(hwnd);
    return TRUE;
}

struct ButtonName {
    int id;
    const wchar_t* name;
};
const ButtonName kButtons[] = {{IDOK, L"OK"}, {IDCANCEL, L"CANCEL"}, {IDYES, L"YES"}, {IDNO, L"NO"}, {IDRETRY, L"RETRY"}};

std::string ButtonsOf(HWND box)
{
    std::wstring list;
    for (const ButtonName& b : kButtons) {
        if (GetDlgItem(box, b.id)) {
            if (!list.empty())
                list += L",";
            list += b.name;
        }
    }
    return Utf8(list);
}

int ButtonId(const std::wstring& name)
{
    for (const ButtonName& b : kButtons)
        if (name == b.name)
            return b.id;
    return 0;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void TouchFile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

bool SplitRule(const wchar_t* arg, Rule* rule)
{
    const wchar_t* eq = wcsrchr(arg, L'=');
    if (!eq || eq == arg)
        return false;
    rule->text.assign(arg, eq - arg);
    rule->value = eq + 1;
    return true;
}

std::wstring QuoteArg(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"')
            out += L'\\';
        out += c;
    }
    return out + L"\"";
}

class Robot {
public:
    std::vector<Rule> answers, pauses;
    bool tryKeys = false;
    bool reportWindows = false;
    unsigned answerDelayMs = 0;

    // One look at the program's windows.
    void Poll(DWORD pid)
    {
        Found found{pid, {}, {}};
        EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
        if (reportWindows) {
            for (HWND hwnd : found.others) {
                if (m_otherWindows.insert(hwnd).second)
                    Emit("window class=" + Quoted(ClassOf(hwnd)) + " caption=" + Quoted(WindowText(hwnd)));
            }
        }
        std::set<HWND> present(found.dialogs.begin(), found.dialogs.end());
        for (auto it = m_answered.begin(); it != m_answered.end();)
            it = present.count(*it) ? std::next(it) : m_answered.erase(it);
        for (auto it = m_seen.begin(); it != m_seen.end();)
            it = present.count(it->first) ? std::next(it) : m_seen.erase(it);

        int boxes = 0;
        for (HWND hwnd : found.dialogs)
            if (IsMessageBox(hwnd))
                ++boxes;
        bool boxOpen = boxes > 0;
        if (boxes > 1 && boxes > m_mostBoxes)
            Emit("boxes open " + std::to_string(boxes));
        if (boxes > m_mostBoxes)
            m_mostBoxes = boxes;
        for (HWND hwnd : found.dialogs) {
            if (IsMessageBox(hwnd))
                HandleBox(hwnd);
            else
                WatchDialog(hwnd, boxOpen);
        }
    }

private:
    void HandleBox(HWND box)
    {
        if (m_answered.count(box))
            return;
        auto seen = m_seen.find(box);
        if (seen == m_seen.end()) {
            seen = m_seen.emplace(box, GetTickCount()).first;
            Emit("box caption=" + Quoted(WindowText(box)) + " buttons=" + ButtonsOf(box) +
                 " text=" + Quoted(WindowText(GetDlgItem(box, 0xFFFF))));
        }
        // Left open for a while when asked to, polling on meanwhile, so that
        // what the program does behind an open box shows.
        if (GetTickCount() - seen->second < answerDelayMs)
            return;
        m_answered.insert(box);
        std::wstring text = WindowText(GetDlgItem(box, 0xFFFF));
        for (const Rule& pause : pauses) {
            if (text.find(pause.text) == std::wstring::npos)
                continue;
            // Out of the dialog's way, so that a screenshot shows both.
            RECT r;
            GetWindowRect(box, &r);
            SetWindowPos(box, HWND_TOP, GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left) - 16,
                         GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top) - 16, 0, 0, SWP_NOSIZE);
            Sleep(300);
            TouchFile(pause.value + L".ready");
            DWORD start = GetTickCount();
            while (!FileExists(pause.value) && GetTickCount() - start < 30000)
                Sleep(50);
            Emit("paused");
            break;
        }
        std::wstring button;
        for (const Rule& rule : answers) {
            if (text.find(rule.text) != std::wstring::npos) {
                button = rule.value;
                break;
            }
        }
        if (button.empty())
            button = GetDlgItem(box, IDOK) ? L"OK" : GetDlgItem(box, IDRETRY) ? L"RETRY" : L"YES";
        Emit("answer " + Utf8(button));
        if (button == L"ENTER") {
            // What a reflexive Enter does: the box's default button, whichever it is.
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageW(box, WM_KEYUP, VK_RETURN, 0xC01C0001);
            return;
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(ButtonId(button), BN_CLICKED), 0);
    }

    void WatchDialog(HWND dialog, bool boxOpen)
    {
        if (!m_dialogs.count(dialog)) {
            m_dialogs.insert(dialog);
            RECT r;
            GetWindowRect(dialog, &r);
            char line[256];
            snprintf(line, sizeof line, " style=0x%08lX exstyle=0x%08lX x=%ld y=%ld",
                     static_cast<unsigned long>(GetWindowLongW(dialog, GWL_STYLE)),
                     static_cast<unsigned long>(GetWindowLongW(dialog, GWL_EXSTYLE)), r.left, r.top);
            Emit("dialog caption=" + Quoted(WindowText(dialog)) + line);
        }
        ChildList list;
        EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&list));
        bool newLabel = false;
        for (HWND child : list.children) {
            int id = GetDlgCtrlID(child);
            if (!IsWindowVisible(child) || m_shown[dialog].count(id))
                continue;
            m_shown[dialog].insert(id);
            Emit("label " + std::to_string(id) + " " + Quoted(WindowText(child)));
            newLabel = true;
        }
        if (newLabel && tryKeys && !boxOpen)
            TryKeys(dialog);
    }

    // What a user might press to get rid of the dialog.
    void TryKeys(HWND dialog)
    {
        PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageW(dialog, WM_KEYUP, VK_RETURN, 0xC01C0001);
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        PostMessageW(dialog, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
        PostMessageW(dialog, WM_SYSKEYUP, VK_F4, 0xE03E0001);
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        // The dialog may be busy in a step; give it time to act on them.
        // EndDialog hides the dialog at once and destroys it later.
        for (int waited = 0; waited < 1000 && IsWindowVisible(dialog); waited += 50)
            Sleep(50);
        Emit(IsWindowVisible(dialog) ? "keys refused" : "keys closed");
    }

    int m_mostBoxes = 0;
    std::map<HWND, DWORD> m_seen;
    std::set<HWND> m_answered;
    std::set<HWND> m_dialogs;
    std::set<HWND> m_otherWindows;
    std::map<HWND, std::set<int>> m_shown;
};

int Usage()
{
    fprintf(stderr, "usage: robot [--log FILE] [--answer TEXT=BUTTON]... [--pause-at TEXT=FILE]... [--try-keys] [--report-windows]\n"
                    "             [--answer-delay MS] [--timeout SECONDS] -- PROGRAM [ARGS...]\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Robot robot;
    unsigned timeoutMs = 120000;
    int i = 1;
    for (; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--") {
            ++i;
            break;
        }
        if (arg == L"--try-keys") {
            robot.tryKeys = true;
            continue;
        }
        if (arg == L"--report-windows") {
            robot.reportWindows = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const wchar_t* value = argv[++i];
        Rule rule;
        if (arg == L"--log") {
            g_log = _wfopen(value, L"wb");
            if (!g_log) {
                fprintf(stderr, "robot: cannot write %s\n", Utf8(value).c_str());
                return 2;
            }
        } else if (arg == L"--answer" && SplitRule(value, &rule)) {
            robot.answers.push_back(rule);
        } else if (arg == L"--pause-at" && SplitRule(value, &rule)) {
            robot.pauses.push_back(rule);
        } else if (arg == L"--answer-delay") {
            robot.answerDelayMs = static_cast<unsigned>(_wtoi(value));
        } else if (arg == L"--timeout") {
            timeoutMs = static_cast<unsigned>(_wtoi(value)) * 1000u;
        } else {
            return Usage();
        }
    }
    if (i >= argc)
        return Usage();

    std::wstring commandLine;
    for (int k = i; k < argc; ++k) {
        if (!commandLine.empty())
            commandLine += L' ';
        commandLine += QuoteArg(argv[k]);
    }
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(argv[i], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Emit("start-failed " + std::to_string(GetLastError()));
        return 2;
    }
    Emit("started");
    DWORD start = GetTickCount();
    for (;;) {
        robot.Poll(pi.dwProcessId);
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - start > timeoutMs) {
            Emit("timeout");
            TerminateProcess(pi.hProcess, 99);
            return 1;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    Emit("exit " + std::to_string(code));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (g_log)
        fclose(g_log);
    return 0;
}
