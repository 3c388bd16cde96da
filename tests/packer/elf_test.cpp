// The resource block of packed Linux executables, read back from outside and from inside.
#include "packed_reader.h"
#include "packer/packing.h"
#include "test_support.h"

using namespace zor::packtest;

namespace {

TEST(ResourceBlock, PackedElfCarriesItsResourcesBeforeTheArchiveAndStillRuns) {
    TempDir dir;
    fs::path support = makeZip(dir, "support.jar", {{"Support.class", patternBytes(5000)}});
    fs::path appZip = makeZip(dir, "app.jar", {{"a/Main.class", patternBytes(9000)}});
    Bytes bmp = makeBitmap(3, 2);
    writeBytes(dir / "splash.bmp", bmp);
    fs::path out = dir / "packed";
    RunResult r = runCommand(zorpack() + " --target linux --stub " + quote(ELF_STANDIN) +
                             " --support " + quote(support.string()) +
                             " --main-class a.Main --app " + quote(appZip.string()) + " --splash " +
                             quote(dir / "splash.bmp") + " -o " + quote(out.string()));
    ASSERT_EQ(r.code, 0) << r.err;

    Bytes packed = readBytes(out), stub = readBytes(ELF_STANDIN), app = readBytes(appZip);
    ASSERT_GT(packed.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), packed.begin()));
    auto archive = findAppendedArchive(packed);
    ASSERT_TRUE(archive);
    auto block = readResourceBlock(packed, archive->start);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->start, stub.size());
    ASSERT_EQ(block->entries.size(), 2u);
    EXPECT_EQ(block->entries[0].type, 10u);
    EXPECT_EQ(block->entries[0].id, 128u);
    EXPECT_EQ(unscramble(block->entries[0].data), app);
    EXPECT_NE(block->entries[0].data, app);
    EXPECT_EQ(block->entries[1].type, 2u);
    EXPECT_EQ(block->entries[1].id, 100u);
    EXPECT_EQ(block->entries[1].data, Bytes(bmp.begin() + 14, bmp.end()));

    // The launcher's own reader finds the same bytes.
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(zor::findResourceInImage(packed.data(), packed.size(), 10, 128, &data, &size));
    EXPECT_EQ(Bytes(data, data + size), block->entries[0].data);
    ASSERT_TRUE(zor::findResourceInImage(packed.data(), packed.size(), 2, 100, &data, &size));
    EXPECT_EQ(Bytes(data, data + size), block->entries[1].data);

    // The program runs and finds the same things in its own file.
    RunResult run = runCommand(
        quote(out.string()) + " " + quote(dir / "app-out") + " " + quote(dir / "comment-out"), 30);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(readBytes(dir / "app-out"), app);
    EXPECT_EQ(readText(dir / "comment-out"), "mainclass a.Main\r\n");
    EXPECT_EQ(run.out, "resource 10 128 " + std::to_string(app.size()) + "\nresource 2 100 " +
                           std::to_string(bmp.size() - 14) + "\n");
}

#ifdef REAL_SUPPORT_JAR
TEST(ResourceBlock, TheBuiltSupportArchiveIsAcceptedAndKeepsItsClasses) {
    TempDir dir;
    fs::path out = dir / "packed";
    RunResult r = runCommand(zorpack() + " --target linux --stub " + quote(ELF_STANDIN) +
                             " --support " + quote(REAL_SUPPORT_JAR) +
                             " --main-class a.Main --set option=-Xmx32m -o " + quote(out.string()));
    ASSERT_EQ(r.code, 0) << r.err;
    RunResult list = runCommand("unzip -l " + quote(out.string()));
    EXPECT_NE(list.out.find("com/tarnwick/zor/LumbrixClassLoader.class"), std::string::npos)
        << list.out;
    auto archive = findAppendedArchive(readBytes(out));
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->comment, "mainclass a.Main\r\noption -Xmx32m\r\n");
}
#endif

TEST(ResourceBlock, WithoutResourcesTheBlockIsEmptyButPresent) {
    Bytes block = zor::pack::buildResourceBlock({});
    Bytes file = bytesOf("ELF image");
    file.insert(file.end(), block.begin(), block.end());
    auto read = readResourceBlock(file, file.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->start, 9u);
    EXPECT_TRUE(read->entries.empty());
}

TEST(Scrambling, RotatesEveryByteRightByTwoBits) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = uint8_t(i);
    Bytes s = zor::pack::scramble(all);
    EXPECT_EQ(s[0x01], 0x40);
    EXPECT_EQ(s[0x80], 0x20);
    EXPECT_EQ(s[0x03], 0xc0);
    EXPECT_EQ(s[0xff], 0xff);
    EXPECT_EQ(unscramble(s), all);
}

} // namespace
