#include "common/packed_file.h"

#include <cstring>

namespace zor {

namespace {

constexpr uint32_t END_SIGNATURE = 0x06054b50;
constexpr unsigned SCRAMBLE_BITS = 2;

void rotateLeft(const void* in, size_t size, void* out, unsigned bits) {
    const auto* from = static_cast<const unsigned char*>(in);
    auto* to = static_cast<unsigned char*>(out);
    for (size_t i = 0; i < size; ++i)
        to[i] = static_cast<unsigned char>((from[i] << bits | from[i] >> (8 - bits)) & 0xFF);
}

} // namespace

bool hasArchiveExtension(const char* name, size_t length) {
    char tail[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && length >= 4; ++i)
        tail[i] = lowerAscii(name[length - 4 + i]);
    return std::memcmp(tail, ".jar", 4) == 0 || std::memcmp(tail, ".zip", 4) == 0;
}

int64_t lastEndSignature(const unsigned char* bytes, int64_t before, int64_t lowest) {
    for (int64_t at = before - 1; at >= lowest; --at)
        if (read32(bytes + at) == END_SIGNATURE)
            return at;
    return -1;
}

EndRecord readEndRecord(const unsigned char* p) {
    EndRecord r;
    r.diskNumber = read16(p + 4);
    r.directoryDisk = read16(p + 6);
    r.entriesOnDisk = read16(p + 8);
    r.entryCount = read16(p + 10);
    r.directorySize = read32(p + 12);
    r.directoryOffset = read32(p + 16);
    r.commentLength = read16(p + 20);
    return r;
}

void scrambleArchive(const void* plain, size_t size, void* out) {
    rotateLeft(plain, size, out, 8 - SCRAMBLE_BITS);
}

void unscrambleArchive(const void* scrambled, size_t size, void* out) {
    rotateLeft(scrambled, size, out, SCRAMBLE_BITS);
}

} // namespace zor
