#include "core/character.h"

#include <gtest/gtest.h>

using namespace rubo;

namespace {

TEST(Character, AsciiRulesOnly) {
    EXPECT_EQ('A', to_upper('a'));
    EXPECT_EQ('Z', to_upper('z'));
    EXPECT_EQ('_', to_upper('_'));
    EXPECT_EQ('\xe9', to_upper('\xe9'));
    EXPECT_EQ('a', to_lower('A'));
    EXPECT_EQ('@', to_lower('@'));
    EXPECT_TRUE(is_letter('q'));
    EXPECT_TRUE(is_letter('Q'));
    EXPECT_FALSE(is_letter('['));
    EXPECT_FALSE(is_letter('`'));
    EXPECT_FALSE(is_letter('\xc4'));
}

TEST(Character, SpacesAreBlankTabAndLineEnds) {
    for (char c : {' ', '\t', '\n', '\r'}) EXPECT_TRUE(is_space(c));
    for (char c : {'\v', '\f', '\0', 'x'}) EXPECT_FALSE(is_space(c));
}

TEST(Character, LastCharAndSets) {
    EXPECT_EQ('c', last_char("abc"));
    EXPECT_EQ(0, last_char(""));
    EXPECT_EQ(0, last_char(nullptr));
    EXPECT_TRUE(in_set("-+", '+'));
    EXPECT_FALSE(in_set("-+", 'x'));
    EXPECT_TRUE(in_set("", '\0'));
}

TEST(Character, CompareBytesFoldsToLowerCase) {
    EXPECT_EQ(0, compare_bytes("ABC", "abc", 3, Case::INSENSITIVE));
    EXPECT_LT(compare_bytes("ABC", "abc", 3, Case::SENSITIVE), 0);
    EXPECT_LT(compare_bytes("a_", "aB", 2, Case::INSENSITIVE), 0);  // '_' before letters
    EXPECT_GT(compare_bytes("\xff", "a", 1, Case::INSENSITIVE), 0);
    EXPECT_EQ(0, compare_bytes("x", "y", 0, Case::SENSITIVE));
}

}  // namespace
