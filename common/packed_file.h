// What the launcher and zorpack both know of a packed executable's bytes: the ZIP end record
// that closes the appended archive, little-endian fields, the scrambling of the application
// archive, the resource ids and the size limits. Portable and free of platform code, so that
// zorpack uses it without any platform implementation.
#pragma once

#include "common/text.h"

#include <cstddef>
#include <cstdint>

namespace zor {

// Resources of a packed executable: real PE resources on Windows, the resource block on Linux.
constexpr uint32_t RESOURCE_TYPE_BITMAP = 2;
constexpr uint32_t RESOURCE_TYPE_RCDATA = 10;
constexpr uint32_t APP_ARCHIVE_ID = 128; // RCDATA: the application archive, scrambled
constexpr uint32_t SPLASH_BITMAP_ID = 100;
constexpr uint32_t RUNTIME_IMAGE_ID = 129; // RCDATA: a Java runtime image, as it is

// A runtime image is a ZIP archive of a Java runtime's files, named relative to the runtime's
// home with '/', sorted by name, deflated, each with its Unix mode in the upper half of the
// external attributes. Its comment is RUNTIME_IMAGE_COMMENT and the content hash: lower-case
// hex digits that depend only on the files' names and bytes, never on how they were
// compressed. The launcher unpacks the image once per user into a folder named by that hash.
constexpr char RUNTIME_IMAGE_COMMENT[] = "zor runtime image ";
constexpr int RUNTIME_IMAGE_HASH_DIGITS = 16;

// The configuration text is the appended archive's comment; the launcher reads no more of it.
constexpr int64_t CONFIG_TEXT_LIMIT = 51200;
// The longest manifest either side reads: a longer one is damage, not a manifest.
constexpr int32_t MANIFEST_SIZE_LIMIT = 1 << 24;

// The ZIP end-of-central-directory record and the longest comment it can announce.
constexpr int64_t END_RECORD_SIZE = 22;
constexpr int64_t END_RECORD_MAX_COMMENT = 65535;

struct EndRecord {
    uint16_t diskNumber = 0, directoryDisk = 0, entriesOnDisk = 0, entryCount = 0;
    uint32_t directorySize = 0, directoryOffset = 0;
    uint16_t commentLength = 0;
};

inline uint16_t read16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t read32(const unsigned char* p) {
    return static_cast<uint32_t>(read16(p)) | static_cast<uint32_t>(read16(p + 2)) << 16;
}
inline uint64_t read64(const unsigned char* p) {
    return static_cast<uint64_t>(read32(p)) | static_cast<uint64_t>(read32(p + 4)) << 32;
}
inline void write16(unsigned char* p, uint16_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}
inline void write32(unsigned char* p, uint32_t value) {
    write16(p, static_cast<uint16_t>(value));
    write16(p + 2, static_cast<uint16_t>(value >> 16));
}

// The offset of the last end-record signature that starts in [lowest, before), or -1; the four
// bytes at every such offset must be readable. Each reader keeps its own rule on top, on
// purpose:
// - the configuration reader takes the first hit within the last 22 + CONFIG_TEXT_LIMIT bytes
//   and everything behind it as the text, as the launcher always has (so zorpack refuses
//   configuration text that holds the signature);
// - the resource block takes the first hit whose directory fits and whose block trailer sits
//   where the archive begins: it must find its own block, not merely some archive;
// - the ZIP reader prefers the nearest hit whose comment length reaches exactly to the end,
//   so that comment bytes that look like a signature cannot hide the real record;
// - zorpack takes the first hit, then demands a record without comment at the very end.
int64_t lastEndSignature(const unsigned char* bytes, int64_t before, int64_t lowest);
// The lowest offset at which a record with at most `maxComment` bytes behind it can start.
inline int64_t endRecordLowest(int64_t size, int64_t maxComment) {
    return size - END_RECORD_SIZE - maxComment > 0 ? size - END_RECORD_SIZE - maxComment : 0;
}
// The fixed fields of the record whose signature is at `p`; END_RECORD_SIZE bytes are read.
EndRecord readEndRecord(const unsigned char* p);
// Where the archive whose record is at `recordAt` begins, by its directory's size and offset;
// -1 when they reach beyond the record.
inline int64_t archiveStart(const EndRecord& r, int64_t recordAt) {
    int64_t directory = static_cast<int64_t>(r.directorySize) + r.directoryOffset;
    return directory > recordAt ? -1 : recordAt - directory;
}

// Archive names end in ".jar" or ".zip", in any letter case. The class path takes every such
// file of a library folder, one named just ".jar" too; an archive nested in another (which
// zorpack writes as lib/NAME.jar) needs a name before the extension.
bool hasArchiveExtension(const char* name, size_t length);
inline bool isNestedArchiveName(const char* name, size_t length) {
    return length >= 5 && hasArchiveExtension(name, length);
}
// The value of a hex digit, or -1.
inline int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The application archive is stored with every byte rotated right by two bits.
void scrambleArchive(const void* plain, size_t size, void* out);
void unscrambleArchive(const void* scrambled, size_t size, void* out);

} // namespace zor
