// An archive store over arbitrary bytes: its index, its nested stores and lookups of the names
// it holds, plain and through "!".
#include "archive/archive_store.h"

#include <cstdlib>
#include <cstring>

using namespace zor;

namespace {

void collect(void* list, const ByteString& path) {
    static_cast<StringList*>(list)->add(path.data, path.length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20))
        return 0;
    char* image = static_cast<char*>(std::malloc(size ? size : 1));
    std::memcpy(image, data, size);
    ArchiveStore store(2);
    store.openFromMemory(image, static_cast<int32_t>(size));

    StringList names;
    for (int32_t i = 0; i < store.index.entries.length && i < 64; ++i) {
        const IndexEntry& e = store.index.entries[i];
        names.add(e.name, e.length);
    }
    for (int32_t k = 0; k < store.nestedStores.length && k < 8; ++k) {
        ArchiveStore* child = store.nestedStore(k);
        for (int32_t i = 0; child && i < child->index.entries.length && i < 16; ++i) {
            const IndexEntry& e = child->index.entries[i];
            ByteString path =
                ByteString(store.nestedName(k)) + "!" + ByteString(e.name, e.name + e.length);
            names.add(path.data, path.length);
        }
    }
    names.add("missing");
    names.add("!x");
    for (int32_t i = 0; i < names.count(); ++i) {
        ByteString name(names.item(i));
        ByteString found;
        store.findPath(name, found, ByteString());
        StringList all;
        store.findPath(name, found, ByteString("zor"), collect, &all);
        ByteBuffer content;
        store.readEntry(name, content);
    }
    return 0;
}
