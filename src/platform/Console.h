// Text for whoever started this program, which is a GUI program without a
// console of its own: a deployment engine that gave it a standard output (a
// pipe or a file) reads it there; a command prompt that started it shows it
// in its console. Windows only.
#pragma once
#include <string>

// Writes text (line breaks as LF; CR LF is written) to the standard output
// this process was given, or else to the console of the process that started
// it. False when there is neither.
bool WriteToStarter(const std::string& text);
