#include "archive/archive_store.h"

#include "platform/trace.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zor {

namespace {

// "/" compares as "\" so that both separators are one byte value and the order stays total:
// comparing them as different values against the bytes between them would send a search
// down the wrong half.
inline int orderValue(char c) {
    return static_cast<signed char>(c == '/' ? '\\' : c);
}

int compareBytes(const char* a, const char* b, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        int d = orderValue(a[i]) - orderValue(b[i]);
        if (d)
            return d;
    }
    return 0;
}

bool sameName(const char* a, int32_t aLength, const char* b, int32_t bLength) {
    return aLength == bLength && compareBytes(a, b, aLength) == 0;
}

} // namespace

int compareEntryNames(const char* a, int32_t aLength, const char* b, int32_t bLength,
                      int32_t sortMode) {
    if (sortMode == SORT_LENGTH_FIRST) {
        if (aLength != bLength)
            return aLength < bLength ? -1 : 1;
        return compareBytes(a, b, aLength);
    }
    int d = compareBytes(a, b, std::min(aLength, bLength));
    if (d)
        return d;
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

int32_t EntryIndex::find(const char* name, int32_t length) const {
    int32_t low = 0;
    int32_t high = entries.length - 1;
    while (low <= high) {
        int32_t middle = low + (high - low) / 2;
        const IndexEntry& e = entries[middle];
        int d = compareEntryNames(name, length, e.name, e.length, sortMode);
        if (d == 0)
            return e.number;
        if (d < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return -1;
}

// ---- ArchiveStore ----

ArchiveStore::ArchiveStore(int32_t depth) : nestingDepth(depth) {}

ArchiveStore::~ArchiveStore() {
    reset();
}

void ArchiveStore::reset() {
    for (int32_t k = 0; k < nestedStores.length; ++k)
        delete nestedStore(k);
    nestedStores.resize(0);
    reader.close();
    memoryFile.detach();
    std::free(detach());
    index.entries.resize(0);
    index.nestedCandidates.resize(0);
    index.sortMode = SORT_PLAIN;
    versions.clear();
    nestedNameOffsets.resize(0);
    nestedNames.resize(0);
    fileMapped = false;
}

void ArchiveStore::openFromMemory(char* image, int32_t size, MemoryFile::Decode decode) {
    reset();
    data = image;
    length = capacity = image ? size : 0;
    openImage(data, length, decode);
}

void ArchiveStore::openInPlace(const void* bytes, int32_t size, MemoryFile::Decode decode,
                               bool mapped) {
    reset();
    fileMapped = mapped;
    openImage(static_cast<const char*>(bytes), bytes ? size : 0, decode);
}

void ArchiveStore::openImage(const char* bytes, int32_t size, MemoryFile::Decode decode) {
    memoryFile.attach(bytes, size, decode);
    try {
        reader.openMemory(&memoryFile);
    } catch (const ArchiveError& e) {
        return platform::trace("archive of %d bytes: unreadable (error %d)", size, e.code);
    }
    buildIndex();
}

void ArchiveStore::openFromFile(const char* path) {
    reset();
    try {
        reader.openFile(path);
    } catch (const ArchiveError& e) {
        return platform::trace("archive %s: unreadable (error %d)", path, e.code);
    }
    buildIndex();
}

void ArchiveStore::buildIndex() {
    int32_t count = reader.entryCount();
    index.entries.resize(count);
    for (int32_t n = 0; n < count; ++n) {
        const ByteBuffer& name = reader.header(n).name;
        index.entries[n] = IndexEntry{name.data, name.length, n};
    }
    if (count >= 2) {
        index.sortMode = SORT_LENGTH_FIRST;
        std::sort(index.entries.data, index.entries.data + count,
                  [](const IndexEntry& a, const IndexEntry& b) {
                      return compareEntryNames(a.name, a.length, b.name, b.length,
                                               SORT_LENGTH_FIRST) < 0;
                  });
    }
    indexVersionedEntries();
    index.nestedCandidates.resize(0);
    if (nestingDepth <= 0)
        return;
    for (int32_t i = 0; i < count; ++i)
        if (isNestedArchiveName(index.entries[i].name,
                                static_cast<size_t>(index.entries[i].length)))
            index.nestedCandidates.add(i);
    openNestedArchives();
}

// Most archives have no versioned entries: their manifest is read only when they do.
void ArchiveStore::indexVersionedEntries() {
    for (int32_t n = 0; n < reader.entryCount(); ++n) {
        const ByteBuffer& name = reader.header(n).name;
        versions.add(name.data, name.length, n);
    }
    if (versions.isEmpty())
        return;
    ByteBuffer manifest;
    if (readOwnEntry(ByteString("META-INF\\MANIFEST.MF"), manifest) &&
        declaresMultiRelease(manifest.data, manifest.length))
        versions.sort();
    else
        versions.clear();
}

int32_t ArchiveStore::entryServing(const char* name, int32_t length) const {
    int32_t number = versions.isEmpty() ? -1 : versions.find(name, length, runtimeFeatureVersion());
    return number >= 0 ? number : index.find(name, length);
}

// Nested archives are opened once, here, and kept for the life of the store. A stored one is
// read where it lies in this store's bytes (which outlive it: reset() deletes the children
// first); any other is inflated into an image of its own. Either is first read whole, so that
// one that cannot be read intact (bad header, size or CRC-32) gets no child store and nothing
// inside it is ever found.
void ArchiveStore::openNestedArchives() {
    int32_t candidates = index.nestedCandidates.length;
    nestedStores.resize(candidates);
    nestedNameOffsets.resize(0);
    nestedNames.resize(0);
    for (int32_t k = 0; k < candidates; ++k) {
        nestedStores[k] = 0;
        const IndexEntry& e = index.entries[index.nestedCandidates[k]];
        nestedNameOffsets.add(static_cast<uintptr_t>(nestedNames.length));
        nestedNames.append(e.name, e.length);
        nestedNames.add('\0');

        const ArchiveEntryHeader& header = reader.header(e.number);
        int32_t claimed = claimedSize(e.number, INT32_MAX);
        if (claimed <= 0)
            continue;
        auto size = static_cast<uint32_t>(claimed);
        ArchiveStore* child = nullptr;
        if (memoryFile.buffer && header.method == 0) {
            int64_t at = -1;
            if (!readEntryBytes(e.number, nullptr, size, &at))
                continue;
            child = new ArchiveStore(nestingDepth - 1);
            child->openInPlace(memoryFile.buffer + at, static_cast<int32_t>(size),
                               memoryFile.decode, fileMapped);
            releaseChecked(at, size);
        } else {
            char* image = static_cast<char*>(std::malloc(size));
            if (!image)
                continue;
            int64_t at = -1;
            if (!readEntryBytes(e.number, image, size, &at)) {
                std::free(image);
                continue;
            }
            releaseChecked(at, header.compressedSize);
            child = new ArchiveStore(nestingDepth - 1);
            child->openFromMemory(image, static_cast<int32_t>(size));
        }
        nestedStores[k] = reinterpret_cast<uintptr_t>(child);
    }
}

void ArchiveStore::releaseChecked(int64_t at, uint32_t size) {
    // The check read every byte of the entry; lookups touch only what they need again. Without
    // this, a packed program would keep its whole archive resident once it has started.
    if (fileMapped && at >= 0 && at + size <= memoryFile.dataSize)
        platform::releaseMappedPages(memoryFile.buffer + at, size);
}

bool ArchiveStore::readEntryBytes(int32_t number, void* out, uint32_t size, int64_t* dataAt) {
    constexpr int32_t SCRATCH_SIZE = 65536;
    platform::MutexLock hold(readLock);
    try {
        if (!reader.openEntry(number))
            return false;
        if (dataAt)
            *dataAt = reader.entryDataOffset();
        std::unique_ptr<char[]> scratch(out ? nullptr : new char[SCRATCH_SIZE]);
        for (uint32_t done = 0; done < size;) {
            uint32_t left = size - done;
            int32_t count = out ? static_cast<int32_t>(left)
                                : static_cast<int32_t>(std::min<uint32_t>(left, SCRATCH_SIZE));
            char* into = out ? static_cast<char*>(out) + done : scratch.get();
            if (reader.read(into, count) != count) {
                reader.abandonEntry();
                return false;
            }
            done += static_cast<uint32_t>(count);
        }
        return reader.closeEntry() == 1;
    } catch (...) {
        // ArchiveError, or an allocation failure inside the reader: the entry is unusable.
        reader.abandonEntry();
        return false;
    }
}

namespace {

// `outer` + "!" + `name`, where an empty `outer` stands for no path at all.
ByteString joinPath(const ByteString& outer, const char* name, int32_t length) {
    ByteString last(name, name + length);
    return outer.isEmpty() ? last : outer + "!" + last;
}

} // namespace

// The one walk behind every lookup: `consume(store, entryNumber, nameThere, itsLength, trail)` is
// offered every match in order, this store's own first, then the nested archives' depth-first in
// index order, until it accepts one. A name with "!" skips the store's own entries and enters
// only the nested archive its head names.
template <typename Store, typename Consume>
bool ArchiveStore::search(Store& store, const char* name, int32_t nameLength,
                          const SearchTrail* trail, Consume& consume) {
    const char* bang = static_cast<const char*>(std::memchr(name, '!', nameLength));
    const char* head = nullptr;
    int32_t headLength = 0;
    const char* tail = name;
    int32_t tailLength = nameLength;
    if (!bang) {
        int32_t number = store.entryServing(name, nameLength);
        if (number >= 0 && consume(store, number, name, nameLength, trail))
            return true;
    } else if (bang == name) {
        return false; // no archive has an empty name
    } else {
        head = name;
        headLength = static_cast<int32_t>(bang - name);
        tail = bang + 1;
        tailLength = nameLength - headLength - 1;
    }
    for (int32_t k = 0; k < store.index.nestedCandidates.length; ++k) {
        const char* candidate = store.nestedName(k);
        if (head &&
            !sameName(head, headLength, candidate, static_cast<int32_t>(std::strlen(candidate))))
            continue;
        Store* child = store.nestedStore(k);
        SearchTrail step{trail, candidate};
        if (child && search(*child, tail, tailLength, &step, consume))
            return true;
    }
    return false;
}

ByteString ArchiveStore::trailPath(const ByteString& prefix, const SearchTrail* trail) {
    if (!trail)
        return prefix;
    return joinPath(trailPath(prefix, trail->outer), trail->name,
                    static_cast<int32_t>(std::strlen(trail->name)));
}

bool ArchiveStore::findPath(const ByteString& name, ByteString& found, const ByteString& prefix,
                            PathCallback callback, void* context) const {
    auto consume = [&](const ArchiveStore&, int32_t, const char* matched, int32_t matchedLength,
                       const SearchTrail* trail) {
        found = joinPath(trailPath(prefix, trail), matched, matchedLength);
        if (!callback)
            return true;
        callback(context, found);
        return false;
    };
    return search(*this, name.data, name.length, nullptr, consume);
}

int32_t ArchiveStore::claimedSize(int32_t number, int32_t limit) const {
    // Deflate makes at most 1032 bytes of each compressed byte (a 258-byte match in two bits).
    constexpr uint64_t MOST_INFLATED_PER_BYTE = 1032;
    const ArchiveEntryHeader& h = reader.header(number);
    uint64_t most = h.method == 0 ? h.compressedSize : h.compressedSize * MOST_INFLATED_PER_BYTE;
    if (h.compressedSize > reader.storageLength() || h.uncompressedSize > most ||
        h.uncompressedSize > static_cast<uint32_t>(limit))
        return -1;
    return static_cast<int32_t>(h.uncompressedSize);
}

bool ArchiveStore::readInto(int32_t number, ByteBuffer& content, int32_t limit) {
    int32_t size = claimedSize(number, limit);
    if (size < 0 || !content.tryReserve(size))
        return false;
    content.resize(size);
    return readEntryBytes(number, content.data, static_cast<uint32_t>(size));
}

bool ArchiveStore::readEntry(const ByteString& name, ByteBuffer& content) {
    auto consume = [&content](ArchiveStore& store, int32_t number, const char*, int32_t,
                              const SearchTrail*) {
        return store.readInto(number, content, INT32_MAX);
    };
    if (search(*this, name.data, name.length, nullptr, consume))
        return true;
    content.resize(0);
    return false;
}

bool ArchiveStore::readEntry(const ByteString& name, EntryMemory& memory, ArchiveStore** holder) {
    bool found = false;
    auto consume = [&memory, &found, holder](ArchiveStore& store, int32_t number, const char*,
                                             int32_t, const SearchTrail*) {
        int32_t size = store.claimedSize(number, INT32_MAX);
        if (size < 0)
            return false;
        // Memory that cannot be had ends the search here, so that no shadowed copy of the same
        // name further down is handed out instead.
        void* into = memory.take(size);
        if (!into)
            return true;
        bool intact = store.readEntryBytes(number, into, static_cast<uint32_t>(size));
        memory.finish(intact);
        if (intact && holder)
            *holder = &store;
        return found = intact;
    };
    search(*this, name.data, name.length, nullptr, consume);
    return found;
}

bool ArchiveStore::readOwnEntry(const ByteString& name, ByteBuffer& content, int32_t limit) {
    int32_t number = index.find(name.data, name.length);
    if (number >= 0 && readInto(number, content, limit))
        return true;
    content.resize(0);
    return false;
}

} // namespace zor
