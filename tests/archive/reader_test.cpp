// ArchiveReader against archives written by Info-ZIP zip and the JDK's jar.
#include "archive/archive_reader.h"
#include "archive_fixtures.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <zlib.h>

using namespace zor;
using zor::test::fixture;
using zor::test::le16;
using zor::test::le32;
using zor::test::put32;
using zor::test::readWholeFile;
using zor::test::u16le;
using zor::test::u32le;

namespace {

int32_t findEntry(const ArchiveReader& r, const char* name) {
    for (int32_t n = 0; n < r.entryCount(); ++n)
        if (zor::test::text(r.header(n).name) == name)
            return n;
    return -1;
}

// Reads entry `name` whole in chunks of `chunk` bytes; closeEntry must confirm the CRC.
std::string readAll(ArchiveReader& r, const char* name, int32_t chunk = 1 << 20) {
    int32_t n = findEntry(r, name);
    EXPECT_GE(n, 0) << name;
    if (n < 0)
        return {};
    EXPECT_TRUE(r.openEntry(n));
    std::string out;
    std::string buffer(static_cast<size_t>(chunk), '\0');
    int32_t got;
    while ((got = r.read(&buffer[0], chunk)) > 0)
        out.append(buffer.data(), static_cast<size_t>(got));
    EXPECT_EQ(r.closeEntry(), 1) << name;
    return out;
}

// Runs `step` and returns the ArchiveError code it raised, or 0.
template <typename Step> int errorOf(Step step) {
    try {
        step();
    } catch (const ArchiveError& e) {
        return e.code;
    }
    return 0;
}

// An archive image in memory that a test may damage before opening it.
struct Image {
    std::string bytes;
    MemoryFile file;
    ArchiveReader reader;
    explicit Image(std::string b) : bytes(std::move(b)) {}
    void open() {
        file.attach(bytes.data(), static_cast<int64_t>(bytes.size()));
        reader.openMemory(&file);
    }
    // Offsets of entry `name`: its central header and its local header, in `bytes`.
    size_t centralHeader(const char* name) {
        size_t endAt = bytes.rfind(std::string("PK\x05\x06", 4));
        size_t at = le32(bytes, endAt + 16);
        for (;;) {
            uint16_t nameLength = le16(bytes, at + 28);
            if (bytes.compare(at + 46, nameLength, name) == 0)
                return at;
            at += 46 + nameLength + le16(bytes, at + 30) + le16(bytes, at + 32);
        }
    }
    size_t localHeader(const char* name) { return le32(bytes, centralHeader(name) + 42); }
    size_t dataStart(const char* name) {
        size_t local = localHeader(name);
        return local + 30 + le16(bytes, local + 26) + le16(bytes, local + 28);
    }
};

} // namespace

TEST(ArchiveReader, StoredAndDeflatedEntriesReadBackByteForByte) {
    ArchiveReader r;
    r.openFile(fixture("basic.zip").c_str());
    ASSERT_EQ(r.entryCount(), 4);
    // The fixture must hold both methods, or this test proves less than it claims.
    EXPECT_EQ(r.header(findEntry(r, "random.bin")).method, 0);
    EXPECT_EQ(r.header(findEntry(r, "numbers.txt")).method, 8);

    std::string numbers = readWholeFile(fixture("src/numbers.txt"));
    ASSERT_GT(numbers.size(), 200000u);
    EXPECT_EQ(readAll(r, "random.bin"), readWholeFile(fixture("src/random.bin")));
    EXPECT_EQ(readAll(r, "numbers.txt"), numbers);
    // Odd chunk sizes cross the read buffer and inflate boundaries at every offset.
    EXPECT_EQ(readAll(r, "numbers.txt", 777), numbers);
    EXPECT_EQ(readAll(r, "random.bin", 4093), readWholeFile(fixture("src/random.bin")));
    EXPECT_EQ(readAll(r, "dir\\sub\\file.txt"), "in a folder\n");
    EXPECT_EQ(readAll(r, "empty.txt"), "");
}

