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
const std::string kRelease = "安装文件版本：";
const std::string kReportFile = "报告文件：";

// The lines that say why a run ended, GBK as the setup writes them; weight
// 2: the line says it decided the end; 1: a wait that may have passed; 0: the
// last box the silent run answered or only wrote down.
struct ReasonMarker {
    const char* text;
    bool anywhere; // found anywhere in the line, not only at its start
    int weight;
    const char* kind;
};
const ReasonMarker kReasonMarkers[] = {
    {"静默安装：控制程序在", false, 2, "control program"},
    {"静默安装：另一个安装程序在", false, 2, "another setup"},
    {"另一个安装程序正在运行，用户取消", false, 2, "another setup"},
    {"安装记录无法写入", false, 2, "drive"},
    {"安装记录无法读取", false, 2, "record"},
    {"，保存的参数保留在", true, 2, "file"},
    {"文件被占用，未删除：", false, 2, "file"},
    {"未能恢复", false, 2, "file"},
    {"数据文件未能全部恢复", false, 2, "file"},
    {"原来的版本未能完全恢复", false, 2, "file"},
    {"保留的版本不完整", false, 2, "file"},
    {"安装程序位于将被替换的目录中", false, 2, "setup file"},
    {"参数无法保留的配置：", false, 2, "configuration"},
    {"新版本的 setup.cfg 中的 Path 不能使用", false, 2, "setup.cfg"},
    {"命令行无法识别", false, 2, "command line"},
    {"没有保留的上一版本", false, 2, "nothing kept"},
    {"控制程序正在运行", false, 1, "control program"},
    {"安装目录中的程序仍在运行：", false, 1, "control program"},
    {"另一个安装程序正在运行", false, 1, "another setup"},
    {"静默安装，自动回答CANCEL：", false, 0, "message"},
    {"静默安装，未显示的消息：", false, 0, "message"},
};

const int kNoReason = -1;

// The marker a line's text carries, or null.
const ReasonMarker* MarkerOf(const std::string& text)
{
    for (const ReasonMarker& marker : kReasonMarkers) {
        size_t n = strlen(marker.text);
        if (marker.anywhere ? text.find(marker.text) != std::string::npos : text.compare(0, n, marker.text) == 0)
            return &marker;
    }
    return nullptr;
}

