// Little-endian access to byte images, with the bounds checks that untrusted input needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zor::pack {

using Bytes = std::vector<uint8_t>;

// A refusal: the message is shown to the user as it stands.
class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

inline bool fits(const Bytes& b, size_t offset, size_t length) {
    return offset <= b.size() && length <= b.size() - offset;
}

inline uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void append32(Bytes& b, uint32_t v) {
    size_t at = b.size();
    b.resize(at + 4);
    put32(b.data() + at, v);
}

inline uint32_t alignUp(uint32_t value, uint32_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

} // namespace zor::pack
