#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/string.h"

using namespace rubo;

namespace {

std::string grouped(std::int64_t value) { return String(value).text(); }

TEST(NumberText, GroupsFromFiveDigitsOn) {
    EXPECT_EQ("0", grouped(0));
    EXPECT_EQ("999", grouped(999));
    EXPECT_EQ("1000", grouped(1000));
    EXPECT_EQ("1234", grouped(1234));
    EXPECT_EQ("12,345", grouped(12345));
    EXPECT_EQ("123,456", grouped(123456));
    EXPECT_EQ("999,999", grouped(999999));
    EXPECT_EQ("1,234,567", grouped(1234567));
    EXPECT_EQ("1,048,576", grouped(1048576));
    EXPECT_EQ("5,000,000,000", grouped(5000000000LL));
}

TEST(NumberText, SignStaysInFrontAndIsNotCounted) {
    EXPECT_EQ("-1", grouped(-1));
    EXPECT_EQ("-1234", grouped(-1234));
    EXPECT_EQ("-12,345", grouped(-12345));
    EXPECT_EQ("-100,000", grouped(-100000));
}

TEST(NumberText, SixtyFourBitExtremes) {
    EXPECT_EQ("9,223,372,036,854,775,807", grouped(INT64_MAX));
    const String smallest(INT64_MIN);
    EXPECT_STREQ("-9,223,372,036,854,775,808", smallest.text());
    EXPECT_EQ(26, smallest.length());
    EXPECT_EQ(51, smallest.capacity());
}

TEST(NumberText, OtherIntegerTypesWiden) {
    EXPECT_EQ("4,294,967,295", std::string(String(UINT32_MAX).text()));
    EXPECT_EQ("12,345", std::string(String(12345).text()));
    EXPECT_EQ("0", std::string(String(0).text()));
}

TEST(NumberText, InsertRepeated) {
    char buffer[16] = "abc";
    EXPECT_EQ(buffer + 2, insert_repeated(buffer, '-', 2));
    EXPECT_STREQ("--abc", buffer);
    EXPECT_EQ(buffer + 1, insert_repeated(buffer + 1, '+', 0));
    EXPECT_EQ(buffer, insert_repeated(buffer, '+', -3));
    EXPECT_STREQ("--abc", buffer);
    EXPECT_EQ(nullptr, insert_repeated(nullptr, '+', 1));
    char empty[4] = "";
    EXPECT_EQ(empty + 3, insert_repeated(empty, '0', 3));
    EXPECT_STREQ("000", empty);
}

}  // namespace
