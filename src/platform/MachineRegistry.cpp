#include "platform/MachineRegistry.h"

#include <windows.h>

bool WriteMachineRegistryValues(const std::string& subKey, const std::vector<RegistryValue>& values,
                                unsigned long* error)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, &key, nullptr);
    for (size_t i = 0; rc == ERROR_SUCCESS && i < values.size(); ++i) {
        const RegistryValue& value = values[i];
        if (value.isNumber) {
            DWORD number = value.number;
            rc = RegSetValueExA(key, value.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                sizeof number);
        } else {
            rc = RegSetValueExA(key, value.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                                static_cast<DWORD>(value.text.size() + 1));
        }
    }
    if (key)
        RegCloseKey(key);
    if (error)
        *error = static_cast<unsigned long>(rc);
    return rc == ERROR_SUCCESS;
}
