#include "platform/strings.h"

#include "platform/resources.h"

namespace zor::platform {

bool findStringBlock(int blockId, const uint16_t** units, uint32_t* unitCount) {
    // No language named: the resource loader picks the user's language with its own fallback.
    const void* data = nullptr;
    uint32_t size = 0;
    if (!findOwnResource(RESOURCE_TYPE_STRING, blockId, &data, &size))
        return false;
    *units = static_cast<const uint16_t*>(data);
    *unitCount = size / 2;
    return true;
}

} // namespace zor::platform
