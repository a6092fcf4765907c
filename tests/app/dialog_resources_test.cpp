// The dialog templates as compiled into Setup.exe: the tabled styles, sizes,
// fonts, captions and the twelve labels in GBK and English.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/SetupResources.h"
#include "messages/Messages.h"

namespace {

std::string Gbk(const wchar_t* w, size_t n)
{
    int size = WideCharToMultiByte(936, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(936, 0, w, static_cast<int>(n), &out[0], size, nullptr, nullptr);
    return out;
}

// Reads the extended dialog template (DLGTEMPLATEEX and DLGITEMTEMPLATEEX).
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* p) : m_p(p) {}
    WORD Word() { WORD v; memcpy(&v, m_p, 2); m_p += 2; return v; }
    DWORD Dword() { DWORD v; memcpy(&v, m_p, 4); m_p += 4; return v; }
    short Short() { return static_cast<short>(Word()); }
    // sz_Or_Ord: 0, 0xFFFF + ordinal, or a NUL-terminated UTF-16 string.
    std::string Text()
    {
        WORD first;
        memcpy(&first, m_p, 2);
        if (first == 0xFFFF) {
            m_p += 2;
            return "#" + std::to_string(Word());
        }
        const wchar_t* s = reinterpret_cast<const wchar_t*>(m_p);
        size_t n = wcslen(s);
        m_p += (n + 1) * 2;
        return Gbk(s, n);
    }
    void AlignDword() { m_p = reinterpret_cast<const BYTE*>((reinterpret_cast<uintptr_t>(m_p) + 3) & ~uintptr_t(3)); }

private:
    const BYTE* m_p;
};

struct Item {
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    std::string className, text;
};

struct Dialog {
    DWORD style, exStyle;
    short x, y, cx, cy;
    std::string caption, font;
    WORD pointSize;
    std::vector<Item> items;
};

Dialog LoadDialog(int id)
{
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    EXPECT_NE(res, nullptr) << "no dialog " << id;
    Dialog d{};
    if (!res)
        return d;
    TemplateReader r(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res))));
    EXPECT_EQ(r.Word(), 1);      // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFF); // signature: extended template
    r.Dword();                   // helpID
    d.exStyle = r.Dword();
    d.style = r.Dword();
    WORD count = r.Word();
    d.x = r.Short();
    d.y = r.Short();
    d.cx = r.Short();
    d.cy = r.Short();
    EXPECT_EQ(r.Text(), "");     // no menu
    EXPECT_EQ(r.Text(), "");     // the standard dialog class
    d.caption = r.Text();
    d.pointSize = r.Word();
    r.Word();                    // weight
    r.Word();                    // italic, charset
    d.font = r.Text();
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        Item item{};
        r.Dword(); // helpID
        r.Dword(); // exStyle
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Dword();
        item.className = r.Text();
        item.text = r.Text();
        WORD extra = r.Word();
        EXPECT_EQ(extra, 0);
        d.items.push_back(item);
    }
    return d;
}

struct Label {
    int id;
    const char* chinese;
    const char* english;
    short chineseY, chineseWidth, englishY, englishWidth;
};

const Label kLabels[] = {
    {140, "等待TorneLix关闭...", "Waiting for closing TorneLix...", 11, 77, 9, 97},
    {141, "开始执行安装程序...", "Starting to carry out setup...", 25, 77, 21, 91},
    {142, "搜集信息...", "Collecting information...", 53, 45, 45, 75},
    {143, "生成临时参数文件...", "Copy temp param flies ...", 39, 77, 33, 80},
    {144, "清除原始目录...", "Clear old files ...", 67, 61, 57, 52},
    {145, "正在拷贝文件...", "Copying files...", 81, 61, 69, 48},
    {146, "拷贝其他文件...", "Copying other files...", 95, 61, 81, 67},
    {147, "备份安装包本身...", "Backup ...", 109, 69, 93, 33},
    {148, "迁移参数...", "Transfer parameters ...", 123, 45, 105, 76},
    {149, "安装驱动程序...", "Installing driver...", 137, 61, 117, 55},
    {150, "自动更新过程结束...", "Setup program finished...", 151, 77, 129, 82},
    {151, "退出操作系统，重启计算机!", "Reboot computer!", 165, 121, 141, 117},
};

