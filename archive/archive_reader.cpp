#include "archive/archive_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zor {

namespace {

constexpr uint32_t CENTRAL_SIGNATURE = 0x02014b50;
constexpr uint32_t LOCAL_SIGNATURE = 0x04034b50;
constexpr uint32_t ZIP64_END_SIGNATURE = 0x06064b50;
constexpr uint32_t ZIP64_LOCATOR_SIGNATURE = 0x07064b50;
constexpr int32_t ZIP64_END_SIZE = 56;
constexpr int32_t ZIP64_LOCATOR_SIZE = 20;
constexpr int32_t CENTRAL_HEADER_SIZE = 46;
constexpr int32_t LOCAL_HEADER_SIZE = 30;
constexpr int32_t READ_BUFFER_SIZE = 65536;
constexpr uint16_t FLAG_ENCRYPTED = 1;
constexpr uint16_t FLAG_DATA_DESCRIPTOR = 8;

[[noreturn]] void fail(int code) {
    throw ArchiveError{code};
}

class FileStorage : public ArchiveStorage {
public:
    platform::File file;
    int64_t length() override { return file.size(); }
    bool seek(int64_t offset, platform::SeekOrigin origin) override {
        return file.seek(offset, origin);
    }
    int64_t tell() override { return file.tell(); }
    int32_t read(void* buffer, int32_t count) override {
        // A file read may stop early; keep going until the count or the end of the file.
        int32_t done = 0;
        while (done < count) {
            int32_t got = file.read(static_cast<char*>(buffer) + done, count - done);
            if (got <= 0)
                break;
            done += got;
        }
        return done;
    }
};

} // namespace

// ---- MemoryFile ----

void MemoryFile::attach(const void* block, int64_t size, Decode decoder) {
    detach();
    buffer = static_cast<char*>(const_cast<void*>(block));
    decode = decoder;
    dataSize = size;
    bufferSize = size;
    growStep = 0;
    position = 0;
    ownsBuffer = false;
}

void MemoryFile::detach() {
    if (ownsBuffer)
        std::free(buffer);
    buffer = nullptr;
    dataSize = bufferSize = position = 0;
    ownsBuffer = false;
    decode = nullptr;
}

bool MemoryFile::seek(int64_t offset, platform::SeekOrigin origin) {
    int64_t base = origin == platform::SeekOrigin::Begin     ? 0
                   : origin == platform::SeekOrigin::Current ? position
                                                             : dataSize;
    int64_t target = base + offset;
    if (target < 0 || target > dataSize)
        return false;
    position = target;
    return true;
}

int32_t MemoryFile::read(void* out, int32_t count) {
    if (count <= 0 || position >= dataSize)
        return 0;
    int64_t left = dataSize - position;
    int32_t n = left < count ? static_cast<int32_t>(left) : count;
    if (decode)
        decode(buffer + position, static_cast<size_t>(n), out);
    else
        std::memcpy(out, buffer + position, static_cast<size_t>(n));
    position += n;
    return n;
}

// ---- ArchiveReader ----

ArchiveReader::~ArchiveReader() {
    close();
    delete static_cast<z_stream*>(stream);
    delete[] readBuffer;
}

void ArchiveReader::openFile(const char* path) {
    close();
    auto* file = new FileStorage;
    if (!path || !file->file.openRead(path)) {
        delete file;
        fail(ARCHIVE_BAD_ARCHIVE);
    }
    storage = ownedStorage = file;
    openStorage();
}

void ArchiveReader::openMemory(MemoryFile* file) {
    close();
    storage = file;
    openStorage();
}

void ArchiveReader::close() {
    abandonEntry();
    delete ownedStorage;
    ownedStorage = nullptr;
    storage = nullptr;
    headers.clear();
    headers.shrink_to_fit();
    end = ArchiveEndRecord();
    prefixBytes = 0;
    directoryEntries = directoryLength = 0;
    directoryStart = 0;
}

void ArchiveReader::openStorage() {
    try {
        findEndRecord(storage->length());
        readCentralDirectory();
    } catch (...) {
        close();
        throw;
    }
}

void ArchiveReader::seekTo(int64_t offset) {
    if (offset < 0 || !storage->seek(offset, platform::SeekOrigin::Begin))
        fail(ARCHIVE_BAD_ARCHIVE);
}

void ArchiveReader::readExact(void* out, int32_t count) {
    if (count > 0 && storage->read(out, count) != count)
        fail(ARCHIVE_BAD_ARCHIVE);
}

