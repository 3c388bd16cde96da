#include "platform/library.h"

#include "platform/files.h"
#include "platform/trace.h"

#include <windows.h>

#include <cstring>

namespace zor::platform {

const bool NATIVES_NEED_BINDING = false;

void quietLoadErrors() {
    UINT old = SetErrorMode(0);
    SetErrorMode(old | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void* loadLibrary(const char* path) {
    if (!path || !*path)
        return nullptr;
    HMODULE library = LoadLibraryA(path);
    if (!library && tracing()) {
        DWORD code = GetLastError();
        char text[512] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text, nullptr);
        text[std::strcspn(text, "\r\n")] = 0;
        trace("cannot load %s: error %lu: %s", path, static_cast<unsigned long>(code), text);
    }
    return library;
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

namespace {

// The machine field of the PE image whose first bytes are `header`, or 0.
WORD machineOf(const unsigned char* header, int32_t size) {
    if (size < 0x40 || header[0] != 'M' || header[1] != 'Z')
        return 0;
    DWORD peOffset;
    std::memcpy(&peOffset, header + 0x3C, sizeof peOffset);
    if (peOffset > static_cast<DWORD>(size) - 6 || std::memcmp(header + peOffset, "PE\0\0", 4) != 0)
        return 0;
    WORD machine;
    std::memcpy(&machine, header + peOffset + 4, sizeof machine);
    return machine;
}

} // namespace

bool libraryMatchesProcess(const char* path) {
    // The headers of every PE file written by a linker lie within the first 4 KB.
    unsigned char header[4096];
    File file;
    if (!path || !file.openRead(path))
        return false;
    int32_t size = file.read(header, sizeof header);
    WORD machine = machineOf(header, size);
    const unsigned char* own = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
    return machine != 0 && machine == machineOf(own, sizeof header);
}

} // namespace zor::platform
