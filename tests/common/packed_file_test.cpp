// The packed file's layout as the launcher and zorpack share it, and the ASCII case fold.
#include "common/packed_file.h"
#include "common/text.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

using namespace zor;
using zor::test::u16le;
using zor::test::u32le;

namespace {

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

} // namespace

TEST(PackedFile, ScramblingIsUndoneForEveryByteAndRotatesRightByTwo) {
    std::vector<unsigned char> plain(256), scrambled(256), back(256);
    for (int i = 0; i < 256; ++i)
        plain[i] = static_cast<unsigned char>(i);
    scrambleArchive(plain.data(), plain.size(), scrambled.data());
    unscrambleArchive(scrambled.data(), scrambled.size(), back.data());
    EXPECT_EQ(back, plain);
    EXPECT_EQ(scrambled[0x01], 0x40);
    EXPECT_EQ(scrambled[0x80], 0x20);
    EXPECT_EQ(scrambled[0x07], 0xC1);
}

TEST(PackedFile, SignatureSearchKeepsToItsBoundsAndWalksBackwards) {
    // Signatures at 2 and 10; the search covers [lowest, before).
    std::string image = std::string(2, 'x') + "PK\x05\x06" + "yyyy" + "PK\x05\x06" + "zz";
    EXPECT_EQ(lastEndSignature(bytes(image), 11, 0), 10);
    EXPECT_EQ(lastEndSignature(bytes(image), 10, 0), 2);
    EXPECT_EQ(lastEndSignature(bytes(image), 11, 3), 10);
    EXPECT_EQ(lastEndSignature(bytes(image), 10, 3), -1);
    EXPECT_EQ(lastEndSignature(bytes(image), 3, 2), 2);
    EXPECT_EQ(lastEndSignature(bytes(image), 2, 0), -1);
    EXPECT_EQ(lastEndSignature(nullptr, 0, 0), -1);
    EXPECT_EQ(endRecordLowest(100, 10), 68);
    EXPECT_EQ(endRecordLowest(30, 10), 0);
}

TEST(PackedFile, EndRecordFieldsAndArchiveStart) {
    std::string record = u32le(0x06054b50) + u16le(1) + u16le(2) + u16le(3) + u16le(4) +
                         u32le(0x10) + u32le(0xFFFFFFF0u) + u16le(0x8005);
    ASSERT_EQ(record.size(), size_t(END_RECORD_SIZE));
    EndRecord r = readEndRecord(bytes(record));
    EXPECT_EQ(r.diskNumber, 1);
    EXPECT_EQ(r.directoryDisk, 2);
    EXPECT_EQ(r.entriesOnDisk, 3);
    EXPECT_EQ(r.entryCount, 4);
    EXPECT_EQ(r.directorySize, 0x10u);
    EXPECT_EQ(r.directoryOffset, 0xFFFFFFF0u);
    EXPECT_EQ(r.commentLength, 0x8005);
    // Directory size and offset add up without wrapping: the archive cannot start below 0.
    EXPECT_EQ(archiveStart(r, 0xFFFFFFFFll), -1);
    EXPECT_EQ(archiveStart(r, 0x100000000ll), 0);
    EXPECT_EQ(archiveStart(r, 0x100000010ll), 0x10);
}

TEST(PackedFile, LittleEndianFieldsRoundTripWithTheHighBitSet) {
    unsigned char field[8];
    write32(field, 0x89ABCDEFu);
    write32(field + 4, 0xFEDCBA98u);
    EXPECT_EQ(field[0], 0xEF);
    EXPECT_EQ(read16(field + 2), 0x89AB);
    EXPECT_EQ(read32(field), 0x89ABCDEFu);
    EXPECT_EQ(read64(field), 0xFEDCBA9889ABCDEFull);
    write16(field, 0x8001);
    EXPECT_EQ(read32(field), 0x89AB8001u);
}

// The old fold went through toupper, which folds Latin-1 letters too in such a locale.
TEST(AsciiFold, OnlyAsciiLettersFoldWhateverTheLocale) {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    for (const char* name : {"de_DE.ISO-8859-1", "German_Germany.1252", ".1252"})
        if (std::setlocale(LC_CTYPE, name))
            break;
    int wrong = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            bool letter = (a | 0x20) >= 'a' && (a | 0x20) <= 'z';
            bool same = a == b || (letter && (a ^ 0x20) == b);
            char ca = static_cast<char>(a), cb = static_cast<char>(b);
            if ((ByteString(&ca, 1).compareNoCase(ByteString(&cb, 1)) == 0) != same && !wrong++)
                ADD_FAILURE() << "bytes " << a << " and " << b;
        }
    }
    std::setlocale(LC_CTYPE, previous.c_str());
    EXPECT_EQ(wrong, 0);
}
