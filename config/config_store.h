// The launcher's configuration: key/value lines from an optional file beside the executable
// followed by the comment of the archive appended to the executable.
#pragma once

#include "common/packed_file.h"
#include "common/text.h"

namespace zor {

// Configuration text sits in the last CONFIG_TEXT_LIMIT bytes of comment behind the end record.
constexpr int32_t ARCHIVE_COMMENT_WINDOW = END_RECORD_SIZE + CONFIG_TEXT_LIMIT;

// Runtime search methods: c = "jvmdll", e = JRE_HOME/JAVA_HOME, s = JavaSoft registry key (on
// Linux: the system's default runtime), i = IBM registry key; then the runtimes of today's
// installers: j = the Java 9+ JavaSoft keys, v = the OpenJDK vendors' own keys, p = the java
// command on PATH. The last three run after the others, so an order that found a runtime with
// the first four still finds the same one.
constexpr const char* JRE_ORDER_LETTERS = "csiejvp";
constexpr const char* DEFAULT_JRE_ORDER = "csiejvp";
constexpr const char* JAVASOFT_RUNTIME_KEY = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr const char* IBM_RUNTIME_KEY = "SOFTWARE\\IBM\\Java2 Runtime Environment";

using ValueCallback = void (*)(void* userData, const char* value);

class ConfigStore : public ByteString {
public:
    // Length of the file part including the CR LF after it; embedded-only lookups start here.
    int32_t embeddedOffset = 0;
    ByteString executablePath;

    // Reads the configuration of the running executable and records startDirectory,
    // executablePath and applicationHome.
    void load();
    // The same for a given executable and start folder (load() passes the process's own).
    // The configuration file is the executable's name with its extension (".exe") replaced
    // by ".cfg", else ".config"; a name without a three-letter extension gets them appended.
    void loadFor(const char* executable, const char* currentDirectory);

    ByteString getValue(const char* key, bool embeddedOnly = false) const;
    void forEachValue(const char* key, ValueCallback callback, void* userData) const;

    ByteString applicationPath() const;
    ByteString applicationHome() const;
    ByteString forcedWorkingDirectory() const;
    ByteString runtimeLibraryPath() const;
    ByteString classPath() const;
};

// Process-wide state recorded by load(); constructed empty before main runs.
extern ByteString applicationHome;
extern ByteString startDirectory;
// Set by the entry while the launch runs; null before and after.
extern ConfigStore* currentConfig;

// Standard callback for forEachValue: appends the expanded value to the StringList userData.
void appendExpandedValue(void* list, const char* value);

ByteString expandEnvironment(const char* text);
ByteString resolvePath(const char* path);
bool pathExists(const char* path);
// The comment behind the end record nearest the end of `executable` (within the window).
ByteString readArchiveComment(const char* executable);

ByteString findRuntimeFromEnvironment();
ByteString findRuntimeFromRegistry(const char* vendorKey);
// The VM library in a runtime home: in each candidate folder, then one folder level below it.
ByteString findRuntimeBelow(const char* home);

// Class path elements are joined by platform::CLASS_PATH_SEPARATOR; configuration values
// separate them by ";" on every target.
void appendClassPathElements(void* classPath, const char* value);
// Appends separator + path of every ".jar" / ".zip" below folder, depth-first in directory order;
// each real folder is listed once, where the walk first reaches it (links may lead back up).
void scanArchives(const char* folder, ByteString& classPath);

} // namespace zor
