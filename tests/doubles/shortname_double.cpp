// Asks the system for the short (8.3) name of each path on the command line
// and prints one per line, or "-" where it has none: end-to-end cases spell
// setup.cfg's Path as the running system would (Wine hashes its short names).
//   double_shortname.exe PATH...
#include <cstdio>
#include <windows.h>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        char out[MAX_PATH] = {0};
        DWORD n = GetShortPathNameA(argv[i], out, MAX_PATH);
        printf("%s\n", n == 0 || n >= MAX_PATH ? "-" : out);
    }
    return 0;
}
