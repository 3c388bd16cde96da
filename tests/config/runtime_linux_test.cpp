// The locator against the runtimes installed on this Linux machine.
#include "config_fixture.h"

#include "config/config_store.h"
#include "config/runtime_locator.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using zortest::EnvironmentOverride;
using zortest::storeOf;

namespace {

const char* const JDK17 = "/usr/lib/jvm/java-17-openjdk-amd64";

TEST(InstalledRuntime, JavaHomeOfTheJdkFindsItsServerLibrary) {
    if (!std::filesystem::exists(std::string(JDK17) + "/lib/server/libjvm.so"))
        GTEST_SKIP() << "no JDK 17 at " << JDK17;
    EnvironmentOverride env;
    env.set("JRE_HOME", nullptr);
    env.set("JAVA_HOME", JDK17);
    EXPECT_STREQ(zor::findRuntimeFromEnvironment().c_str(),
                 "/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so");
    EXPECT_STREQ(storeOf("", "jre_order e\r\n").runtimeLibraryPath().c_str(),
                 "/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so");
}

TEST(InstalledRuntime, SystemMethodFindsTheDefaultRuntime) {
    zor::ByteString home = zor::platform::systemRuntimeHome();
    if (home.isEmpty())
        GTEST_SKIP() << "no default Java runtime on this machine";
    EnvironmentOverride env;
    env.set("JRE_HOME", nullptr);
    env.set("JAVA_HOME", nullptr);
    // No registry here: the JavaSoft key reads nothing.
    EXPECT_STREQ(zor::findRuntimeFromRegistry(zor::JAVASOFT_RUNTIME_KEY).c_str(), "");
    std::string found = storeOf("", "jre_order s\r\n").runtimeLibraryPath().c_str();
    std::string prefix = home.c_str();
    ASSERT_EQ(found.compare(0, prefix.size(), prefix), 0) << found << " is not below " << prefix;
    EXPECT_EQ(found.substr(found.size() - 10), "/libjvm.so");
    EXPECT_TRUE(std::filesystem::is_regular_file(found)) << found;
    // Without jre_order the default order "csie" puts the system's runtime before the one
    // JAVA_HOME names, which the environment method alone does find.
    zortest::TempFolder tmp;
    std::string other = tmp.writeFile("jdk/lib/server/libjvm.so");
    env.set("JAVA_HOME", (tmp / "jdk").c_str());
    EXPECT_EQ(storeOf("", "jre_order e\r\n").runtimeLibraryPath().c_str(), other);
    EXPECT_EQ(storeOf("", "").runtimeLibraryPath().c_str(), found);
    // Method i has nothing to stand in for it.
    EXPECT_STREQ(storeOf("", "jre_order i\r\n").runtimeLibraryPath().c_str(), "");
}

} // namespace
