// The running executable's own resource block: a packed copy of this test program reads it.
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "resource_image.h"
#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

using namespace zor;
using namespace zor::platform;
using namespace zor::test;

namespace {

std::string lookup(int type, int id) {
    const void* data = nullptr;
    uint32_t size = 0;
    if (!findOwnResource(type, id, &data, &size))
        return "<none>";
    return std::string(static_cast<const char*>(data), size);
}

} // namespace

TEST(OwnResources, PlainProgramHasNone) {
    EXPECT_EQ(lookup(RESOURCE_TYPE_RCDATA, 128), "<none>");
    EXPECT_EQ(lookup(RESOURCE_TYPE_BITMAP, 100), "<none>");
}

// Runs only inside the packed copy that the next test makes.
TEST(OwnResources, DISABLED_ReadFromPackedCopy) {
    EXPECT_EQ(lookup(RESOURCE_TYPE_RCDATA, 128), "application archive");
    EXPECT_EQ(lookup(RESOURCE_TYPE_BITMAP, 100), "BM splash");
    EXPECT_EQ(lookup(RESOURCE_TYPE_BITMAP, 128), "<none>");
    // The image is mapped once: both lookups see the same bytes.
    const void* first = nullptr;
    const void* second = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(findOwnResource(RESOURCE_TYPE_RCDATA, 128, &first, &size));
    ASSERT_TRUE(findOwnResource(RESOURCE_TYPE_RCDATA, 128, &second, &size));
    EXPECT_EQ(first, second);
}

TEST(OwnResources, PackedCopyReadsItsBlock) {
    TempFolder temp;
    ByteString self = modulePath();
    ASSERT_GT(self.length, 0);
    std::string packed = (temp / "packed");
    std::filesystem::copy_file(self.c_str(), packed);
    {
        std::ofstream out(packed, std::ios::binary | std::ios::app);
        out << resourceBlock({{RESOURCE_TYPE_RCDATA, 128, "application archive"},
                              {RESOURCE_TYPE_BITMAP, 100, "BM splash"}})
            << zipArchive("mainclass x.Main\r\n");
    }
    std::filesystem::permissions(packed, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    std::string command = "timeout 60 '" + packed +
                          "' --gtest_also_run_disabled_tests"
                          " --gtest_filter=OwnResources.DISABLED_ReadFromPackedCopy"
                          " >'" +
                          (temp / "log") + "' 2>&1";
    int status = std::system(command.c_str());
    std::ifstream log((temp / "log"));
    std::string output((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}
