// Windows path rules: drive letters and GetFullPathNameA.
#include "platform/system.h"

#include <gtest/gtest.h>
#include <string>

using namespace zor;
using namespace zor::platform;

namespace {

std::string full(const char* path) {
    char buffer[MAX_PATH_BYTES];
    int32_t n = fullPathName(path, buffer, sizeof(buffer));
    return n > 0 && n < MAX_PATH_BYTES ? std::string(buffer, n) : "<" + std::to_string(n) + ">";
}

} // namespace

TEST(WindowsPaths, RootedAndJoined) {
    EXPECT_TRUE(isRootedPath("\\work"));
    EXPECT_TRUE(isRootedPath("/work"));
    EXPECT_TRUE(isRootedPath("D:data"));
    EXPECT_FALSE(isRootedPath("data\\x"));
    EXPECT_FALSE(isRootedPath(""));

    EXPECT_EQ(joinForFullPath("C:\\app\\", "data"), "C:\\app\\data");
    EXPECT_EQ(joinForFullPath("C:\\app", "data"), "C:\\app\\data");
    EXPECT_EQ(joinForFullPath("C:\\app\\", "\\work"), "C:\\work");
    EXPECT_EQ(joinForFullPath("C:\\app\\", "/work"), "C:/work");
    EXPECT_EQ(joinForFullPath("C:\\app\\", "D:data"), "D:data");
    EXPECT_EQ(joinForFullPath("C:\\app\\", ""), "C:\\app\\");
}

TEST(WindowsPaths, FullPathFollowsTheSystem) {
    EXPECT_EQ(full("C:\\a\\b\\..\\c"), "C:\\a\\c");
    EXPECT_EQ(full("C:\\a\\.\\b\\"), "C:\\a\\b\\");
    EXPECT_EQ(full("C:/a/b"), "C:\\a\\b");
    EXPECT_EQ(full(joinForFullPath("C:\\app\\", ".").c_str()), "C:\\app");
}
