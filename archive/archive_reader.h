// Read-only access to single-volume ZIP archives (stored and deflated entries), from a file or
// from a block of memory, with the archive possibly preceded by other bytes.
#pragma once

#include "common/packed_file.h"
#include "common/text.h"
#include "platform/files.h"

#include <cstdint>
#include <vector>

namespace zor {

// Raised by the reader; `code` is one of the values below or a (negative) zlib status.
struct ArchiveError {
    int code;
};

constexpr int ARCHIVE_BAD_ARCHIVE = 101;
constexpr int ARCHIVE_BAD_CRC = 102;
constexpr int ARCHIVE_BAD_PASSWORD = 110;
constexpr int ARCHIVE_NO_CENTRAL_DIRECTORY = 116;

// What the reader needs from its storage: length, seek, position and reads of up to n bytes.
class ArchiveStorage {
public:
    virtual ~ArchiveStorage() = default;
    virtual int64_t length() = 0;
    virtual bool seek(int64_t offset, platform::SeekOrigin origin) = 0;
    virtual int64_t tell() = 0;
    // Bytes read; fewer than asked at the end of the data.
    virtual int32_t read(void* buffer, int32_t count) = 0;
};

// A seekable view over a byte block. An attached block belongs to the caller. A block held in
// an encoded form is decoded as it is read, so that no decoded copy of the whole block exists.
class MemoryFile : public ArchiveStorage {
public:
    // Decodes `size` bytes of the block into `out`; byte by byte, so any window decodes alike.
    using Decode = void (*)(const void* encoded, size_t size, void* out);

    char* buffer = nullptr;
    int64_t dataSize = 0;
    int64_t bufferSize = 0;
    int64_t position = 0;
    int32_t growStep = 1024;
    bool ownsBuffer = false;
    Decode decode = nullptr; // null: the block holds the bytes as they are

    MemoryFile() = default;
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile() override { detach(); }

    void attach(const void* block, int64_t size, Decode decoder = nullptr);
    // Forgets the block, freeing it only when the view owns it.
    void detach();

    int64_t length() override { return dataSize; }
    bool seek(int64_t offset, platform::SeekOrigin origin) override;
    int64_t tell() override { return position; }
    int32_t read(void* out, int32_t count) override;
};

// The central-directory fields of one entry, in the order the format lists them.
struct ArchiveEntryHeader {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t modificationTime = 0;
    uint16_t modificationDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    ByteBuffer name;
    ByteBuffer extra;
    ByteBuffer comment;
};

// The classic end record as stored; a Zip64 archive keeps its saturated values here.
struct ArchiveEndRecord : EndRecord {
    ByteBuffer comment;
};

class ArchiveReader {
public:
    ArchiveReader() = default;
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    ~ArchiveReader();

    // Both raise ArchiveError; a failed open leaves the reader closed.
    void openFile(const char* path);
    void openMemory(MemoryFile* file);
    void close();
    bool isOpen() const { return storage != nullptr; }

    int32_t entryCount() const { return static_cast<int32_t>(headers.size()); }
    // Names carry "\" wherever the archive stores "/".
    const ArchiveEntryHeader& header(int32_t n) const { return headers[static_cast<size_t>(n)]; }
    const ArchiveEndRecord& endRecord() const { return end; }
    uint32_t bytesBeforeArchive() const { return prefixBytes; }
    // Bytes of the storage, prefix included; 0 when closed.
    int64_t storageLength() const { return storage ? storage->length() : 0; }

    // False when n is out of range or an entry is already open; raises ArchiveError on a bad
    // local header, an encrypted entry or an unsupported method.
    bool openEntry(int32_t n);
    // Bytes produced into `out`: 0 without an open entry, a null buffer or a zero count.
    int32_t read(void* out, int32_t count);
    // 1 when the entry was read to its end and its CRC-32 matched, -1 when bytes were left
    // unread. Raises 102 on a CRC mismatch. The entry is closed in every case.
    int closeEntry();
    // Closes the current entry without any check; for error paths.
    void abandonEntry();
    bool entryIsOpen() const { return current.open; }
    // Where the open entry's data begins in the storage; -1 without an open entry.
    int64_t entryDataOffset() const { return current.open ? current.dataAt : -1; }

private:
    struct CurrentEntry {
        bool open = false;
        int32_t number = -1;
        int64_t dataAt = -1;
        uint32_t compressedLeft = 0;
        uint32_t uncompressedLeft = 0;
        uint32_t crc = 0;
        bool inflating = false;
        ByteBuffer localExtra;
    };

    ArchiveStorage* storage = nullptr;
    ArchiveStorage* ownedStorage = nullptr;
    uint32_t prefixBytes = 0;
    ArchiveEndRecord end;
    // The directory as the end records give it (the Zip64 one where present).
    int32_t directoryEntries = 0;
    int32_t directoryLength = 0;
    int64_t directoryStart = 0; // behind prefixBytes
    std::vector<ArchiveEntryHeader> headers;
    CurrentEntry current;
    void* stream = nullptr; // z_stream, kept opaque so that users need no zlib headers
    unsigned char* readBuffer = nullptr;

    void openStorage();
    void findEndRecord(int64_t length);
    int64_t findZip64Record(int64_t recordPosition);
    void readExact(void* out, int32_t count);
    void seekTo(int64_t offset);
    void readCentralDirectory();
    static void applyZip64Extra(ArchiveEntryHeader& h);
    int32_t readStored(unsigned char* out, int32_t count);
    int32_t readDeflated(unsigned char* out, int32_t count);
    int32_t refill();
};

} // namespace zor
