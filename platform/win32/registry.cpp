#include "platform/registry.h"

#include <windows.h>

namespace zor::platform {

bool readLocalMachineValue(const char* key, const char* valueName, char* buffer, uint32_t* size) {
    if (!key || !buffer || !size || *size == 0)
        return false;
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    DWORD bytes = *size;
    LONG result = RegQueryValueExA(opened, valueName, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS)
        return false;
    // Callers read the value as text, but the registry does not promise a terminator: add one
    // when it is missing, and refuse a value that leaves no room for it.
    if (bytes == 0 || buffer[bytes - 1] != 0) {
        if (bytes >= *size)
            return false;
        buffer[bytes] = 0;
    }
    *size = bytes;
    return true;
}

bool listLocalMachineSubkeys(const char* key, StringList& names) {
    if (!key)
        return false;
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    // Key names are at most 255 characters.
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        LONG result =
            RegEnumKeyExA(opened, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        names.add(name, static_cast<int32_t>(length));
    }
    RegCloseKey(opened);
    return true;
}

} // namespace zor::platform
