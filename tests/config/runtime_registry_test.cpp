// The registry methods against keys written for the test under HKEY_LOCAL_MACHINE.
#include "config_fixture.h"

#include "config/config_store.h"
#include "config/runtime_locator.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>

using zortest::EnvironmentOverride;
using zortest::storeOf;
using zortest::TempFolder;

namespace {

void writeValue(const std::string& key, const char* name, const std::string& data,
                bool withNul = true) {
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &handle, nullptr),
              ERROR_SUCCESS)
        << key;
    DWORD size = static_cast<DWORD>(data.size() + (withNul ? 1 : 0));
    EXPECT_EQ(
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), size),
        ERROR_SUCCESS);
    RegCloseKey(handle);
}

void deleteTree(const char* key) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
}

void deleteValue(const std::string& key, const char* name) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueA(handle, name);
        RegCloseKey(handle);
    }
}

std::string locate(const char* order) {
    return storeOf("", std::string("jre_order ") + order + "\r\n").runtimeLibraryPath().c_str();
}

// Both vendor keys in one test: the test programs may run at the same time and share the
// registry of their prefix.
TEST(RegistryRuntime, VendorKeys) {
    TempFolder tmp;
    EnvironmentOverride env;
    env.set("JRE_HOME", nullptr);
    env.set("JAVA_HOME", tmp.makeFolder("jdk").c_str());
    tmp.writeFile("jdk\\bin\\jvm.dll");
    std::string fromEnvironment = tmp / "jdk\\bin\\jvm.dll";
    const std::string javaSoft = zor::JAVASOFT_RUNTIME_KEY;
    const std::string ibm = zor::IBM_RUNTIME_KEY;
    deleteTree(zor::JAVASOFT_RUNTIME_KEY);
    deleteTree(zor::IBM_RUNTIME_KEY);

    // Without the key, "s" finds nothing even though JAVA_HOME names a runtime.
    EXPECT_EQ(locate("s"), "");
    EXPECT_EQ(locate("i"), "");
    EXPECT_EQ(locate("se"), fromEnvironment);

    std::string javaSoftLibrary = tmp.writeFile("sun\\bin\\client\\jvm.dll");
    writeValue(javaSoft, "CurrentVersion", "1.8");
    writeValue(javaSoft + "\\1.8", "RuntimeLib", javaSoftLibrary);
    std::string ibmLibrary = tmp.writeFile("ibm\\jre\\bin\\j9vm\\jvm.dll");
    writeValue(ibm, "CurrentVersion", "1.6");
    writeValue(ibm + "\\1.6", "RuntimeLib", ibmLibrary);

    EXPECT_EQ(std::string(zor::findRuntimeFromRegistry(zor::JAVASOFT_RUNTIME_KEY).c_str()),
              javaSoftLibrary);
    EXPECT_EQ(locate("s"), javaSoftLibrary);
    EXPECT_EQ(locate("I"), ibmLibrary);
    EXPECT_EQ(locate("isec"), ibmLibrary);
    EXPECT_EQ(locate("es"), fromEnvironment);
    EXPECT_EQ(storeOf("", "").runtimeLibraryPath().c_str(), javaSoftLibrary); // "csie"

    // A value stored without its terminating NUL is read as exactly its bytes.
    writeValue(javaSoft + "\\1.8", "RuntimeLib", javaSoftLibrary, false);
    EXPECT_EQ(locate("s"), javaSoftLibrary);

    // The library named by RuntimeLib is gone: the method yields nothing, the next one runs.
    std::filesystem::remove(javaSoftLibrary);
    EXPECT_EQ(locate("s"), "");
    EXPECT_EQ(locate("sie"), ibmLibrary);

    // CurrentVersion missing, or naming a version without a key.
    writeValue(ibm, "CurrentVersion", "9.9");
    EXPECT_EQ(locate("i"), "");
    deleteValue(ibm, "CurrentVersion");
    EXPECT_EQ(locate("i"), "");
    EXPECT_EQ(locate("ie"), fromEnvironment);

    // A RuntimeLib longer than the 260-byte buffer fails to read.
    writeValue(javaSoft, "CurrentVersion", "long");
    writeValue(javaSoft + "\\long", "RuntimeLib", std::string(300, 'x'));
    EXPECT_EQ(locate("s"), "");

    deleteTree(zor::JAVASOFT_RUNTIME_KEY);
    deleteTree(zor::IBM_RUNTIME_KEY);
}

