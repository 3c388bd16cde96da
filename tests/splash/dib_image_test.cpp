// The bitmap decoder that the Linux splash draws with and that zorpack checks bitmaps with.
#include "platform/dib_image.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

using zor::test::put32;

// An uncompressed bitmap of `rgb` (top row first) at `bpp`, written bottom-up or top-down with a
// 40-byte header; deeper than 8 bits the colours are stored directly, else through a palette of
// the distinct colours.
Bytes makeDib(int width, int height, int bpp, bool topDown, const std::vector<uint32_t>& rgb) {
    std::vector<uint32_t> palette;
    if (bpp <= 8)
        for (uint32_t c : rgb)
            if (std::find(palette.begin(), palette.end(), c) == palette.end())
                palette.push_back(c);
    size_t rowBytes = (size_t(width) * bpp + 31) / 32 * 4;
    Bytes dib(40 + palette.size() * 4 + rowBytes * height, 0);
    put32(dib, 0, 40);
    put32(dib, 4, uint32_t(width));
    put32(dib, 8, uint32_t(topDown ? -height : height));
    dib[12] = 1;
    dib[14] = uint8_t(bpp);
    put32(dib, 32, uint32_t(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i)
        put32(dib, 40 + 4 * i, palette[i]); // B, G, R, 0 in memory
    unsigned char* pixels = dib.data() + 40 + palette.size() * 4;
    for (int y = 0; y < height; ++y) {
        unsigned char* row = pixels + rowBytes * size_t(topDown ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t c = rgb[size_t(y) * width + x];
            if (bpp > 8) {
                unsigned char* p = row + size_t(x) * (bpp / 8);
                p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
                continue;
            }
            uint32_t index =
                uint32_t(std::find(palette.begin(), palette.end(), c) - palette.begin());
            int perByte = 8 / bpp;
            int shift = 8 - bpp * (x % perByte + 1);
            row[x / perByte] |= uint8_t(index << shift);
        }
    }
    return dib;
}

TEST(DibImage, DecodesEveryDepthInBothRowOrders) {
    // Odd sizes, so that rows are padded and bits of the last byte are left over.
    const int width = 7, height = 3;
    const uint32_t colours[] = {0x000000, 0xFFFFFF, 0x102030, 0xFF8000, 0x00FF7F, 0x123456};
    for (int bpp : {1, 4, 8, 24, 32})
        for (bool topDown : {false, true}) {
            std::vector<uint32_t> rgb(width * height);
            int count = bpp == 1 ? 2 : 6;
            for (size_t i = 0; i < rgb.size(); ++i)
                rgb[i] = colours[(i * 5 + i / width) % count];
            Bytes dib = makeDib(width, height, bpp, topDown, rgb);
            zor::DibPixels out;
            ASSERT_EQ(zor::checkDib(dib.data(), dib.size(), nullptr), nullptr) << bpp;
            ASSERT_TRUE(zor::decodeDib(dib.data(), dib.size(), out)) << bpp;
            EXPECT_EQ(out.width, width);
            EXPECT_EQ(out.height, height);
            EXPECT_EQ(out.pixels, rgb) << bpp << " bits, top-down " << topDown;
        }
}

TEST(DibImage, RefusesWhatItCannotDraw) {
    std::vector<uint32_t> rgb(4 * 4, 0x336699);
    Bytes good = makeDib(4, 4, 24, false, rgb);
    auto refused = [](Bytes dib) {
        zor::DibPixels out;
        return zor::checkDib(dib.data(), dib.size(), nullptr) != nullptr &&
               !zor::decodeDib(dib.data(), dib.size(), out);
    };
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 11))); // no header
    EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1)));    // last pixel missing
    Bytes b = good;
    put32(b, 16, 1); // RLE8
    EXPECT_TRUE(refused(b));
    b = good;
    put32(b, 16, 3); // bit fields
    EXPECT_TRUE(refused(b));
    b = good;
    b[14] = 16;
    EXPECT_TRUE(refused(b));
    b = good;
    put32(b, 4, 0);
    EXPECT_TRUE(refused(b));
    b = good;
    put32(b, 4, 100000); // absurd width, and far more pixels than the file holds
    EXPECT_TRUE(refused(b));
    b = good;
    put32(b, 4, 0x80000000u); // most negative width
    EXPECT_TRUE(refused(b));
    b = good;
    put32(b, 0, 0xFFFFFFF0u); // header size beyond the data
    EXPECT_TRUE(refused(b));
    b = good;
    put32(b, 0, 20); // unknown header
    EXPECT_TRUE(refused(b));
    Bytes palette = makeDib(4, 4, 4, false, rgb);
    put32(palette, 32, 17); // more colours than 4 bits can index
    EXPECT_TRUE(refused(palette));
}

} // namespace
