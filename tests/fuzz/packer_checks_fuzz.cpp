// zorpack's checks of its other inputs: the Linux stub's ELF header, the splash bitmap and the
// support archive.
#include "packer/packing.h"

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
        Bytes bitmap = bitmapResource(input);
        if (bitmap.size() + 14 != input.size())
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
