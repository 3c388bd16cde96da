// The launcher's configuration: key/value lines from an optional file beside the executable
// followed by the comment of the archive appended to the executable.
#pragma once

#include "common/config_syntax.h"
#include "common/packed_file.h"
#include "common/text.h"

namespace zor {

// Configuration text sits in the last CONFIG_TEXT_LIMIT bytes of comment behind the end record.
constexpr int32_t ARCHIVE_COMMENT_WINDOW = END_RECORD_SIZE + CONFIG_TEXT_LIMIT;

using ValueCallback = void (*)(void* userData, const char* value);
// The search method for the runtime the executable carries (EMBEDDED_RUNTIME_METHOD), which the
// launcher provides: its VM library, empty when there is none. `othersFollow` tells it whether
// the search goes on after it.
using EmbeddedRuntimeFinder = ByteString (*)(bool othersFollow);

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
    // The runtime search (runtime_locator.cpp) and the class path (class_path.cpp).
    ByteString runtimeLibraryPath(EmbeddedRuntimeFinder embedded = nullptr) const;
    ByteString classPath() const;
};

// Process-wide state recorded by load(); empty before main runs, never destroyed.
extern ByteString& applicationHome;
extern ByteString& startDirectory;
// The entry's store while the launch runs; null before and after. The natives never read it.
extern ConfigStore* currentConfig;

// Standard callback for forEachValue: appends the expanded value to the StringList userData.
void appendExpandedValue(void* list, const char* value);

ByteString expandEnvironment(const char* text);
ByteString resolvePath(const char* path);
bool pathExists(const char* path);
// The comment behind the end record nearest the end of `executable` (within the window).
ByteString readArchiveComment(const char* executable);

} // namespace zor
