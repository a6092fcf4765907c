// Starting a held program with arguments and waiting for it. Windows only.
#pragma once
#include <string>

class HeldFile;

// As StartAndWait, with arguments after the program's quoted path; the
// program starts hidden. False when it could not be started.
bool StartAndWaitWithArguments(const HeldFile& program, const std::string& arguments, unsigned long* exitCode);
