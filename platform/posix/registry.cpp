// Linux has no registry: the registry search methods find nothing.
#include "platform/registry.h"

namespace zor::platform {

bool readLocalMachineText(const char*, const char*, ByteString&) {
    return false;
}

void listJavaSoftRuntimes(RecordedRuntime, void*) {}
void listVendorRuntimes(RecordedRuntime, void*) {}

} // namespace zor::platform