// Finds the end record by the ZIP reader's rule (see lastEndSignature) among the last
// 22 + 65,535 bytes and fills `end` and `prefixBytes`.
void ArchiveReader::findEndRecord(int64_t length) {
    if (length < 0)
        fail(ARCHIVE_BAD_ARCHIVE);
    int64_t tailStart = endRecordLowest(length, END_RECORD_MAX_COMMENT);
    int64_t span = length - tailStart;
    std::vector<unsigned char> tail(static_cast<size_t>(span));
    if (!storage->seek(tailStart, platform::SeekOrigin::Begin) ||
        storage->read(tail.data(), static_cast<int32_t>(span)) != span)
        fail(ARCHIVE_BAD_ARCHIVE);

    // A signature too close to the end for a whole record still counts as the nearest hit.
    int64_t at = lastEndSignature(tail.data(), span - 3, 0);
    if (at < 0)
        fail(ARCHIVE_NO_CENTRAL_DIRECTORY);
    for (int64_t i = at; i >= 0; i = lastEndSignature(tail.data(), i, 0)) {
        if (i + END_RECORD_SIZE <= span && i + END_RECORD_SIZE + read16(&tail[i + 20]) == span) {
            at = i;
            break;
        }
    }
    if (at + END_RECORD_SIZE > span)
        fail(ARCHIVE_BAD_ARCHIVE);

    const unsigned char* r = &tail[at];
    static_cast<EndRecord&>(end) = readEndRecord(r);
    if (at + END_RECORD_SIZE + end.commentLength > span)
        fail(ARCHIVE_BAD_ARCHIVE);
    end.comment.resize(0);
    end.comment.append(r + END_RECORD_SIZE, end.commentLength);

    int64_t recordPosition = tailStart + at;
    uint64_t entries = end.entryCount;
    uint64_t directorySize = end.directorySize;
    uint64_t directoryOffset = end.directoryOffset;
    int64_t directoryEnd = recordPosition;
    // From 65,535 entries on (or beyond 4 GB), writers put the real counts into a Zip64 end
    // record between the directory and the classic one, leaving 0xFFFF / 0xFFFFFFFF here.
    // A count of exactly 65,535 without that record is taken as written (the directory then
    // has to parse); a saturated size or offset cannot be.
    bool saturated = end.directorySize == UINT32_MAX || end.directoryOffset == UINT32_MAX;
    int64_t zip64At = findZip64Record(recordPosition);
    if (zip64At >= 0) {
        unsigned char record[ZIP64_END_SIZE];
        seekTo(zip64At);
        readExact(record, ZIP64_END_SIZE);
        entries = read64(record + 32);
        directorySize = read64(record + 40);
        directoryOffset = read64(record + 48);
        directoryEnd = zip64At;
    } else if (saturated) {
        fail(ARCHIVE_BAD_ARCHIVE); // the real values are lost: never guess an empty archive
    }
    // Everything below must fit what the reader can address: a directory read in one piece
    // and an entry count that the directory's bytes can hold.
    if (directorySize > INT32_MAX || directoryOffset > static_cast<uint64_t>(directoryEnd) ||
        directorySize > static_cast<uint64_t>(directoryEnd) - directoryOffset ||
        entries > directorySize / CENTRAL_HEADER_SIZE)
        fail(ARCHIVE_BAD_ARCHIVE);
    int64_t prefix =
        directoryEnd - static_cast<int64_t>(directorySize) - static_cast<int64_t>(directoryOffset);
    if (prefix < 0 || prefix > UINT32_MAX)
        fail(ARCHIVE_BAD_ARCHIVE);
    if ((entries == 0) != (directorySize == 0))
        fail(ARCHIVE_BAD_ARCHIVE);
    prefixBytes = static_cast<uint32_t>(prefix);
    directoryEntries = static_cast<int32_t>(entries);
    directoryLength = static_cast<int32_t>(directorySize);
    directoryStart = static_cast<int64_t>(directoryOffset);
}

// The position of the Zip64 end record that the locator right before the classic end record
// points to, or -1 when there is none. The record normally sits right before the locator;
// otherwise (extensible data after its fixed part) the locator's own offset is used, which
// holds only for an archive that no other bytes precede.
int64_t ArchiveReader::findZip64Record(int64_t recordPosition) {
    if (recordPosition < ZIP64_LOCATOR_SIZE + ZIP64_END_SIZE)
        return -1;
    unsigned char locator[ZIP64_LOCATOR_SIZE];
    seekTo(recordPosition - ZIP64_LOCATOR_SIZE);
    readExact(locator, ZIP64_LOCATOR_SIZE);
    if (read32(locator) != ZIP64_LOCATOR_SIGNATURE)
        return -1;
    int64_t locatorAt = recordPosition - ZIP64_LOCATOR_SIZE;
    unsigned char head[12];
    int64_t adjacent = locatorAt - ZIP64_END_SIZE;
    seekTo(adjacent);
    readExact(head, sizeof head);
    if (read32(head) == ZIP64_END_SIGNATURE && read64(head + 4) == ZIP64_END_SIZE - 12)
        return adjacent;
    uint64_t stored = read64(locator + 8);
    if (stored > static_cast<uint64_t>(locatorAt - ZIP64_END_SIZE))
        return -1;
    seekTo(static_cast<int64_t>(stored));
    readExact(head, sizeof head);
    if (read32(head) == ZIP64_END_SIGNATURE &&
        read64(head + 4) == static_cast<uint64_t>(locatorAt) - stored - 12)
        return static_cast<int64_t>(stored);
    return -1;
}