const DWORD kDialogStyle = 0x90C00040;  // WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT
const DWORD kLabelStyle = 0x40020000;   // WS_CHILD | WS_GROUP, left-aligned, hidden

TEST(DialogTemplates, ChineseTemplate102AsTabled)
{
    Dialog d = LoadDialog(IDD_AUTOUPDATE_DIALOG);
    EXPECT_EQ(d.style, kDialogStyle);
    EXPECT_EQ(d.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, 311);
    EXPECT_EQ(d.cy, 187);
    EXPECT_EQ(d.caption, "Tornelix 安装程序...");
    EXPECT_EQ(d.font, "宋体");
    EXPECT_EQ(d.pointSize, 9);
    ASSERT_EQ(d.items.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        const Item& item = d.items[i];
        const Label& want = kLabels[i];
        SCOPED_TRACE(want.id);
        EXPECT_EQ(item.id, static_cast<DWORD>(want.id));
        EXPECT_EQ(item.className, "#130"); // static
        EXPECT_EQ(item.style, kLabelStyle);
        EXPECT_EQ(item.text, want.chinese);
        EXPECT_EQ(item.x, 7);
        EXPECT_EQ(item.y, want.chineseY);
        EXPECT_EQ(item.cx, want.chineseWidth);
        EXPECT_EQ(item.cy, 8);
    }
}

TEST(DialogTemplates, EnglishTemplate1102AsTabled)
{
    Dialog d = LoadDialog(IDD_AUTOUPDATE_DIALOG + 1000);
    EXPECT_EQ(d.style, kDialogStyle);
    EXPECT_EQ(d.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(d.cx, 311);
    EXPECT_EQ(d.cy, 160);
    EXPECT_EQ(d.caption, "Tornelix Setup...");
    EXPECT_EQ(d.font, "Arial");
    EXPECT_EQ(d.pointSize, 8);
    ASSERT_EQ(d.items.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        const Item& item = d.items[i];
        const Label& want = kLabels[i];
        SCOPED_TRACE(want.id);
        EXPECT_EQ(item.id, static_cast<DWORD>(want.id + 1000));
        EXPECT_EQ(item.style, kLabelStyle);
        EXPECT_EQ(item.text, want.english);
        EXPECT_EQ(item.x, 10);
        EXPECT_EQ(item.y, want.englishY);
        EXPECT_EQ(item.cx, want.englishWidth);
        EXPECT_EQ(item.cy, 8);
    }
}

// A silent run prints each step as the window would show it: the texts it
// prints are the templates' own, step by step in the labels' order.
TEST(DialogTemplates, StepLabelsOfTheSilentRunAreTheTemplatesLabels)
{
    Dialog chinese = LoadDialog(IDD_AUTOUPDATE_DIALOG);
    Dialog english = LoadDialog(IDD_AUTOUPDATE_DIALOG + 1000);
    ASSERT_EQ(chinese.items.size(), 12u);
    ASSERT_EQ(english.items.size(), 12u);
    for (int step = 0; step <= static_cast<int>(InstallStep::Reboot); ++step) {
        const MessagePair& label = StepLabel(static_cast<InstallStep>(step));
        const int id = IDC_STEP_WAIT_CONTROL + step;
        for (const Item& item : chinese.items) {
            if (item.id == static_cast<DWORD>(id)) {
                EXPECT_EQ(label.text[0], item.text) << id;
            }
        }
        for (const Item& item : english.items) {
            if (item.id == static_cast<DWORD>(id + 1000)) {
                EXPECT_EQ(label.text[1], item.text) << id;
            }
        }
    }
}

TEST(DialogTemplates, Label143StandsAbove142)
{
    for (int id : {IDD_AUTOUPDATE_DIALOG, IDD_AUTOUPDATE_DIALOG + 1000}) {
        Dialog d = LoadDialog(id);
        ASSERT_EQ(d.items.size(), 12u);
        EXPECT_LT(d.items[3].y, d.items[2].y) << id;
    }
}

TEST(ProgramResources, IconAndVersion)
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    EXPECT_NE(icon, nullptr);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(self, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(self, 0, size, info.data()));
    char* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\080403a8\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, "Tornelix");
}

} // namespace
