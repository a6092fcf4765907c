// Test fixtures on the real file system: a scratch directory that is removed
// with everything in it when the test ends, and small file helpers.
#pragma once
#include <string>
#include <vector>

#include "platform/File.h"
#include "support/ScratchDir.h"

inline std::string ReadText(const std::string& path)
{
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes))
        return std::string("<missing>");
    return std::string(bytes.begin(), bytes.end());
}

inline void WriteText(const std::string& path, const std::string& text)
{
    WriteWholeFile(path, text.data(), text.size());
}

#ifdef _WIN32
#include <windows.h>

// Removes a tree without the code under test (read-only entries included).
inline void RemoveTreeForTest(const std::string& dir)
{
    ScratchDir::Remove(dir);
    SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(dir.c_str());
}

inline void MakeDirs(const std::string& path)
{
    for (size_t pos = path.find('\\', 3); pos != std::string::npos; pos = path.find('\\', pos + 1))
        CreateDirectoryA(path.substr(0, pos).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

class TempTree {
public:
    explicit TempTree(const std::string& root) : m_root(root)
    {
        RemoveTreeForTest(m_root);
        MakeDirs(m_root);
    }
    ~TempTree() { RemoveTreeForTest(m_root); }
    const std::string& Root() const { return m_root; }
    std::string operator/(const std::string& rel) const { return m_root + "\\" + rel; }
    // Creates the file (and its directories) with the given content.
    std::string File(const std::string& rel, const std::string& content = "x") const
    {
        std::string full = *this / rel;
        size_t slash = full.rfind('\\');
        MakeDirs(full.substr(0, slash));
        WriteText(full, content);
        return full;
    }
    std::string Dir(const std::string& rel) const
    {
        std::string full = *this / rel;
        MakeDirs(full);
        return full;
    }

private:
    std::string m_root;
};

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
#endif
