#include "config/runtime_locator.h"

#include "config/config_store.h"
#include "config/runtime_release.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/library.h"
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
        if (library.isEmpty() || !platform::libraryMatchesProcess(library.c_str()))
            return;
        // "minjre" is a major and a minor number, compared as the launch compares it.
        bool fits = !minimum.known ||
                    (version.known &&
                     (version.part[0] > minimum.part[0] ||
                      (version.part[0] == minimum.part[0] && version.part[1] >= minimum.part[1])));
        if (chosen.isEmpty() || (fits && !satisfied) ||
            (fits == satisfied && version.newerThan(chosenVersion))) {
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
        while (cut > 0 && path[cut - 1] != platform::DIR_SEPARATOR && path[cut - 1] != '/')
            --cut;
    }
    return path.left(cut);
}

// Method j: the keys of Oracle's Java 9 and later installers, which the OpenJDK builds' installers
// also write when asked to. Their JDK keys name only "JavaHome"; their JRE keys also name
// "RuntimeLib" (Oracle's installation guide for JDK 9; Adoptium's wix/Main.wxs.template).
void offerJavaSoftKeys(RuntimeChoice& choice) {
    for (const char* key : {"SOFTWARE\\JavaSoft\\JDK", "SOFTWARE\\JavaSoft\\JRE"}) {
        ByteString version;
        if (!readRegistryText(key, "CurrentVersion", version))
            continue;
        ByteString versionKey = ByteString(key) + "\\" + version;
        ByteString library;
        if (readRegistryText(versionKey.c_str(), "RuntimeLib", library) &&
            pathExists(library.c_str())) {
            // RuntimeLib is <home>\bin\server\jvm.dll.
            RuntimeVersion found = releaseVersion(folderAbove(library, 2));
            choice.offer(library, found.known ? found : RuntimeVersion::parse(version.c_str()));
            continue;
        }
        ByteString home;
        if (readRegistryText(versionKey.c_str(), "JavaHome", home))
            choice.offerHome(home, version.c_str());
    }
}

// Method v: the OpenJDK vendors' own keys. Each subkey of a listed key is one installation
// (named by its version), whose home folder is one value, found at the first of the places
// below the installation's key that holds it.
//  - Eclipse Adoptium (Temurin), formerly AdoptOpenJDK and Eclipse Foundation: the installer's
//    wix/Main.wxs.template writes "<vendor>\<JDK|JRE>\<version>\<jvm>\MSI" value "Path", jvm
//    being "hotspot" or "openj9"; its older templates wrote "<version>\MSI" (adoptium/installer,
//    CONFIGURATION.md).
//  - Microsoft Build of OpenJDK: the same installer branded "Microsoft" (adoptium/installer
//    wix/Lang/OpenJDK.microsoft.*): "Microsoft\JDK\<version>\hotspot\MSI" value "Path".
//  - IBM Semeru: the same installer with the OpenJ9 VM: "Semeru\<JDK|JRE>\<version>\openj9\MSI"
//    value "Path" (as Microsoft's azure-pipelines-agent Add-JavaCapabilities.ps1 reads it).
//  - Azul Zulu: "Azul Systems\Zulu\zulu-<major>[-jre]" value "InstallationPath"; the 32-bit
//    installers use "Azul Systems\Zulu 32-bit".
//  - BellSoft Liberica: "BellSoft\Liberica\<jdk|jre>-<major>[-full]" value "InstallationPath".
//  - Amazon Corretto: its installers write the JavaSoft keys instead (Java 8: "Java Runtime
//    Environment" and "Java Development Kit", corretto-8 issues 14 and 40; Java 11 and later:
//    "JDK", corretto-11 issue 301), which methods s and j read; it has no key of its own with a
//    published layout.
struct VendorLayout {
    const char* key;
    const char* value;
    const char* const* places; // null-terminated; "" is the installation's key itself
};

const char* const MSI_PLACES[] = {"hotspot\\MSI", "openj9\\MSI", "MSI", nullptr};
const char* const OWN_PLACE[] = {"", nullptr};

const VendorLayout VENDOR_LAYOUTS[] = {
    {"SOFTWARE\\Eclipse Adoptium\\JDK", "Path", MSI_PLACES},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", "Path", MSI_PLACES},
    {"SOFTWARE\\AdoptOpenJDK\\JDK", "Path", MSI_PLACES},
    {"SOFTWARE\\AdoptOpenJDK\\JRE", "Path", MSI_PLACES},
    {"SOFTWARE\\Eclipse Foundation\\JDK", "Path", MSI_PLACES},
    {"SOFTWARE\\Eclipse Foundation\\JRE", "Path", MSI_PLACES},
    {"SOFTWARE\\Microsoft\\JDK", "Path", MSI_PLACES},
    {"SOFTWARE\\Semeru\\JDK", "Path", MSI_PLACES},
    {"SOFTWARE\\Semeru\\JRE", "Path", MSI_PLACES},
    {"SOFTWARE\\Azul Systems\\Zulu", "InstallationPath", OWN_PLACE},
    {"SOFTWARE\\Azul Systems\\Zulu 32-bit", "InstallationPath", OWN_PLACE},
    {"SOFTWARE\\BellSoft\\Liberica", "InstallationPath", OWN_PLACE},
};

void offerVendorKeys(RuntimeChoice& choice) {
    for (const VendorLayout& layout : VENDOR_LAYOUTS) {
        StringList installations;
        if (!platform::listLocalMachineSubkeys(layout.key, installations))
            continue;
        for (int32_t i = 0; i < installations.count(); ++i) {
            ByteString installation = ByteString(layout.key) + "\\" + installations.item(i);
            for (const char* const* place = layout.places; *place; ++place) {
                ByteString key = installation;
                if (**place)
                    key = key + "\\" + *place;
                ByteString home;
                if (readRegistryText(key.c_str(), layout.value, home) && !home.isEmpty()) {
                    choice.offerHome(home, installations.item(i));
                    break;
                }
            }
        }
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
        c = lowerAscii(c);
        if (c != 0 && std::strchr(JRE_ORDER_LETTERS, c))
            named = true;
    }
    if (!named)
        order = DEFAULT_JRE_ORDER;

    // What methods j, v and p found below "minjre": used only when nothing else is found, so
    // that the launch reports the version as too low rather than no runtime at all.
    ByteString minimum = getValue("minjre");
    RuntimeChoice tooOld(minimum);

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
        case 'j':
        case 'v':
        case 'p': {
            RuntimeChoice choice(minimum);
            if (order.data[i] == 'j')
                offerJavaSoftKeys(choice);
            else if (order.data[i] == 'v')
                offerVendorKeys(choice);
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
        if (!found.isEmpty())
            return found;
    }
    return tooOld.chosen;
}

} // namespace zor
