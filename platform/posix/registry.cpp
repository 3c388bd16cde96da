// Linux has no registry: the registry search methods find nothing.
#include "platform/registry.h"

namespace zor::platform {

bool readLocalMachineValue(const char*, const char*, char*, uint32_t*) {
    return false;
}

bool readLocalMachineText(const char*, const char*, ByteString&) {
    return false;
}

bool listLocalMachineSubkeys(const char*, StringList&) {
    return false;
}

void listJavaSoftRuntimes(RecordedRuntime, void*) {}
void listVendorRuntimes(RecordedRuntime, void*) {}

} // namespace zor::platform
