// zorpack --splash: only bitmaps that every target's launcher can draw are carried.
#include "packed_reader.h"
#include "test_support.h"

using namespace zor::packtest;

namespace {

void set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

TEST(SplashOption, RefusesBitmapsTheLauncherCannotDrawAndCarriesTheRest) {
    TempDir dir;
    fs::path support = makeZip(dir, "support.jar", {{"Support.class", patternBytes(700)}});
    fs::path folder = dir / "out";
    fs::create_directories(folder);
    auto pack = [&](const Bytes& bmp) {
        writeBytes(dir / "splash.bmp", bmp);
        return runCommand(zorpack() + " --target linux --stub " + quote(ELF_STANDIN) +
                          " --support " + quote(support.string()) + " --main-class a.Main" +
                          " --splash " + quote(dir / "splash.bmp") + " -o " +
                          quote((folder / "packed").string()));
    };
    const Bytes good = makeBitmap(9, 4);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value; // written at `at` (a 32-bit field), or the new size when `at` is 0
        const char* message;
    };
    const Case cases[] = {
        {"wrong magic", 1, 0x00004d42, "not a .bmp"},
        {"no info header", 0, 20, "not a .bmp"},
        {"last row missing", 0, uint32_t(good.size() - 4), "truncated"},
        {"run-length compressed", 30, 1, "compressed"},
        {"16 bits per pixel", 28, 16, "colour depth"},
        {"absurd width", 18, 70000, "too large"},
        {"absurd height", 22, 0x80000000u, "too large"},
        {"no pixels", 18, 0, "no pixels"},
    };
    for (const Case& c : cases) {
        Bytes bmp = good;
        if (c.at == 0)
            bmp.resize(c.value);
        else if (c.at == 28)
            bmp[28] = uint8_t(c.value);
        else
            set32(bmp, c.at, c.value);
        RunResult r = pack(bmp);
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(fs::exists(folder / "packed")) << c.what;
    }

    // Pixels that the file keeps behind a gap are carried right after the header, where
    // Windows reads them.
    Bytes gapped(good.begin(), good.begin() + 54);
    gapped.insert(gapped.end(), 10, 0xEE);
    gapped.insert(gapped.end(), good.begin() + 54, good.end());
    set32(gapped, 10, 64);
    RunResult r = pack(gapped);
    ASSERT_EQ(r.code, 0) << r.err;
    Bytes packed = readBytes(folder / "packed");
    auto archive = findAppendedArchive(packed);
    ASSERT_TRUE(archive);
    auto block = readResourceBlock(packed, archive->start);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->entries.size(), 1u);
    EXPECT_EQ(block->entries[0].data, Bytes(good.begin() + 14, good.end()));
}

} // namespace