TEST(ArchiveReader, EntryProtocol) {
    ArchiveReader r;
    r.openFile(fixture("basic.zip").c_str());
    char buffer[16];
    int32_t numbers = findEntry(r, "numbers.txt");
    EXPECT_FALSE(r.openEntry(-1));
    EXPECT_FALSE(r.openEntry(r.entryCount()));
    EXPECT_EQ(r.read(buffer, sizeof buffer), 0); // nothing open
    ASSERT_TRUE(r.openEntry(numbers));
    EXPECT_FALSE(r.openEntry(numbers)); // one entry at a time
    EXPECT_EQ(r.read(nullptr, 10), 0);
    EXPECT_EQ(r.read(buffer, 0), 0);
    ASSERT_EQ(r.read(buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "1\n2\n3\n");
    EXPECT_EQ(r.closeEntry(), -1); // left unread: no CRC check
    // The reader is usable again, from the start of the entry.
    ASSERT_TRUE(r.openEntry(numbers));
    ASSERT_EQ(r.read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "1\n");
    r.abandonEntry();
    EXPECT_FALSE(r.entryIsOpen());
}

TEST(ArchiveReader, MemoryImageReadsLikeTheFile) {
    Image image(readWholeFile(fixture("basic.zip")));
    image.open();
    EXPECT_EQ(readAll(image.reader, "numbers.txt"), readWholeFile(fixture("src/numbers.txt")));
    EXPECT_EQ(readAll(image.reader, "random.bin"), readWholeFile(fixture("src/random.bin")));
}

TEST(ArchiveReader, JarWithDataDescriptors) {
    ArchiveReader r;
    r.openFile(fixture("data.jar").c_str());
    int32_t numbers = findEntry(r, "numbers.txt");
    ASSERT_GE(numbers, 0);
    EXPECT_TRUE(r.header(numbers).flags & 8) << "jar no longer writes data descriptors";
    EXPECT_EQ(readAll(r, "numbers.txt"), readWholeFile(fixture("src/numbers.txt")));
    EXPECT_EQ(readAll(r, "random.bin"), readWholeFile(fixture("src/random.bin")));
    EXPECT_EQ(readAll(r, "dir\\sub\\file.txt"), "in a folder\n");
    EXPECT_EQ(readAll(r, "empty.txt"), "");
    EXPECT_GE(findEntry(r, "META-INF\\MANIFEST.MF"), 0);
}

TEST(ArchiveReader, BothSeparatorsComeOutAsBackslash) {
    for (const char* archive : {"slash.zip", "backslash.zip"}) {
        ArchiveReader r;
        r.openFile(fixture(archive).c_str());
        ASSERT_EQ(r.entryCount(), 1) << archive;
        EXPECT_EQ(zor::test::text(r.header(0).name), "a\\b.class") << archive;
    }
}

TEST(ArchiveReader, EndRecordSearch) {
    std::string numbers = readWholeFile(fixture("src/numbers.txt"));
    {
        // The record sits exactly at the far edge of the searched range.
        ArchiveReader r;
        r.openFile(fixture("long-comment.zip").c_str());
        EXPECT_EQ(r.endRecord().comment.length, 65535);
        EXPECT_EQ(readAll(r, "numbers.txt"), numbers);
    }
    {
        // A signature inside the comment must not hide the real record.
        ArchiveReader r;
        r.openFile(fixture("signature-in-comment.zip").c_str());
        EXPECT_EQ(r.endRecord().comment.length, 65535);
        EXPECT_EQ(readAll(r, "numbers.txt"), numbers);
    }
    {
        std::string exe = readWholeFile("/bin/true");
        ASSERT_FALSE(exe.empty());
        ArchiveReader r;
        r.openFile(fixture("behind-exe.zip").c_str());
        EXPECT_EQ(r.bytesBeforeArchive(), exe.size());
        EXPECT_EQ(readAll(r, "numbers.txt"), numbers);
        EXPECT_EQ(readAll(r, "random.bin"), readWholeFile(fixture("src/random.bin")));
    }
    {
        ArchiveReader r;
        r.openFile(fixture("behind-exe-adjusted.zip").c_str());
        EXPECT_EQ(r.bytesBeforeArchive(), 0u);
        EXPECT_EQ(readAll(r, "numbers.txt"), numbers);
    }
}

TEST(ArchiveReader, OpenFailures) {
    ArchiveReader r;
    EXPECT_NE(errorOf([&] { r.openFile(fixture("no-such.zip").c_str()); }), 0);
    EXPECT_FALSE(r.isOpen());

    std::string whole = readWholeFile(fixture("basic.zip"));
    size_t endAt = whole.size() - 22;
    uint32_t directorySize = le32(whole, endAt + 12);
    struct Case {
        const char* what;
        std::string bytes;
        int code;
    } cases[] = {
        {"cut inside the end record", whole.substr(0, whole.size() - 10), ARCHIVE_BAD_ARCHIVE},
        {"cut before the end record", whole.substr(0, endAt - directorySize / 2),
         ARCHIVE_NO_CENTRAL_DIRECTORY},
        {"cut after the local data", whole.substr(0, endAt - directorySize),
         ARCHIVE_NO_CENTRAL_DIRECTORY},
        {"start missing", whole.substr(100), ARCHIVE_BAD_ARCHIVE},
        {"empty", std::string(), ARCHIVE_NO_CENTRAL_DIRECTORY},
        {"not an archive", std::string(5000, 'x'), ARCHIVE_NO_CENTRAL_DIRECTORY},
    };
    for (Case& c : cases) {
        Image image(c.bytes);
        EXPECT_EQ(errorOf([&] { image.open(); }), c.code) << c.what;
        EXPECT_FALSE(image.reader.isOpen()) << c.what;
        EXPECT_EQ(image.reader.entryCount(), 0) << c.what;
    }

    // The directory is damaged: a header signature no longer matches.
    Image damaged(whole);
    damaged.bytes[damaged.centralHeader("numbers.txt")] = 'X';
    EXPECT_EQ(errorOf([&] { damaged.open(); }), ARCHIVE_BAD_ARCHIVE);
    // Entry count and directory size disagree.
    Image inconsistent(whole);
    put32(inconsistent.bytes, endAt + 12, 0);
    EXPECT_EQ(errorOf([&] { inconsistent.open(); }), ARCHIVE_BAD_ARCHIVE);
}

TEST(ArchiveReader, EncryptedEntryIsRefusedOthersStillRead) {
    ArchiveReader r;
    r.openFile(fixture("encrypted.zip").c_str());
    int32_t secret = findEntry(r, "numbers.txt");
    ASSERT_GE(secret, 0);
    EXPECT_EQ(errorOf([&] { r.openEntry(secret); }), ARCHIVE_BAD_PASSWORD);
    EXPECT_FALSE(r.entryIsOpen());
    EXPECT_EQ(readAll(r, "dir\\sub\\file.txt"), "in a folder\n");
}

TEST(ArchiveReader, CorruptDeflateDataNeverPassesAsGood) {
    std::string original = readWholeFile(fixture("one.zip"));
    Image probe(original);
    size_t start = probe.dataStart("numbers.txt");
    size_t size = le32(original, probe.centralHeader("numbers.txt") + 20);
    std::string numbers = readWholeFile(fixture("src/numbers.txt"));
    for (size_t at : {start, start + 1, start + size / 3, start + size / 2, start + size - 2}) {
        Image image(original);
        image.bytes[at] = static_cast<char>(image.bytes[at] ^ 0x5A);
        image.open();
        std::string out(numbers.size(), '\0');
        int code = errorOf([&] {
            ASSERT_TRUE(image.reader.openEntry(0));
            int32_t got = image.reader.read(&out[0], static_cast<int32_t>(out.size()));
            EXPECT_EQ(image.reader.closeEntry(), got == static_cast<int32_t>(out.size()) ? 1 : -1);
        });
        EXPECT_NE(code, 0) << "byte " << at - start << " of the data damaged, read as good";
        EXPECT_TRUE(code == ARCHIVE_BAD_CRC || code == ARCHIVE_BAD_ARCHIVE || code < 0) << code;
        image.reader.abandonEntry();
    }
}

TEST(ArchiveReader, CrcMismatch) {
    {
        // A local header without a data descriptor repeats the CRC: change both.
        Image image(readWholeFile(fixture("one.zip")));
        uint32_t crc = le32(image.bytes, image.centralHeader("numbers.txt") + 16);
        put32(image.bytes, image.centralHeader("numbers.txt") + 16, crc ^ 1);
        put32(image.bytes, image.localHeader("numbers.txt") + 14, crc ^ 1);
        image.open();
        std::string out(readWholeFile(fixture("src/numbers.txt")).size(), '\0');
        ASSERT_TRUE(image.reader.openEntry(0));
        EXPECT_EQ(image.reader.read(&out[0], static_cast<int32_t>(out.size())),
                  static_cast<int32_t>(out.size()));
        EXPECT_EQ(errorOf([&] { image.reader.closeEntry(); }), ARCHIVE_BAD_CRC);
        EXPECT_FALSE(image.reader.entryIsOpen());
    }
    {
        // Only the central CRC differs: the local header no longer matches.
        Image image(readWholeFile(fixture("one.zip")));
        size_t central = image.centralHeader("numbers.txt");
        put32(image.bytes, central + 16, le32(image.bytes, central + 16) ^ 1);
        image.open();
        EXPECT_EQ(errorOf([&] { image.reader.openEntry(0); }), ARCHIVE_BAD_ARCHIVE);
    }
    {
        // With a data descriptor the local header has no CRC: the check happens at the end.
        Image image(readWholeFile(fixture("data.jar")));
        size_t central = image.centralHeader("numbers.txt");
        put32(image.bytes, central + 16, le32(image.bytes, central + 16) ^ 0x80000000u);
        image.open();
        int32_t n = findEntry(image.reader, "numbers.txt");
        std::string out(image.reader.header(n).uncompressedSize, '\0');
        ASSERT_TRUE(image.reader.openEntry(n));
        image.reader.read(&out[0], static_cast<int32_t>(out.size()));
        EXPECT_EQ(errorOf([&] { image.reader.closeEntry(); }), ARCHIVE_BAD_CRC);
    }
}

TEST(ArchiveReader, UnsupportedMethodAndMismatchedLocalHeader) {
    Image image(readWholeFile(fixture("basic.zip")));
    // Method 12 (bzip2) in both headers.
    image.bytes[image.centralHeader("numbers.txt") + 10] = 12;
    image.bytes[image.localHeader("numbers.txt") + 8] = 12;
    // The local header of another entry lost its signature.
    image.bytes[image.localHeader("random.bin")] = 'X';
    image.open();
    EXPECT_EQ(errorOf([&] { image.reader.openEntry(findEntry(image.reader, "numbers.txt")); }),
              ARCHIVE_BAD_ARCHIVE);
    EXPECT_EQ(errorOf([&] { image.reader.openEntry(findEntry(image.reader, "random.bin")); }),
              ARCHIVE_BAD_ARCHIVE);
    EXPECT_EQ(readAll(image.reader, "dir\\sub\\file.txt"), "in a folder\n");
}

TEST(MemoryFile, ReadsAndSeeksWithinTheBlock) {
    const char block[] = "0123456789";
    MemoryFile f;
    EXPECT_EQ(f.growStep, 1024);
    f.attach(block, 10);
    EXPECT_EQ(f.growStep, 0);
    EXPECT_FALSE(f.ownsBuffer);
    char out[8];
    ASSERT_TRUE(f.seek(-3, platform::SeekOrigin::End));
    EXPECT_EQ(f.read(out, 8), 3); // past the end: what remains
    EXPECT_EQ(std::string(out, 3), "789");
    EXPECT_EQ(f.read(out, 8), 0);
    EXPECT_FALSE(f.seek(-1, platform::SeekOrigin::Begin));
    EXPECT_FALSE(f.seek(11, platform::SeekOrigin::Begin));
    ASSERT_TRUE(f.seek(2, platform::SeekOrigin::Begin));
    ASSERT_TRUE(f.seek(2, platform::SeekOrigin::Current));
    EXPECT_EQ(f.tell(), 4);
    EXPECT_EQ(f.read(out, 2), 2);
    EXPECT_EQ(std::string(out, 2), "45");
}

// ZipOutputStream writes a Zip64 end record from 65,535 entries on and leaves the classic one
// saturated; without reading it the archive would open empty.
TEST(ArchiveReader, Zip64EndRecord) {
    std::string whole = readWholeFile(fixture("zip64.jar"));
    ASSERT_GT(whole.size(), 98u);
    size_t endAt = whole.size() - 22;
    ASSERT_EQ(le32(whole, endAt), 0x06054b50u);
    ASSERT_EQ(le16(whole, endAt + 10), 0xFFFF) << "the fixture no longer needs Zip64";
    {
        Image image(whole);
        image.open();
        ASSERT_EQ(image.reader.entryCount(), 66000);
        EXPECT_EQ(readAll(image.reader, "e\\65999.txt"), "");
        EXPECT_EQ(readAll(image.reader, "e\\59999.txt"), "entry 59999\n");
    }
    {
        // Behind other bytes, as in an executable.
        Image image(std::string(4096, 'x') + whole);
        image.open();
        EXPECT_EQ(image.reader.bytesBeforeArchive(), 4096u);
        EXPECT_EQ(readAll(image.reader, "e\\9999.txt"), "entry 9999\n");
    }
    // zip -fz saturates the end record's offset and the entries' uncompressed sizes and offsets.
    std::string numbers = readWholeFile(fixture("src/numbers.txt"));
    std::string forced = readWholeFile(fixture("forced-zip64.zip"));
    // Its first entry (numbers.txt, deflated) again, as zip wrote it, under a central header
    // whose sizes are saturated like the local ones: only the Zip64 extra field gives them,
    // uncompressed first, as streaming writers leave them.
    ASSERT_EQ(le32(forced, 18), 0xFFFFFFFFu) << "zip -fz no longer saturates the local sizes";
    size_t dataAt = 30 + le16(forced, 26) + le16(forced, 28);
    std::string local = forced.substr(0, dataAt + le32(forced, dataAt - 8));
    std::string central = u32le(0x02014B50) + u16le(45) + forced.substr(4, 26) +
                          std::string(14, '\0') + forced.substr(30, dataAt - 30);
    std::string extraOnly = local + central + u32le(0x06054B50) + std::string(4, '\0') + u16le(1) +
                            u16le(1) + u32le(static_cast<uint32_t>(central.size())) +
                            u32le(static_cast<uint32_t>(local.size())) + u16le(0);
    struct Entry {
        const std::string& archive;
        const char* name;
        std::string content;
    } entries[] = {
        {forced, "numbers.txt", numbers},
        {forced, "dir\\sub\\file.txt", "in a folder\n"},
        {forced, "empty.txt", ""},
        {extraOnly, "numbers.txt", numbers},
    };
    for (const Entry& e : entries) {
        Image image(e.archive);
        image.open();
        EXPECT_EQ(image.reader.entryCount(), &e.archive == &forced ? 3 : 1);
        EXPECT_EQ(readAll(image.reader, e.name), e.content) << e.archive.size();
    }
    size_t locatorAt = endAt - 20;
    size_t recordAt = locatorAt - 56;
    ASSERT_EQ(le32(whole, locatorAt), 0x07064b50u);
    ASSERT_EQ(le32(whole, recordAt), 0x06064b50u);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    } cases[] = {
        {"record signature lost", recordAt, 0},
        {"count beyond what the directory holds", recordAt + 36, 1},
        {"directory beyond 4 GB", recordAt + 44, 1},
        {"directory offset beyond 4 GB", recordAt + 52, 1},
    };
    for (const Case& c : cases) {
        Image image(whole);
        put32(image.bytes, c.at, c.value);
        if (c.at == recordAt) // the classic record must not pass for the whole archive either
            put32(image.bytes, endAt + 16, 0xFFFFFFFF);
        EXPECT_EQ(errorOf([&] { image.open(); }), ARCHIVE_BAD_ARCHIVE) << c.what;
        EXPECT_EQ(image.reader.entryCount(), 0) << c.what;
    }
}
