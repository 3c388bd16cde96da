// zorpack's checks of its other inputs: the Linux stub's ELF header, the splash bitmap and the
// support archive.
#include "packer/packing.h"

#include <algorithm>

using namespace zor::pack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20))
        return 0;
    Bytes input(data, data + size);
    try {
        checkElfStub(input);
    } catch (const PackError&) {
    }
    try {
        // The resource is the file without its 14-byte header, or, where the header's pixel
        // offset leaves a gap behind the palette, the same without that gap.
        Bytes bitmap = bitmapResource(input);
        bool whole = bitmap.size() + 14 == input.size() &&
                     std::equal(bitmap.begin(), bitmap.end(), input.begin() + 14);
        size_t pixels =
            input[10] | (input[11] << 8) | (input[12] << 16) | (size_t(input[13]) << 24);
        bool gapDropped = false;
        if (!whole && pixels < input.size() && bitmap.size() >= input.size() - pixels) {
            size_t kept = bitmap.size() - (input.size() - pixels);
            gapDropped = kept + 14 < pixels &&
                         std::equal(bitmap.begin(), bitmap.begin() + kept, input.begin() + 14) &&
                         std::equal(bitmap.begin() + kept, bitmap.end(), input.begin() + pixels);
        }
        if (!whole && !gapDropped)
            __builtin_trap();
    } catch (const PackError&) {
    }
    try {
        checkSupportArchive(input);
        withComment(input, "mainclass a.Main\r\n");
    } catch (const PackError&) {
    }
    return 0;
}
