#include "platform/library.h"

#include <dlfcn.h>

namespace zor::platform {

const bool NATIVES_NEED_BINDING = true;

void quietLoadErrors() {}

void* loadLibrary(const char* path) {
    // dlopen("") would hand back the program itself; an empty path names no library.
    if (!path || !*path)
        return nullptr;
    return dlopen(path, RTLD_NOW | RTLD_GLOBAL);
}

void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void freeLibrary(void* library) {
    dlclose(library);
}

} // namespace zor::platform
