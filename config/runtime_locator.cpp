#include "config/config_store.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <cstring>
#include <initializer_list>

namespace zor {

namespace {

ByteString withTrailingSeparator(const char* folder) {
    ByteString path(folder);
    char last = path.isEmpty() ? 0 : path.data[path.length - 1];
    if (last != platform::DIR_SEPARATOR && last != '/')
        path.append(platform::DIR_SEPARATOR);
    return path;
}

// A registry value as text. The stored bytes need not end in NUL, so the text ends at the
// first NUL or after the bytes reported, whichever comes first.
bool readRegistryText(const char* key, const char* valueName, ByteString& text) {
    char buffer[platform::MAX_PATH_BYTES];
    uint32_t size = sizeof buffer;
    if (!platform::readLocalMachineValue(key, valueName, buffer, &size))
        return false;
    if (size > sizeof buffer)
        size = sizeof buffer;
    const void* nul = std::memchr(buffer, 0, size);
    text = ByteString(buffer, nul ? static_cast<int32_t>(static_cast<const char*>(nul) - buffer)
                                  : static_cast<int32_t>(size));
    return true;
}

} // namespace

ByteString findRuntimeBelow(const char* home) {
    if (!home || !*home)
        return ByteString();
    ByteString base = withTrailingSeparator(home);
    for (int c = 0; c < platform::RUNTIME_CANDIDATE_FOLDER_COUNT; ++c) {
        ByteString folder = base + platform::RUNTIME_CANDIDATE_FOLDERS[c];
        ByteString direct = folder + platform::VM_LIBRARY_NAME;
        if (pathExists(direct.c_str()))
            return direct;
        // Variant folders ("server", "client", ...) one level down, in directory order.
        platform::DirectorySearch search;
        if (!search.first((folder + "*").c_str()))
            continue;
        do {
            if (!search.isFolder() || std::strcmp(search.name(), ".") == 0 ||
                std::strcmp(search.name(), "..") == 0)
                continue;
            ByteString candidate = folder + search.name();
            candidate.append(platform::DIR_SEPARATOR);
            candidate.append(platform::VM_LIBRARY_NAME);
            if (pathExists(candidate.c_str()))
                return candidate;
        } while (search.next());
    }
    return ByteString();
}

ByteString findRuntimeFromEnvironment() {
    for (const char* name : {"JRE_HOME", "JAVA_HOME"}) {
        ByteString home;
        if (!platform::getEnvironment(name, home) || home.isEmpty())
            continue;
        ByteString found = findRuntimeBelow(home.c_str());
        if (!found.isEmpty())
            return found;
    }
    return ByteString();
}

ByteString findRuntimeFromRegistry(const char* vendorKey) {
    ByteString version;
    if (!readRegistryText(vendorKey, "CurrentVersion", version))
        return ByteString();
    ByteString versionKey = ByteString(vendorKey) + "\\" + version;
    ByteString library;
    if (!readRegistryText(versionKey.c_str(), "RuntimeLib", library))
        return ByteString();
    return pathExists(library.c_str()) ? library : ByteString();
}

ByteString ConfigStore::runtimeLibraryPath() const {
    ByteString order = getValue("jre_order");
    bool named = false;
    for (int32_t i = 0; i < order.length; ++i) {
        char& c = order.data[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c == 'c' || c == 's' || c == 'i' || c == 'e')
            named = true;
    }
    if (!named)
        order = DEFAULT_JRE_ORDER;

    for (int32_t i = 0; i < order.length; ++i) {
        ByteString found;
        switch (order.data[i]) {
        case 'c': {
            ByteString configured = expandEnvironment(getValue("jvmdll").c_str());
            if (configured.isEmpty())
                break;
            ByteString resolved = resolvePath(configured.c_str());
            if (pathExists(resolved.c_str()))
                found = resolved;
            break;
        }
        case 'e':
            found = findRuntimeFromEnvironment();
            break;
        case 's':
            found = findRuntimeFromRegistry(JAVASOFT_RUNTIME_KEY);
            // Systems without that key (Linux) name their default runtime another way.
            if (found.isEmpty())
                found = findRuntimeBelow(platform::systemRuntimeHome().c_str());
            break;
        case 'i':
            found = findRuntimeFromRegistry(IBM_RUNTIME_KEY);
            break;
        default:
            break;
        }
        if (!found.isEmpty())
            return found;
    }
    return ByteString();
}

} // namespace zor
