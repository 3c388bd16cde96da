#include "config/runtime_locator.h"

#include "config/config_store.h"
#include "config/runtime_release.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/trace.h"

#include <cstring>
#include <initializer_list>

namespace zor {

namespace {

// A runtime's version as up to four numbers; each run of digits in the text is one number and
// anything else separates them, so "17.0.9+9", "1.8.0_392", "21.0.1.12" and "zulu-17" all read
// as meant. Older runtimes ("1.8") compare below newer ones ("9", "17") as numbers do.
struct RuntimeVersion {
    int32_t part[4] = {0, 0, 0, 0};
    bool known = false;

    static RuntimeVersion parse(const char* text) {
        RuntimeVersion version;
        int n = 0;
        for (const char* p = text ? text : ""; *p && n < 4;) {
            if (*p < '0' || *p > '9') {
                ++p;
                continue;
            }
            int32_t value = 0;
            for (; *p >= '0' && *p <= '9'; ++p)
                if (value < 100000000)
                    value = value * 10 + (*p - '0');
            version.part[n++] = value;
        }
        version.known = n > 0;
        return version;
    }
    bool newerThan(const RuntimeVersion& other) const {
        for (int i = 0; i < 4; ++i)
            if (part[i] != other.part[i])
                return part[i] > other.part[i];
        return false;
    }
};

// The JAVA_VERSION of the "release" file that every runtime since Java 8 carries in its home,
// e.g. "17.0.9". Unknown when the file or the line is missing.
RuntimeVersion releaseVersion(const ByteString& home) {
    ByteString text;
    if (!readReleaseFile(home, text))
        return RuntimeVersion();
    return RuntimeVersion::parse(javaVersionFromRelease(text.data, text.length).c_str());
}

// Picks among the runtimes one method finds: only libraries this process can load count; one
// that satisfies "minjre" beats one that does not, then the higher version wins, and on a tie
// the one found first.
class RuntimeChoice {
public:
    explicit RuntimeChoice(const ByteString& minimumVersion)
        : minimum(RuntimeVersion::parse(minimumVersion.c_str())) {}

    void offer(const ByteString& library, const RuntimeVersion& version) {
        if (library.isEmpty())
            return;
        if (!platform::libraryMatchesProcess(library.c_str()))
            return platform::trace("runtime %s: built for another machine", library.c_str());
        // "minjre" is a major and a minor number, compared as the launch compares it.
        bool fits = !minimum.known ||
                    (version.known &&
                     (version.part[0] > minimum.part[0] ||
                      (version.part[0] == minimum.part[0] && version.part[1] >= minimum.part[1])));
        if (chosen.isEmpty() || (fits && !satisfied) ||
            (fits == satisfied && version.newerThan(chosenVersion))) {
            platform::trace("runtime %s: version %d.%d.%d%s, the best so far", library.c_str(),
                            version.part[0], version.part[1], version.part[2],
                            fits ? "" : ", below the minimum");
            chosen = library;
            chosenVersion = version;
            satisfied = fits;
        }
    }
    void offer(const RuntimeChoice& other) { offer(other.chosen, other.chosenVersion); }
    // The library below a home folder, searched as the environment method searches; its version
    // from the home's release file, else from `versionText` (a registry key's name).
    void offerHome(const ByteString& home, const char* versionText) {
        ByteString library = findRuntimeBelow(home.c_str());
        if (library.isEmpty())
            return;
        RuntimeVersion version = releaseVersion(home);
        offer(library, version.known ? version : RuntimeVersion::parse(versionText));
    }

