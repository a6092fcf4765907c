#include "RunStateFile.h"

#include <cstdlib>
#include <map>

#include "platform/TextEncoding.h"

namespace {
using Section = std::map<std::string, std::string>;

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Trimmed(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The value of the first key of keys found in the section, or empty.
std::string Value(const std::map<std::string, Section>& sections, const char* section,
                  std::initializer_list<const char*> keys)
{
    auto s = sections.find(Lower(section));
    if (s == sections.end())
        return std::string();
    for (const char* key : keys) {
        auto v = s->second.find(Lower(key));
        if (v != s->second.end() && !v->second.empty())
            return v->second;
    }
    return std::string();
}

// Values are GBK as the setup writes them; one already in UTF-8 stays.
std::string Text(const std::string& value) { return IsValidUtf8(value) ? value : GbkToUtf8(value); }

ReleaseFacts Release(const std::map<std::string, Section>& sections, const char* section)
{
    ReleaseFacts facts;
    facts.present = sections.count(Lower(section)) != 0;
    facts.name = Text(Value(sections, section, {"Name", "ReleaseName", "Release"}));
    facts.digest = Text(Value(sections, section, {"Digest", "ReleaseDigest"}));
    facts.time = Text(Value(sections, section, {"Time", "InstalledAt"}));
    return facts;
}

RunStateFacts Damaged(RunStateFacts facts, const std::string& problem)
{
    facts.reading.state = FileState::damaged;
    facts.reading.problem = facts.reading.file + " is damaged: " + problem;
    return facts;
}
} // namespace

RunStateFacts ParseRunState(const std::string& text, const std::string& name)
{
    RunStateFacts facts;
    facts.reading.file = name;
    facts.reading.state = FileState::ok;
    if (Trimmed(text).empty())
        return Damaged(facts, "it is empty");
    if (text.find('\0') != std::string::npos)
        return Damaged(facts, "it is not text");
    std::map<std::string, Section> sections;
    std::string current;
    size_t lineNumber = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line = line.substr(3);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return Damaged(facts, "line " + std::to_string(lineNumber) + " opens a section it does not close");
            current = Lower(Trimmed(line.substr(1, line.size() - 2)));
            sections[current];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            return Damaged(facts, "line " + std::to_string(lineNumber) + " is not a key=value line");
        sections[current][Lower(Trimmed(line.substr(0, eq)))] = Trimmed(line.substr(eq + 1));
    }
    facts.installed = Release(sections, "Installed");
    facts.kept = Release(sections, "Kept");
    facts.staged = Release(sections, "Staged");
    // The last run: its own section, or the registry's names where a later
    // state keeps them elsewhere.
    facts.lastTime = Value(sections, "LastRun", {"Time"});
    facts.lastOutcome = Text(Value(sections, "LastRun", {"Outcome"}));
    std::string code = Value(sections, "LastRun", {"ExitCode"});
    for (const auto& section : sections) {
        auto find = [&](const char* key) {
            auto v = section.second.find(Lower(key));
            return v == section.second.end() ? std::string() : v->second;
        };
        if (facts.lastTime.empty())
            facts.lastTime = find("LastRun");
        if (facts.lastOutcome.empty())
            facts.lastOutcome = Text(find("LastOutcome"));
        if (code.empty())
            code = find("LastExitCode");
    }
    if (!facts.installed.present && !facts.kept.present && facts.lastTime.empty() && code.empty())
        return Damaged(facts, "it holds neither [Installed] nor [LastRun]");
    if (!code.empty()) {
        char* rest = nullptr;
        long value = strtol(code.c_str(), &rest, 10);
        if (*rest != '\0')
            return Damaged(facts, "its exit code \"" + Text(code) + "\" is not a number");
        facts.exitCodeKnown = true;
        facts.exitCode = value;
    }
    facts.lastRunKnown = !facts.lastTime.empty() || !facts.lastOutcome.empty() || facts.exitCodeKnown;
    return facts;
}

RunStateFacts ReadRunState(const std::string& path)
{
    std::string bytes;
    FileReading reading = ReadCollectedFile(path, "SetupState.ini", &bytes);
    if (!reading.Ok()) {
        RunStateFacts facts;
        facts.reading = reading;
        return facts;
    }
    return ParseRunState(bytes);
}
