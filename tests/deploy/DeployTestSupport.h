// Helpers shared by the deployment tests: where the doubles are, their
// record file, captured message boxes and a recording InstallPort.
#pragma once
#include <set>
#include <string>
#include <vector>
#include <windows.h>

#include "messages/InstallPort.h"
#include "platform/MessageBox.h"
#include "support/TempTree.h"

// The doubles are built next to the test executables.
inline std::string BinDirectory()
{
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

inline std::string DoublePath(const std::string& name) { return BinDirectory() + "double_" + name; }

inline std::string TempDirectory()
{
    char buf[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, buf);
    return buf;
}

inline std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Polls until pred() holds or timeoutMs has passed.
template <typename Pred>
bool WaitFor(Pred pred, unsigned timeoutMs)
{
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

struct CapturedMessage {
    std::string text;
    unsigned type;
};

// Captures every message box for the life of the object.
class MessageCapture {
public:
    MessageCapture()
    {
        SetMessageHandler([this](const std::string& text, unsigned type) {
            messages.push_back({text, type});
            return IDOK;
        });
    }
    ~MessageCapture() { SetMessageHandler(MessageHandler()); }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }
    std::vector<CapturedMessage> messages;
};

class RecordingUi : public InstallPort {
public:
    void ShowStep(InstallStep step) override { labels.push_back(step); }
    int ShowMessage(const std::string& text, unsigned type, MessagePurpose) override
    {
        messages.push_back({text, type});
        return IDOK;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }
    std::vector<InstallStep> labels;
    std::vector<CapturedMessage> messages;
};

// Sets an environment variable for this process and its children for the
// life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedEnv() { SetEnvironmentVariableA(m_name, nullptr); }

private:
    const char* m_name;
};

inline std::set<std::string> FilesMatching(const std::string& dir, const std::string& pattern)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((dir + pattern).c_str(), &f);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(f.cFileName);
    while (FindNextFileA(h, &f));
    FindClose(h);
    return names;
}
