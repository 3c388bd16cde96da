#include "platform/strings.h"

#include <windows.h>

namespace zor::platform {

bool findStringBlock(int blockId, const uint16_t** units, uint32_t* unitCount) {
    // No language named: the resource loader picks the user's language with its own fallback.
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(blockId), MAKEINTRESOURCEA(6));
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    *units = static_cast<const uint16_t*>(data);
    *unitCount = SizeofResource(nullptr, found) / 2;
    return true;
}

} // namespace zor::platform
