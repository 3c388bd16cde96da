#include "platform/library.h"

#include "platform/files.h"
#include "platform/trace.h"

#include <cstring>
#include <dlfcn.h>

namespace zor::platform {

const bool NATIVES_NEED_BINDING = true;

void quietLoadErrors() {}

void* loadLibrary(const char* path) {
    // dlopen("") would hand back the program itself; an empty path names no library.
    if (!path || !*path)
        return nullptr;
    void* library = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
    if (!library && tracing())
        trace("cannot load %s: %s", path, dlerror());
    return library;
}

void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void freeLibrary(void* library) {
    dlclose(library);
}

namespace {

// ELF identification, class, byte order and machine: the bytes that must agree for dlopen.
bool readElfIdentity(const char* path, unsigned char identity[20]) {
    File file;
    return file.openRead(path) && file.read(identity, 20) == 20 &&
           std::memcmp(identity,
                       "\x7f"
                       "ELF",
                       4) == 0;
}

} // namespace

bool libraryMatchesProcess(const char* path) {
    unsigned char library[20];
    unsigned char own[20];
    if (!path || !readElfIdentity(path, library) || !readElfIdentity("/proc/self/exe", own))
        return false;
    return library[4] == own[4] && library[5] == own[5] && library[18] == own[18] &&
           library[19] == own[19];
}

} // namespace zor::platform
