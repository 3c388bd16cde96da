// Byte images with the bounds checks that untrusted input needs; their little-endian fields
// are read and written with the packed-file module's functions.
#pragma once

#include "common/packed_file.h"
#include "common/text.h"

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

inline void append32(Bytes& b, uint32_t v) {
    size_t at = b.size();
    b.resize(at + 4);
    write32(b.data() + at, v);
}

inline std::string lowerCase(std::string s) {
    for (char& c : s)
        c = lowerAscii(c);
    return s;
}

// Without the spaces and tabs at either end.
inline std::string trimmed(const std::string& s) {
    size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

inline uint32_t alignUp(uint32_t value, uint32_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

} // namespace zor::pack