    ByteString chosen;
    RuntimeVersion chosenVersion;
    bool satisfied = false;

private:
    RuntimeVersion minimum;
};

// The folder `levels` folders above the one that holds `path`, ending in a separator.
ByteString folderAbove(const ByteString& path, int levels) {
    int32_t cut = path.length;
    for (int i = 0; i <= levels && cut > 0; ++i) {
        --cut;
        while (cut > 0 && !platform::isPathSeparator(path[cut - 1]))
            --cut;
    }
    return path.left(cut);
}

// A runtime that method j or v found in the registry: its library when that exists, else the
// one below its home.
void offerRecorded(void* choice, const ByteString& library, const ByteString& home,
                   const char* version) {
    RuntimeChoice& into = *static_cast<RuntimeChoice*>(choice);
    if (!library.isEmpty() && pathExists(library.c_str())) {
        // RuntimeLib is <home>\bin\server\jvm.dll.
        RuntimeVersion found = releaseVersion(folderAbove(library, 2));
        into.offer(library, found.known ? found : RuntimeVersion::parse(version));
    } else if (!home.isEmpty()) {
        into.offerHome(home, version);
    }
}

// Method p: every folder on PATH that holds the java command, resolved to its runtime's home.
void offerPathCommands(RuntimeChoice& choice) {
    ByteString path;
    if (!platform::getEnvironment("PATH", path))
        return;
    const char* element = path.c_str();
    while (true) {
        const char* end = std::strchr(element, platform::PATH_LIST_SEPARATOR);
        if (!end)
            end = element + std::strlen(element);
        ByteString home = platform::javaHomeOfCommandIn(ByteString(element, end).c_str());
        if (!home.isEmpty())
            choice.offerHome(home, "");
        if (!*end)
            break;
        element = end + 1;
    }
}

} // namespace

ByteString findRuntimeBelow(const char* home) {
    if (!home || !*home)
        return ByteString();
    ByteString base = platform::withTrailingSeparator(home);
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
    platform::trace("runtime home %s: no %s", home, platform::VM_LIBRARY_NAME);
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
    if (!platform::readLocalMachineText(vendorKey, "CurrentVersion", version))
        return ByteString();
    ByteString versionKey = ByteString(vendorKey) + "\\" + version;
    ByteString library;
    if (!platform::readLocalMachineText(versionKey.c_str(), "RuntimeLib", library))
        return ByteString();
    return pathExists(library.c_str()) ? library : ByteString();
}

ByteString ConfigStore::runtimeLibraryPath(EmbeddedRuntimeFinder embedded) const {
    ByteString order = getValue(KEY_JRE_ORDER);
    bool named = false;
    for (int32_t i = 0; i < order.length; ++i) {
        char& c = order.data[i];
        c = lowerAscii(c);
        if (c != 0 && std::strchr(JRE_ORDER_LETTERS, c))
            named = true;
    }
    if (!named)
        order = DEFAULT_JRE_ORDER;

    // What methods j, v and p found below "minjre": used only when nothing else is found, so
    // that the launch reports the version as too low rather than no runtime at all.
    ByteString minimum = getValue(KEY_MIN_JRE);
    RuntimeChoice tooOld(minimum);

    for (int32_t i = 0; i < order.length; ++i) {
        ByteString found;
        switch (order.data[i]) {
        case 'c': {
            ByteString configured = expandEnvironment(getValue(KEY_JVM_DLL).c_str());
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
        case EMBEDDED_RUNTIME_METHOD:
            if (embedded)
                // Any letter of an installed runtime's method after it is a fallback.
                found = embedded(std::strpbrk(order.c_str() + i + 1, DEFAULT_JRE_ORDER) != nullptr);
            break;
        case 'j':
        case 'v':
        case 'p': {
            RuntimeChoice choice(minimum);
            if (order.data[i] == 'j')
                platform::listJavaSoftRuntimes(offerRecorded, &choice);
            else if (order.data[i] == 'v')
                platform::listVendorRuntimes(offerRecorded, &choice);
            else
                offerPathCommands(choice);
            if (choice.satisfied)
                found = choice.chosen;
            else
                tooOld.offer(choice);
            break;
        }
        default:
            break;
        }
        platform::trace("runtime method %c: %s", order.data[i],
                        found.isEmpty() ? "nothing found" : found.c_str());
        if (!found.isEmpty())
            return found;
    }
    platform::trace("runtime search: %s",
                    tooOld.chosen.isEmpty() ? "nothing found" : tooOld.chosen.c_str());
    return tooOld.chosen;
}

} // namespace zor
