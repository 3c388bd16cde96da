// The registry methods against keys written for the test under HKEY_LOCAL_MACHINE.
#include "config_fixture.h"

#include "config/config_store.h"

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

} // namespace
