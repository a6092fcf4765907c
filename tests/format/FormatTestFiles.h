// Test fixtures of the format engine: format texts written to scratch files
// (removed at the end) and the trace-log records captured while a test runs.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "logs/TraceLog.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#ifdef _WIN32
#include <windows.h>
inline int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }
#else
#include <sys/stat.h>
#include <unistd.h>
inline int ProcessId() { return static_cast<int>(getpid()); }
#endif

class ScratchFiles {
public:
    ~ScratchFiles()
    {
        for (const std::string& p : m_paths)
            remove(p.c_str());
        for (auto d = m_dirs.rbegin(); d != m_dirs.rend(); ++d)
            RemoveDir(*d);
    }
    // A new directory; returns its path with a trailing separator.
    std::string Dir(const std::string& name)
    {
        std::string path = SystemTempDirectory() + "fmt" + std::to_string(ProcessId()) + "-" + name;
#ifdef _WIN32
        CreateDirectoryA(path.c_str(), nullptr);
        path += "\\";
#else
        mkdir(path.c_str(), 0755);
        path += "/";
#endif
        m_dirs.push_back(path);
        return path;
    }
    // Writes text byte for byte as dir + name (dir from Dir()).
    std::string WriteIn(const std::string& dir, const std::string& name, const std::string& text)
    {
        std::string path = dir + name;
        WriteWholeFile(path, text.data(), text.size());
        m_paths.push_back(path);
        return path;
    }
    // Writes text byte for byte under a per-process name and returns the path.
    std::string Write(const std::string& name, const std::string& text)
    {
        std::string path = SystemTempDirectory() + "fmt" + std::to_string(ProcessId()) + "-" + name;
        WriteWholeFile(path, text.data(), text.size());
        m_paths.push_back(path);
        return path;
    }
    std::string Missing(const std::string& name)
    {
        return SystemTempDirectory() + "fmt" + std::to_string(ProcessId()) + "-missing-" + name;
    }

private:
    static void RemoveDir(const std::string& path)
    {
#ifdef _WIN32
        RemoveDirectoryA(path.c_str());
#else
        rmdir(path.c_str());
#endif
    }
    std::vector<std::string> m_paths;
    std::vector<std::string> m_dirs;
};

// The trace records written while it lives; the shared log file is left alone.
class TraceRecords {
public:
    TraceRecords() : m_file(tmpfile())
    {
        SetTraceFileEnabled(false);
        SetTraceEcho(m_file);
    }
    ~TraceRecords()
    {
        SetTraceEcho(nullptr);
        SetTraceFileEnabled(true);
        if (m_file)
            fclose(m_file);
    }
    TraceRecords(const TraceRecords&) = delete;
    TraceRecords& operator=(const TraceRecords&) = delete;

    std::string Text() const
    {
        std::string text;
        if (!m_file)
            return text;
        fflush(m_file);
        rewind(m_file);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, m_file)) > 0)
            text.append(buf, n);
        fseek(m_file, 0, SEEK_END);
        return text;
    }
    // Occurrences of needle in the captured text.
    int Count(const std::string& needle) const
    {
        std::string text = Text();
        int count = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++count;
        return count;
    }

private:
    FILE* m_file;
};
