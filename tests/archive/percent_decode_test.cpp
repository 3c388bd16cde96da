#include "archive/natives.h"

#include <gtest/gtest.h>

using zor::ByteString;
using zor::percentDecode;

namespace {

std::string decode(const char* text) {
    ByteString d = percentDecode(ByteString(text));
    return std::string(d.data, d.length);
}

} // namespace

TEST(PercentDecode, EscapesPlusAndDoublePercent) {
    EXPECT_EQ(decode("zor:docs\\read%20me.txt"), "zor:docs\\read me.txt");
    EXPECT_EQ(decode("zor:a+b.txt"), "zor:a b.txt");
    EXPECT_EQ(decode("50%%"), "50%");
    EXPECT_EQ(decode("%41%4a%4B"), "AJK");
    EXPECT_EQ(decode("%e4"), std::string("\xE4"));
}

TEST(PercentDecode, ShortAndMalformedEscapes) {
    // One hex digit at the end decodes to that value and the pass stops at the text's end.
    EXPECT_EQ(decode("zor:x%2"), std::string("zor:x\x02"));
    // One hex digit followed by a non-digit: "%" and the two characters after it are consumed.
    EXPECT_EQ(decode("%2zq"), std::string("\x02q"));
    EXPECT_EQ(decode("zor:100%"), "zor:100%");
    EXPECT_EQ(decode("%zz"), "%zz");
    // Only hex digits follow an escape's "%": no blank or sign as sscanf would allow.
    EXPECT_EQ(decode("a% 5b"), "a% 5b");
    EXPECT_EQ(decode("%+5"), "% 5"); // the "+" is then a space like any other
    EXPECT_EQ(decode("%-1"), "%-1");
    EXPECT_EQ(decode("%"), "%");
    EXPECT_EQ(decode(""), "");
}

TEST(PercentDecode, NulFromAnEscapeStaysInsideTheLength) {
    ByteString d = percentDecode(ByteString("a%00b"));
    ASSERT_EQ(d.length, 3);
    EXPECT_EQ(d.data[1], 0);
    EXPECT_EQ(d.data[2], 'b');
}
