// Facts and services of the operating system that differ between Windows and Linux.
#pragma once

#include "common/text.h"

namespace zor::platform {

// Paths are read through buffers of this size (at most 259 characters).
constexpr int32_t MAX_PATH_BYTES = 260;

extern const char DIR_SEPARATOR;          // '\\' on Windows, '/' on Linux
extern const char CLASS_PATH_SEPARATOR;   // what the VM expects between class path elements
extern const char PATH_LIST_SEPARATOR;    // between the folders of PATH: ';' or ':'
extern const char* const VM_LIBRARY_NAME; // "jvm.dll" or "libjvm.so"
// Folders below a runtime home where the VM library is looked for, each empty or ending in
// the directory separator, in search order.
extern const char* const RUNTIME_CANDIDATE_FOLDERS[];
extern const int RUNTIME_CANDIDATE_FOLDER_COUNT;
// The java command below a runtime home: "bin\\java.exe" or "bin/java".
extern const char* const JAVA_COMMAND_PATH;

// Paths from users and the environment may use '/' on Windows too.
inline bool isPathSeparator(char c) {
    return c == DIR_SEPARATOR || c == '/';
}
// `folder` ending in a separator; an empty one becomes the separator alone.
inline ByteString withTrailingSeparator(const char* folder) {
    ByteString path(folder);
    if (path.isEmpty() || !isPathSeparator(path[path.length - 1]))
        path.append(DIR_SEPARATOR);
    return path;
}

// Full path of the running executable; empty when it does not fit MAX_PATH_BYTES.
ByteString modulePath();
// The process's current directory; empty when it does not fit MAX_PATH_BYTES.
ByteString currentDirectory();
bool setCurrentDirectory(const char* path);

// True for a path that is not relative to any folder (Windows: begins with '\' or '/', or has
// a drive colon as second character; Linux: begins with '/').
bool isRootedPath(const char* path);
// Joins base and path the way the forced working directory is resolved: a rooted path
// stays, a path rooted at the drive takes the base's drive, anything else is appended to base.
ByteString joinForFullPath(const char* base, const char* path);
// GetFullPathNameA semantics: the length written, the size needed when `size` is too small,
// 0 on failure. Linux normalises lexically against the current directory.
int32_t fullPathName(const char* path, char* buffer, int32_t size);

// The system's default Java runtime home (Linux: what /usr/lib/jvm/default-java or the
// `java` command on PATH resolves to), ending in the separator; empty where there is none.
ByteString systemRuntimeHome();

// The home of the Java runtime whose launcher command ("java.exe", Linux: an executable "java",
// through its symbolic links) lies in `folder`, one PATH element: the folder above that
// command's "bin" folder, ending in the separator; empty where there is no such command.
ByteString javaHomeOfCommandIn(const char* folder);

uint32_t processId();

// Runs `program` with the arguments of the null-terminated list `arguments` (the program's name
// not included), without a window and with its output discarded, and waits for it to end. Its
// exit code; -1 when it could not be started.
int runProgram(const char* program, const char* const* arguments);

// The folder where this user's programs keep caches (Windows: %LOCALAPPDATA%; Linux:
// $XDG_CACHE_HOME, else ~/.cache), ending in the separator; empty where there is none.
ByteString userCacheFolder();

} // namespace zor::platform
