// The local time of day, the same way on both systems.
#pragma once
#include <ctime>

// The broken-down local time of now; false when the system cannot give it.
bool LocalTimeOf(time_t now, struct tm* local);
