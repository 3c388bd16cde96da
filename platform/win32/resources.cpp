#include "platform/resources.h"

#include <windows.h>

namespace zor::platform {

bool findOwnResource(int type, int id, const void** data, uint32_t* size) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(self, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;
    *data = bytes;
    *size = SizeofResource(self, found);
    return true;
}

} // namespace zor::platform
