// Device-independent bitmaps: the splash bitmap as the executable carries it (a .bmp file
// without its 14-byte file header). Portable: the Linux splash window draws from it, and zorpack
// checks a bitmap with it before carrying it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zor {

// Larger bitmaps are refused: no screen shows them, and decoding one would take gigabytes.
constexpr int32_t DIB_MAX_SIDE = 16384;
constexpr int64_t DIB_MAX_PIXELS = int64_t(8192) * 8192;

// Where the parts of a bitmap lie, as the checks found them.
struct DibLayout {
    int32_t width = 0;
    int32_t height = 0;   // always positive
    bool topDown = false; // a negative height in the header: first row on top
    uint16_t bitsPerPixel = 0;
    uint32_t headerSize = 0;
    uint32_t paletteEntries = 0;
    uint32_t paletteEntrySize = 0; // 4 (RGBQUAD), 3 for the old 12-byte header
    uint32_t pixelOffset = 0;      // right after the palette
    uint32_t rowBytes = 0;         // rows are padded to four bytes
};

// Checks a header-less bitmap of `size` bytes. Null when it can be drawn (uncompressed, 1, 4, 8,
// 24 or 32 bits per pixel, at most DIB_MAX_SIDE a side and DIB_MAX_PIXELS in all, every pixel
// present), otherwise a reason for a person to read.
const char* checkDib(const unsigned char* data, size_t size, DibLayout* layout);

// The pixels of a bitmap that checkDib accepts, as 0x00RRGGBB, top row first.
struct DibPixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};
bool decodeDib(const unsigned char* data, size_t size, DibPixels& out);

} // namespace zor
