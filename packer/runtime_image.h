// The Java runtime an executable carries: the check that a folder holds a runtime for the
// target, and the ZIP image of it that the launcher unpacks (see RUNTIME_IMAGE_ID).
#pragma once

#include "packer/bytes.h"
#include "packer/packing.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zor::pack {

// The VM library of a runtime for `target`, relative to the runtime's home.
const char* vmLibraryPath(Target target);

// Throws PackError unless `folder` holds a `release` file and the VM library of the target's
// system and architecture; the message names what is missing or what the folder is for.
void checkRuntimeFolder(const std::string& folder, Target target);

struct RuntimeImage {
    Bytes zip;
    std::string hash; // RUNTIME_IMAGE_HASH_DIGITS lower-case hex digits, also in the comment
    uint64_t files = 0;
    uint64_t unpackedBytes = 0;
};

// The content hash of a runtime image: FNV-1a 64 over the files in name order, each as its
// name, a zero byte, its size as 8 bytes little-endian, and its bytes. Feed the files in name
// order; the size keeps one file's bytes from passing for the next one's name.
class RuntimeHash {
public:
    void beginFile(const std::string& name, uint64_t size);
    void add(const void* data, size_t size);
    std::string hex() const;

private:
    uint64_t state = 0xcbf29ce484222325ull;
};

// The image of the runtime in `folder`: every regular file below it, symbolic links followed
// (a JDK installed by a package links into /etc). A link that leads nowhere is left out with a
// warning: the runtime in the folder could not have read it either. Directory links that lead
// back into their own ancestors are refused. The same files give the same bytes.
RuntimeImage buildRuntimeImage(const std::string& folder,
                               const std::function<void(const std::string&)>& warn);

} // namespace zor::pack
