// Loading the Java runtime's VM library, and how the VM reaches the launcher's own natives.
#pragma once

namespace zor::platform {

// Adds the "fail critical errors" and "no open-file error box" bits to the process error mode
// so that a library that fails to load shows no system dialog (Linux: nothing to do).
void quietLoadErrors();
// Null when the library cannot be loaded; an empty path never loads.
void* loadLibrary(const char* path);
void* findSymbol(void* library, const char* name);
void freeLibrary(void* library);

// True when the library file at `path` was built for the machine this program runs as (Windows:
// the PE header's machine field against the running executable's; Linux: the ELF class and
// machine). A 64-bit jvm.dll cannot load into a 32-bit launcher, nor the reverse; an unreadable
// or unrecognised file does not match.
bool libraryMatchesProcess(const char* path);

// True where the VM cannot reach the natives of the running program by itself. On Linux the
// support classes' System.load of the executable maps a second copy of it, whose natives would
// see none of this copy's state, so the launcher binds its natives with RegisterNatives right
// after the VM exists. On Windows loading the executable yields the running module, whose
// exported natives the VM finds on its own.
extern const bool NATIVES_NEED_BINDING;

} // namespace zor::platform
