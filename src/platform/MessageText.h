// Message texts with the system's numbered inserts.
#pragma once
#include <string>

// pattern with "%1!s!" replaced by text and "%2!d!" by number, through the
// system's message formatter where there is one.
std::string FormatMessageInserts(const char* pattern, const std::string& text, long number);
