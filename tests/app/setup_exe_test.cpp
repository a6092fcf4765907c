// Setup.exe as Windows loads it: the manifest that asks for an
// administrator's rights, the version resource, an import table of known
// DLLs only, and a DLL search that no planted DLL can enter.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <cstddef>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/DllSearch.h"

namespace {

// Setup.exe and the planted DLL are built beside this test.
std::string BesideThisTest(const char* name)
{
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir = self;
    return dir.substr(0, dir.rfind('\\') + 1) + name;
}

std::string ManifestOf(const std::string& exe)
{
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(module, nullptr) << exe;
    if (!module)
        return std::string();
    std::string text;
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (res) {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, res)));
        text.assign(data, SizeofResource(module, res));
    }
    FreeLibrary(module);
    return text;
}

// The DLL names of the import and delay-import tables, lower case.
std::vector<std::string> ImportedDlls(const std::string& exe)
{
    std::ifstream in(exe, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> names;
    auto at = [&](size_t offset, size_t size) {
        if (offset + size > file.size())
            throw std::runtime_error("outside the file");
        return file.data() + offset;
    };
    IMAGE_DOS_HEADER dos;
    memcpy(&dos, at(0, sizeof dos), sizeof dos);
    IMAGE_NT_HEADERS32 nt;
    memcpy(&nt, at(dos.e_lfanew, sizeof nt), sizeof nt);
    EXPECT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC) << "a 32-bit program";
    size_t sections = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s;
            memcpy(&s, at(sections + i * sizeof s, sizeof s), sizeof s);
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        throw std::runtime_error("an address in no section");
    };
    auto nameAt = [&](DWORD rva) {
        std::string name(reinterpret_cast<const char*>(at(fileOffset(rva), 1)));
        for (char& c : name)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return name;
    };
    const IMAGE_DATA_DIRECTORY& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (DWORD rva = imports.VirtualAddress; imports.Size != 0; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        memcpy(&d, at(fileOffset(rva), sizeof d), sizeof d);
        if (d.Name == 0)
            break;
        names.push_back(nameAt(d.Name));
    }
    const IMAGE_DATA_DIRECTORY& delayed = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    for (DWORD rva = delayed.VirtualAddress; delayed.Size != 0; rva += 32) {
        DWORD attributes_name[2];
        memcpy(attributes_name, at(fileOffset(rva), sizeof attributes_name), sizeof attributes_name);
        if (attributes_name[1] == 0)
            break;
        names.push_back(nameAt(attributes_name[1]));
    }
    return names;
}

} // namespace

TEST(SetupExe, ManifestAsksForAdministratorsRightsOnWindows7AndLater)
{
    std::string manifest = ManifestOf(BesideThisTest("Setup.exe"));
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST 1 in Setup.exe";
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"),
              std::string::npos);
    // Windows 7, 8, 8.1, 10 and later.
    for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos) << os;
    size_t controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"");
    EXPECT_NE(controls, std::string::npos);
    EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\"", controls), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);

    // The version resource names the product and a file version that matches
    // the fixed one.
    std::string exe = BesideThisTest("Setup.exe");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    auto text = [&](const char* key) {
        char* value = nullptr;
        UINT length = 0;
        std::string path = std::string("\\StringFileInfo\\080403a8\\") + key;
        return VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) && value
                   ? std::string(value)
                   : std::string("<none>");
    };
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    std::string fixedVersion = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                               std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                               std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                               std::to_string(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(text("ProductName"), "Tornelix");
    EXPECT_EQ(text("FileVersion"), fixedVersion);
    EXPECT_EQ(text("OriginalFilename"), "Setup.exe");
}

TEST(SetupExe, ImportsOnlyDllsThatWindowsLoadsFromItsKnownList)
{
    // The KnownDLLs of Windows 7 that Windows 8, 10 and 11 keep (ntdll is
    // always the system's own): the loader takes them from the system
    // directory, never from the directory Setup.exe was started from.
    const std::set<std::string> known = {
        "advapi32.dll", "comdlg32.dll", "gdi32.dll",  "imagehlp.dll", "imm32.dll",   "kernel32.dll",
        "msctf.dll",    "msvcrt.dll",   "normaliz.dll", "nsi.dll",    "ntdll.dll",   "ole32.dll",
        "oleaut32.dll", "psapi.dll",    "rpcrt4.dll", "sechost.dll",  "setupapi.dll", "shell32.dll",
        "shlwapi.dll",  "user32.dll",   "wldap32.dll", "ws2_32.dll"};
    std::vector<std::string> dlls = ImportedDlls(BesideThisTest("Setup.exe"));
    EXPECT_GE(dlls.size(), 5u) << "the import table was not read";
    for (const std::string& dll : dlls)
        EXPECT_EQ(known.count(dll), 1u) << dll << " is not a known DLL: load it from the system directory at run time";
}

TEST(SetupExe, APlantedDllBesideTheProgramIsNotLoadedOnceTheSearchIsRestricted)
{
    // Found beside the program while the search is Windows' default.
    HMODULE planted = LoadLibraryA("tlx_planted.dll");
    ASSERT_NE(planted, nullptr) << "the planted DLL is not beside the test";
    FreeLibrary(planted);
    ASSERT_EQ(GetModuleHandleA("tlx_planted.dll"), nullptr);

    EXPECT_EQ(RestrictDllSearchToSystem(), DllSearch::SystemOnly);
    EXPECT_EQ(LoadLibraryA("tlx_planted.dll"), nullptr);
    // What the system directory holds still loads.
    HMODULE version = LoadLibraryA("version.dll");
    EXPECT_NE(version, nullptr);
    if (version)
        FreeLibrary(version);
}
