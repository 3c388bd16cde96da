// Linux path rules: rooted means a leading '/', full paths are folded lexically.
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/system.h"
#include "support/temp_folder.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace zor;
using namespace zor::platform;
using zor::test::TempFolder;

namespace {

std::string full(const char* path) {
    char buffer[MAX_PATH_BYTES];
    int32_t n = fullPathName(path, buffer, sizeof(buffer));
    return n > 0 && n < MAX_PATH_BYTES ? std::string(buffer, n) : "<" + std::to_string(n) + ">";
}

} // namespace

TEST(PosixPaths, RootedAndJoined) {
    EXPECT_TRUE(isRootedPath("/usr"));
    EXPECT_FALSE(isRootedPath("usr/lib"));
    EXPECT_FALSE(isRootedPath("C:\\x"));
    EXPECT_FALSE(isRootedPath(""));
    EXPECT_EQ(joinForFullPath("/opt/app/", "data"), "/opt/app/data");
    EXPECT_EQ(joinForFullPath("/opt/app", "data"), "/opt/app/data");
    EXPECT_EQ(joinForFullPath("/opt/app/", "/work"), "/work");
    EXPECT_EQ(joinForFullPath("/opt/app/", "."), "/opt/app/.");
}

TEST(PosixPaths, FullPathFoldsDotsAndSeparatorsLexically) {
    EXPECT_EQ(full("/a/b/../c"), "/a/c");
    EXPECT_EQ(full("/a//b/./c"), "/a/b/c");
    EXPECT_EQ(full("/a/b/"), "/a/b/");
    EXPECT_EQ(full("/a/b/."), "/a/b");
    EXPECT_EQ(full("/../../x"), "/x");
    EXPECT_EQ(full("/a/.."), "/");
    EXPECT_EQ(full("/"), "/");
    EXPECT_EQ(full("/a/..b/c.."), "/a/..b/c..");

    // No existence test and no link resolution.
    TempFolder temp;
    temp.makeFolder("real");
    ASSERT_EQ(symlink((temp / "real").c_str(), (temp / "link").c_str()), 0);
    std::string base = full(temp.withSeparator().c_str());
    EXPECT_EQ(full(((temp / "link") + "/../missing").c_str()), base + "missing");
}

TEST(PosixPaths, OverlongCurrentDirectoryReadsEmpty) {
    TempFolder temp;
    std::string deep = temp.withSeparator();
    while (deep.size() < 300)
        deep += "abcdefghijklmnopqrstuvwxyz/";
    std::filesystem::create_directories(deep);
    ByteString before = currentDirectory();
    ASSERT_EQ(chdir(deep.c_str()), 0);
    EXPECT_EQ(currentDirectory(), "");
    // The full path is not limited by the 260-byte buffers.
    char buffer[1024];
    EXPECT_GT(fullPathName("x", buffer, sizeof(buffer)), 300);
    ASSERT_EQ(chdir(before.c_str()), 0);
}

// Where /usr/lib/jvm/default-java exists, it wins over PATH; the PATH rules themselves are
// checked where it does not, which tests/platform/CMakeLists.txt arranges by running this
// test again with an empty folder mounted over /usr/lib/jvm.
TEST(PosixPaths, RuntimeHomeFromJavaOnPath) {
    TempFolder temp;
    temp.makeFolder("jdk/bin");
    temp.makeFolder("links");
    temp.writeFile("jdk/bin/java", "#!/bin/sh\n");
    ASSERT_EQ(chmod((temp / "jdk/bin/java").c_str(), 0755), 0);
    ASSERT_EQ(symlink((temp / "jdk/bin/java").c_str(), (temp / "links/java").c_str()), 0);
    temp.makeFolder("notexec");
    temp.writeFile("notexec/java", "");

    ByteString savedPath;
    bool hadPath = getEnvironment("PATH", savedPath);
    std::string path = (temp / "missing") + ":" + (temp / "notexec") + ":" + (temp / "links");
    ASSERT_TRUE(setEnvironment("PATH", path.c_str()));
    ByteString home = systemRuntimeHome();
    if (char* link = realpath("/usr/lib/jvm/default-java", nullptr)) {
        EXPECT_EQ(std::string(home.c_str()), std::string(link) + "/");
        std::free(link);
        setEnvironment("PATH", hadPath ? savedPath.c_str() : nullptr);
        return;
    }
    char* real = realpath((temp / "jdk").c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(std::string(home.c_str()), std::string(real) + "/");
    std::free(real);

    // A java that is not inside a bin folder names no home.
    temp.makeFolder("loose");
    temp.writeFile("loose/java", "#!/bin/sh\n");
    ASSERT_EQ(chmod((temp / "loose/java").c_str(), 0755), 0);
    ASSERT_TRUE(setEnvironment("PATH", (temp / "loose").c_str()));
    EXPECT_EQ(systemRuntimeHome(), "");
    ASSERT_TRUE(setEnvironment("PATH", ""));
    EXPECT_EQ(systemRuntimeHome(), "");

    setEnvironment("PATH", hadPath ? savedPath.c_str() : nullptr);
}

TEST(PosixPaths, SearchTreatsLinksToFoldersAsFolders) {
    TempFolder temp;
    temp.makeFolder("server");
    ASSERT_EQ(symlink((temp / "server").c_str(), (temp / "linked").c_str()), 0);
    ASSERT_EQ(symlink((temp / "gone").c_str(), (temp / "dangling").c_str()), 0);
    temp.writeFile("x[1].jar", "-");
    temp.writeFile("x1.jar", "-");

    std::map<std::string, bool> found;
    DirectorySearch search;
    for (bool more = search.first((temp / "*.*").c_str()); more; more = search.next())
        found[search.name()] = search.isFolder();
    EXPECT_TRUE(found.at("linked"));
    EXPECT_FALSE(found.at("dangling"));
    EXPECT_TRUE(search.first((temp / "dangling").c_str()));

    // Only '*' and '?' are wildcards; brackets are plain characters.
    ASSERT_TRUE(search.first((temp / "x[1]*").c_str()));
    EXPECT_STREQ(search.name(), "x[1].jar");
    EXPECT_FALSE(search.next());
}
