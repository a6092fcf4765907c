/* A DLL that someone left beside the setup program. */
__declspec(dllexport) int TlxPlanted(void) { return 1; }
