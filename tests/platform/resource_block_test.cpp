#include "platform/resource_block.h"
#include "resource_image.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace zor;
using namespace zor::test;

namespace {

const std::string PROGRAM = std::string("\x7F"
                                        "ELF program image",
                                        18) +
                            std::string(40, '\0');

struct Lookup {
    bool found = false;
    std::string bytes;
};

// Looks up in an exactly sized copy, and checks that any result lies inside the image.
Lookup find(const std::string& image, uint32_t type, uint32_t id) {
    std::vector<unsigned char> copy(image.begin(), image.end());
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    Lookup result;
    result.found = findResourceInImage(copy.data(), copy.size(), type, id, &data, &size);
    if (result.found) {
        EXPECT_GE(data, copy.data());
        EXPECT_LE(data + size, copy.data() + copy.size());
        result.bytes.assign(reinterpret_cast<const char*>(data), size);
    }
    return result;
}

std::string standardImage(const std::string& comment = "mainclass app.Main\r\n") {
    return PROGRAM +
           resourceBlock({{10, 128, "scrambled archive"}, {2, 100, "BMbitmap"}, {10, 7, ""}}) +
           zipArchive(comment);
}

} // namespace

TEST(ResourceBlock, FindsEntriesByTypeAndId) {
    std::string image = standardImage();
    EXPECT_EQ(find(image, 10, 128).bytes, "scrambled archive");
    EXPECT_EQ(find(image, 2, 100).bytes, "BMbitmap");
    Lookup empty = find(image, 10, 7);
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.bytes, "");
    EXPECT_FALSE(find(image, 2, 128).found);
    EXPECT_FALSE(find(image, 10, 100).found);
    EXPECT_FALSE(find(image, 6, 1).found);

    // The first of two entries with the same type and id wins.
    std::string twice =
        PROGRAM + resourceBlock({{10, 128, "first"}, {10, 128, "second"}}) + zipArchive("");
    EXPECT_EQ(find(twice, 10, 128).bytes, "first");
}

TEST(ResourceBlock, EndRecordIsFoundBehindLongAndTrickyComments) {
    // A comment holding a signature of its own: the nearest record leads nowhere, the real one
    // below it is used.
    std::string fake = u32le(0x06054B50) + std::string(8, '\0') + u32le(3) + u32le(5) + u16le(0);
    EXPECT_EQ(find(standardImage("option -Xmx1g\r\n" + fake + "tail"), 2, 100).bytes, "BMbitmap");
    // The longest comment a ZIP can have.
    EXPECT_EQ(find(standardImage(std::string(65535, 'c')), 10, 128).bytes, "scrambled archive");
    // A record further from the end than any comment allows is not looked for.
    std::string beyond = standardImage(std::string(65535, 'c')) + "x";
    EXPECT_FALSE(find(beyond, 10, 128).found);
}

TEST(ResourceBlock, MalformedImagesFindNothing) {
    std::string block = resourceBlock({{10, 128, "scrambled archive"}});
    std::string archive = zipArchive("");
    size_t trailer = PROGRAM.size() + block.size() - RESOURCE_BLOCK_TRAILER_SIZE;

    EXPECT_FALSE(find("", 10, 128).found);
    EXPECT_FALSE(find(PROGRAM, 10, 128).found);               // no archive
    EXPECT_FALSE(find(PROGRAM + block, 10, 128).found);       // block, but no archive
    EXPECT_FALSE(find(PROGRAM + archive, 10, 128).found);     // archive, but no block
    EXPECT_FALSE(find(archive.substr(0, 21), 10, 128).found); // shorter than an end record

    std::string image = PROGRAM + block + archive;
    ASSERT_TRUE(find(image, 10, 128).found);

    std::string wrongMagic = image;
    wrongMagic[trailer + 15] ^= 1;
    EXPECT_FALSE(find(wrongMagic, 10, 128).found);

    std::string hugeBlock = image;
    hugeBlock.replace(trailer + 4, 4, u32le(static_cast<uint32_t>(trailer + 100)));
    EXPECT_FALSE(find(hugeBlock, 10, 128).found);

    std::string tinyBlock = image;
    tinyBlock.replace(trailer + 4, 4, u32le(RESOURCE_BLOCK_TRAILER_SIZE - 1));
    EXPECT_FALSE(find(tinyBlock, 10, 128).found);

    std::string tooManyEntries = image;
    tooManyEntries.replace(trailer, 4, u32le(0xFFFFFFFF));
    EXPECT_FALSE(find(tooManyEntries, 10, 999).found);

    std::string entryOverruns = image;
    entryOverruns.replace(PROGRAM.size() + 8, 4, u32le(0xFFFFFFF0));
    EXPECT_FALSE(find(entryOverruns, 10, 128).found);

    // Central directory size and offset larger than the space in front of the record.
    size_t record = image.size() - 22;
    std::string badDirectory = image;
    badDirectory.replace(record + 16, 4, u32le(0xFFFFFFF0));
    EXPECT_FALSE(find(badDirectory, 10, 128).found);
}

TEST(ResourceBlock, TruncatedOrCorruptedImagesStayInBounds) {
    const std::string comment = "mainclass app.Main\r\n";
    std::string image = standardImage(comment);
    // Cut anywhere before the end record is complete: nothing. The comment is not needed.
    size_t recordEnd = image.size() - comment.size();
    for (size_t length = 0; length < image.size(); ++length)
        EXPECT_EQ(find(image.substr(0, length), 10, 128).found, length >= recordEnd)
            << "length " << length;

    // Any single damaged byte either still finds the intact entry or finds nothing; `find`
    // checks that whatever it returns lies inside the image.
    for (size_t at = PROGRAM.size(); at < image.size(); ++at) {
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string damaged = image;
            damaged[at] = static_cast<char>(damaged[at] ^ flip);
            Lookup result = find(damaged, 10, 128);
            if (result.found && at >= PROGRAM.size() + 12 + 17) {
                EXPECT_EQ(result.bytes, "scrambled archive") << "byte " << at;
            }
        }
    }
}
