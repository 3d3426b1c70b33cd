#include "core/string_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace rubo;

namespace {

std::string bytes(const StringBuffer& b) { return std::string(b.text(), b.length()); }

TEST(StringBuffer, WritesOverwriteAndExtend) {
    StringBuffer b;
    EXPECT_TRUE(b.write("abc", 3));
    EXPECT_EQ(3, b.length());
    EXPECT_EQ(3, b.position());
    EXPECT_TRUE(b.seek(1));
    EXPECT_TRUE(b.write("X", 1));
    EXPECT_EQ("aXc", bytes(b));
    EXPECT_EQ(2, b.position());
    EXPECT_TRUE(b.write("YZW", 3));
    EXPECT_EQ("aXYZW", bytes(b));
    EXPECT_EQ(5, b.position());
    EXPECT_FALSE(b.write(nullptr, 1));
    EXPECT_FALSE(b.write("q", 0));
    EXPECT_EQ("aXYZW", bytes(b));
}

TEST(StringBuffer, WritesKeepZeroBytesAndReuseTheSlack) {
    StringBuffer b;
    b.write("a\0b", 3);
    const char* storage = b.text();
    for (int i = 0; i < 24; ++i) b.write("\0", 1);
    EXPECT_EQ(27, b.length());
    EXPECT_EQ(storage, b.text());
    EXPECT_EQ(std::string("a\0b", 3) + std::string(24, '\0'), bytes(b));
}

TEST(StringBuffer, WriteFromItsOwnBytes) {
    StringBuffer b;
    b.write("0123456789012345678901234", 25);  // capacity 50: the next write reallocates
    b.write(b.text(), 25);
    EXPECT_EQ(std::string("0123456789012345678901234") + "0123456789012345678901234", bytes(b));
}

TEST(StringBuffer, SeekStaysWithinTheBytes) {
    StringBuffer b;
    b.write("abc", 3);
    EXPECT_TRUE(b.seek(3));
    EXPECT_FALSE(b.seek(4));
    EXPECT_FALSE(b.seek(-1));
    EXPECT_EQ(3, b.position());
    EXPECT_TRUE(b.seek(b.length() - 2));
    EXPECT_EQ(1, b.position());
}

TEST(StringBuffer, ReadsAndShortReads) {
    StringBuffer b;
    b.write("abc", 3);
    b.seek(0);
    char out[8];
    EXPECT_TRUE(b.read(out, 2));
    EXPECT_EQ("ab", std::string(out, 2));
    EXPECT_EQ(2, b.position());

    b.seek(1);
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(b.read(out, 5));
    EXPECT_EQ(std::string("bc\0\0\0", 5), std::string(out, 5));
    EXPECT_EQ('#', out[5]);
    EXPECT_EQ(6, b.position());

    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(b.read(out, 2));  // nothing left at all
    EXPECT_EQ(std::string(2, '\0'), std::string(out, 2));
    EXPECT_EQ(8, b.position());
}

TEST(StringBuffer, InvalidReadsChangeNothing) {
    StringBuffer b;
    b.write("abc", 3);
    b.seek(1);
    EXPECT_TRUE(b.read(nullptr, 0));
    char out[2];
    EXPECT_FALSE(b.read(nullptr, 1));
    EXPECT_FALSE(b.read(out, -1));
    EXPECT_EQ(1, b.position());
}

TEST(StringBuffer, WriteAfterReadingPastTheEndFillsTheGap) {
    StringBuffer b;
    b.write("ab", 2);
    char out[4];
    b.read(out, 3);
    EXPECT_EQ(5, b.position());
    b.write("Z", 1);
    EXPECT_EQ(std::string("ab\0\0\0Z", 6), bytes(b));
    EXPECT_EQ(6, b.position());
}

TEST(StringBuffer, ReserveWrite) {
    StringBuffer b;
    char* place = b.reserve_write(4);
    ASSERT_NE(nullptr, place);
    std::memcpy(place, "wxyz", 4);
    EXPECT_EQ("wxyz", bytes(b));
    EXPECT_EQ(4, b.position());
    EXPECT_EQ(nullptr, b.reserve_write(0));
    EXPECT_EQ(4, b.position());
}

TEST(StringBuffer, TruncateAndReset) {
    StringBuffer b;
    b.write("abc", 3);
    b.seek(1);
    b.truncate();
    EXPECT_EQ("a", bytes(b));
    EXPECT_EQ(1, b.position());
    b.seek(0);
    b.truncate();
    EXPECT_EQ(0, b.capacity());

    b.write("abc", 3);
    char out[4];
    b.read(out, 4);  // the position now lies beyond the end
    b.truncate();
    EXPECT_EQ("abc", bytes(b));

    b.reset();
    EXPECT_EQ(0, b.position());
    EXPECT_EQ(0, b.length());
    EXPECT_EQ(0, b.capacity());
}

}  // namespace
