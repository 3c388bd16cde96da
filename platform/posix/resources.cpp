// Linux executables carry their resources in the block that zorpack places before the
// appended archive.
#include "platform/resources.h"

#include "platform/files.h"
#include "platform/resource_block.h"

namespace zor::platform {

namespace {

// Mapped once and never unmapped: callers keep pointers into it for the life of the process,
// and Java threads may still use them while the process exits.
const FileMapping* ownImage() {
    static const FileMapping* image = [] {
        FileMapping* mapping = new FileMapping;
        if (!mapping->map("/proc/self/exe"))
            mapping->unmap();
        return mapping;
    }();
    return image;
}

} // namespace

bool findOwnResource(int type, int id, const void** data, uint32_t* size) {
    const FileMapping* image = ownImage();
    if (!image->data() || type < 0 || id < 0)
        return false;
    const unsigned char* found = nullptr;
    if (!findResourceInImage(image->data(), static_cast<uint64_t>(image->size()),
                             static_cast<uint32_t>(type), static_cast<uint32_t>(id), &found, size))
        return false;
    *data = found;
    return true;
}

} // namespace zor::platform