// The methods for today's installers against keys as those installers write them, each naming
// a runtime tree with the test-double jvm.dll. One test: the keys are shared (see the lock).
TEST(RegistryRuntime, TodaysInstallers) {
    using zortest::fakeRuntime;
    using zortest::fakeRuntimeLibrary;
    TempFolder tmp;
    EnvironmentOverride env;
    env.set("JRE_HOME", nullptr);
    env.set("JAVA_HOME", nullptr);
    env.set("PATH", "");
    const char* const keys[] = {
        "SOFTWARE\\JavaSoft\\JDK",  "SOFTWARE\\JavaSoft\\JRE", "SOFTWARE\\Eclipse Adoptium",
        "SOFTWARE\\Microsoft\\JDK", "SOFTWARE\\Semeru",        "SOFTWARE\\Azul Systems",
        "SOFTWARE\\BellSoft",       zor::JAVASOFT_RUNTIME_KEY, zor::IBM_RUNTIME_KEY};
    auto clean = [&] {
        for (const char* key : keys)
            deleteTree(key);
    };
    clean();

    // Method j: JDK keys name the home only, JRE keys also the library; the higher one wins.
    std::string jdk17 = fakeRuntime(tmp, "jdk17", "17.0.9");
    std::string jre21 = fakeRuntime(tmp, "jre21", "21.0.1");
    writeValue("SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "17");
    writeValue("SOFTWARE\\JavaSoft\\JDK\\17", "JavaHome", jdk17);
    EXPECT_EQ(locate("j"), fakeRuntimeLibrary(jdk17));
    writeValue("SOFTWARE\\JavaSoft\\JRE", "CurrentVersion", "21");
    writeValue("SOFTWARE\\JavaSoft\\JRE\\21", "RuntimeLib", fakeRuntimeLibrary(jre21));
    EXPECT_EQ(locate("j"), fakeRuntimeLibrary(jre21));
    // A RuntimeLib that is gone: the version's JavaHome is searched instead.
    std::string jre22 = fakeRuntime(tmp, "jre22", "22");
    writeValue("SOFTWARE\\JavaSoft\\JRE\\21", "RuntimeLib", tmp / "gone\\jvm.dll");
    writeValue("SOFTWARE\\JavaSoft\\JRE\\21", "JavaHome", jre22);
    EXPECT_EQ(locate("j"), fakeRuntimeLibrary(jre22));

    // Method v: every installation of every vendor layout; the highest version wins, and a
    // runtime of the other architecture never does.
    struct Vendor {
        std::string key;   // what the test deletes to reach the next one
        std::string value; // key of the home value
        const char* name;
        std::string version;
    };
    const Vendor vendors[] = {
        {"SOFTWARE\\BellSoft\\Liberica\\jdk-24-full", "SOFTWARE\\BellSoft\\Liberica\\jdk-24-full",
         "InstallationPath", "24.0.1"},
        {"SOFTWARE\\Azul Systems\\Zulu\\zulu-23", "SOFTWARE\\Azul Systems\\Zulu\\zulu-23",
         "InstallationPath", "23.0.2"},
        {"SOFTWARE\\Semeru\\JRE\\20.0.2.9", "SOFTWARE\\Semeru\\JRE\\20.0.2.9\\openj9\\MSI", "Path",
         "20.0.2"},
        {"SOFTWARE\\Microsoft\\JDK\\19.0.1.10", "SOFTWARE\\Microsoft\\JDK\\19.0.1.10\\hotspot\\MSI",
         "Path", "19.0.1"},
        {"SOFTWARE\\Eclipse Adoptium\\JDK\\11.0.21.9",
         "SOFTWARE\\Eclipse Adoptium\\JDK\\11.0.21.9\\hotspot\\MSI", "Path", "11.0.21"},
    };
    std::string other = fakeRuntime(tmp, "other", "99", true);
    writeValue("SOFTWARE\\Eclipse Adoptium\\JDK\\99.0.0.1\\hotspot\\MSI", "Path", other + "\\");
    for (const Vendor& vendor : vendors)
        writeValue(vendor.value, vendor.name,
                   fakeRuntime(tmp, "vendor-" + vendor.version, vendor.version));
    // Two installations under one vendor key: the higher version wins whatever the key order.
    std::string adoptium8 = fakeRuntime(tmp, "adoptium8", "1.8.0_392");
    writeValue("SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.392.8\\hotspot\\MSI", "Path", adoptium8);
    for (const Vendor& vendor : vendors) {
        EXPECT_EQ(locate("v"), fakeRuntimeLibrary(tmp / ("vendor-" + vendor.version)))
            << vendor.key;
        deleteTree(vendor.key.c_str());
    }
    EXPECT_EQ(locate("v"), fakeRuntimeLibrary(adoptium8));
    std::string zulu17 = fakeRuntime(tmp, "zulu17", "17.0.9");
    writeValue("SOFTWARE\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", zulu17);

    // The order between the new methods, and PATH (method p) among them.
    std::string onPath = fakeRuntime(tmp, "onpath", "11.0.2");
    env.set("PATH", (tmp / "other\\bin;" + onPath + "\\bin").c_str());
    EXPECT_EQ(locate("p"), fakeRuntimeLibrary(onPath));
    EXPECT_EQ(locate("jvp"), fakeRuntimeLibrary(jre22));
    EXPECT_EQ(locate("vjp"), fakeRuntimeLibrary(zulu17));
    EXPECT_EQ(locate("pjv"), fakeRuntimeLibrary(onPath));

    // The default order tries them only when c, s, i and e find nothing, and then j first.
    EXPECT_EQ(storeOf("", "").runtimeLibraryPath().c_str(), fakeRuntimeLibrary(jre22));
    std::string javaHome = fakeRuntime(tmp, "javahome", "1.8.0_40");
    env.set("JAVA_HOME", javaHome.c_str());
    EXPECT_EQ(storeOf("", "").runtimeLibraryPath().c_str(), fakeRuntimeLibrary(javaHome));
    std::string sun = tmp.writeFile("sun\\bin\\client\\jvm.dll");
    writeValue(zor::JAVASOFT_RUNTIME_KEY, "CurrentVersion", "1.6");
    writeValue(std::string(zor::JAVASOFT_RUNTIME_KEY) + "\\1.6", "RuntimeLib", sun);
    env.set("JAVA_HOME", nullptr);
    EXPECT_EQ(storeOf("", "").runtimeLibraryPath().c_str(), sun);
    // "minjre" chooses among the runtimes of one method, not between the specified methods.
    EXPECT_EQ(storeOf("", "minjre 18.0\r\n").runtimeLibraryPath().c_str(), sun);
    deleteTree(zor::JAVASOFT_RUNTIME_KEY);
    EXPECT_EQ(storeOf("", "minjre 22.0\r\n").runtimeLibraryPath().c_str(),
              fakeRuntimeLibrary(jre22));
    EXPECT_EQ(locate("vpj\r\nminjre 22.0"), fakeRuntimeLibrary(jre22));

    clean();
}

} // namespace
