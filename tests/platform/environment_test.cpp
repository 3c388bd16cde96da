#include "platform/environment.h"

#include <gtest/gtest.h>
#include <string>

using namespace zor;
using namespace zor::platform;

TEST(Environment, NamesCompareWithoutCase) {
    ASSERT_TRUE(setEnvironment("ZorPlatformTestVar", "some value"));
    ByteString value;
    for (const char* name : {"ZorPlatformTestVar", "ZORPLATFORMTESTVAR", "zorplatformtestvar"}) {
        EXPECT_TRUE(getEnvironment(name, value)) << name;
        EXPECT_EQ(value, "some value") << name;
    }
    // A prefix or a longer name is a different variable.
    EXPECT_FALSE(getEnvironment("ZorPlatformTest", value));
    EXPECT_FALSE(getEnvironment("ZorPlatformTestVar2", value));
    EXPECT_EQ(value, "");

    ASSERT_TRUE(setEnvironment("ZorPlatformTestVar", nullptr));
    EXPECT_FALSE(getEnvironment("zorplatformtestvar", value));
}

TEST(Environment, DefinedButEmptyIsDefined) {
    ASSERT_TRUE(setEnvironment("ZOR_PLATFORM_EMPTY", ""));
    ByteString value("stale");
    EXPECT_TRUE(getEnvironment("ZOR_PLATFORM_EMPTY", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(getEnvironment("ZOR_PLATFORM_NEVER_DEFINED", value));
    EXPECT_FALSE(getEnvironment("", value));
    setEnvironment("ZOR_PLATFORM_EMPTY", nullptr);
}

TEST(Environment, LongValuesComeBackWhole) {
    std::string longValue;
    for (int i = 0; i < 2000; ++i)
        longValue += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(setEnvironment("ZOR_PLATFORM_LONG", longValue.c_str()));
    ByteString value;
    ASSERT_TRUE(getEnvironment("zor_platform_long", value));
    EXPECT_EQ(std::string(value.c_str(), value.length), longValue);
    setEnvironment("ZOR_PLATFORM_LONG", nullptr);
}
