// Linux has no registry: the registry search methods find nothing.
#include "platform/registry.h"

namespace zor::platform {

bool readLocalMachineValue(const char*, const char*, char*, uint32_t*) {
    return false;
}

bool listLocalMachineSubkeys(const char*, StringList&) {
    return false;
}

} // namespace zor::platform
