#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include "platform/LocalTime.h"

// A report read in another time zone places itself by the offset: its sign
// and its half hours are where a slip would hide.
TEST(LocalTime, Iso8601CarriesTheOffsetFromUtc)
{
    const std::regex form(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
    EXPECT_TRUE(std::regex_match(LocalTimeIso8601(), form)) << LocalTimeIso8601();
#ifndef _WIN32
    // POSIX zones count the other way: "XYZ-05:30" is 5 h 30 ahead of UTC.
    const struct {
        const char* zone;
        const char* offset;
    } zones[] = {{"XYZ-05:30", "+05:30"}, {"XYZ+03:30", "-03:30"}, {"UTC0", "+00:00"}, {"XYZ-14", "+14:00"}};
    const char* was = getenv("TZ");
    std::string saved = was ? was : "";
    for (const auto& z : zones) {
        setenv("TZ", z.zone, 1);
        tzset();
        std::string now = LocalTimeIso8601();
        ASSERT_TRUE(std::regex_match(now, form)) << now;
        EXPECT_EQ(now.substr(19), z.offset) << z.zone;
    }
    if (was)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
#endif
}