void ArchiveReader::readCentralDirectory() {
    headers.clear();
    if (directoryEntries == 0)
        return;
    std::vector<unsigned char> directory(static_cast<size_t>(directoryLength));
    seekTo(static_cast<int64_t>(prefixBytes) + directoryStart);
    readExact(directory.data(), directoryLength);

    headers.resize(static_cast<size_t>(directoryEntries));
    size_t at = 0;
    for (ArchiveEntryHeader& h : headers) {
        if (at + CENTRAL_HEADER_SIZE > directory.size())
            fail(ARCHIVE_BAD_ARCHIVE);
        const unsigned char* p = directory.data() + at;
        if (read32(p) != CENTRAL_SIGNATURE)
            fail(ARCHIVE_BAD_ARCHIVE);
        h.versionMadeBy = read16(p + 4);
        h.versionNeeded = read16(p + 6);
        h.flags = read16(p + 8);
        h.method = read16(p + 10);
        h.modificationTime = read16(p + 12);
        h.modificationDate = read16(p + 14);
        h.crc32 = read32(p + 16);
        h.compressedSize = read32(p + 20);
        h.uncompressedSize = read32(p + 24);
        uint16_t nameLength = read16(p + 28);
        uint16_t extraLength = read16(p + 30);
        uint16_t commentLength = read16(p + 32);
        h.diskNumberStart = read16(p + 34);
        h.internalAttributes = read16(p + 36);
        h.externalAttributes = read32(p + 38);
        h.localHeaderOffset = read32(p + 42);
        size_t variable = static_cast<size_t>(nameLength) + extraLength + commentLength;
        if (at + CENTRAL_HEADER_SIZE + variable > directory.size())
            fail(ARCHIVE_BAD_ARCHIVE);
        const unsigned char* q = p + CENTRAL_HEADER_SIZE;
        h.name.append(q, nameLength);
        h.extra.append(q + nameLength, extraLength);
        h.comment.append(q + nameLength + extraLength, commentLength);
        applyZip64Extra(h);
        // Names use "\" inside the launcher, whatever the archive wrote.
        for (int32_t i = 0; i < h.name.length; ++i)
            if (h.name.data[i] == '/')
                h.name.data[i] = '\\';
        at += CENTRAL_HEADER_SIZE + variable;
    }
}

// A saturated size or offset is given in full by the entry's Zip64 extra field, in the order
// uncompressed size, compressed size, local header offset, each present only when saturated.
// Values beyond 32 bits stay saturated: such an entry cannot be read here and is refused when
// opened.
void ArchiveReader::applyZip64Extra(ArchiveEntryHeader& h) {
    uint32_t* fields[] = {&h.uncompressedSize, &h.compressedSize, &h.localHeaderOffset};
    if (h.uncompressedSize != UINT32_MAX && h.compressedSize != UINT32_MAX &&
        h.localHeaderOffset != UINT32_MAX)
        return;
    const auto* extra = reinterpret_cast<const unsigned char*>(h.extra.data);
    int32_t at = 0;
    while (at + 4 <= h.extra.length) {
        uint16_t id = read16(extra + at);
        uint16_t length = read16(extra + at + 2);
        if (at + 4 + length > h.extra.length)
            return;
        if (id == 0x0001) {
            int32_t field = at + 4;
            for (uint32_t* value : fields) {
                if (*value != UINT32_MAX)
                    continue;
                if (field + 8 > at + 4 + length)
                    return;
                uint64_t full = read64(extra + field);
                field += 8;
                if (full < UINT32_MAX)
                    *value = static_cast<uint32_t>(full);
            }
            return;
        }
        at += 4 + length;
    }
}

