#include "platform/dib_image.h"

#include "common/packed_file.h"

namespace zor {

const char* checkDib(const unsigned char* data, size_t size, DibLayout* layout) {
    DibLayout l;
    if (size < 12)
        return "the bitmap header is truncated";
    l.headerSize = read32(data);
    if (l.headerSize > size)
        return "the bitmap header is truncated";
    int64_t width = 0, height = 0;
    uint16_t planes = 0;
    uint32_t compression = 0, colorsUsed = 0;
    if (l.headerSize == 12) {
        // The old OS/2 header: 16-bit sizes, three-byte palette entries.
        width = read16(data + 4);
        height = read16(data + 6);
        planes = read16(data + 8);
        l.bitsPerPixel = read16(data + 10);
        l.paletteEntrySize = 3;
    } else if (l.headerSize >= 40) {
        width = int32_t(read32(data + 4));
        height = int32_t(read32(data + 8));
        planes = read16(data + 12);
        l.bitsPerPixel = read16(data + 14);
        compression = read32(data + 16);
        colorsUsed = read32(data + 32);
        l.paletteEntrySize = 4;
    } else {
        return "the bitmap header has an unknown size";
    }
    if (planes != 1)
        return "the bitmap header is damaged (planes is not 1)";
    if (compression != 0)
        return "the bitmap is compressed or uses bit fields; only uncompressed bitmaps are shown";
    uint16_t bpp = l.bitsPerPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return "the bitmap has a colour depth other than 1, 4, 8, 24 or 32 bits per pixel";
    l.topDown = height < 0;
    if (height < 0)
        height = -height;
    if (width <= 0 || height <= 0)
        return "the bitmap has no pixels";
    if (width > DIB_MAX_SIDE || height > DIB_MAX_SIDE || width * height > DIB_MAX_PIXELS)
        return "the bitmap is too large for a splash window";
    l.width = int32_t(width);
    l.height = int32_t(height);

    // Palettes belong to 1, 4 and 8 bits; deeper bitmaps may carry an unused one all the same,
    // which the pixels follow.
    uint64_t entries = colorsUsed;
    if (bpp <= 8) {
        if (entries == 0)
            entries = uint64_t(1) << bpp;
        if (entries > (uint64_t(1) << bpp))
            return "the bitmap's palette is larger than its colour depth allows";
    }
    l.paletteEntries = uint32_t(entries);
    uint64_t pixelOffset = uint64_t(l.headerSize) + entries * l.paletteEntrySize;
    uint64_t rowBytes = (uint64_t(width) * bpp + 31) / 32 * 4;
    if (pixelOffset > size || rowBytes * uint64_t(height) > size - pixelOffset)
        return "the bitmap is truncated";
    l.pixelOffset = uint32_t(pixelOffset);
    l.rowBytes = uint32_t(rowBytes);
    if (layout)
        *layout = l;
    return nullptr;
}

bool decodeDib(const unsigned char* data, size_t size, DibPixels& out) {
    DibLayout l;
    if (checkDib(data, size, &l))
        return false;
    uint32_t palette[256] = {};
    for (uint32_t i = 0; i < l.paletteEntries && i < 256; ++i) {
        const unsigned char* p = data + l.headerSize + i * l.paletteEntrySize;
        palette[i] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    out.width = l.width;
    out.height = l.height;
    out.pixels.assign(size_t(l.width) * size_t(l.height), 0);
    for (int32_t y = 0; y < l.height; ++y) {
        // Bottom-up bitmaps store their last row first.
        int32_t stored = l.topDown ? y : l.height - 1 - y;
        const unsigned char* row = data + l.pixelOffset + size_t(stored) * l.rowBytes;
        uint32_t* target = &out.pixels[size_t(y) * size_t(l.width)];
        for (int32_t x = 0; x < l.width; ++x) {
            switch (l.bitsPerPixel) {
            case 1:
                target[x] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                target[x] = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
                break;
            case 8:
                target[x] = palette[row[x]];
                break;
            default: {
                const unsigned char* p = row + size_t(x) * (l.bitsPerPixel / 8);
                target[x] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
            }
        }
    }
    return true;
}

} // namespace zor
