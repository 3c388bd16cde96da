// Reading the resource block from an executable's bytes. Portable, so that the packing tool
// and the tests of every target can use it; the input may be anything, so every offset is
// checked before it is read.
#include "platform/resource_block.h"

#include "common/packed_file.h"

#include <cstring>

namespace zor {

bool findResourceInImage(const unsigned char* image, uint64_t imageSize, uint32_t type, uint32_t id,
                         const unsigned char** data, uint32_t* size) {
    if (!image)
        return false;
    int64_t length = static_cast<int64_t>(imageSize);
    int64_t lowest = endRecordLowest(length, END_RECORD_MAX_COMMENT);
    // The nearest end record whose block is intact (see lastEndSignature).
    for (int64_t at = lastEndSignature(image, length - END_RECORD_SIZE + 1, lowest); at >= 0;
         at = lastEndSignature(image, at, lowest)) {
        // The block's trailer ends where the archive begins.
        int64_t archiveAt = archiveStart(readEndRecord(image + at), at);
        if (archiveAt < RESOURCE_BLOCK_TRAILER_SIZE)
            continue;
        const unsigned char* trailer = image + archiveAt - RESOURCE_BLOCK_TRAILER_SIZE;
        uint32_t count = read32(trailer), blockSize = read32(trailer + 4);
        if (std::memcmp(trailer + 8, RESOURCE_BLOCK_MAGIC, sizeof(RESOURCE_BLOCK_MAGIC)) != 0 ||
            blockSize < RESOURCE_BLOCK_TRAILER_SIZE || blockSize > archiveAt)
            continue;
        uint64_t position = static_cast<uint64_t>(archiveAt - blockSize);
        uint64_t entriesEnd = static_cast<uint64_t>(archiveAt) - RESOURCE_BLOCK_TRAILER_SIZE;
        for (uint32_t i = 0; i < count; ++i) {
            if (entriesEnd - position < RESOURCE_BLOCK_ENTRY_HEADER_SIZE)
                return false;
            const unsigned char* header = image + position;
            uint32_t entrySize = read32(header + 8);
            position += RESOURCE_BLOCK_ENTRY_HEADER_SIZE;
            if (entriesEnd - position < entrySize)
                return false;
            if (read32(header) == type && read32(header + 4) == id) {
                *data = image + position;
                *size = entrySize;
                return true;
            }
            position += entrySize;
        }
        return false;
    }
    return false;
}

} // namespace zor
