// Builds executable images the way zorpack lays them out: program bytes, resource block,
// then a ZIP archive whose comment runs to the end of the file.
#pragma once

#include "platform/resource_block.h"
#include "support/zip_bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zor::test {

struct ResourceEntry {
    uint32_t type;
    uint32_t id;
    std::string bytes;
};

inline std::string resourceBlock(const std::vector<ResourceEntry>& entries) {
    std::string block;
    for (const ResourceEntry& e : entries)
        block +=
            u32le(e.type) + u32le(e.id) + u32le(static_cast<uint32_t>(e.bytes.size())) + e.bytes;
    uint32_t total = static_cast<uint32_t>(block.size()) + RESOURCE_BLOCK_TRAILER_SIZE;
    block += u32le(static_cast<uint32_t>(entries.size())) + u32le(total);
    block.append(RESOURCE_BLOCK_MAGIC, sizeof(RESOURCE_BLOCK_MAGIC));
    return block;
}

} // namespace zor::test
