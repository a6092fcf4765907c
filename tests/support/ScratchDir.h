// A scratch directory for portable tests, removed with its files at the end.
#pragma once
#include <cstdio>
#include <string>

#include "platform/File.h"
#include "platform/TempDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
    {
#ifdef _WIN32
        m_root = SystemTempDirectory() + name + "-" + std::to_string(GetCurrentProcessId());
        Remove(m_root);
        CreateDirectoryA(m_root.c_str(), nullptr);
#else
        m_root = SystemTempDirectory() + name + "-" + std::to_string(getpid());
        Remove(m_root);
        mkdir(m_root.c_str(), 0755);
#endif
    }
    ~ScratchDir() { Remove(m_root); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Root() const { return m_root; }
    std::string operator/(const std::string& name) const { return m_root + kSep + name; }

#ifdef _WIN32
    static constexpr const char* kSep = "\\";
    static void Remove(const std::string& dir)
    {
        WIN32_FIND_DATAA f;
        HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &f);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string n = f.cFileName;
                if (n == "." || n == "..")
                    continue;
                std::string p = dir + "\\" + n;
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(p);
                else
                    DeleteFileA(p.c_str());
            } while (FindNextFileA(h, &f));
            FindClose(h);
        }
        RemoveDirectoryA(dir.c_str());
    }
#else
    static constexpr const char* kSep = "/";
    static void Remove(const std::string& dir)
    {
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == "..")
                    continue;
                std::string p = dir + "/" + n;
                struct stat st;
                if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                    Remove(p);
                else
                    unlink(p.c_str());
            }
            closedir(d);
        }
        rmdir(dir.c_str());
    }
#endif

private:
    std::string m_root;
};

inline void MakeDir(const std::string& path)
{
#ifdef _WIN32
    CreateDirectoryA(path.c_str(), nullptr);
#else
    mkdir(path.c_str(), 0755);
#endif
}
