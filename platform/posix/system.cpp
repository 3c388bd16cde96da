// Linux facts: '/' between folders, ':' between class path elements, libjvm.so below lib/.
#include "platform/system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zor::platform {

const char DIR_SEPARATOR = '/';
const char CLASS_PATH_SEPARATOR = ':';
const char PATH_LIST_SEPARATOR = ':';
const char* const VM_LIBRARY_NAME = "libjvm.so";
const char* const RUNTIME_CANDIDATE_FOLDERS[] = {"", "lib/", "jre/lib/", "../jre/lib/",
                                                 "jre/lib/amd64/"};
const int RUNTIME_CANDIDATE_FOLDER_COUNT =
    static_cast<int>(sizeof(RUNTIME_CANDIDATE_FOLDERS) / sizeof(RUNTIME_CANDIDATE_FOLDERS[0]));
const char* const JAVA_COMMAND_PATH = "bin/java";

ByteString modulePath() {
    char buffer[MAX_PATH_BYTES];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer));
    // readlink does not say whether it truncated: a full buffer counts as too long.
    if (n <= 0 || n >= MAX_PATH_BYTES)
        return ByteString();
    return ByteString(buffer, static_cast<int32_t>(n));
}

ByteString currentDirectory() {
    char buffer[MAX_PATH_BYTES];
    if (!getcwd(buffer, sizeof(buffer)))
        return ByteString();
    return ByteString(buffer);
}

bool setCurrentDirectory(const char* path) {
    return path && *path && chdir(path) == 0;
}

bool isRootedPath(const char* path) {
    return path && path[0] == '/';
}

ByteString joinForFullPath(const char* base, const char* path) {
    if (isRootedPath(path))
        return ByteString(path);
    ByteString joined(base);
    if (joined.length == 0 || joined[joined.length - 1] != '/')
        joined.append('/');
    joined.append(path);
    return joined;
}

int32_t fullPathName(const char* path, char* buffer, int32_t size) {
    if (!path || !*path)
        return 0;
    ByteString input;
    if (!isRootedPath(path)) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof(cwd)))
            return 0;
        input = cwd;
        input.append('/');
    }
    input.append(path);

    // Fold ".", ".." and repeated separators without looking at the file system.
    ByteString result;
    const char* p = input.c_str();
    while (*p) {
        while (*p == '/')
            ++p;
        const char* end = p;
        while (*end && *end != '/')
            ++end;
        int32_t n = static_cast<int32_t>(end - p);
        if (n == 0 || (n == 1 && p[0] == '.')) {
            // nothing to add
        } else if (n == 2 && p[0] == '.' && p[1] == '.') {
            int32_t cut = result.length;
            while (cut > 0 && result[cut - 1] != '/')
                --cut;
            result.resize(cut > 0 ? cut - 1 : 0);
        } else {
            result.append('/');
            result.append(p, n);
        }
        p = end;
    }
    // A trailing separator names the folder itself and stays, as on Windows.
    if (result.length == 0 || input[input.length - 1] == '/')
        result.append('/');

    if (result.length + 1 > size)
        return result.length + 1;
    std::memcpy(buffer, result.c_str(), static_cast<size_t>(result.length) + 1);
    return result.length;
}

namespace {

bool isFolder(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The resolved path with a trailing '/', or empty.
ByteString resolvedFolder(const char* path) {
    char* real = realpath(path, nullptr);
    if (!real)
        return ByteString();
    ByteString folder(real);
    std::free(real);
    return isFolder(folder.c_str()) ? withTrailingSeparator(folder.c_str()) : ByteString();
}

// The path of an executable "java" in a PATH element, or empty.
ByteString javaCommandIn(const char* folder) {
    // An empty PATH element means the current directory.
    ByteString command(folder && *folder ? folder : ".");
    command.append("/java");
    struct stat info;
    if (stat(command.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(command.c_str(), X_OK) != 0)
        return ByteString();
    return command;
}

// The runtime home of a java command, through its symbolic links: the folder above "bin/java".
ByteString homeOfJavaCommand(const char* command) {
    char* real = realpath(command, nullptr);
    if (!real)
        return ByteString();
    ByteString java(real);
    std::free(real);
    const char* tail = "/bin/java";
    int32_t tailLength = static_cast<int32_t>(std::strlen(tail));
    if (java.length <= tailLength ||
        std::strcmp(java.c_str() + java.length - tailLength, tail) != 0)
        return ByteString();
    return java.left(java.length - tailLength + 1);
}

} // namespace

ByteString javaHomeOfCommandIn(const char* folder) {
    ByteString command = javaCommandIn(folder);
    return command.isEmpty() ? command : homeOfJavaCommand(command.c_str());
}

ByteString systemRuntimeHome() {
    ByteString home = resolvedFolder("/usr/lib/jvm/default-java");
    if (home.length > 0)
        return home;

    const char* path = std::getenv("PATH");
    if (!path)
        return ByteString();
    while (true) {
        const char* end = std::strchr(path, ':');
        if (!end)
            end = path + std::strlen(path);
        // The first java on PATH decides, even when it leads to no runtime home.
        ByteString command = javaCommandIn(ByteString(path, end).c_str());
        if (!command.isEmpty())
            return homeOfJavaCommand(command.c_str());
        if (!*end)
            return ByteString();
        path = end + 1;
    }
}

} // namespace zor::platform

namespace zor::platform {

uint32_t processId() {
    return static_cast<uint32_t>(getpid());
}

int runProgram(const char* program, const char* const* arguments) {
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const char* const* a = arguments; a && *a; ++a)
        argv.push_back(const_cast<char*>(*a));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    int started = posix_spawn(&child, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ByteString userCacheFolder() {
    // The XDG rule: a relative XDG_CACHE_HOME is invalid and ignored.
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    ByteString folder;
    if (xdg && xdg[0] == '/') {
        folder = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return ByteString();
        folder = withTrailingSeparator(home) + ".cache";
    }
    return withTrailingSeparator(folder.c_str());
}

} // namespace zor::platform
