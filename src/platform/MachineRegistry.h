// Values under HKEY_LOCAL_MACHINE, where deployment engines look for what is
// installed. A 32-bit program on 64-bit Windows writes to the 32-bit view
// (Software\WOW6432Node\...), which is where such engines look for a 32-bit
// product. Windows only.
#pragma once
#include <string>
#include <vector>

struct RegistryValue {
    std::string name;
    std::string text;            // REG_SZ, unless isNumber
    bool isNumber = false;
    unsigned long number = 0;    // REG_DWORD
};

// Creates HKLM\subKey when needed and writes every value. False (and the
// Win32 error in *error) when the key cannot be opened for writing or a value
// is not written; the values before it stay written.
bool WriteMachineRegistryValues(const std::string& subKey, const std::vector<RegistryValue>& values,
                                unsigned long* error);
