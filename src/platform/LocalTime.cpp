#include "platform/LocalTime.h"

#include <cstdio>

bool LocalTimeOf(time_t now, struct tm* local)
{
#ifdef _WIN32
    return localtime_s(local, &now) == 0;
#else
    return localtime_r(&now, local) != nullptr;
#endif
}

std::string LocalTimeText()
{
    struct tm local = {};
    if (!LocalTimeOf(time(nullptr), &local))
        return std::string();
    char buf[32];
    size_t n = strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(buf, n);
}

std::string LocalTimeIso8601()
{
    time_t now = time(nullptr);
    struct tm local = {}, utc = {};
    if (!LocalTimeOf(now, &local))
        return std::string();
#ifdef _WIN32
    bool haveUtc = gmtime_s(&utc, &now) == 0;
#else
    bool haveUtc = gmtime_r(&now, &utc) != nullptr;
#endif
    if (!haveUtc)
        return std::string();
    // The offset from the two broken-down times (strftime's %z names the
    // zone instead on some C runtimes).
    long days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        days = local.tm_year > utc.tm_year ? 1 : -1;
    long minutes = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    char buf[40];
    size_t n = strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    long whole = minutes < 0 ? -minutes : minutes;
    snprintf(buf + n, sizeof buf - n, "%c%02ld:%02ld", minutes < 0 ? '-' : '+', whole / 60, whole % 60);
    return buf;
}
