#include "ReportFile.h"

#include <cstdlib>
#include <map>

#include "logs/ReportNames.h"
#include "platform/DirectoryEntries.h"
#include "platform/Json.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"

size_t ReportFacts::Dropped() const
{
    size_t n = 0;
    for (const ConfigurationCarry& c : configurations)
        n += c.dropped.size();
    return n;
}

size_t ReportFacts::Added() const
{
    size_t n = 0;
    for (const ConfigurationCarry& c : configurations)
        n += c.added.size();
    return n;
}

long ReportFacts::Carried() const
{
    long n = 0;
    for (const ConfigurationCarry& c : configurations)
        n += c.carried;
    return n;
}

namespace {
ReportFacts Damaged(const std::string& name, const std::string& problem)
{
    ReportFacts facts;
    facts.reading.file = name;
    facts.reading.state = FileState::damaged;
    facts.reading.problem = name + " is damaged: " + problem;
    return facts;
}

// "<kind>-YYYYMMDD-HHMMSS..." as "YYYY-MM-DD HH:MM:SS", or empty.
std::string TimeOfName(const std::string& name)
{
    size_t dash = name.find('-');
    if (dash == std::string::npos || name.size() < dash + 16 || name[dash + 9] != '-')
        return std::string();
    std::string d = name.substr(dash + 1, 8), t = name.substr(dash + 10, 6);
    if (d.find_first_not_of("0123456789") != std::string::npos || t.find_first_not_of("0123456789") != std::string::npos)
        return std::string();
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + " " + t.substr(0, 2) + ":" + t.substr(2, 2) +
           ":" + t.substr(4, 2);
}

bool Entries(const JsonValue* list, const char* valueKey, std::vector<std::pair<std::string, std::string>>* out)
{
    if (!list || list->type != JsonValue::array)
        return false;
    for (const JsonValue& item : list->items) {
        const JsonValue* name = item.Find("name");
        const JsonValue* value = item.Find(valueKey);
        if (!name || name->type != JsonValue::string || !value || value->type != JsonValue::string)
            return false;
        out->emplace_back(name->text, value->text);
    }
    return true;
}
} // namespace

ReportFacts ParseReportJson(const std::string& text, const std::string& name)
{
    JsonValue doc;
    std::string error;
    if (!ParseJson(text, &doc, &error))
        return Damaged(name, "not JSON (" + error + ")");
    const JsonValue* kind = doc.Find("report");
    if (doc.type != JsonValue::object || !kind || kind->type != JsonValue::string)
        return Damaged(name, "not a report (no \"report\" member)");
    ReportFacts facts;
    facts.reading.file = name;
    facts.reading.state = FileState::ok;
    facts.fromJson = true;
    facts.time = TimeOfName(name);
    if (const JsonValue* code = doc.Find("exitCode")) {
        if (code->IsInteger()) {
            facts.exitCodeKnown = true;
            facts.exitCode = static_cast<long>(code->numberValue);
        } else if (code->type != JsonValue::null) {
            return Damaged(name, "its exitCode is not a whole number");
        }
    }
    // Members of later releases; absent or null in earlier reports.
    auto member = [&](const char* key, std::string* out) {
        if (const JsonValue* v = doc.Find(key); v && v->type == JsonValue::string)
            *out = v->text;
    };
    member("outcome", &facts.outcome);
    member("release", &facts.release);
    member("digest", &facts.digest);
    member("time", &facts.writtenAt);
    member("computer", &facts.computer);
    if (const JsonValue* unreadable = doc.Find("unreadable"); unreadable && unreadable->type != JsonValue::null &&
                                                                !Entries(unreadable, "dataFile", &facts.unreadable))
        return Damaged(name, "its unreadable configurations are not a list of names and data files");
    if (const JsonValue* lines = doc.Find("lines"); lines && lines->type == JsonValue::array)
        for (const JsonValue& line : lines->items)
            if (line.type == JsonValue::string)
                facts.lines.push_back(line.text);
    if (const JsonValue* verdict = doc.Find("verdict"); verdict && verdict->type == JsonValue::string)
        facts.verdict = verdict->text;
    const JsonValue* configurations = doc.Find("configurations");
    if (configurations && configurations->type != JsonValue::array)
        return Damaged(name, "its configurations are not a list");
    for (size_t i = 0; configurations && i < configurations->items.size(); ++i) {
        const JsonValue& item = configurations->items[i];
        const JsonValue* config = item.Find("name");
        const JsonValue* carried = item.Find("carried");
        ConfigurationCarry carry;
        if (!config || config->type != JsonValue::string || !carried || !carried->IsInteger() ||
            !Entries(item.Find("dropped"), "value", &carry.dropped) || !Entries(item.Find("new"), "default", &carry.added))
            return Damaged(name, "configuration " + std::to_string(i + 1) + " is incomplete");
        carry.name = config->text;
        carry.carried = static_cast<long>(carried->numberValue);
        facts.configurations.push_back(std::move(carry));
    }
    return facts;
}

