// A minimal setup program for tests and the benchmark: the package check and
// extraction of the real setup, without its dialog.
//   extract_probe.exe               check and run the package appended to itself
//   extract_probe.exe --bench FILE [N]  time the check of FILE N times (default 5)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

#include "deploy/Package.h"
#include "platform/MessageBox.h"

int main(int argc, char** argv)
{
    SetMessageHandler([](const std::string& text, unsigned) {
        fprintf(stderr, "message: %s\n", text.c_str());
        return IDOK;
    });
    if (argc >= 3 && strcmp(argv[1], "--bench") == 0) {
        int rounds = argc >= 4 ? atoi(argv[3]) : 5;
        WIN32_FILE_ATTRIBUTE_DATA info;
        if (!GetFileAttributesExA(argv[2], GetFileExInfoStandard, &info)) {
            fprintf(stderr, "cannot stat %s\n", argv[2]);
            return 1;
        }
        double mb = static_cast<double>(info.nFileSizeLow) / (1024.0 * 1024.0);
        LARGE_INTEGER freq, t0, t1;
        QueryPerformanceFrequency(&freq);
        double best = 1e9;
        for (int i = 0; i < rounds; ++i) {
            QueryPerformanceCounter(&t0);
            bool ok = VerifySetupFileAt(argv[2]);
            QueryPerformanceCounter(&t1);
            if (!ok) {
                fprintf(stderr, "%s does not verify\n", argv[2]);
                return 1;
            }
            double s = static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart;
            if (s < best)
                best = s;
        }
        printf("%.1f MB in %.3f s: %.1f MB/s (best of %d)\n", mb, best, mb / best, rounds);
        return 0;
    }
    PackageOutcome outcome = RunSetupPackage();
    if (!outcome.report.empty())
        fprintf(stderr, "message: %s\n", outcome.report.c_str());
    return outcome.kind == PackageOutcome::ran ? 0 : 1;
}
