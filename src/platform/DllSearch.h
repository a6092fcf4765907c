// Where the process looks for the DLLs it loads at run time. A setup program
// is started from a download or USB directory that anyone may have written
// a DLL into: the search is restricted to the system directory before
// anything else runs.
#pragma once

enum class DllSearch {
    SystemOnly,              // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
    CurrentDirectoryRemoved, // SetDllDirectoryA(""), where the first is missing (Windows 7 without its update)
    Unrestricted,            // neither worked
};

// Restricts the DLL search of the whole process; SetDefaultDllDirectories is
// looked up at run time, as Windows 7 without KB2533623 lacks it.
DllSearch RestrictDllSearchToSystem();

