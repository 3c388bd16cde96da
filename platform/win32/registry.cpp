#include "platform/registry.h"

#include "platform/system.h"

#include <windows.h>

#include <initializer_list>

namespace zor::platform {

bool readLocalMachineValue(const char* key, const char* valueName, char* buffer, uint32_t* size) {
    if (!key || !buffer || !size || *size == 0)
        return false;
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    DWORD bytes = *size;
    LONG result = RegQueryValueExA(opened, valueName, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS)
        return false;
    // Callers read the value as text, but the registry does not promise a terminator: add one
    // when it is missing, and refuse a value that leaves no room for it.
    if (bytes == 0 || buffer[bytes - 1] != 0) {
        if (bytes >= *size)
            return false;
        buffer[bytes] = 0;
    }
    *size = bytes;
    return true;
}

bool readLocalMachineText(const char* key, const char* valueName, ByteString& text) {
    char buffer[MAX_PATH_BYTES];
    uint32_t size = sizeof buffer;
    // A value read whole always holds a terminator within its bytes.
    if (!readLocalMachineValue(key, valueName, buffer, &size))
        return false;
    text = buffer;
    return true;
}

bool listLocalMachineSubkeys(const char* key, StringList& names) {
    if (!key)
        return false;
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    // Key names are at most 255 characters.
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        LONG result =
            RegEnumKeyExA(opened, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        names.add(name, static_cast<int32_t>(length));
    }
    RegCloseKey(opened);
    return true;
}

// Method j: the keys of Oracle's Java 9 and later installers, which the OpenJDK builds' installers
// also write when asked to. Their JDK keys name only "JavaHome"; their JRE keys also name
// "RuntimeLib" (Oracle's installation guide for JDK 9; Adoptium's wix/Main.wxs.template).
void listJavaSoftRuntimes(RecordedRuntime report, void* context) {
    for (const char* key : {"SOFTWARE\\JavaSoft\\JDK", "SOFTWARE\\JavaSoft\\JRE"}) {
        ByteString version, library, home;
        if (!readLocalMachineText(key, "CurrentVersion", version))
            continue;
        ByteString versionKey = ByteString(key) + "\\" + version;
        readLocalMachineText(versionKey.c_str(), "RuntimeLib", library);
        readLocalMachineText(versionKey.c_str(), "JavaHome", home);
        report(context, library, home, version.c_str());
    }
}

namespace {

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

} // namespace

void listVendorRuntimes(RecordedRuntime report, void* context) {
    for (const VendorLayout& layout : VENDOR_LAYOUTS) {
        StringList installations;
        if (!listLocalMachineSubkeys(layout.key, installations))
            continue;
        for (int32_t i = 0; i < installations.count(); ++i) {
            ByteString installation = ByteString(layout.key) + "\\" + installations.item(i);
            for (const char* const* place = layout.places; *place; ++place) {
                ByteString key = **place ? installation + "\\" + *place : installation;
                ByteString home;
                if (readLocalMachineText(key.c_str(), layout.value, home) && !home.isEmpty()) {
                    report(context, ByteString(), home, installations.item(i));
                    break;
                }
            }
        }
    }
}

} // namespace zor::platform
