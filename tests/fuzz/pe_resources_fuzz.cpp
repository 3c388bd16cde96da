// zorpack's PE reader and resource writer fed arbitrary stub bytes: read the resources, add the
// packed ones, write the program and read the result back.
#include "packer/packing.h"
#include "packer/pe_resources.h"

using namespace zor::pack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (4 << 20))
        return 0;
    Bytes stub(data + 1, data + size);
    PeKind kind = data[0] & 1 ? PeKind::Pe32Plus : PeKind::Pe32;
    try {
        PeImage image(stub, kind);
        ResourceTree tree = image.readResources();
        tree.put(10, 128, Bytes(300, 0x5A));
        tree.put(2, 100, Bytes(40, 0x11));
        Bytes written = image.withResources(tree);
        updatePeChecksum(written);
        // What zorpack wrote must read back with the added resources in it.
        ResourceTree back = PeImage(written, kind).readResources();
        if (!back.find(10, 128, 0) || back.find(10, 128, 0)->bytes.size() != 300)
            __builtin_trap();
    } catch (const PackError&) {
    }
    return 0;
}
