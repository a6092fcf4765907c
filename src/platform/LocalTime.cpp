#include "platform/LocalTime.h"

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
