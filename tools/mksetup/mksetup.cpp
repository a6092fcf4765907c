// The release engineer's tool: appends a package and its trailer to the
// setup program, checks a finished setup file, signed or not, and checks a
// release's setup.cfg with the setup's own rule. The setup file is read and
// written in pieces through one fixed buffer (constant memory).
//   mksetup PROGRAM PACKAGE OUT
//   mksetup --check [--signed] FILE
//   mksetup --check-cfg SETUP_CFG
#include <cstdio>
#include <cstring>
#include <string>

#include "locations/ProductTreeCheck.h"
#include "messages/Messages.h"
#include "platform/File.h"
#include "platform/Profile.h"
#include "platform/TerminalText.h"
#include "setupfile/SetupImage.h"

namespace {
int Usage()
{
    fprintf(stderr,
            "usage: mksetup PROGRAM PACKAGE OUT         write PROGRAM, PACKAGE and the package trailer to OUT\n"
            "       mksetup --check [--signed] FILE     verify a setup file (--signed: it must be signed)\n"
            "       mksetup --check-cfg SETUP_CFG       check a release's setup.cfg as the setup will\n");
    return 2;
}

int CheckFile(const char* path, bool mustBeSigned)
{
    uint32_t offset = 0, size = 0;
    std::string reason;
    bool isSigned = false;
    if (!CheckSetupFile(path, &offset, &size, &reason, &isSigned)) {
        fprintf(stderr, "%s: bad setup file: %s\n", path, reason.c_str());
        return 1;
    }
    if (mustBeSigned && !isSigned) {
        fprintf(stderr, "%s: not signed (whole, but it has no certificate table)\n", path);
        return 1;
    }
    printf("%s: ok%s, package offset %lu, package size %lu\n", path, isSigned ? " (signed)" : "",
           static_cast<unsigned long>(offset), static_cast<unsigned long>(size));
    return 0;
}

// The release's [Settings] Path through the setup's own check, refused with
// the setup's own message (its first line: the second says that the setup
// ends, which is the controller's business).
int CheckConfig(const char* path)
{
    if (!FileExists(path)) {
        fprintf(stderr, "mksetup: cannot open %s\n", path);
        return 1;
    }
    std::string value = ProfileGetString(path, "Settings", "Path");
    TreeRefusal refusal = CheckProductTreesOnControllers(value);
    if (refusal != TreeRefusal::None) {
        std::string text = ProductTreeRefusalText(path, value, refusal);
        WriteTerminalText(stderr, "mksetup: " + text.substr(0, text.find('\n')) + "\n");
        return 1;
    }
    printf("%s: ok, Path=%s\n", path, value.c_str());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--check") == 0)
        return CheckFile(argv[2], false);
    if (argc == 4 && strcmp(argv[1], "--check") == 0 && strcmp(argv[2], "--signed") == 0)
        return CheckFile(argv[3], true);
    if (argc == 3 && strcmp(argv[1], "--check-cfg") == 0)
        return CheckConfig(argv[2]);
    if (argc == 4 && argv[1][0] != '-') {
        std::string reason;
        if (!WriteSetupFile(argv[1], argv[2], argv[3], &reason)) {
            fprintf(stderr, "mksetup: %s\n", reason.c_str());
            return 1;
        }
        uint32_t offset = 0, size = 0;
        if (!CheckSetupFile(argv[3], &offset, &size, &reason)) {
            fprintf(stderr, "mksetup: %s does not verify: %s\n", argv[3], reason.c_str());
            return 1;
        }
        printf("%s: package offset %lu, package size %lu\n", argv[3], static_cast<unsigned long>(offset),
               static_cast<unsigned long>(size));
        return 0;
    }
    return Usage();
}
