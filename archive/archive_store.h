// Archives inside the launcher's executable: one store per archive, with a sorted name index
// and child stores for the archives nested in it.
#pragma once

#include "archive/archive_reader.h"
#include "archive/multi_release.h"
#include "common/text.h"
#include "platform/sync.h"

#include <jni.h>

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
// True for names of at least five bytes ending in ".jar" or ".zip" in any letter case.
bool isNestedArchiveName(const char* name, int32_t length);

struct EntryIndex {
    Array<IndexEntry> entries;
    Array<int32_t> nestedCandidates; // positions in `entries`, in index order
    int32_t sortMode = SORT_PLAIN;

    // Entry number of `name`, or -1.
    int32_t find(const char* name, int32_t length) const;
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

    // The whole content of the first match as a new Java byte array, or null. A match whose
    // data cannot be read intact (damaged, wrong CRC) counts as absent. When the VM cannot make
    // the array, the search ends with null and the VM's error left pending. `holder`, when
    // given, receives the store whose archive held the match.
    jbyteArray readEntryToJavaArray(JNIEnv* env, const ByteString& name,
                                    ArchiveStore** holder = nullptr);
    // The same lookup and read into a native buffer.
    bool readEntry(const ByteString& name, ByteBuffer& content);
    // An entry of this archive alone; the nested archives are not searched.
    bool readOwnEntry(const ByteString& name, ByteBuffer& content);

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
// says it has happened.
extern ArchiveStore embeddedStore;
extern ArchiveStore appendedStore;
extern platform::Mutex storeOpenLock;
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
