#include "app/CommandLine.h"

#include <cctype>
#include <vector>

#include "app/ExitCodes.h"

namespace {
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

// Decimal digits only, at most kMaxWaitSeconds.
bool ParseSeconds(const std::string& digits, unsigned* seconds)
{
    if (digits.empty() || digits.size() > 6)
        return false;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > kMaxWaitSeconds)
        return false;
    *seconds = value;
    return true;
}
} // namespace

SetupOptions ParseSetupCommandLine(const std::string& commandLine)
{
    SetupOptions options;
    bool noParams = false, waitGiven = false;
    for (const std::string& word : Words(commandLine)) {
        std::string upper = Upper(word);
        if (upper == "/S") {
            options.silent = true;
        } else if (upper == "/NOPARAMS") {
            noParams = true;
        } else if (upper == "/GOON") {
            options.goOnWithoutValues = true;
        } else if (upper.rfind("/WAIT=", 0) == 0) {
            waitGiven = true;
            if (!ParseSeconds(word.substr(6), &options.waitSeconds) && options.problem.empty())
                options.problem = "/WAIT needs a number of seconds from 0 to 86400: " + word;
        } else if (upper.rfind("/LOG=", 0) == 0) {
            options.logCopy = word.substr(5);
            if (options.logCopy.empty() && options.problem.empty())
                options.problem = "/LOG needs a file: " + word;
        } else if (upper == "/CHECK") {
            options.check = true;
        } else if (upper == "/NOKEEP") {
            options.keepPrevious = false;
        } else if (upper == "/REINSTALL") {
            options.reinstall = true;
        } else if (upper == "/ROLLBACK") {
            options.rollback = true;
        } else if (upper == "/STAGE") {
            options.stage = true;
        } else if (upper == "/ENGINECODES") {
            options.engineCodes = true;
        } else if (upper == "/?") {
            options.usageAsked = true;
        } else if (options.problem.empty()) {
            options.problem = "unknown argument: " + word;
        }
    }
    // Without /S a person answers the question and waits as long as needed:
    // a switch that means something only to a silent run is a mistake.
    if (options.problem.empty() && !options.silent &&
        (noParams || waitGiven || options.goOnWithoutValues || options.engineCodes || options.reinstall ||
         options.stage))
        options.problem = std::string(noParams              ? "/NOPARAMS"
                                      : options.stage       ? "/STAGE"
                                      : waitGiven           ? "/WAIT"
                                      : options.engineCodes ? "/ENGINECODES"
                                      : options.reinstall   ? "/REINSTALL"
                                                            : "/GOON") +
                          " is only understood with /S";
    // Going back installs nothing: the update's own switches would be ignored.
    if (options.problem.empty() && options.rollback &&
        (noParams || options.goOnWithoutValues || !options.keepPrevious || options.reinstall))
        options.problem = std::string(noParams                    ? "/NOPARAMS"
                                      : options.goOnWithoutValues ? "/GOON"
                                      : options.reinstall         ? "/REINSTALL"
                                                                  : "/NOKEEP") +
                          " is not understood with /ROLLBACK";
    // A stage changes nothing live: it is neither a check nor a swap.
    if (options.problem.empty() && options.stage && (options.check || options.rollback))
        options.problem = std::string(options.check ? "/CHECK" : "/ROLLBACK") + " is not understood with /STAGE";
    options.keepParameters = !noParams;
    return options;
}

std::string SetupUsageText()
{
    // Short enough that the usage, logged after a refused command line,
    // still fits the tail of the setup log that an engine shows.
    return "Setup.exe [/CHECK] [/S [/NOPARAMS] [/GOON] [/WAIT=seconds] [/ENGINECODES] [/REINSTALL]] | /?\n"
           "          [as above] /NOKEEP /LOG=file | [/CHECK] [/S [/WAIT=seconds] [/ENGINECODES]] /ROLLBACK | /S /STAGE\n"
           "\n"
           "  (none)          the setup in its window; it asks its questions\n"
           "  /S              silent: no window, no box; answers OK to the wipe warning,\n"
           "                  Yes to keeping the parameters, Cancel when some cannot be\n"
           "                  kept (9), to a held file (it stays old: 8) and to a failed\n"
           "                  package (the previous release comes back); every message\n"
           "                  goes to SetUp.log, which ends with the line of the exit code\n"
           "  /NOPARAMS       with /S: the parameters are not kept (amend files as shipped)\n"
           "  /GOON           with /S: go on without the values that cannot be kept (1)\n"
           "  /WAIT=seconds   with /S: how long to wait for the control program and for\n"
           "                  another setup (default 300, 0 to 86400; then 2 or 15,\n"
           "                  nothing changed) and for the driver installer (then 10)\n"
           "  /ENGINECODES    with /S (any form): 1618 try again later, 3010 in place,\n"
           "                  a restart completes it, 7 a service case (see below)\n"
           "  /REINSTALL      with /S: install even if this release is installed already;\n"
           "                  the release kept before it stays the one to go back to\n"
           "  /STAGE          with /S: lay the release beside the installation while the\n"
           "                  control program runs (nothing live changes; 0, 'staged');\n"
           "                  the next update of this file switches it in by renames\n"
           "  /LOG=file       this run's setup log lines written to file too (appended)\n"
           "  /CHECK          would the update (or /ROLLBACK) go through; nothing changed\n"
           "  /NOKEEP         the previous release is deleted at the end, not kept\n"
           "  /ROLLBACK       swap with the kept previous release (asks; /S: OK)\n"
           "  /?              this text\n"
           "\n"
           "Exit codes:\n"
           "  " + std::to_string(kExitSuccess) + "  the new release is in place (or was already: nothing changed)\n"
           "  " + std::to_string(kExitNotCarried) + "  in place; some configurations' values were not carried\n"
           "  " + std::to_string(kExitCancelled) + "  ended before anything was changed (cancelled, or the control program still ran)\n"
           "  " + std::to_string(kExitSetupFileUnusable) + "  the setup file cannot be read or its check fails; nothing changed\n"
           "  " + std::to_string(kExitRestored) + "  the update failed; the previous release is back\n"
           "  " + std::to_string(kExitNotRestored) + "  the update failed; the previous release is not wholly back\n"
           "  " + std::to_string(kExitBadArguments) + "  the command line was not understood; nothing changed\n"
           "  " + std::to_string(kExitServiceCase) + "  /ENGINECODES: nothing changed, a service case (without it 2)\n"
           "  " + std::to_string(kExitIncomplete) + "  /S: in place, but something was not done (see the setup log)\n"
           "  " + std::to_string(kExitValuesWouldBeLost) + "  /S: some configurations' values cannot be kept; nothing changed\n"
           "  " + std::to_string(kExitDriverWaitOver) + " /S: in place; the driver installer still ran after /WAIT\n"
           "  " + std::to_string(kExitReadyNotCarried) + " " + std::to_string(kExitNoSpace) +
           " /CHECK: ready but some values would not be carried; a drive lacks room\n"
           "  " + std::to_string(kExitNothingKept) + " " + std::to_string(kExitRollbackNotDone) +
           " /ROLLBACK: no kept release; it could not be put in place (nothing changed)\n"
           "  " + std::to_string(kExitOtherSetup) + " another setup still ran after /WAIT; nothing changed\n"
           "  " + std::to_string(kExitTryAgainLater) + " " + std::to_string(kExitRestartCompletes) +
           " /ENGINECODES: try again later (else 2 or 15); a restart completes it\n";
}
