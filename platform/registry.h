// Read-only access to HKEY_LOCAL_MACHINE. Linux has no registry: every read fails.
#pragma once

#include "common/text.h"

#include <cstdint>

namespace zor::platform {

// RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, KEY_READ) + RegQueryValueExA into `buffer` of
// `*size` bytes. A value that does not fit fails. On success *size is the bytes stored.
bool readLocalMachineValue(const char* key, const char* valueName, char* buffer, uint32_t* size);

// Appends the names of the direct subkeys of HKEY_LOCAL_MACHINE\key to `names`, in the order
// RegEnumKeyExA yields them. False when the key cannot be opened.
bool listLocalMachineSubkeys(const char* key, StringList& names);

} // namespace zor::platform