bool ArchiveReader::openEntry(int32_t n) {
    if (!storage || n < 0 || n >= entryCount() || current.open)
        return false;
    const ArchiveEntryHeader& h = headers[static_cast<size_t>(n)];
    unsigned char local[LOCAL_HEADER_SIZE];
    int64_t headerAt = static_cast<int64_t>(prefixBytes) + h.localHeaderOffset;
    seekTo(headerAt);
    readExact(local, LOCAL_HEADER_SIZE);
    uint16_t flags = read16(local + 6);
    uint16_t method = read16(local + 8);
    if (read32(local) != LOCAL_SIGNATURE || method != h.method || (method != 0 && method != 8))
        fail(ARCHIVE_BAD_ARCHIVE);
    // A Zip64 local header saturates both sizes and gives them in its extra field; the
    // directory's values, read the same way, stand for them.
    bool zip64Sizes = read32(local + 18) == UINT32_MAX && read32(local + 22) == UINT32_MAX;
    if (!(flags & FLAG_DATA_DESCRIPTOR) &&
        (read32(local + 14) != h.crc32 ||
         (!zip64Sizes &&
          (read32(local + 18) != h.compressedSize || read32(local + 22) != h.uncompressedSize))))
        fail(ARCHIVE_BAD_ARCHIVE);
    // The local flags are the ones that describe the data that follows. They are kept with
    // the open entry rather than written into the shared header, which other threads read.
    uint16_t effectiveFlags = (flags & 0xF) != (h.flags & 0xF) ? flags : h.flags;
    uint16_t nameLength = read16(local + 26);
    uint16_t extraLength = read16(local + 28);
    int64_t dataAt = headerAt + LOCAL_HEADER_SIZE + nameLength + extraLength;
    if (dataAt + h.compressedSize > storage->length())
        fail(ARCHIVE_BAD_ARCHIVE);
    seekTo(headerAt + LOCAL_HEADER_SIZE + nameLength);
    ByteBuffer localExtra;
    localExtra.resize(extraLength);
    readExact(localExtra.data, extraLength);
    if (effectiveFlags & FLAG_ENCRYPTED)
        fail(ARCHIVE_BAD_PASSWORD);
    if (method == 0 && h.compressedSize != h.uncompressedSize)
        fail(ARCHIVE_BAD_ARCHIVE);

    if (method == 8) {
        if (!stream)
            stream = new z_stream;
        auto* z = static_cast<z_stream*>(stream);
        std::memset(z, 0, sizeof *z);
        int status = inflateInit2(z, -MAX_WBITS);
        if (status != Z_OK)
            fail(status);
        if (!readBuffer)
            readBuffer = new unsigned char[READ_BUFFER_SIZE];
        current.inflating = true;
    }
    current.open = true;
    current.number = n;
    current.dataAt = dataAt;
    current.compressedLeft = h.compressedSize;
    current.uncompressedLeft = h.uncompressedSize;
    current.crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    current.localExtra = localExtra;
    return true;
}

int32_t ArchiveReader::read(void* out, int32_t count) {
    if (!current.open || !out || count <= 0)
        return 0;
    if (static_cast<uint32_t>(count) > current.uncompressedLeft)
        count = static_cast<int32_t>(current.uncompressedLeft);
    if (count == 0)
        return 0;
    auto* bytes = static_cast<unsigned char*>(out);
    int32_t produced = current.inflating ? readDeflated(bytes, count) : readStored(bytes, count);
    current.crc = static_cast<uint32_t>(crc32(current.crc, bytes, static_cast<uInt>(produced)));
    current.uncompressedLeft -= static_cast<uint32_t>(produced);
    return produced;
}

int32_t ArchiveReader::readStored(unsigned char* out, int32_t count) {
    readExact(out, count);
    current.compressedLeft -= static_cast<uint32_t>(count);
    return count;
}

int32_t ArchiveReader::refill() {
    auto n = static_cast<int32_t>(std::min<uint32_t>(current.compressedLeft, READ_BUFFER_SIZE));
    readExact(readBuffer, n);
    current.compressedLeft -= static_cast<uint32_t>(n);
    return n;
}

int32_t ArchiveReader::readDeflated(unsigned char* out, int32_t count) {
    auto* z = static_cast<z_stream*>(stream);
    z->next_out = out;
    z->avail_out = static_cast<uInt>(count);
    while (z->avail_out > 0) {
        if (z->avail_in == 0 && current.compressedLeft > 0) {
            z->avail_in = static_cast<uInt>(refill());
            z->next_in = readBuffer;
        }
        int status = inflate(z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            // The stream ended before the size the directory promised.
            if (z->avail_out > 0)
                fail(ARCHIVE_BAD_ARCHIVE);
            break;
        }
        if (status != Z_OK)
            fail(status); // includes Z_BUF_ERROR: input used up before the output was complete
    }
    return count - static_cast<int32_t>(z->avail_out);
}

int ArchiveReader::closeEntry() {
    if (!current.open)
        return 0;
    bool complete = current.uncompressedLeft == 0;
    bool crcMatches = current.crc == headers[static_cast<size_t>(current.number)].crc32;
    abandonEntry();
    if (!complete)
        return -1;
    if (!crcMatches)
        fail(ARCHIVE_BAD_CRC);
    return 1;
}

void ArchiveReader::abandonEntry() {
    if (current.inflating)
        inflateEnd(static_cast<z_stream*>(stream));
    current = CurrentEntry();
}

} // namespace zor
