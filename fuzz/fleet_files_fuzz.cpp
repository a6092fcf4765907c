// fuzz-libs: tlx_fleet default
// fuzz-max-len: 8192
// The fleet page's readers on arbitrary bytes, as a collected file of any
// kind may hold them: the run state, the setup log, a report as JSON and as
// text, then a controller's conclusions from all four and its page. None may
// crash; a file not read says why; the page is UTF-8 and holds the row. And
// JSON: any text quoted by the writer parses back (well-formed UTF-8 as
// itself).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Controller.h"
#include "FleetPage.h"
#include "platform/Json.h"
#include "platform/TextEncoding.h"

namespace {
void Require(bool condition)
{
    if (!condition)
        abort();
}

void Said(const FileReading& reading) { Require(reading.Ok() || !reading.problem.empty()); }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Controller c;
    c.name = text.substr(0, 12);
    c.state = ParseRunState(text);
    c.log = ParseSetupLog(text);
    c.carry = ParseReportJson(text, "CarryReport-20261201-100000-01.json");
    c.check = ParseReportText(text, "CheckReport-20261201-100000-01.txt");
    Said(c.state.reading);
    Said(c.log.reading);
    Said(c.carry.reading);
    Said(c.check.reading);
    Conclude(c);
    std::string page = FleetPage({c}, {"collected", "now"});
    Require(IsValidUtf8(page));
    Require(page.find("<tr id=\"c-0\"") != std::string::npos);

    JsonValue value;
    std::string error;
    Require(ParseJson(JsonQuoted(text), &value, &error) && value.type == JsonValue::string);
    Require(IsValidUtf8(value.text));
    if (IsValidUtf8(text))
        Require(value.text == text);
    return 0;
}
