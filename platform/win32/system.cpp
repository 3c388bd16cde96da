// Windows facts and path services (ANSI functions).
#include "platform/system.h"

#include <windows.h>

#include <cstring>

namespace zor::platform {

const char DIR_SEPARATOR = '\\';
const char CLASS_PATH_SEPARATOR = ';';
const char PATH_LIST_SEPARATOR = ';';
const char* const VM_LIBRARY_NAME = "jvm.dll";
const char* const RUNTIME_CANDIDATE_FOLDERS[] = {"", "bin\\", "jre\\bin\\", "..\\jre\\bin\\"};
const int RUNTIME_CANDIDATE_FOLDER_COUNT =
    static_cast<int>(sizeof(RUNTIME_CANDIDATE_FOLDERS) / sizeof(RUNTIME_CANDIDATE_FOLDERS[0]));
const char* const JAVA_COMMAND_PATH = "bin\\java.exe";

ByteString modulePath() {
    char buffer[MAX_PATH_BYTES];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    // A full buffer means the name was cut short.
    if (n == 0 || n >= sizeof(buffer))
        return ByteString();
    return ByteString(buffer, static_cast<int32_t>(n));
}

ByteString currentDirectory() {
    char buffer[MAX_PATH_BYTES];
    DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
    if (n == 0 || n >= sizeof(buffer))
        return ByteString();
    return ByteString(buffer, static_cast<int32_t>(n));
}

bool setCurrentDirectory(const char* path) {
    return path && *path && SetCurrentDirectoryA(path) != 0;
}

bool isRootedPath(const char* path) {
    return path && (path[0] == '\\' || path[0] == '/' || (path[0] && path[1] == ':'));
}

ByteString joinForFullPath(const char* base, const char* path) {
    if (!path)
        path = "";
    if (path[0] && path[1] == ':')
        return ByteString(path);
    ByteString baseText(base);
    if (path[0] == '\\' || path[0] == '/')
        return baseText.left(2) + path; // the base's drive
    if (baseText.length == 0 || baseText[baseText.length - 1] != '\\')
        baseText.append('\\');
    baseText.append(path);
    return baseText;
}

int32_t fullPathName(const char* path, char* buffer, int32_t size) {
    if (!path || !*path || size < 0)
        return 0;
    return static_cast<int32_t>(
        GetFullPathNameA(path, static_cast<DWORD>(size), size > 0 ? buffer : nullptr, nullptr));
}

ByteString systemRuntimeHome() {
    return ByteString();
}

ByteString javaHomeOfCommandIn(const char* folder) {
    ByteString bin(folder ? folder : "");
    // Windows allows a PATH element in quotes (one holding ';').
    if (bin.length >= 2 && bin[0] == '"' && bin[bin.length - 1] == '"')
        bin = ByteString(bin.data + 1, bin.length - 2);
    if (bin.isEmpty())
        return ByteString();
    char full[MAX_PATH_BYTES];
    int32_t n = fullPathName(bin.c_str(), full, sizeof full);
    if (n <= 0 || n >= MAX_PATH_BYTES)
        return ByteString();
    ByteString home(full, n);
    while (home.length > 0 && isPathSeparator(home[home.length - 1]))
        home.resize(home.length - 1);
    DWORD attributes = GetFileAttributesA((home + "\\java.exe").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ByteString();
    // The command's folder is the runtime's "bin": its home is the folder above.
    int32_t cut = home.length;
    while (cut > 0 && !isPathSeparator(home[cut - 1]))
        --cut;
    return cut > 0 ? home.left(cut) : ByteString();
}

} // namespace zor::platform

namespace zor::platform {

uint32_t processId() {
    return GetCurrentProcessId();
}

namespace {

// One argument as the C runtime's command-line parser reads it back: as it is unless it is
// empty or holds blanks or quotes, else in quotes, with the backslashes before a quote (and
// before the closing one) doubled.
void appendQuoted(ByteString& line, const char* argument) {
    if (*argument && !std::strpbrk(argument, " \t\"")) {
        line.append(argument);
        return;
    }
    line.append('"');
    int32_t backslashes = 0;
    for (const char* p = argument; *p; ++p) {
        if (*p == '\\') {
            ++backslashes;
        } else {
            for (int32_t n = *p == '"' ? backslashes + 1 : 0; n > 0; --n)
                line.append('\\');
            backslashes = 0;
        }
        line.append(*p);
    }
    for (; backslashes > 0; --backslashes)
        line.append('\\');
    line.append('"');
}

} // namespace

int runProgram(const char* program, const char* const* arguments) {
    ByteString line;
    appendQuoted(line, program);
    for (const char* const* a = arguments; a && *a; ++a) {
        line.append(' ');
        appendQuoted(line, *a);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // No console of its own shows up, and no handle of this process is inherited.
    if (!CreateProcessA(program, line.data, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = 0;
    bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return ended ? static_cast<int>(code) : -1;
}

ByteString userCacheFolder() {
    char buffer[MAX_PATH_BYTES];
    DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof(buffer));
    if (n == 0 || n >= sizeof(buffer) || !isRootedPath(buffer))
        return ByteString();
    return withTrailingSeparator(buffer);
}

} // namespace zor::platform
