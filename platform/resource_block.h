// Layout of the resource block that stands in for PE resources in Linux executables.
//
// zorpack writes the block between the ELF image and the appended archive, which must stay
// last. The block ends right where the archive begins:
//
//   entry*   : type (u32 LE), id (u32 LE), size (u32 LE), then `size` bytes
//   trailer  : count (u32 LE), block size including the trailer (u32 LE), RESOURCE_BLOCK_MAGIC
#pragma once

#include <cstdint>

namespace zor {

constexpr char RESOURCE_BLOCK_MAGIC[8] = {'Z', 'O', 'R', 'R', 'S', 'R', 'C', '1'};
constexpr uint32_t RESOURCE_BLOCK_TRAILER_SIZE = 16;
constexpr uint32_t RESOURCE_BLOCK_ENTRY_HEADER_SIZE = 12;

// Finds resource `id` of `type` in the block of an executable image of `imageSize` bytes: the
// block ends where the appended archive begins, which the archive's end record (the one
// nearest the end whose block is intact) gives. Any malformed image is "not found".
bool findResourceInImage(const unsigned char* image, uint64_t imageSize, uint32_t type, uint32_t id,
                         const unsigned char** data, uint32_t* size);

} // namespace zor
