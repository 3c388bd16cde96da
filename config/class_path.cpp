#include "config/class_path.h"

#include "config/config_store.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/system.h"

#include <cstring>

namespace zor {

void appendClassPathElements(void* classPath, const char* value) {
    ByteString& text = *static_cast<ByteString*>(classPath);
    const char* segment = value;
    while (segment && *segment) {
        const char* end = std::strchr(segment, ';');
        if (!end)
            end = segment + std::strlen(segment);
        if (end > segment) {
            // Split before expanding: a variable holding ";" stays one path.
            ByteString element(segment, end);
            text.append(platform::CLASS_PATH_SEPARATOR);
            text.append(resolvePath(expandEnvironment(element.c_str()).c_str()));
        }
        segment = *end ? end + 1 : end;
    }
}

namespace {

// Folder links can lead back to a parent, and two such links make a walk that follows them
// exponential: each real folder is listed once, where the walk first reaches it.
void scanFolder(const char* folder, ByteString& classPath, Array<platform::FolderIdentity>& seen) {
    platform::FolderIdentity identity;
    if (platform::identifyFolder(folder, &identity)) {
        for (int32_t i = 0; i < seen.length; ++i)
            if (seen[i] == identity)
                return;
        seen.add(identity);
    }
    ByteString base = platform::withTrailingSeparator(folder);
    platform::DirectorySearch search;
    if (!search.first((base + "*").c_str()))
        return;
    do {
        const char* name = search.name();
        if (search.isFolder()) {
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            ByteString sub = base + name;
            sub.append(platform::DIR_SEPARATOR);
            scanFolder(sub.c_str(), classPath, seen);
        } else if (hasArchiveExtension(name, std::strlen(name))) {
            classPath.append(platform::CLASS_PATH_SEPARATOR);
            classPath.append(base);
            classPath.append(name);
        }
    } while (search.next());
}

} // namespace

void scanArchives(const char* folder, ByteString& classPath) {
    Array<platform::FolderIdentity> seen;
    scanFolder(folder, classPath, seen);
}

ByteString ConfigStore::classPath() const {
    // The executable comes first: its appended archive holds the launcher's own classes.
    ByteString text(executablePath);

    forEachValue(KEY_CLASS_PATH, appendClassPathElements, &text);

    // Taken as they are: these already use the system's own separator.
    ByteString classpath;
    ByteString classPathAlias;
    bool hasClasspath = platform::getEnvironment("CLASSPATH", classpath);
    bool hasAlias = platform::getEnvironment("CLASS_PATH", classPathAlias);
    if (hasClasspath) {
        text.append(platform::CLASS_PATH_SEPARATOR);
        text.append(classpath);
    }
    if (hasAlias) {
        text.append(platform::CLASS_PATH_SEPARATOR);
        text.append(classPathAlias);
    }

    StringList folders;
    forEachValue(KEY_LIBS, appendExpandedValue, &folders);
    for (int32_t i = 0; i < folders.count(); ++i) {
        ByteString found;
        scanArchives(resolvePath(folders.item(i)).c_str(), found);
        text.append(found);
    }
    return text;
}

} // namespace zor