bool ChangesTheRelease(const LogRun& run)
{
    if (!run.closed || run.check)
        return false;
    switch (run.closingCode) {
    case 0: case 1: case 8: case 10: case 3010: return true;
    default: return false;
    }
}

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

    // One pass, run after run: each run's release, its end and the line that
    // decided it.
    LogRun run;
    std::string lastLine; // the run's last line, GBK
    int reasonWeight = kNoReason;
    bool undid = false;
    auto finish = [&]() {
        if (!run.found)
            return;
        run.silent = HasSwitch(run.commandLine, "/S");
        run.check = HasSwitch(run.commandLine, "/CHECK");
        run.rollback = HasSwitch(run.commandLine, "/ROLLBACK");
        // A wait that held a run which then went on decided nothing.
        if (reasonWeight == 1 && run.closed && run.closingCode != 2 && run.closingCode != 15 && run.closingCode != 1618)
            run.reason = Reason();
        // A run cut short: where it stopped tells how far it got (an update
        // already whole, or one the next start undoes).
        if (!run.closed)
            run.reason = {"last line", GbkToUtf8(lastLine)};
        // The box that ended a run over a setup file that cannot be used.
        if (run.reason.kind == "message" && run.closed && run.closingCode == 3)
            run.reason.kind = "setup file";
        (run.check ? facts.lastCheck : facts.lastUpdate) = run;
        // A second /ROLLBACK swaps back to the update's release.
        if (ChangesTheRelease(run))
            facts.rolledBack = run.rollback && !facts.rolledBack;
    };
    for (size_t pos = 0; pos < gbk.size();) {
        size_t end = gbk.find('\n', pos);
        Line line = LineAt(gbk, pos);
        pos = end == std::string::npos ? gbk.size() : end + 1;
        const std::string& text = line.text;
        if (text.compare(0, kStarted.size(), kStarted) == 0) {
            finish();
            size_t order = run.order + 1;
            run = LogRun();
            run.found = true;
            run.order = order;
            run.startTime = line.time;
            lastLine = text;
            reasonWeight = kNoReason;
            undid = false;
        } else if (text.compare(0, kClosing.size(), kClosing) == 0) {
            long code = 0;
            bool known = Code(text, &code);
            facts.anyClosing = known;
            facts.lastClosingCode = code;
            facts.lastClosingTime = line.time;
            if (run.found) {
                run.closed = known;
                run.closingCode = code;
            }
        } else if (!run.found) {
            continue;
        } else if (text.empty()) {
            continue;
        } else if (text.compare(0, kCommandLine.size(), kCommandLine) == 0 && run.commandLine.empty()) {
            lastLine = text;
            run.commandLine = GbkToUtf8(text.substr(kCommandLine.size()));
        } else if (text.compare(0, kReportFile.size(), kReportFile) == 0) {
            lastLine = text;
            run.reports.push_back(text.substr(text.find_last_of("\\/") + 1));
            facts.namesReports = true;
        } else if (text.compare(0, kRelease.size(), kRelease) == 0 && run.release.empty()) {
            // "安装文件版本：<release>，摘要 <digest>（<path>）"
            lastLine = text;
            std::string rest = text.substr(kRelease.size());
            const std::string digestMark = "，摘要 ";
            size_t at = rest.rfind(digestMark);
            run.release = GbkToUtf8(rest.substr(0, at));
            if (at != std::string::npos) {
                std::string digest = rest.substr(at + digestMark.size(), 32);
                if (digest.find_first_not_of("0123456789abcdef") == std::string::npos && digest.size() == 32)
                    run.digest = digest;
            }
        } else {
            lastLine = text;
            if (text.compare(0, kUndo.size(), kUndo) == 0)
                undid = true;
            const ReasonMarker* marker = MarkerOf(text);
            // Once the run has closed, what follows is its clean-up.
            if (marker && !run.closed && marker->weight >= reasonWeight) {
                reasonWeight = marker->weight;
                run.reason = {marker->kind, GbkToUtf8(text)};
            }
        }
    }
    bool lastIsRun = run.found;
    finish();
    if (!lastIsRun) {
        // Emptied at its size limit in the middle of a run: what is left is
        // that run's end.
        if (!facts.anyClosing)
            return damaged("it holds no run of the setup");
        return facts;
    }
    facts.runFound = true;
    facts.startTime = run.startTime;
    facts.commandLine = run.commandLine;
    facts.silent = run.silent;
    facts.check = run.check;
    facts.rollback = run.rollback;
    facts.closed = run.closed;
    facts.closingCode = run.closingCode;
    facts.undidCutRun = undid;
    return facts;
}

Reason ReasonOfCheckLines(const std::vector<std::string>& lines)
{
    // The check report's own lines, UTF-8 as the JSON gives them; the first
    // line that refuses the update decides, the dropped values only warn.
    struct Mark {
        const char* text;
        bool anywhere;
        const char* kind;
    };
    static const Mark kMarks[] = {
        {u8"安装记录无法读取", false, "record"},
        {u8"安装文件：无法使用", false, "setup file"},
        {u8"新版本：无法读取", false, "setup file"},
        {u8"控制程序：正在运行", false, "control program"},
        {u8"另一个安装程序", false, "another setup"},
        {u8"不能使用", true, "setup.cfg"},
        {u8"：参数无法读取", true, "configuration"},
        {u8"空间不足", true, "drive"},
        {u8"保留的目录不存在：", false, "file"},
        {u8"保留的上一版本：记录无法读取", false, "record"},
        {u8"保留的上一版本：没有", false, "nothing kept"},
        {u8"  丢弃（新版本没有此成员）：", false, "values dropped"},
        {u8"：新版本没有此配置或其格式", true, "values dropped"},
    };
    for (const Mark& mark : kMarks)
        for (const std::string& line : lines)
            if (mark.anywhere ? line.find(mark.text) != std::string::npos
                              : line.compare(0, strlen(mark.text), mark.text) == 0)
                return {mark.kind, line};
    return Reason();
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
