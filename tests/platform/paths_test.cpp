// Path services whose behaviour is the same on every target.
#include "platform/system.h"
#include "support/temp_folder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace zor;
using namespace zor::platform;
using zor::test::TempFolder;

TEST(Paths, ModulePathNamesThisProgram) {
    ByteString path = modulePath();
    ASSERT_GT(path.length, 0);
    EXPECT_TRUE(isRootedPath(path.c_str()));
    std::string text(path.c_str());
    EXPECT_NE(text.find("platform_tests"), std::string::npos) << text;
    EXPECT_EQ(text.find(std::string(1, DIR_SEPARATOR) + std::string(1, DIR_SEPARATOR)),
              std::string::npos);
}

TEST(Paths, CurrentDirectoryFollowsChanges) {
    TempFolder temp;
    temp.makeFolder("inner");
    ByteString before = currentDirectory();
    ASSERT_GT(before.length, 0);

    ASSERT_TRUE(setCurrentDirectory((temp / "inner").c_str()));
    ByteString now = currentDirectory();
    // Compare the last component only: the temporary folder may be reached through a link.
    std::string text(now.c_str());
    EXPECT_EQ(text.substr(text.size() - 6), std::string(1, DIR_SEPARATOR) + "inner");

    // A relative full path is taken against the new current directory.
    char buffer[MAX_PATH_BYTES];
    int32_t n = fullPathName("x.txt", buffer, sizeof(buffer));
    EXPECT_EQ(std::string(buffer, n), text + DIR_SEPARATOR + "x.txt");

    EXPECT_FALSE(setCurrentDirectory((temp / "missing").c_str()));
    EXPECT_FALSE(setCurrentDirectory(""));
    EXPECT_TRUE(setCurrentDirectory(before.c_str()));
    EXPECT_EQ(currentDirectory(), before);
}

TEST(Paths, FullPathNameReportsNeededSizeWhenBufferIsSmall) {
    ByteString root = joinForFullPath(currentDirectory().c_str(), "");
    ByteString input = root + "alpha" + ByteString(&DIR_SEPARATOR, 1) + "beta";
    char buffer[MAX_PATH_BYTES];
    int32_t length = fullPathName(input.c_str(), buffer, sizeof(buffer));
    ASSERT_GT(length, 0);
    ASSERT_EQ(std::strlen(buffer), static_cast<size_t>(length));

    // Too small by one: the size needed, terminator included, and nothing written.
    char small[MAX_PATH_BYTES];
    std::memset(small, 'Q', sizeof(small));
    EXPECT_EQ(fullPathName(input.c_str(), small, length), length + 1);
    EXPECT_EQ(small[0], 'Q');
    EXPECT_EQ(fullPathName(input.c_str(), nullptr, 0), length + 1);
    // Exactly enough.
    EXPECT_EQ(fullPathName(input.c_str(), small, length + 1), length);
    EXPECT_STREQ(small, buffer);
    EXPECT_EQ(fullPathName("", buffer, sizeof(buffer)), 0);
}

TEST(RunProgram, ExitCodeOrMinusOneWhenItCannotStart) {
    const char* const cmd[] = {"/c", "exit", "7", nullptr};
    const char* const sh[] = {"-c", "[ \"$1\" = 'a \"b' ] && exit 7", "-", "a \"b", nullptr};
    EXPECT_EQ(DIR_SEPARATOR == '/' ? runProgram("/bin/sh", sh)
                                   : runProgram("C:\\windows\\system32\\cmd.exe", cmd),
              7);
    EXPECT_EQ(runProgram((TempFolder() / "missing").c_str(), cmd), -1);
}
