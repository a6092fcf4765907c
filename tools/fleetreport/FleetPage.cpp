#include "FleetPage.h"

#include <algorithm>
#include <map>

#include "platform/StringUtil.h"
#include "platform/TextEncoding.h"

namespace {
// The colour class of an outcome word, in the chart and the rows.
const char* Tone(const Controller& c)
{
    if (c.attention.urgency <= 5)
        return "bad";
    if (c.attention.urgency < kNoOneNeeded)
        return "warn";
    if (c.outcome == "no-run-recorded" || c.outcome == "no-files")
        return "none";
    return "good";
}

const char* OutcomeTone(const std::string& word)
{
    int urgency = UrgencyOfOutcome(word.c_str());
    if (word == "no-run-recorded")
        return "none";
    return urgency <= 5 ? "bad" : urgency < kNoOneNeeded ? "warn" : "good";
}

std::string Or(const std::string& text, const char* unknown) { return text.empty() ? unknown : text; }

std::string Release(const ReleaseFacts& r)
{
    if (!r.present)
        return "<span class=\"dim\">none</span>";
    std::string name = HtmlEscaped(Or(r.name, "unknown"));
    std::string digest = r.digest.size() > 8 ? r.digest.substr(0, 8) : r.digest;
    std::string out = "<span title=\"" + HtmlEscaped(r.digest + (r.time.empty() ? "" : ", " + r.time)) + "\">" + name;
    if (!digest.empty())
        out += " <code>" + HtmlEscaped(digest) + "</code>";
    return out + "</span>";
}

std::string Dropped(const Controller& c)
{
    if (!c.carry.reading.Ok())
        return "<span class=\"dim\">&ndash;</span>";
    size_t n = c.carry.Dropped();
    if (n == 0)
        return "0";
    std::string out = std::string("<details class=\"drop") + (c.carryIsCurrent ? "" : " stale") + "\"><summary>" +
                      std::to_string(n) +
                      "</summary><table><tr><th>configuration</th><th>value</th><th>old value</th></tr>";
    for (const ConfigurationCarry& config : c.carry.configurations)
        for (const auto& entry : config.dropped)
            out += "<tr><td>" + HtmlEscaped(config.name) + "</td><td><code>" + HtmlEscaped(entry.first) +
                   "</code></td><td class=\"old\">" + HtmlEscaped(entry.second) + "</td></tr>";
    return out + "</table></details>";
}

const char kBefore[] = "before the last run";

std::string Count(const Controller& c, long n)
{
    if (!c.carry.reading.Ok())
        return "<span class=\"dim\">&ndash;</span>";
    return c.carryIsCurrent ? std::to_string(n) : "<span class=\"stale\">" + std::to_string(n) + "</span>";
}

std::string ReleaseFor(const std::string& release, const std::string& digest)
{
    if (release.empty())
        return "<div class=\"for dim\">release not recorded</div>";
    std::string out = "<div class=\"for\" title=\"" + HtmlEscaped(digest) + "\">for " + HtmlEscaped(release);
    if (!digest.empty())
        out += " <code>" + HtmlEscaped(digest.substr(0, 8)) + "</code>";
    return out + "</div>";
}

// The reason's line, short enough for a cell; whole on hovering.
std::string ReasonCell(const Reason& reason)
{
    if (reason.kind.empty())
        return "<span class=\"dim\">&ndash;</span>";
    std::string line = reason.line;
    const size_t most = 90;
    if (line.size() > most) {
        size_t cut = most;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        line = line.substr(0, cut) + "\xE2\x80\xA6";
    }
    return "<span class=\"why\">" + HtmlEscaped(reason.kind) + "</span><div class=\"line\" title=\"" +
           HtmlEscaped(reason.line) + "\">" + HtmlEscaped(line) + "</div>";
}

std::string CheckCell(const Controller& c)
{
    if (!c.check.reading.Ok())
        return "<span class=\"dim\">&ndash;</span>";
    std::string verdict = c.check.verdict;
    const std::string prefix = u8"结论：";
    if (verdict.compare(0, prefix.size(), prefix) == 0)
        verdict = verdict.substr(prefix.size());
    std::string out = "<span title=\"" + HtmlEscaped(c.check.time) + "\"" + (c.checkIsCurrent ? "" : " class=\"stale\"") +
                      ">" + HtmlEscaped(Or(verdict, "no verdict"));
    if (c.check.exitCodeKnown)
        out += " <span class=\"code\">" + std::to_string(c.check.exitCode) + "</span>";
    out += "</span>";
    if (!c.checkIsCurrent)
        out += " <span class=\"mark\">" + std::string(kBefore) + "</span>";
    out += ReleaseFor(c.checkRelease, c.checkDigest);
    if (c.check.exitCodeKnown && c.check.exitCode != 0 && !c.checkReason.kind.empty())
        out += "<div class=\"line\" title=\"" + HtmlEscaped(c.checkReason.line) + "\"><span class=\"why\">" +
               HtmlEscaped(c.checkReason.kind) + "</span></div>";
    return out;
}

// Horizontal bars, one per outcome word, most controllers first.
std::string Chart(const std::vector<std::pair<std::string, std::pair<size_t, std::string>>>& counts, size_t total)
{
    const int barHeight = 24, gap = 8, labelWidth = 270, barWidth = 420;
    int height = static_cast<int>(counts.size()) * (barHeight + gap) + gap;
    std::string svg = StrPrintf("<svg class=\"chart\" role=\"img\" aria-label=\"controllers per outcome\" "
                                "width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">",
                                labelWidth + barWidth + 60, height, labelWidth + barWidth + 60, height);
    int y = gap;
    for (const auto& row : counts) {
        size_t n = row.second.first;
        int w = total ? std::max(2, static_cast<int>(barWidth * n / total)) : 0;
        svg += StrPrintf("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">", labelWidth - 10, y + barHeight - 7) +
               HtmlEscaped(row.first) + "</text>";
        svg += StrPrintf("<rect class=\"%s\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" rx=\"3\"/>",
                         row.second.second.c_str(), labelWidth, y, w, barHeight);
        svg += StrPrintf("<text x=\"%d\" y=\"%d\" class=\"n\">%lu</text>", labelWidth + w + 8, y + barHeight - 7,
                         static_cast<unsigned long>(n));
        y += barHeight + gap;
    }
    return svg + "</svg>";
}

const char kStyle[] = R"(
*{box-sizing:border-box}
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI","Microsoft YaHei","WenQuanYi Micro Hei",sans-serif;margin:0;color:#1d2733;background:#f3f5f8}
header{background:#1f3a5a;color:#fff;padding:18px 28px}
header h1{margin:0;font-size:22px;font-weight:600}
header p{margin:4px 0 0;color:#c9d6e6;font-size:13px}
.totals span{display:inline-block;background:#2d4d73;color:#fff;border-radius:12px;padding:2px 10px;margin:6px 8px 2px 0;font-size:13px}
main{padding:18px 28px 40px}
section{background:#fff;border:1px solid #dde3ea;border-radius:8px;padding:14px 18px;margin-bottom:18px}
h2{font-size:16px;margin:0 0 10px;font-weight:600}
.chart text{font-size:13px;fill:#1d2733}
.chart text.n{font-weight:600}
rect.good,.dot.good{fill:#2e8b57;background:#2e8b57}
rect.warn,.dot.warn{fill:#d99a1e;background:#d99a1e}
rect.bad,.dot.bad{fill:#c0392b;background:#c0392b}
rect.none,.dot.none{fill:#8a96a3;background:#8a96a3}
table{border-collapse:collapse;width:100%}
th,td{text-align:left;padding:6px 8px;border-bottom:1px solid #e6eaef;vertical-align:top}
th{font-weight:600;color:#4a5868;font-size:12px;text-transform:uppercase;letter-spacing:.03em;background:#f8fafc;position:sticky;top:0}
td.num,th.num{text-align:right}
tr.bad td:first-child{box-shadow:inset 4px 0 #c0392b}
tr.warn td:first-child{box-shadow:inset 4px 0 #d99a1e}
tr.good td:first-child{box-shadow:inset 4px 0 #2e8b57}
tr.none td:first-child{box-shadow:inset 4px 0 #8a96a3}
.dot{display:inline-block;width:10px;height:10px;border-radius:50%;margin-right:6px}
code{font:12px ui-monospace,Consolas,monospace;background:#eef1f5;padding:1px 4px;border-radius:3px}
.code{display:inline-block;min-width:22px;text-align:center;font-weight:600;border-radius:10px;padding:0 6px;background:#eef1f5}
.dim{color:#8a96a3}
.problem{color:#a93226;font-size:12px}
.problem::before{content:"\26A0  "}
details.drop summary{cursor:pointer;color:#a93226;font-weight:600}
details.drop table{margin-top:4px;font-size:12px;background:#fffaf3}
td.old{font-family:ui-monospace,Consolas,monospace}
#filter{font:inherit;padding:7px 10px;width:340px;border:1px solid #c4ccd6;border-radius:6px}
.bar{display:flex;align-items:center;gap:14px;margin-bottom:10px}
#shown{color:#4a5868}
.action{max-width:720px;margin:4px 0}
.stale{color:#8a96a3;font-style:italic}
.mark{display:inline-block;font-size:11px;color:#6b4e00;background:#fdf0c8;border-radius:8px;padding:0 6px;white-space:nowrap}
.for{font-size:12px;color:#4a5868}
.why{display:inline-block;font-size:12px;font-weight:600;color:#1f3a5a;background:#e3ecf7;border-radius:8px;padding:0 7px;white-space:nowrap}
.line{font-size:12px;color:#4a5868;max-width:320px;overflow-wrap:anywhere}
details.group{border-left:4px solid #8a96a3;padding:4px 10px;margin:6px 0;background:#f8fafc;border-radius:4px}
details.group.bad{border-color:#c0392b}
details.group.warn{border-color:#d99a1e}
details.group summary{cursor:pointer}
details.group summary .n{display:inline-block;min-width:40px;font-weight:700;font-size:15px}
details.group .names a{margin-right:8px;white-space:nowrap}
details.group .example{font-size:12px;color:#4a5868}
)";

const char kScript[] = R"(
(function(){
  var box=document.getElementById('filter'), rows=document.querySelectorAll('#fleet > tbody > tr'),
      shown=document.getElementById('shown');
  function apply(){
    var words=box.value.toLowerCase().split(/\s+/).filter(Boolean), n=0;
    for(var i=0;i<rows.length;i++){
      var text=rows[i].getAttribute('data-text'), hit=true;
      for(var k=0;k<words.length&&hit;k++) hit=text.indexOf(words[k])>=0;
      rows[i].hidden=!hit; if(hit) n++;
    }
    shown.textContent=n+' of '+rows.length+' shown';
  }
  // A link to the page may carry a filter: fleet.html#q=run-cut
  if(location.hash.indexOf('#q=')===0) box.value=decodeURIComponent(location.hash.slice(3));
  box.addEventListener('input',apply); apply();
})();
)";

std::string Lowered(std::string s)
{
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}
} // namespace

std::string HtmlEscaped(const std::string& text)
{
    std::string in = IsValidUtf8(text) ? text : GbkToUtf8(text);
    std::string out;
    out.reserve(in.size() + 8);
    for (char ch : in) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(ch);
        }
    }
    return out;
}

std::string FleetPage(const std::vector<Controller>& controllers, const PageHeading& heading)
{
    // Counts per outcome word, coloured by what the word itself means.
    std::map<std::string, std::pair<size_t, std::string>> byOutcome;
    for (const Controller& c : controllers) {
        auto& slot = byOutcome[c.outcome];
        ++slot.first;
        slot.second = OutcomeTone(c.outcome);
    }
    std::vector<std::pair<std::string, std::pair<size_t, std::string>>> counts(byOutcome.begin(), byOutcome.end());
    std::stable_sort(counts.begin(), counts.end(),
                     [](const auto& a, const auto& b) { return a.second.first > b.second.first; });

    std::vector<const Controller*> needy;
    for (const Controller& c : controllers)
        if (c.attention.urgency < kNoOneNeeded)
            needy.push_back(&c);
    std::stable_sort(needy.begin(), needy.end(),
                     [](const Controller* a, const Controller* b) { return a->attention.urgency < b->attention.urgency; });

    std::string page;
    page.reserve(4096 + controllers.size() * 1200);
    page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
            "<title>Tornelix fleet</title><style>";
    page += kStyle;
    size_t damaged = 0;
    for (const Controller& c : controllers)
        damaged += !c.problems.empty();
    page += "</style></head><body>\n<header><h1>Tornelix fleet: " + std::to_string(controllers.size()) +
            " controllers</h1><p class=\"totals\"><span>" + std::to_string(needy.size()) +
            " need someone</span><span>" + std::to_string(damaged) +
            " with files missing or damaged</span></p><p>Collected in " + HtmlEscaped(heading.collected) +
            " &middot; page written " + HtmlEscaped(heading.written) + "</p></header>\n<main>\n";

    page += "<section id=\"outcomes\"><h2>Last run per controller</h2>\n";
    page += Chart(counts, controllers.size()) + "\n</section>\n";

    // Grouped by what happened and why: one action per group, the
    // controllers named inside, opened on demand.
    struct Group {
        const Controller* first;
        std::vector<size_t> members;
    };
    std::vector<Group> groups;
    std::map<std::string, size_t> groupOf;
    for (const Controller* c : needy) {
        const OperatorAction& a = c->attention;
        std::string key = std::to_string(a.urgency) + "\n" + std::to_string(a.code) + "\n" + a.meaning + "\n" +
                          c->reason.kind;
        auto found = groupOf.emplace(key, groups.size());
        if (found.second)
            groups.push_back({c, {}});
        groups[found.first->second].members.push_back(static_cast<size_t>(c - controllers.data()));
    }
    // needy is in urgency order already; within one urgency the larger group first.
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        if (a.first->attention.urgency != b.first->attention.urgency)
            return a.first->attention.urgency < b.first->attention.urgency;
        return a.members.size() > b.members.size();
    });
    page += "<section id=\"needy\"><h2>Need someone first (" + std::to_string(needy.size()) + " controllers, " +
            std::to_string(groups.size()) + " groups)</h2>\n";
    if (needy.empty())
        page += "<p>No controller needs anyone.</p>";
    for (const Group& g : groups) {
        const Controller& c = *g.first;
        const OperatorAction& a = c.attention;
        std::string code = a.code < 0 ? "&ndash;" : std::to_string(a.code);
        page += "<details class=\"group " + std::string(Tone(c)) + "\" data-count=\"" + std::to_string(g.members.size()) +
                "\" data-code=\"" + (a.code < 0 ? std::string() : std::to_string(a.code)) + "\" data-reason=\"" +
                HtmlEscaped(c.reason.kind) + "\"><summary><span class=\"n\">" + std::to_string(g.members.size()) +
                "</span> <b>" + HtmlEscaped(a.meaning) + "</b> <span class=\"code\">" + code + "</span>";
        if (!c.reason.kind.empty())
            page += " <span class=\"why\">" + HtmlEscaped(c.reason.kind) + "</span>";
        page += "</summary><p class=\"action\">" + HtmlEscaped(a.action) + "</p>";
        if (!c.reason.line.empty())
            page += "<p class=\"example\">" + std::string(g.members.size() > 1 ? "e.g. " : "") +
                    HtmlEscaped(c.name) + ": " + HtmlEscaped(c.reason.line) + "</p>";
        page += "<p class=\"names\">";
        for (size_t i : g.members)
            page += "<a href=\"#c-" + std::to_string(i) + "\">" + HtmlEscaped(controllers[i].name) + "</a> ";
        page += "</p></details>\n";
    }
    page += "</section>\n";

    page += "<section><h2>Controllers</h2><div class=\"bar\"><input id=\"filter\" type=\"search\" "
            "placeholder=\"Filter: name, release, outcome, exit code, value...\" autocomplete=\"off\">"
            "<span id=\"shown\"></span></div>\n";
    page += "<table id=\"fleet\"><thead><tr><th>Controller</th><th>Installed</th><th>Kept</th><th>Last run</th>"
            "<th>Outcome</th><th class=\"num\">Exit</th><th>Reason</th><th class=\"num\">Carried</th>"
            "<th class=\"num\">Dropped</th><th class=\"num\">New</th><th>Latest /CHECK</th></tr></thead><tbody>\n";
    for (size_t i = 0; i < controllers.size(); ++i) {
        const Controller& c = controllers[i];
        std::string tone = Tone(c);
        std::string filterText = c.name + " " + c.state.installed.name + " " + c.state.installed.digest + " " +
                                 c.state.kept.name + " " + c.outcome + " exit " +
                                 (c.exitCodeKnown ? std::to_string(c.exitCode) : "unknown") + " " + tone + " " +
                                 c.check.verdict + " " + c.reason.kind + " " + c.reason.line + " " + c.runRelease +
                                 " " + c.checkRelease + (c.rolledBack ? " rolled-back" : "") +
                                 (c.state.staged.present
                                      ? " staged " + c.state.staged.name + " " + c.state.staged.digest
                                      : std::string()) +
                                 (c.carry.reading.Ok() && !c.carryIsCurrent ? std::string(" ") + kBefore : "") +
                                 (c.check.reading.Ok() && !c.checkIsCurrent ? std::string(" ") + kBefore : "");
        for (const ConfigurationCarry& config : c.carry.configurations)
            for (const auto& entry : config.dropped)
                filterText += " " + entry.first + " " + entry.second;
        for (const std::string& p : c.problems)
            filterText += " " + p;
        page += "<tr id=\"c-" + std::to_string(i) + "\" class=\"" + tone + "\" data-text=\"" +
                HtmlEscaped(Lowered(filterText)) + "\"><td><span class=\"dot " + tone + "\"></span><b>" +
                HtmlEscaped(c.name) + "</b>";
        for (const std::string& p : c.problems)
            page += "<div class=\"problem\">" + HtmlEscaped(p) + "</div>";
        page += "</td><td>" + Release(c.state.installed) +
                (c.state.staged.present ? "<div class=\"mark\">staged " + Release(c.state.staged) + "</div>"
                                        : std::string()) +
                "</td><td>" + Release(c.state.kept) + "</td><td>" +
                HtmlEscaped(Or(c.lastTime, "unknown")) + ReleaseFor(c.runRelease, c.runDigest) + "</td><td>" +
                HtmlEscaped(c.outcome) + (c.rolledBack ? " <span class=\"mark\">rolled back</span>" : "") +
                "</td><td class=\"num\"><span class=\"code\">" +
                (c.exitCodeKnown ? std::to_string(c.exitCode) : std::string("?")) + "</span></td><td>" +
                ReasonCell(c.attention.urgency < kNoOneNeeded ? c.reason : Reason()) + "</td><td class=\"num\">" +
                Count(c, c.carry.Carried()) +
                (c.carry.reading.Ok() && !c.carryIsCurrent ? "<div class=\"mark\">" + std::string(kBefore) + "</div>"
                                                           : std::string()) +
                "</td><td class=\"num\">" + Dropped(c) + "</td><td class=\"num\">" +
                Count(c, static_cast<long>(c.carry.Added())) + "</td><td>" + CheckCell(c) + "</td></tr>\n";
    }
    page += "</tbody></table></section>\n</main>\n<script>";
    page += kScript;
    page += "</script>\n</body></html>\n";
    return page;
}
