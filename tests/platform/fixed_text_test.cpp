#include "platform/fixed_text.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

TEST(FixedText, CopiesTruncateToCapacityLessOne) {
    FixedText<5> text = "abcdefgh";
    EXPECT_EQ(text.view(), "abcd");
    EXPECT_EQ(text.size(), 4u);
    EXPECT_EQ(text.c_str()[4], '\0');

    text = "xy";
    EXPECT_EQ(text.view(), "xy");
    EXPECT_FALSE(text.append("123"));
    EXPECT_EQ(text.view(), "xy12");
    EXPECT_TRUE(text.append(""));
}

TEST(FixedText, StartsWithNComparesOnlyTheGivenLength) {
    EXPECT_TRUE(StartsWithN("localhost", "local", 5));
    EXPECT_TRUE(StartsWithN("passive-x", "passive", 7));
    EXPECT_FALSE(StartsWithN("loc", "local", 5));
    EXPECT_TRUE(StartsWithN(":AUTO_START", ":AUTO_START", 3));
    EXPECT_TRUE(StartsWithN(":AUx", ":AUTO_START", 3));
}

}  // namespace
}  // namespace korvanel
