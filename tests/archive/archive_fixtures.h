// Access to the archives that make_archives.sh writes before the archive tests run.
#pragma once

#include "common/text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zor::test {

// ZOR_ARCHIVE_FIXTURES names another build's fixture folder (the sanitizer builds use the
// linux build's rather than writing their own).
inline std::string fixture(const std::string& name) {
    if (const char* other = std::getenv("ZOR_ARCHIVE_FIXTURES"))
        return std::string(other) + "/" + name;
    return std::string(ZOR_BINARY_DIR) + "/tests/archive/fixtures/" + name;
}

inline std::string readWholeFile(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

// The packer's step for resource 128: every byte rotated right by two bits.
inline std::string scramble(const std::string& plain) {
    std::string out(plain.size(), '\0');
    for (size_t i = 0; i < plain.size(); ++i) {
        auto b = static_cast<unsigned char>(plain[i]);
        out[i] = static_cast<char>(((b >> 2) | (b << 6)) & 0xFF);
    }
    return out;
}

inline std::string text(const ByteBuffer& b) {
    return std::string(b.data, b.length);
}

} // namespace zor::test
