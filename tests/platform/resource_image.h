// Builds executable images the way zorpack lays them out: program bytes, resource block,
// then a ZIP archive whose comment runs to the end of the file.
#pragma once

#include "platform/resource_block.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zor::test {

struct ResourceEntry {
    uint32_t type;
    uint32_t id;
    std::string bytes;
};

inline std::string u16le(uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string u32le(uint32_t v) {
    return u16le(v & 0xFFFF) + u16le(v >> 16);
}

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

// A ZIP archive with one stored entry; its offsets count from the archive's own start.
inline std::string zipArchive(const std::string& comment) {
    std::string name = "com/x.class", data = "payload";
    std::string local = u32le(0x04034B50) + u16le(20) + u16le(0) + u16le(0) + u32le(0) + u32le(0) +
                        u32le(7) + u32le(7) + u16le(11) + u16le(0) + name + data;
    std::string central = u32le(0x02014B50) + u16le(20) + u16le(20) + u16le(0) + u16le(0) +
                          u32le(0) + u32le(0) + u32le(7) + u32le(7) + u16le(11) + u16le(0) +
                          u16le(0) + u16le(0) + u16le(0) + u32le(0) + u32le(0) + name;
    std::string end = u32le(0x06054B50) + u16le(0) + u16le(0) + u16le(1) + u16le(1) +
                      u32le(static_cast<uint32_t>(central.size())) +
                      u32le(static_cast<uint32_t>(local.size())) +
                      u16le(static_cast<uint32_t>(comment.size())) + comment;
    return local + central + end;
}

} // namespace zor::test
