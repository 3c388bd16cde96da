// Reading the resource block from an executable's bytes. Portable, so that the packing tool
// and the tests of every target can use it; the input may be anything, so every offset is
// checked before it is read.
#include "platform/resource_block.h"

#include <cstring>

namespace zor {

namespace {

constexpr uint64_t END_RECORD_SIZE = 22;
constexpr uint64_t END_RECORD_WINDOW = END_RECORD_SIZE + 65535; // record + longest comment

uint32_t readU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The block that ends at `archiveStart`, if its trailer is intact: [*blockStart, entries end).
bool locateBlock(const unsigned char* image, uint64_t archiveStart, uint64_t* blockStart,
                 uint64_t* entriesEnd, uint32_t* count) {
    if (archiveStart < RESOURCE_BLOCK_TRAILER_SIZE)
        return false;
    const unsigned char* trailer = image + archiveStart - RESOURCE_BLOCK_TRAILER_SIZE;
    if (std::memcmp(trailer + 8, RESOURCE_BLOCK_MAGIC, sizeof(RESOURCE_BLOCK_MAGIC)) != 0)
        return false;
    uint32_t blockSize = readU32(trailer + 4);
    if (blockSize < RESOURCE_BLOCK_TRAILER_SIZE || blockSize > archiveStart)
        return false;
    *blockStart = archiveStart - blockSize;
    *entriesEnd = archiveStart - RESOURCE_BLOCK_TRAILER_SIZE;
    *count = readU32(trailer);
    return true;
}

} // namespace

bool findResourceInImage(const unsigned char* image, uint64_t imageSize, uint32_t type, uint32_t id,
                         const unsigned char** data, uint32_t* size) {
    if (!image || imageSize < END_RECORD_SIZE)
        return false;
    uint64_t lowest = imageSize > END_RECORD_WINDOW ? imageSize - END_RECORD_WINDOW : 0;
    // The end record nearest the end of the file; a signature that turns up inside the
    // archive comment leads to no valid block, and the search goes on below it.
    for (uint64_t at = imageSize - END_RECORD_SIZE + 1; at-- > lowest;) {
        const unsigned char* record = image + at;
        if (readU32(record) != 0x06054B50)
            continue;
        uint64_t directorySize = readU32(record + 12);
        uint64_t directoryOffset = readU32(record + 16);
        if (directorySize + directoryOffset > at)
            continue;
        uint64_t blockStart = 0, entriesEnd = 0;
        uint32_t count = 0;
        if (!locateBlock(image, at - directorySize - directoryOffset, &blockStart, &entriesEnd,
                         &count))
            continue;
        uint64_t position = blockStart;
        for (uint32_t i = 0; i < count; ++i) {
            if (entriesEnd - position < RESOURCE_BLOCK_ENTRY_HEADER_SIZE)
                return false;
            const unsigned char* header = image + position;
            uint32_t entrySize = readU32(header + 8);
            position += RESOURCE_BLOCK_ENTRY_HEADER_SIZE;
            if (entriesEnd - position < entrySize)
                return false;
            if (readU32(header) == type && readU32(header + 4) == id) {
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
