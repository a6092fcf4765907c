#include "params/CarryReport.h"

#include <algorithm>

#include "format/FmtNameParser.h"
#include "platform/File.h"
#include "platform/StringUtil.h"

namespace {
bool IsHeader(const AmendEntry& entry) { return !entry.key.empty() && entry.key[0] == '['; }

bool ReadText(const std::string& path, std::string& text)
{
    std::vector<unsigned char> bytes;
    bool read = ReadWholeFile(path, bytes);
    text.assign(bytes.begin(), bytes.end());
    return read;
}
} // namespace

CarryReport BuildCarryReport(const std::string& configuration, std::string_view saved, std::string_view target,
                             const std::vector<std::string>& declared)
{
    CarryReport report;
    report.configuration = configuration;
    // Every saved line takes part in the merge, whatever its section.
    AmendEntries savedValues;
    for (AmendEntry& entry : ParseAmendEntries(saved))
        if (!IsHeader(entry))
            savedValues.push_back(std::move(entry));
    AmendEntries kept = savedValues;
    FilterByDeclaredNames(declared, kept);
    // The filter keeps entries in order and decides by key and value alone,
    // so the kept ones are found again by walking both lists.
    size_t k = 0;
    for (const AmendEntry& entry : savedValues) {
        if (k < kept.size() && kept[k].key == entry.key && kept[k].value == entry.value) {
            ++k;
            ++report.carried;
        } else if (!IsExcludedMember(TopLevelMember(entry.key))) {
            report.dropped.push_back(entry);
        }
    }

    AmendEntries controller, other;
    ParseControllerSection(target, controller, other);
    std::vector<std::string> savedKeys;
    savedKeys.reserve(savedValues.size());
    for (const AmendEntry& entry : savedValues)
        savedKeys.push_back(entry.key);
    std::sort(savedKeys.begin(), savedKeys.end());
    AmendEntries fresh;
    for (const AmendEntry& entry : controller)
        if (!IsHeader(entry) && !std::binary_search(savedKeys.begin(), savedKeys.end(), entry.key))
            fresh.push_back(entry);
    FilterByDeclaredNames(declared, fresh);
    report.added = std::move(fresh);
    return report;
}

bool ReadCarryReport(const std::string& configuration, const std::string& savedPath, const std::string& targetPath,
                     const std::string& formatPath, CarryReport& report)
{
    std::string format, saved, target;
    if (!ReadText(formatPath, format))
        return false;
    CFmtNameParser names;
    names.SetFieldName("CController");
    if (!names.ScanText(format.data(), format.size(), formatPath) || !names.m_bFieldFound)
        return false;
    ReadText(savedPath, saved);
    ReadText(targetPath, target);
    report = BuildCarryReport(configuration, saved, target, names.m_names);
    return true;
}

std::string CarryReportCounts(const CarryReport& report)
{
    return StrPrintf("配置%s：迁移%lu个值，丢弃%lu个值，新成员%lu个", report.configuration.c_str(),
                     static_cast<unsigned long>(report.carried), static_cast<unsigned long>(report.dropped.size()),
                     static_cast<unsigned long>(report.added.size()));
}

std::vector<std::string> CarryReportLines(const CarryReport& report)
{
    std::vector<std::string> lines{CarryReportCounts(report)};
    for (const AmendEntry& entry : report.dropped)
        lines.push_back("  丢弃（新版本没有此成员）：" + entry.key + " = " + entry.value);
    for (const AmendEntry& entry : report.added)
        lines.push_back("  新成员（保留新版本的默认值）：" + entry.key + " = " + entry.value);
    return lines;
}
