// Test-side reader of a packed Linux executable: finds the appended archive from its end
// record and the resource block that ends where the archive begins.
#pragma once

#include "platform/resource_block.h"
#include "support/zip_bytes.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace zor::packtest {

using Bytes = std::vector<uint8_t>;

using zor::test::le32;

struct AppendedArchive {
    size_t start;           // first byte of the archive in the file
    size_t endRecord;       // offset of the end record
    uint16_t commentLength; // as the end record states it
    std::string comment;    // every byte behind the record
};

// The end record nearest the end of the file, as the launcher looks for it.
inline std::optional<AppendedArchive> findAppendedArchive(const Bytes& file) {
    if (file.size() < 22)
        return std::nullopt;
    size_t lowest = file.size() > 65557 ? file.size() - 65557 : 0;
    for (size_t at = file.size() - 22 + 1; at-- > lowest;) {
        if (std::memcmp(file.data() + at, "PK\5\6", 4) != 0)
            continue;
        const uint8_t* r = file.data() + at;
        uint32_t directorySize = le32(r + 12), directoryOffset = le32(r + 16);
        if (uint64_t(directorySize) + directoryOffset > at)
            return std::nullopt;
        AppendedArchive a;
        a.start = at - directorySize - directoryOffset;
        a.endRecord = at;
        a.commentLength = uint16_t(r[20] | (r[21] << 8));
        a.comment.assign(file.begin() + at + 22, file.end());
        return a;
    }
    return std::nullopt;
}

struct BlockEntry {
    uint32_t type, id;
    Bytes data;
};

struct ResourceBlock {
    size_t start; // first byte of the block
    std::vector<BlockEntry> entries;
};

// The resource block that ends at `end`, or nothing when none is there or it is damaged.
inline std::optional<ResourceBlock> readResourceBlock(const Bytes& file, size_t end) {
    if (end > file.size() || end < RESOURCE_BLOCK_TRAILER_SIZE)
        return std::nullopt;
    const uint8_t* trailer = file.data() + end - RESOURCE_BLOCK_TRAILER_SIZE;
    if (std::memcmp(trailer + 8, RESOURCE_BLOCK_MAGIC, 8) != 0)
        return std::nullopt;
    uint32_t count = le32(trailer), size = le32(trailer + 4);
    if (size < RESOURCE_BLOCK_TRAILER_SIZE || size > end)
        return std::nullopt;
    ResourceBlock block{end - size, {}};
    size_t at = block.start;
    size_t limit = end - RESOURCE_BLOCK_TRAILER_SIZE;
    for (uint32_t i = 0; i < count; ++i) {
        if (limit - at < RESOURCE_BLOCK_ENTRY_HEADER_SIZE)
            return std::nullopt;
        const uint8_t* h = file.data() + at;
        uint32_t length = le32(h + 8);
        at += RESOURCE_BLOCK_ENTRY_HEADER_SIZE;
        if (limit - at < length)
            return std::nullopt;
        block.entries.push_back({le32(h), le32(h + 4), Bytes(h + 12, h + 12 + length)});
        at += length;
    }
    if (at != limit)
        return std::nullopt;
    return block;
}

inline Bytes unscramble(const Bytes& data) {
    Bytes out(data.size());
    for (size_t i = 0; i < data.size(); ++i)
        out[i] = uint8_t((data[i] << 2) | (data[i] >> 6));
    return out;
}

} // namespace zor::packtest
