// Archives inside the launcher's executable: one store per archive, with a sorted name index
// and child stores for the archives nested in it.
#pragma once

#include "archive/archive_reader.h"
#include "archive/multi_release.h"
#include "common/text.h"
#include "platform/sync.h"

#include <atomic>
#include <cstdint>

namespace zor {

// Receives every path that findPath reports when it is given a callback.
using PathCallback = void (*)(void* context, const ByteString& path);

struct IndexEntry {
    const char* name; // the reader's copy; `length` bytes, no terminator relied on
    int32_t length;
    int32_t number; // position in the central directory
};

// Index order: 1 = shorter names first, then bytes; 0 = bytes first, then the shorter name.
// Either way "/" and "\" are the same byte and letter case matters.
constexpr int32_t SORT_PLAIN = 0;
constexpr int32_t SORT_LENGTH_FIRST = 1;

int compareEntryNames(const char* a, int32_t aLength, const char* b, int32_t bLength,
                      int32_t sortMode);

struct EntryIndex {
    Array<IndexEntry> entries;
    Array<int32_t> nestedCandidates; // positions in `entries`, in index order
    int32_t sortMode = SORT_PLAIN;

    // Entry number of `name`, or -1.
    int32_t find(const char* name, int32_t length) const;
};

// Where a whole entry is read to: the natives read into Java arrays of their own making.
class EntryMemory {
public:
    virtual ~EntryMemory() = default;
    // Room for the `size` bytes of a match, or null to end the search without it.
    virtual void* take(int32_t size) = 0;
    // The read into that room is over; when not `intact`, the search goes on.
    virtual void finish(bool intact) = 0;
};

class ArchiveStore : public ByteBuffer {
public:
    PointerArray nestedNameOffsets;
    ByteBuffer nestedNames;
    PointerArray nestedStores; // owned ArchiveStore*, null for a candidate that was not opened
    int32_t nestingDepth;
    ArchiveReader reader;
    MemoryFile memoryFile;
    EntryIndex index;
    // Empty unless the archive's manifest says "Multi-Release: true".
    VersionedIndex versions;
    platform::Mutex readLock;

    explicit ArchiveStore(int32_t depth);
    ArchiveStore(const ArchiveStore&) = delete;
    ArchiveStore& operator=(const ArchiveStore&) = delete;
    ~ArchiveStore() override;

    // Takes the malloc'ed image and opens it. Never fails: an unreadable archive leaves the
    // index empty. `decode`, when given, turns the image's bytes into the archive's as they are
    // read.
    void openFromMemory(char* image, int32_t size, MemoryFile::Decode decode = nullptr);
    // The same over bytes that stay where they are, unowned: they must stay valid and unchanged
    // as long as the store. `fileMapped`: they lie in a read-only file mapping, whose pages the
    // opening may release once it has checked them (see platform::releaseMappedPages).
    void openInPlace(const void* bytes, int32_t size, MemoryFile::Decode decode = nullptr,
                     bool fileMapped = false);
    void openFromFile(const char* path);

    // Resolves `name` ("lib\a.jar!x\y.txt" or a plain name, searched here and then in the
    // nested archives) to a resource path behind `prefix`. Without a callback: true at the first
    // match. With one: reports every match, depth-first, and returns false.
    bool findPath(const ByteString& name, ByteString& found, const ByteString& prefix,
                  PathCallback callback = nullptr, void* context = nullptr) const;

    // The whole content of the first match into memory that `memory` supplies. A match whose
    // data cannot be read intact (damaged, wrong CRC) counts as absent. `holder`, when given,
    // receives the store whose archive held the match.
    bool readEntry(const ByteString& name, EntryMemory& memory, ArchiveStore** holder = nullptr);
    // The same lookup and read into a native buffer.
    bool readEntry(const ByteString& name, ByteBuffer& content);
    // An entry of this archive alone, of at most `limit` bytes; the nested archives are not
    // searched.
    bool readOwnEntry(const ByteString& name, ByteBuffer& content, int32_t limit = INT32_MAX);

    const char* nestedName(int32_t k) const { return nestedNames.data + nestedNameOffsets[k]; }
    ArchiveStore* nestedStore(int32_t k) const {
        return reinterpret_cast<ArchiveStore*>(nestedStores[k]);
    }

private:
    // The nested archives a search has entered, innermost first: the resource path of a match.
    struct SearchTrail {
        const SearchTrail* outer;
        const char* name;
    };

    bool fileMapped = false;

    void reset();
    void openImage(const char* bytes, int32_t size, MemoryFile::Decode decode);
    void buildIndex();
    void indexVersionedEntries();
    // The entry that a plain name (no "!") is served from here, or -1.
    int32_t entryServing(const char* name, int32_t length) const;
    void openNestedArchives();
    // The size entry `number` claims, or -1 when the archive cannot hold that much (compressed
    // data longer than the archive, a stored entry longer than its data, more than deflate can
    // make of it) or it exceeds `limit`. Checked before anything is reserved for the entry.
    int32_t claimedSize(int32_t number, int32_t limit) const;
    // Entry `number` whole into `content`; false, without aborting, when it cannot be had.
    bool readInto(int32_t number, ByteBuffer& content, int32_t limit);
    // Reads entry `number` whole under readLock: into `out`, or without one only through a
    // scratch buffer, for the checks of a complete read. `dataAt` receives where its data lies
    // in this store's storage. False on any reader error.
    bool readEntryBytes(int32_t number, void* out, uint32_t size, int64_t* dataAt = nullptr);
    // Lets the pages of `size` bytes at `at` in this store's bytes go, when they are mapped.
    void releaseChecked(int64_t at, uint32_t size);
    // `prefix` followed by the names of the trail, outermost first, joined by "!".
    static ByteString trailPath(const ByteString& prefix, const SearchTrail* trail);
    template <typename Store, typename Consume>
    static bool search(Store& store, const char* name, int32_t length, const SearchTrail* trail,
                       Consume& consume);
};

// The two process-wide stores, the lock that guards their one-time opening and the flag that
// says it has happened. Never destroyed (see stores.cpp).
extern ArchiveStore& embeddedStore;
extern ArchiveStore& appendedStore;
extern platform::Mutex& storeOpenLock;
// The executable the natives serve: the appended archive's file and the classes' code source.
// The entry sets it once, before the VM exists; it outlives the configuration it came from.
extern ByteString& nativeApplicationPath;
extern std::atomic<int32_t> storesOpened;

// Where the process-wide archives come from.
class StoreSources {
public:
    virtual ~StoreSources() = default;
    // The application archive in its stored (scrambled) form; false when there is none.
    virtual bool embeddedArchive(const void** data, uint32_t* size) = 0;
    // True when the bytes that embeddedArchive gives are the executable's own image, a
    // read-only mapping of its file for the life of the process: the store then reads them where
    // they are instead of keeping a copy, and lets checked pages go back to the file.
    virtual bool embeddedArchiveIsPermanent() { return false; }
    // The file whose end holds the appended archive.
    virtual ByteString appendedArchivePath() = 0;
};

// Opens both process-wide stores on the first call that finds the embedded archive; true once
// they are open. The first form reads the executable's resource 128 and the application path of
// the current configuration.
bool ensureStoresOpen();
bool ensureStoresOpen(StoreSources& sources);
// Replaces what the first form reads (null: the executable's own archives again), for programs
// that host the natives without resources of their own.
void setProcessStoreSources(StoreSources* sources);

} // namespace zor
