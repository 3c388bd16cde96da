// The runtime's major version, read from the release file of its home before it is loaded.
#include "config_fixture.h"

#include "config/runtime_release.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using zortest::sep;
using zortest::TempFolder;

namespace {

int32_t fromText(const std::string& text) {
    return zor::majorVersionFromRelease(text.data(), static_cast<int32_t>(text.size()));
}

TEST(RuntimeRelease, MajorVersionOfTheJavaVersionLine) {
    EXPECT_EQ(fromText("IMPLEMENTOR=\"Debian\"\nJAVA_RUNTIME_VERSION=\"21.0.1+12\"\n"
                       "JAVA_VERSION=\"17.0.15\"\nLIBC=\"gnu\"\n"),
              17)
        << "JAVA_RUNTIME_VERSION is another key";
    EXPECT_EQ(fromText("JAVA_VERSION=\"25\"\r\n"), 25);
    EXPECT_EQ(fromText("JAVA_VERSION=\"1.8.0_392\"\n"), 8);
    EXPECT_EQ(fromText("JAVA_VERSION=21.0.2"), 21) << "unquoted, no line end";
    EXPECT_EQ(fromText("JAVA_VERSION=\"22-ea\"\n"), 22);
    for (const char* none : {"", "JAVA_VERSION=\"\"\n", "JAVA_VERSION=\"x\"\n",
                             " JAVA_VERSION=\"17\"", "MY_JAVA_VERSION=\"17\"\n", "JAVA_VERSION\n"})
        EXPECT_EQ(fromText(none), 0) << none;
    EXPECT_GT(fromText("JAVA_VERSION=\"99999999999999999999\"\n"), 0)
        << "an absurd number neither overflows nor reads as unknown";
}

TEST(RuntimeRelease, FoundInTheLibrarysFolderOrAFewAbove) {
    TempFolder tmp;
    const std::string library = zor::platform::VM_LIBRARY_NAME;
    tmp.writeFile("jdk/lib/server/" + library, "library");
    tmp.writeFile("jdk/release", "JAVA_VERSION=\"17.0.15\"\n");
    EXPECT_EQ(zor::runtimeMajorVersion((tmp / ("jdk/lib/server/" + library)).c_str()), 17);
    // An old layout: the home is four folders above the library.
    tmp.writeFile("old/jre/lib/amd64/server/" + library, "library");
    tmp.writeFile("old/release", "JAVA_VERSION=\"1.8.0_392\"\n");
    EXPECT_EQ(zor::runtimeMajorVersion((tmp / ("old/jre/lib/amd64/server/" + library)).c_str()), 8);
    // A folder named release is no release file; the nearest file wins.
    tmp.writeFile("jdk/lib/release/x", "");
    EXPECT_EQ(zor::runtimeMajorVersion((tmp / ("jdk/lib/server/" + library)).c_str()), 17);
    tmp.writeFile("jdk/lib/server/release", "JAVA_VERSION=\"21\"\n");
    EXPECT_EQ(zor::runtimeMajorVersion((tmp / ("jdk/lib/server/" + library)).c_str()), 21);

    tmp.writeFile("bare/" + library, "library");
    EXPECT_EQ(zor::runtimeMajorVersion((tmp / ("bare/" + library)).c_str()), 0);
    EXPECT_EQ(zor::runtimeMajorVersion(library.c_str()), 0) << "no folder to look in";
    EXPECT_EQ(zor::runtimeMajorVersion(""), 0);
    EXPECT_EQ(zor::runtimeMajorVersion(nullptr), 0);
}

} // namespace
