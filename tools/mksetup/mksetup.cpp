// The release engineer's tool: appends a package and its trailer to the
// setup program, and checks a finished setup file, signed or not. Both read
// and write in pieces through one fixed buffer (constant memory).
//   mksetup PROGRAM PACKAGE OUT
//   mksetup --check FILE
#include <cstdio>
#include <cstring>
#include <string>

#include "setupfile/SetupImage.h"

namespace {
int Usage()
{
    fprintf(stderr,
            "usage: mksetup PROGRAM PACKAGE OUT   write PROGRAM, PACKAGE and the package trailer to OUT\n"
            "       mksetup --check FILE          verify a setup file (signed or not)\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--check") == 0) {
        uint32_t offset = 0, size = 0;
        std::string reason;
        bool isSigned = false;
        if (!CheckSetupFile(argv[2], &offset, &size, &reason, &isSigned)) {
            fprintf(stderr, "%s: bad setup file: %s\n", argv[2], reason.c_str());
            return 1;
        }
        printf("%s: ok%s, package offset %lu, package size %lu\n", argv[2], isSigned ? " (signed)" : "",
               static_cast<unsigned long>(offset), static_cast<unsigned long>(size));
        return 0;
    }
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
