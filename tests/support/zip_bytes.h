// Little-endian fields and small ZIP archives, laid out byte by byte here rather than by the
// code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zor::test {

inline std::string u16le(uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string u32le(uint32_t v) {
    return u16le(v & 0xFFFF) + u16le(v >> 16);
}

inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
}
inline uint32_t le32(const std::string& b, size_t at) {
    return le32(reinterpret_cast<const uint8_t*>(b.data()) + at);
}
// Overwrites four bytes of `b` (a string or a byte vector) at `at`, which must lie inside.
template <typename Bytes> void put32(Bytes& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<typename Bytes::value_type>((v >> (8 * i)) & 0xFF);
}

inline uint32_t crc32Of(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

using ZipEntry = std::pair<std::string, std::string>; // name, data

// A ZIP archive of stored entries; its offsets count from the archive's own start. The end
// record's comment length keeps the low 16 bits of the comment's size.
inline std::string zipArchive(const std::string& comment, const std::vector<ZipEntry>& entries) {
    std::string local, central;
    for (const auto& [name, data] : entries) {
        auto size = static_cast<uint32_t>(data.size());
        std::string common = u16le(0) + u16le(0) + u32le(0) + u32le(crc32Of(data)) + u32le(size) +
                             u32le(size) + u16le(static_cast<uint32_t>(name.size())) + u16le(0);
        central += u32le(0x02014B50) + u16le(20) + u16le(20) + common + u16le(0) + u16le(0) +
                   u16le(0) + u32le(0) + u32le(static_cast<uint32_t>(local.size())) + name;
        local += u32le(0x04034B50) + u16le(20) + common + name + data;
    }
    auto count = static_cast<uint32_t>(entries.size());
    std::string end = u32le(0x06054B50) + u16le(0) + u16le(0) + u16le(count) + u16le(count) +
                      u32le(static_cast<uint32_t>(central.size())) +
                      u32le(static_cast<uint32_t>(local.size())) +
                      u16le(static_cast<uint32_t>(comment.size())) + comment;
    return local + central + end;
}
inline std::string zipArchive(const std::string& comment, const std::string& name = "com/x.class",
                              const std::string& data = "payload") {
    return zipArchive(comment, {{name, data}});
}

} // namespace zor::test
