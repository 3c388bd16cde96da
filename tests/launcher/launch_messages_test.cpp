#include "launcher/messages.h"

#include "launcher/launch_messages_support.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Tests run in the default (English) user language.
TEST(LoadMessage, EnglishEntriesAndGaps) {
    auto messages = zor::test::messageFile();
    ASSERT_EQ(messages.size(), 30u) << "ten entries in each of three languages";
    for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})
        EXPECT_STREQ(zor::loadMessage(id).c_str(), messages.at(std::make_pair(1033, id)).c_str())
            << id;
    // Entries without text, and ids outside the one block, are empty.
    for (int id : {0, 11, 15, 16, 31, -1})
        EXPECT_STREQ(zor::loadMessage(id).c_str(), "") << id;
}

TEST(LaunchErrorText, VersionMessageIsFilledInOrder) {
    EXPECT_STREQ(zor::launchErrorText(zor::VersionTooLow, 1, 4, 1, 5).c_str(),
                 "Java virtual machine version 1.4 is too low, require 1.5 or higher.");
    EXPECT_STREQ(
        zor::launchErrorText(zor::VersionTooLow, INT_MIN, INT_MIN, INT_MAX, INT_MAX).c_str(),
        "Java virtual machine version -2147483648.-2147483648 is too low, require "
        "2147483647.2147483647 or higher.");
    EXPECT_STREQ(zor::launchErrorText(zor::RuntimeUnpackFailed, 1, 2, 3, 4, "/c/%d").c_str(),
                 "The Java runtime inside this program cannot be unpacked into /c/%d.");
    // Other codes are shown as they stand, a stray format left alone.
    EXPECT_STREQ(zor::launchErrorText(zor::RuntimeNotFound, 1, 2, 3, 4).c_str(),
                 "Java Runtime Environment not found.");
}

} // namespace
