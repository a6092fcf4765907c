#include "platform/LocalTime.h"

bool LocalTimeOf(time_t now, struct tm* local)
{
#ifdef _WIN32
    return localtime_s(local, &now) == 0;
#else
    return localtime_r(&now, local) != nullptr;
#endif
}
