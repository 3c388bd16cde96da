// The process-wide stores and their one-time opening.
#include "archive/archive_store.h"
#include "platform/trace.h"

#include <cstdlib>
#include <cstring>

namespace zor {

// Java threads may still be inside a native while exit() runs the destructors of static
// objects (one thread calls System.exit while another loads a class; daemon threads outlive
// DestroyJavaVM). So nothing a native can reach is ever destroyed: the stores and their lock,
// the class-origin caches (class_origin.cpp), the process-wide strings (config_store.cpp) and
// the application path below are made once and live until the process ends.
ArchiveStore& embeddedStore = *new ArchiveStore(2);
ArchiveStore& appendedStore = *new ArchiveStore(2);
platform::Mutex& storeOpenLock = *new platform::Mutex;
ByteString& nativeApplicationPath = *new ByteString;
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
    if (!sources.embeddedArchive(&resource, &size) || !resource || size == 0 || size > INT32_MAX) {
        platform::trace("no application archive (resource 128)");
        return false;
    }
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

    platform::trace("application archive: %d entries; appended archive %s: %d entries",
                    embeddedStore.index.entries.length, path.c_str(),
                    appendedStore.index.entries.length);
    storesOpened.store(1, std::memory_order_release);
    return true;
}

} // namespace zor
