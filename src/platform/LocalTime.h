// The local time of day, the same way on both systems.
#pragma once
#include <ctime>
#include <string>

// The broken-down local time of now; false when the system cannot give it.
bool LocalTimeOf(time_t now, struct tm* local);
// Now as "YYYY-MM-DD HH:MM:SS" local time, or empty when it cannot be had.
std::string LocalTimeText();
// Now as ISO 8601 local time with its offset from UTC,
// "YYYY-MM-DDTHH:MM:SS+08:00", or empty when it cannot be had: a report read
// in another time zone still places itself.
std::string LocalTimeIso8601();
