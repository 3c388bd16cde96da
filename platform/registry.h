// Read-only access to HKEY_LOCAL_MACHINE. Linux has no registry: its text read fails and its
// lists are empty; the two raw reads below that the lists are made of exist on Windows alone.
#pragma once

#include "common/text.h"

#include <cstdint>

namespace zor::platform {

// RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, KEY_READ) + RegQueryValueExA into `buffer` of
// `*size` bytes. A value that does not fit fails. On success *size is the bytes stored.
bool readLocalMachineValue(const char* key, const char* valueName, char* buffer, uint32_t* size);

// A value as text. The stored bytes need not end in NUL, so the text ends at the first NUL or
// after the bytes reported, whichever comes first.
bool readLocalMachineText(const char* key, const char* valueName, ByteString& text);

// What an installer recorded of one runtime: its VM library or its home folder (either may be
// empty) and the version its key names.
using RecordedRuntime = void (*)(void* context, const ByteString& library, const ByteString& home,
                                 const char* version);
// Every runtime that the keys of Java 9 and later installers record (method j), or that the
// OpenJDK vendors' own keys record (method v). Linux has none.
void listJavaSoftRuntimes(RecordedRuntime report, void* context);
void listVendorRuntimes(RecordedRuntime report, void* context);

// Appends the names of the direct subkeys of HKEY_LOCAL_MACHINE\key to `names`, in the order
// RegEnumKeyExA yields them. False when the key cannot be opened.
bool listLocalMachineSubkeys(const char* key, StringList& names);

} // namespace zor::platform
