// The process-wide stores and their one-time opening.
#include "archive/archive_store.h"

#include <cstdlib>
#include <cstring>

namespace zor {

// Constructed in this order before the entry runs, destroyed in reverse at exit.
ArchiveStore embeddedStore(2);
ArchiveStore appendedStore(2);
platform::Mutex storeOpenLock;
std::atomic<int32_t> storesOpened{0};

bool ensureStoresOpen(StoreSources& sources) {
    // Once set, the stores never change again: readers need no lock.
    if (storesOpened.load(std::memory_order_acquire))
        return true;
    platform::MutexLock hold(storeOpenLock);
    if (storesOpened.load(std::memory_order_relaxed))
        return true;

    const void* resource = nullptr;
    uint32_t size = 0;
    // Without the embedded archive nothing is opened; the next call tries again.
    if (!sources.embeddedArchive(&resource, &size) || !resource || size == 0 || size > INT32_MAX)
        return false;
    // Read where it lies and unscrambled as it is read: no unscrambled copy of the whole
    // archive is made. Bytes that may go away are copied once, as they are.
    if (sources.embeddedArchiveIsPermanent()) {
        embeddedStore.openInPlace(resource, static_cast<int32_t>(size), unscrambleArchive, true);
    } else {
        char* image = static_cast<char*>(std::malloc(size));
        if (!image)
            return false;
        std::memcpy(image, resource, size);
        embeddedStore.openFromMemory(image, static_cast<int32_t>(size), unscrambleArchive);
    }

    ByteString path = sources.appendedArchivePath();
    appendedStore.openFromFile(path.c_str());

    storesOpened.store(1, std::memory_order_release);
    return true;
}

} // namespace zor
