#include "SetupLogFile.h"

#include <cstdlib>
#include <cstring>

#include "platform/TextEncoding.h"

namespace {
// The setup's own texts, GBK as in the file.
const std::string kStarted = "SetUp启动";
const std::string kCommandLine = "命令行：";
const std::string kClosing = "静默安装结束，退出代码 ";
const std::string kUndo = "发现未完成的安装";

struct Line {
    std::string time, text;
};

// One line "YYYY-MM-DD HH:MM:SS<TAB>text" from pos; the time is empty for a
// line without its stamp.
Line LineAt(const std::string& log, size_t pos)
{
    size_t end = log.find('\n', pos);
    std::string line = log.substr(pos, (end == std::string::npos ? log.size() : end) - pos);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    size_t tab = line.find('\t');
    if (tab == 19)
        return {line.substr(0, tab), line.substr(tab + 1)};
    return {std::string(), line};
}

// Where the last line whose text starts with marker begins, or npos.
size_t LastLineWith(const std::string& log, const std::string& marker, size_t from = 0)
{
    for (size_t at = log.rfind(marker); at != std::string::npos && at >= from;
         at = at == 0 ? std::string::npos : log.rfind(marker, at - 1)) {
        size_t start = log.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        Line line = LineAt(log, start);
        if (line.text.compare(0, marker.size(), marker) == 0)
            return start;
    }
    return std::string::npos;
}

bool Code(const std::string& text, long* code)
{
    std::string digits = text.substr(kClosing.size());
    char* rest = nullptr;
    *code = strtol(digits.c_str(), &rest, 10);
    return !digits.empty() && *rest == '\0';
}

// A switch among the arguments, as the setup reads them: case-insensitive,
// "/WAIT=..." by its name.
bool HasSwitch(const std::string& commandLine, const std::string& name)
{
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    size_t pos = 0;
    while (pos < commandLine.size()) {
        size_t end = commandLine.find_first_of(" \t", pos);
        if (end == std::string::npos)
            end = commandLine.size();
        std::string word = commandLine.substr(pos, end - pos);
        size_t eq = word.find('=');
        if (eq != std::string::npos)
            word.resize(eq);
        bool same = word.size() == name.size();
        for (size_t i = 0; same && i < word.size(); ++i)
            same = upper(word[i]) == name[i];
        if (same)
            return true;
        pos = end + 1;
    }
    return false;
}
} // namespace

SetupLogFacts ParseSetupLog(const std::string& gbk, const std::string& name)
{
    SetupLogFacts facts;
    facts.reading.file = name;
    facts.reading.state = FileState::ok;
    auto damaged = [&](const std::string& problem) {
        facts.reading.state = FileState::damaged;
        facts.reading.problem = name + " is damaged: " + problem;
        return facts;
    };
    if (gbk.empty())
        return damaged("it is empty");
    if (memchr(gbk.data(), '\0', gbk.size()))
        return damaged("it is not text");

    size_t closing = LastLineWith(gbk, kClosing);
    if (closing != std::string::npos) {
        Line line = LineAt(gbk, closing);
        facts.anyClosing = Code(line.text, &facts.lastClosingCode);
        facts.lastClosingTime = line.time;
    }
    size_t start = LastLineWith(gbk, kStarted);
    if (start == std::string::npos) {
        // Emptied at its size limit in the middle of a run: what is left is
        // that run's end.
        if (!facts.anyClosing)
            return damaged("it holds no run of the setup");
        return facts;
    }
    facts.runFound = true;
    facts.startTime = LineAt(gbk, start).time;
    for (size_t pos = start; pos < gbk.size();) {
        Line line = LineAt(gbk, pos);
        if (line.text.compare(0, kCommandLine.size(), kCommandLine) == 0 && facts.commandLine.empty()) {
            facts.commandLine = GbkToUtf8(line.text.substr(kCommandLine.size()));
        } else if (line.text.compare(0, kClosing.size(), kClosing) == 0) {
            facts.closed = Code(line.text, &facts.closingCode);
        } else if (line.text.compare(0, kUndo.size(), kUndo) == 0) {
            facts.undidCutRun = true;
        }
        size_t end = gbk.find('\n', pos);
        pos = end == std::string::npos ? gbk.size() : end + 1;
    }
    facts.silent = HasSwitch(facts.commandLine, "/S");
    facts.check = HasSwitch(facts.commandLine, "/CHECK");
    facts.rollback = HasSwitch(facts.commandLine, "/ROLLBACK");
    return facts;
}

SetupLogFacts ReadSetupLog(const std::string& path)
{
    std::string bytes;
    FileReading reading = ReadCollectedFile(path, "SetUp.log", &bytes);
    if (!reading.Ok()) {
        SetupLogFacts facts;
        facts.reading = reading;
        return facts;
    }
    return ParseSetupLog(bytes);
}
