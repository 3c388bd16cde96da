// An archive store over arbitrary bytes: its index, its nested stores and lookups of the names
// it holds, plain and through "!". The same bytes scrambled as resource 128 holds them and read
// in place must give the same answers.
#include "archive/archive_store.h"

#include <cstdlib>
#include <cstring>
#include <vector>

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
    std::vector<char> scrambled(size ? size : 1);
    for (size_t i = 0; i < size; ++i)
        scrambled[i] = static_cast<char>(((data[i] >> 2) | (data[i] << 6)) & 0xFF);
    ArchiveStore inPlace(2);
    inPlace.openInPlace(scrambled.data(), static_cast<int32_t>(size), unscrambleArchive);

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
        ByteString found, foundInPlace;
        bool isFound = store.findPath(name, found, ByteString());
        if (inPlace.findPath(name, foundInPlace, ByteString()) != isFound ||
            (isFound && !(found == foundInPlace)))
            std::abort();
        StringList all;
        store.findPath(name, found, ByteString("zor"), collect, &all);
        ByteBuffer content, contentInPlace;
        // Only what reads: a failed read may first have made room for a size the archive
        // merely claims, and doing that twice would slow every run.
        if (store.readEntry(name, content) &&
            (!inPlace.readEntry(name, contentInPlace) || content.length != contentInPlace.length ||
             (content.length && std::memcmp(content.data, contentInPlace.data,
                                            static_cast<size_t>(content.length)) != 0)))
            std::abort();
    }
    return 0;
}
