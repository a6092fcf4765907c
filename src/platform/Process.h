// Starting programs: and waiting for them, and this process's own facts.
#pragma once
#include <string>
#include <vector>

#include "platform/HeldFile.h"

// Starts program with no command line, shown, and waits for its end. False
// when it could not be started; otherwise *exitCode is its exit code.
bool StartAndWait(const std::string& program, unsigned long* exitCode);
// The same for a sealed HeldFile, which stays held (no other process may
// write or delete it) while the program starts and runs.
bool StartAndWait(const HeldFile& program, unsigned long* exitCode);
// As StartAndWait, with arguments after the program's quoted path; the
// program starts hidden. False when it could not be started. Windows only.
bool StartAndWaitWithArguments(const HeldFile& program, const std::string& arguments, unsigned long* exitCode);

// Full path of the running program, or empty.
std::string RunningProgramPath();

// The full image paths of the other processes of the machine, in every
// session, as far as this process may read them: a process whose path cannot
// be read is left out.
std::vector<std::string> OtherProcessImagePaths();

// True in session 0, where services run and no one sees a window.
bool InServiceSession();

// This process's id.
int CurrentProcessId();

// Standard output takes bytes as they are (no LF to CR LF on Windows).
void SetStdoutBinary();

// Milliseconds on a clock that only goes forward (since some fixed point).
unsigned long long ElapsedMilliseconds();
// Lets this thread sleep that long.
void SleepMilliseconds(unsigned ms);
