// Read-only access to HKEY_LOCAL_MACHINE. Linux has no registry: every read fails.
#pragma once

#include <cstdint>

namespace zor::platform {

// RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, KEY_READ) + RegQueryValueExA into `buffer` of
// `*size` bytes. A value that does not fit fails. On success *size is the bytes stored.
bool readLocalMachineValue(const char* key, const char* valueName, char* buffer, uint32_t* size);

} // namespace zor::platform
