#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>

using zor::ByteString;
using zor::StringList;
using zor::WideString;

TEST(ByteString, GrowthFollowsTheCommonRule) {
    ByteString s(nullptr, -1);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.capacity, 8);
    EXPECT_EQ(s.data[0], 0);
    s.resize(5);
    EXPECT_EQ(s.capacity, 8);
    s.resize(10);
    EXPECT_EQ(s.capacity, 16);
    s.resize(40);
    EXPECT_EQ(s.capacity, 48);
    s.resize(0);
    EXPECT_EQ(s.capacity, 48);
    EXPECT_EQ(s.data[0], 0);
    EXPECT_EQ(zor::grownCapacity(100, 1000), (1000 + 11) & ~7);
    // Near the 2 GiB limit the rule still gives room for the need, without overflowing.
    EXPECT_EQ(zor::grownCapacity(1 << 29, (1 << 29) + 1), 1 << 30);
    EXPECT_EQ(zor::grownCapacity(8, INT32_MAX), INT32_MAX);
    EXPECT_EQ(zor::grownCapacity(INT32_MAX - 8, INT32_MAX - 7), INT32_MAX);
}

TEST(ByteString, AppendKeepsTheTerminatorAndSurvivesSelfAppend) {
    ByteString s("abc");
    s.append(s);
    s.append(s);
    EXPECT_STREQ(s.c_str(), "abcabcabcabc");
    EXPECT_EQ(s.data[s.length], 0);
    char* gap = s.insertGap(3, 2);
    gap[0] = '-';
    gap[1] = '-';
    EXPECT_STREQ(s.c_str(), "abc--abcabcabc");
}

TEST(ByteString, LeftMidAndConcatenation) {
    ByteString s("abcd");
    EXPECT_STREQ(s.left(10).c_str(), "abcd");
    EXPECT_STREQ(s.left(2).c_str(), "ab");
    EXPECT_TRUE(s.mid(4).isEmpty());
    EXPECT_TRUE(s.mid(9).isEmpty());
    EXPECT_STREQ(s.mid(1).c_str(), "bcd");
    EXPECT_STREQ(("-D" + s).c_str(), "-Dabcd");
    EXPECT_STREQ((s + ".class").c_str(), "abcd.class");
}

TEST(ByteString, CompareUsesSignedBytesAndMissingBytesCountAsZero) {
    ByteString s("abc");
    EXPECT_EQ(s.compare("abc"), 0);
    EXPECT_EQ(s.compare("ab"), 'c');
    EXPECT_EQ(s.compare("abcd"), -'d');
    EXPECT_LT(s.compare("abd"), 0);
    ByteString high("\xE4");
    EXPECT_LT(high.compare("a"), 0); // 0xE4 is negative as a signed byte
    EXPECT_EQ(ByteString("zor:").compareNoCase(ByteString("ZOR:")), 0);
    EXPECT_NE(ByteString("zo").compareNoCase(ByteString("zor:")), 0);
    EXPECT_NE(ByteString("zor;").compareNoCase(ByteString("ZOR:")), 0);
}

TEST(ByteString, FormatGrowsInsteadOfOverflowing) {
    ByteString s;
    s.format("version %d.%d is too low, require %d.%d", 1, 4, 1, 5);
    EXPECT_STREQ(s.c_str(), "version 1.4 is too low, require 1.5");
    std::string big(3000, 'x');
    s.format("<%s>", big.c_str());
    EXPECT_EQ(s.length, 3002);
    EXPECT_EQ(s.data[3001], '>');
    EXPECT_EQ(s.data[3002], 0);
}

TEST(ByteString, WideConversionStopsAtNul) {
    const uint16_t text[] = {'a', 'b', 0, 'c', 'd'};
    ByteString s("old");
    s.assignFromWide(text, 5);
    EXPECT_STREQ(s.c_str(), "ab");
    const uint16_t umlaut[] = {'a', 0xE4, 'b'};
    s.assignFromWide(umlaut, 3);
    WideString back;
    back.assignFromNarrow(s.c_str(), s.length);
    ASSERT_EQ(back.length, 3);
    EXPECT_EQ(back.data[1], 0xE4);
    EXPECT_EQ(back.data[3], 0);
}

TEST(StringList, PacksStringsWithOffsets) {
    StringList list;
    list.add("a");
    list.add("bc");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.buffer.length, 5);
    EXPECT_EQ(std::memcmp(list.buffer.data, "a\0bc\0", 5), 0);
    EXPECT_EQ(list.offsets[0], 0u);
    EXPECT_EQ(list.offsets[1], 2u);
    EXPECT_STREQ(list.item(1), "bc");
}

TEST(Buffers, EmptyBuffersAllocateNothingAndDetachHandsOverStorage) {
    zor::ByteBuffer b;
    EXPECT_EQ(b.data, nullptr);
    b.append("xyz", 3);
    char* taken = b.detach();
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.length, 0);
    EXPECT_EQ(b.capacity, 0);
    EXPECT_EQ(std::memcmp(taken, "xyz", 3), 0);
    std::free(taken);
}
