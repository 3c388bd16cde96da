#include "platform/library.h"

#include <windows.h>

namespace zor::platform {

const bool NATIVES_NEED_BINDING = false;

void quietLoadErrors() {
    UINT old = SetErrorMode(0);
    SetErrorMode(old | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void* loadLibrary(const char* path) {
    if (!path || !*path)
        return nullptr;
    return LoadLibraryA(path);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace zor::platform
