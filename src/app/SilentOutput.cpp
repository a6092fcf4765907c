#include "app/SilentOutput.h"

#include "logs/SetupLog.h"
#include "platform/Console.h"

void TellSilently(const std::string& line)
{
    // A line that missed SetUp.log has been echoed to the output already.
    if (WriteLogLine(line))
        WriteToStarter(line + "\n");
}
