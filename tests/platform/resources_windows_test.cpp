// Resources compiled into this test program (resources_windows_test.rc).
#include "platform/resources.h"

#include <gtest/gtest.h>
#include <string>

using namespace zor::platform;

TEST(OwnResources, FindsCompiledResources) {
    const void* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(findOwnResource(RESOURCE_TYPE_RCDATA, 128, &data, &size));
    EXPECT_EQ(std::string(static_cast<const char*>(data), size), "application archive");
    EXPECT_FALSE(findOwnResource(RESOURCE_TYPE_RCDATA, 129, &data, &size));
    EXPECT_FALSE(findOwnResource(RESOURCE_TYPE_BITMAP, 128, &data, &size));
}
