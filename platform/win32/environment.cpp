#include "platform/environment.h"

#include <windows.h>

namespace zor::platform {

bool getEnvironment(const char* name, ByteString& value) {
    value.clear();
    if (!name || !*name)
        return false;
    int32_t room = MAX_PATH;
    while (true) {
        value.resize(room);
        SetLastError(ERROR_SUCCESS);
        DWORD n = GetEnvironmentVariableA(name, value.data, static_cast<DWORD>(room));
        if (n == 0) {
            // 0 also stands for a variable that is defined with an empty value.
            value.clear();
            return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        }
        if (n < static_cast<DWORD>(room)) {
            value.resize(static_cast<int32_t>(n));
            return true;
        }
        room = static_cast<int32_t>(n); // the size needed, terminator included
    }
}

bool setEnvironment(const char* name, const char* value) {
    return name && *name && SetEnvironmentVariableA(name, value) != 0;
}

} // namespace zor::platform
