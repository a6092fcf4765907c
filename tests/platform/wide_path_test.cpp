// The one way paths reach the file system: names the code page cannot hold
// and paths beyond 260 characters, converted there and back and used on
// Wine's real file system.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/DirectoryEntries.h"
#include "platform/DirectoryTree.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/Paths.h"
#include "platform/TempDirectory.h"
#include "platform/WidePath.h"

namespace {
// "零件" (part) in code page 936.
const std::string kGbkPart = "\xC1\xE3\xBC\xFE";

std::string Repeat(char c, size_t n) { return std::string(n, c); }
} // namespace

TEST(WidePath, CarriesEveryNameThereAndBack)
{
    ASSERT_EQ(GetACP(), 936u) << "the bed runs with code page 936";
    // Korean (BMP), an emoji (beyond it), GBK text and ASCII in one name.
    const std::wstring wide = L"D:\\p0\\\xD55C\xAD6D-\xD83D\xDE00-\x96F6\x4EF6.nc";
    const std::string narrow = "D:\\p0\\<U+D55C><U+AD6D>-<U+1F600>-" + kGbkPart + ".nc";
    EXPECT_EQ(NarrowNameOf(wide), narrow);
    EXPECT_EQ(WidePathOf(narrow), wide);
    // GBK and ASCII alone pass unchanged.
    EXPECT_EQ(NarrowNameOf(L"\x96F6\x4EF6 O1.nc"), kGbkPart + " O1.nc");
    EXPECT_EQ(WidePathOf(kGbkPart + " O1.nc"), L"\x96F6\x4EF6 O1.nc");
    // Only the exact form is read as a character; anything else stays text.
    EXPECT_EQ(WidePathOf("a<U+41>b<U+0041"), L"a<U+41>b<U+0041");
    EXPECT_EQ(WidePathOf("<u+d55c>"), L"\xD55C");
    EXPECT_EQ(WidePathOf("<U+110000>"), L"<U+110000>");
    // What a name could hold besides: an unpaired surrogate, a '<'.
    EXPECT_EQ(NarrowNameOf(std::wstring(L"a\xD800z")), "a<U+D800>z");
    EXPECT_EQ(WidePathOf("a<U+D800>z"), std::wstring(L"a\xD800z"));
    EXPECT_EQ(WidePathOf(NarrowNameOf(L"x<U+0041>")), L"x<U+0041>");
}

TEST(WidePath, PrefixesOnlyAnAbsolutePathTooLongForThePlainForm)
{
    const std::string shortPath = "D:\\Velko\\" + Repeat('a', 200) + "\\O1.nc";
    EXPECT_NE(WidePathOf(shortPath).substr(0, 4), L"\\\\?\\");
    const std::string longPath = "D:\\Velko\\" + Repeat('a', 240) + "\\.\\b\\..\\" + kGbkPart + "/O1.nc";
    std::wstring wide = WidePathOf(longPath);
    EXPECT_EQ(wide, L"\\\\?\\D:\\Velko\\" + std::wstring(240, L'a') + L"\\\x96F6\x4EF6\\O1.nc");
    EXPECT_EQ(NarrowNameOf(wide), "D:\\Velko\\" + Repeat('a', 240) + "\\" + kGbkPart + "\\O1.nc");
    EXPECT_EQ(WidePathOf("\\\\server\\share\\" + Repeat('s', 250)),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L's'));
    EXPECT_EQ(NarrowNameOf(L"\\\\?\\UNC\\server\\share\\x"), "\\\\server\\share\\x");
    // Relative: the system resolves it, no prefix can.
    EXPECT_EQ(WidePathOf(Repeat('r', 300)), std::wstring(300, L'r'));
}

TEST(WidePath, TheFileSystemCallsTakeForeignNamesAndLongPaths)
{
    const std::string root = SystemTempDirectory() + "tlx_wide_" + std::to_string(GetCurrentProcessId());
    const std::wstring wideRoot = WidePathOf(root);
    ASSERT_TRUE(CreateDirectoryW(wideRoot.c_str(), nullptr));
    const std::wstring korean = wideRoot + L"\\\xD55C\xAD6D";
    ASSERT_TRUE(CreateDirectoryW(korean.c_str(), nullptr));
    HANDLE h = CreateFileW((korean + L"\\a.nc").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(h, "O1\r\n", 4, &put, nullptr);
    CloseHandle(h);

    std::vector<DirectoryEntry> entries = ListEntries(root);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "<U+D55C><U+AD6D>");
    const std::string folder = JoinPath(root, entries[0].name);
    EXPECT_TRUE(FileExists(JoinPath(folder, "a.nc")));
    EXPECT_EQ(KindOfPath(folder), PathKind::directory);

    // Moved to a path of over 300 characters and read there.
    std::string deep = root;
    for (int i = 0; i < 5; ++i)
        deep = JoinPath(deep, Repeat(static_cast<char>('a' + i), 60));
    ASSERT_GT(deep.size(), 300u);
    MakeDirectoryPath(deep);
    ASSERT_EQ(KindOfPath(deep), PathKind::directory);
    const std::string moved = JoinPath(deep, entries[0].name);
    ASSERT_EQ(moved, deep + "\\<U+D55C><U+AD6D>");
    ASSERT_TRUE(MovePath(folder, moved, false));
    EXPECT_EQ(KindOfPath(folder), PathKind::missing);
    unsigned long long size = 0;
    EXPECT_TRUE(FileSizeOf(JoinPath(moved, "a.nc"), &size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(GetFileAttributesW((WidePathOf(deep) + L"\\\xD55C\xAD6D\\a.nc").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(ParentOf(JoinPath(moved, "..\\x")), deep);

    EXPECT_TRUE(DeleteDirectoryTree(root));
    EXPECT_EQ(GetFileAttributesW(wideRoot.c_str()), INVALID_FILE_ATTRIBUTES);
}
#endif
