// The process-wide archives of a packed executable: resource 128 and the file itself.
#include "archive/archive_store.h"
#include "platform/resources.h"

#include <atomic>

namespace zor {

namespace {

class OwnArchives : public StoreSources {
public:
    bool embeddedArchive(const void** data, uint32_t* size) override {
        return platform::findOwnResource(RESOURCE_TYPE_RCDATA, APP_ARCHIVE_ID, data, size);
    }
    // The executable's own image: mapped for the life of the process.
    bool embeddedArchiveIsPermanent() override { return true; }
    ByteString appendedArchivePath() override { return nativeApplicationPath; }
};

OwnArchives ownArchives;
std::atomic<StoreSources*> processSources{&ownArchives};

} // namespace

void setProcessStoreSources(StoreSources* sources) {
    processSources.store(sources ? sources : &ownArchives);
}

bool ensureStoresOpen() {
    return ensureStoresOpen(*processSources.load());
}

} // namespace zor
