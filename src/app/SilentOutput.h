// What a run tells whoever started it: a line for the setup log that also
// goes to the starter's output. Below the windows and the operations alike,
// so that the machine's work can name what it waits for without reaching up
// into the window that drives it.
#pragma once
#include <string>

// Writes one line to the setup log and to the starter's output (once: a line
// that missed the setup log was echoed there already).
void TellSilently(const std::string& line);
