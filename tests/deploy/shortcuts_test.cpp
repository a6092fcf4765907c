#include <gtest/gtest.h>

#include <shlobj.h>

#include "DeployTestSupport.h"
#include "deploy/Shortcuts.h"

namespace {
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string LongFolder(int csidl)
{
    char buf[MAX_PATH] = {0};
    SHGetSpecialFolderPathA(nullptr, buf, csidl, TRUE);
    return buf;
}

// Sets or removes HKCU Shell Folders "Desktop" and puts the old value back.
class ScopedDesktopValue {
public:
    ScopedDesktopValue()
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
        char buf[MAX_PATH] = {0};
        DWORD size = sizeof buf, type = 0;
        m_had = RegQueryValueExA(m_key, "Desktop", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS;
        m_old.assign(buf);
        m_type = type;
    }
    ~ScopedDesktopValue()
    {
        if (m_had)
            RegSetValueExA(m_key, "Desktop", 0, m_type, reinterpret_cast<const BYTE*>(m_old.c_str()),
                           static_cast<DWORD>(m_old.size() + 1));
        else
            RegDeleteValueA(m_key, "Desktop");
        RegCloseKey(m_key);
    }
    void Set(const std::string& value)
    {
        RegSetValueExA(m_key, "Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    void Remove() { RegDeleteValueA(m_key, "Desktop"); }

private:
    HKEY m_key = nullptr;
    bool m_had = false;
    std::string m_old;
    DWORD m_type = REG_SZ;
};

void Touch(const std::string& path) { WriteText(path, "lnk"); }
} // namespace

TEST(ShortcutFolders, AreTheUsersFoldersInShortFormWithABackslash)
{
    std::string desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    EXPECT_EQ(desktop.back(), '\\');
    char shortForm[MAX_PATH] = {0};
    GetShortPathNameA(LongFolder(CSIDL_DESKTOP).c_str(), shortForm, MAX_PATH);
    EXPECT_EQ(desktop, std::string(shortForm) + "\\");
    std::string programs = ProgramsFolder();
    GetShortPathNameA(LongFolder(CSIDL_PROGRAMS).c_str(), shortForm, MAX_PATH);
    EXPECT_EQ(programs, std::string(shortForm) + "\\");
    EXPECT_EQ(programs.find(' '), std::string::npos) << "short form has no blanks: " << programs;
}

TEST(ShellFoldersDesktop, ReadsTheValueAsStoredAndIsEmptyWithoutIt)
{
    ScopedDesktopValue value;
    value.Set("C:\\somewhere\\Desk top");
    EXPECT_EQ(ShellFoldersDesktop(), "C:\\somewhere\\Desk top");
    value.Remove();
    EXPECT_EQ(ShellFoldersDesktop(), "");
}

TEST(RemoveShortcuts, DeletesBothNamesFromTheThreeFoldersAndNothingElse)
{
    TempTree other(TempDirectory() + "tlx_shortcuts_reg");
    // Resolving a special folder rewrites the Shell Folders values: resolve
    // (and let the operation cache) them before the value is pointed elsewhere.
    std::string desktop = LongFolder(CSIDL_DESKTOP) + "\\";
    std::string programs = LongFolder(CSIDL_PROGRAMS) + "\\";
    DesktopFolder();
    ProgramsFolder();
    ScopedDesktopValue value;
    value.Set(other.Root());
    CreateDirectoryA((programs + "TorneLix Tools").c_str(), nullptr);
    for (const std::string& dir : {desktop, programs, other.Root() + "\\"}) {
        Touch(dir + "Torne lix.lnk");
        Touch(dir + "Tornelix.lnk");
        Touch(dir + "Other.lnk");
    }
    Touch(programs + "TorneLix Tools\\Tornelix.lnk");

    RemoveShortcuts();

    for (const std::string& dir : {desktop, programs, other.Root() + "\\"}) {
        SCOPED_TRACE(dir);
        EXPECT_FALSE(Exists(dir + "Torne lix.lnk"));
        EXPECT_FALSE(Exists(dir + "Tornelix.lnk"));
        EXPECT_TRUE(Exists(dir + "Other.lnk"));
        DeleteFileA((dir + "Other.lnk").c_str());
    }
    EXPECT_TRUE(Exists(programs + "TorneLix Tools\\Tornelix.lnk")) << "subfolders are not visited";
    DeleteFileA((programs + "TorneLix Tools\\Tornelix.lnk").c_str());
    RemoveDirectoryA((programs + "TorneLix Tools").c_str());
}

TEST(RemoveShortcuts, WithoutTheRegistryValueNothingOutsideTheUsersFoldersIsTouched)
{
    ScopedDesktopValue value;
    value.Remove();
    TempTree cwd(TempDirectory() + "tlx_shortcuts_cwd");
    char old[MAX_PATH] = {0};
    GetCurrentDirectoryA(MAX_PATH, old);
    SetCurrentDirectoryA(cwd.Root().c_str());
    Touch(cwd / "Tornelix.lnk");
    Touch(cwd / "Torne lix.lnk");
    std::string desktop = LongFolder(CSIDL_DESKTOP) + "\\";
    Touch(desktop + "Tornelix.lnk");

    RemoveShortcuts();

    EXPECT_FALSE(Exists(desktop + "Tornelix.lnk"));
    EXPECT_TRUE(Exists(cwd / "Tornelix.lnk"));
    EXPECT_TRUE(Exists(cwd / "Torne lix.lnk"));
    SetCurrentDirectoryA(old);
}

TEST(RemoveShortcutsIn, JoinsWithExactlyOneBackslashAndIgnoresMissingFiles)
{
    TempTree t(TempDirectory() + "tlx_shortcuts_join");
    Touch(t / "Tornelix.lnk");
    RemoveShortcutsIn(t.Root());
    EXPECT_FALSE(Exists(t / "Tornelix.lnk"));
    Touch(t / "Torne lix.lnk");
    RemoveShortcutsIn(t.Root() + "\\");
    EXPECT_FALSE(Exists(t / "Torne lix.lnk"));
    RemoveShortcutsIn(t.Root()); // nothing left: no failure
    RemoveShortcutsIn("");
}