ReportFacts ParseReportText(const std::string& gbk, const std::string& name)
{
    // The setup's own texts, GBK as in the file.
    const std::string counts = "配置", counted = "：迁移", dropped = "  丢弃（新版本没有此成员）：",
                      added = "  新成员（保留新版本的默认值）：", verdict = "结论：";
    if (gbk.find('\0') != std::string::npos)
        return Damaged(name, "it is not text");
    ReportFacts facts;
    facts.reading.file = name;
    facts.reading.state = FileState::ok;
    facts.time = TimeOfName(name);
    size_t lines = 0;
    for (size_t pos = 0; pos < gbk.size();) {
        size_t end = gbk.find('\n', pos);
        if (end == std::string::npos)
            end = gbk.size();
        std::string line = gbk.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        ++lines;
        facts.lines.push_back(GbkToUtf8(line));
        auto entry = [&](const std::string& prefix) {
            std::string rest = line.substr(prefix.size());
            size_t eq = rest.find(" = ");
            return eq == std::string::npos ? std::make_pair(GbkToUtf8(rest), std::string())
                                           : std::make_pair(GbkToUtf8(rest.substr(0, eq)), GbkToUtf8(rest.substr(eq + 3)));
        };
        size_t mark = line.find(counted);
        if (line.compare(0, counts.size(), counts) == 0 && mark != std::string::npos) {
            ConfigurationCarry carry;
            carry.name = GbkToUtf8(line.substr(counts.size(), mark - counts.size()));
            carry.carried = strtol(line.c_str() + mark + counted.size(), nullptr, 10);
            facts.configurations.push_back(std::move(carry));
        } else if (line.compare(0, dropped.size(), dropped) == 0 && !facts.configurations.empty()) {
            facts.configurations.back().dropped.push_back(entry(dropped));
        } else if (line.compare(0, added.size(), added) == 0 && !facts.configurations.empty()) {
            facts.configurations.back().added.push_back(entry(added));
        } else if (line.compare(0, verdict.size(), verdict) == 0) {
            facts.verdict = GbkToUtf8(line);
        }
    }
    if (lines == 0)
        return Damaged(name, "it is empty");
    if (facts.configurations.empty() && facts.verdict.empty())
        return Damaged(name, "it holds neither a carry report nor a verdict");
    return facts;
}

ReportFacts ReadNewestReport(const std::string& dir, const std::string& kind)
{
    std::map<std::string, std::map<std::string, std::string>> runs; // sort key -> extension -> name
    for (const char* pattern : {"-*.json", "-*.txt"})
        ForEachEntry(dir, (kind + pattern).c_str(), [&](const DirectoryEntry& entry) {
            if (!entry.IsDirectory()) {
                std::string extension = entry.name.substr(entry.name.find_last_of('.'));
                runs[RunReportSortKey(entry.name)][extension] = entry.name;
            }
            return true;
        });
    if (runs.empty()) {
        ReportFacts none;
        none.reading.file = kind + "-*";
        none.reading.problem = "no " + kind;
        return none;
    }
    const auto& newest = runs.rbegin()->second;
    ReportFacts facts;
    std::string damage;
    for (const char* extension : {".json", ".txt"}) {
        auto file = newest.find(extension);
        if (file == newest.end())
            continue;
        std::string bytes;
        FileReading reading = ReadCollectedFile(JoinPath(dir, file->second), file->second, &bytes);
        if (!reading.Ok()) {
            facts = ReportFacts();
            facts.reading = reading;
        } else {
            facts = extension == std::string(".json") ? ParseReportJson(bytes, file->second)
                                                       : ParseReportText(bytes, file->second);
        }
        if (facts.reading.Ok())
            break;
        // The text beside a damaged JSON still tells the counts; the page
        // says which was damaged.
        if (damage.empty())
            damage = facts.reading.problem;
    }
    if (!damage.empty() && facts.reading.Ok())
        facts.reading.problem = damage + "; read from " + facts.reading.file;
    return facts;
}
