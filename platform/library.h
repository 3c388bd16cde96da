// Loading the Java runtime's VM library.
#pragma once

namespace zor::platform {

// Adds the "fail critical errors" and "no open-file error box" bits to the process error mode
// so that a library that fails to load shows no system dialog (Linux: nothing to do).
void quietLoadErrors();
void* loadLibrary(const char* path);
void* findSymbol(void* library, const char* name);
void freeLibrary(void* library);

} // namespace zor::platform
