#include "core/string.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

std::string str(const String& s) { return std::string(s.text(), s.length()); }

// A String of the given length whose content is 'a', 'b', 'c', ... repeating.
String filled(int length) {
    String s;
    s.set_length(length);
    for (int i = 0; i < length; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

const char* const internal_report = "Internal Fatal Error\r\nModule: Core\r\nLine: %d\r\n";

std::string report_for_line(int line) {
    char expected[80];
    std::snprintf(expected, sizeof expected, internal_report, line);
    return expected;
}

// ---- Construction, release and assignment

TEST(StringStorage, EmptyStringsHoldNoStorage) {
    String none;
    String from_null(nullptr);
    String from_empty("");
    for (const String* s : {&none, &from_null, &from_empty}) {
        EXPECT_EQ(0, s->length());
        EXPECT_EQ(0, s->capacity());
        EXPECT_EQ(shared_empty_text, s->text());
        EXPECT_EQ(0, s->char_at(0));
    }
}

TEST(StringStorage, ConstructionAllocatesLengthPlusSlack) {
    String s("abc");
    EXPECT_EQ(3, s.length());
    EXPECT_EQ(28, s.capacity());
    EXPECT_STREQ("abc", s.text());
}

TEST(StringStorage, CopiesAreDeepAndMovesHandOverTheBuffer) {
    String original("text");
    String copy(original);
    copy[0] = 'n';
    EXPECT_STREQ("text", original.text());
    EXPECT_STREQ("next", copy.text());
    copy = original;
    EXPECT_STREQ("text", copy.text());
    const String& same = copy;
    copy = same;  // assignment to itself keeps the text
    EXPECT_STREQ("text", copy.text());

    const char* buffer = original.text();
    String moved(std::move(original));
    EXPECT_EQ(buffer, moved.text());
    EXPECT_EQ(0, original.capacity());
    copy = std::move(moved);
    EXPECT_EQ(buffer, copy.text());
    EXPECT_EQ(0, moved.length());
}

TEST(StringStorage, AssignCopiesLengthBytesIncludingZeros) {
    String s;
    s.assign("a\0b", 3);
    EXPECT_EQ(3, s.length());
    EXPECT_EQ(std::string("a\0b", 3), str(s));
    String copy(s);
    EXPECT_EQ(3, copy.length());
    EXPECT_EQ('b', copy.char_at(2));
    s.assign("xyz", 0);
    EXPECT_EQ(0, s.capacity());
    s = "again";
    s.assign(nullptr, 5);
    EXPECT_EQ(0, s.capacity());
}

TEST(StringStorage, AssignFromItsOwnText) {
    String s("hello world");
    s.assign(s.text() + 6, 5);
    EXPECT_EQ("world", str(s));
    String long_text = filled(2000);
    long_text.assign(long_text.text() + 1990, 10);  // shrinks the buffer as it copies
    EXPECT_EQ(35, long_text.capacity());
    EXPECT_EQ("opqrstuvwx", str(long_text));
}

// ---- Growth rule

TEST(StringGrowth, SlackAvoidsReallocationUntilTheCapacityIsReached) {
    String s;
    s.set_length(100);
    EXPECT_EQ(125, s.capacity());
    const char* buffer = s.text();
    s.set_length(124);
    EXPECT_EQ(125, s.capacity());
    EXPECT_EQ(buffer, s.text());
    EXPECT_EQ(0, s.text()[124]);
    s.set_length(125);
    EXPECT_EQ(150, s.capacity());
    EXPECT_EQ(125, s.length());
}

TEST(StringGrowth, ShrinkingKeepsTheBufferWithin512BelowTheCapacity) {
    String s = filled(1000);
    EXPECT_EQ(1025, s.capacity());
    s.set_length(513);
    EXPECT_EQ(1025, s.capacity());
    EXPECT_EQ(0, s.text()[513]);
    s.set_length(512);
    EXPECT_EQ(537, s.capacity());
    EXPECT_EQ(512, s.length());
    EXPECT_EQ(filled(512).text(), std::string(s.text()));  // the content survives the move
}

TEST(StringGrowth, LengthZeroOrBelowReleases) {
    String s("abc");
    s.set_length(0);
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(shared_empty_text, s.text());
    s = "abc";
    s.set_length(-5);
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(0, s.length());
}

TEST(StringGrowth, ExtendNeverShrinks) {
    String s("abcdef");  // capacity 31
    EXPECT_FALSE(s.extend(3));
    EXPECT_EQ(6, s.length());
    EXPECT_FALSE(s.extend(20));
    EXPECT_EQ(20, s.length());
    EXPECT_EQ(31, s.capacity());
    EXPECT_TRUE(s.extend(31));
    EXPECT_EQ(31, s.length());
    EXPECT_EQ(56, s.capacity());
}

TEST(StringGrowth, UpdateLengthTakesTheWrittenText) {
    String s;
    s.set_length(100);
    s[0] = 0;
    std::snprintf(s.buffer(), s.capacity(), "%s", "C:\\WORK");
    EXPECT_EQ(7, s.update_length());
    EXPECT_EQ(7, s.length());
    EXPECT_EQ(125, s.capacity());

    s.buffer()[0] = 0;
    EXPECT_EQ(0, s.update_length());
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(0, s.update_length());
}

TEST(StringGrowth, UpdateLengthStopsAtTheBufferEnd) {
    String s("ab");
    std::memset(s.buffer(), 'x', s.capacity());  // an outside routine left no terminator
    EXPECT_EQ(26, s.update_length());
    EXPECT_EQ(0, s.text()[26]);
}

RUBO_CHILD(string_length_above_limit) {
    String s("a");
    s.set_length(max_string_length + 1);
    return 0;
}

RUBO_CHILD(string_length_overflow) {
    String s("abc");
    s.resize_range(3, 0, INT_MAX);  // 3 + INT_MAX does not fit a length
    return 0;
}

TEST(StringGrowth, LengthAboveTheLimitEndsTheProcess) {
    rubo::test::expect_child("string_length_above_limit", 1, report_for_line(716));
    rubo::test::expect_child("string_length_overflow", 1, report_for_line(716));
}

// ---- Index operator and char_at

RUBO_CHILD(string_index_at_length) {
    String s("abc");
    return s[s.length()];
}

RUBO_CHILD(string_index_negative) {
    const String s("abc");
    return s[-1];
}

TEST(StringIndex, OutOfRangeEndsTheProcess) {
    rubo::test::expect_child("string_index_at_length", 1, report_for_line(656));
    rubo::test::expect_child("string_index_negative", 1, report_for_line(656));
}

TEST(StringIndex, InRangeAndCharAt) {
    String s("abc");
    EXPECT_EQ('c', s[2]);
    s[1] = 'X';
    EXPECT_STREQ("aXc", s.text());
    EXPECT_EQ('a', s.char_at(0));
    EXPECT_EQ(0, s.char_at(3));
    EXPECT_EQ(0, s.char_at(-1));
}

// ---- Range primitive and replacement

TEST(StringReplace, InsertRemoveAndAppend) {
    String s("abcdef");
    EXPECT_TRUE(s.replace(3, 0, "xy", 2));
    EXPECT_EQ("abcxydef", str(s));
    s = "abcdef";
    EXPECT_TRUE(s.replace(2, 2, nullptr, 0));
    EXPECT_EQ("abef", str(s));
    s = "abcdef";
    EXPECT_EQ(1, s.replace(6, 0, "!"));
    EXPECT_EQ("abcdef!", str(s));
    s = "abcdef";
    EXPECT_FALSE(s.replace(7, 0, "!", 1));
    EXPECT_FALSE(s.replace(-1, 0, "!", 1));
    EXPECT_EQ(1, s.replace(7, 0, "!"));  // the measured length, whatever the outcome
    EXPECT_EQ("abcdef", str(s));
}

TEST(StringReplace, RemovedRangeIsCutAtTheEnd) {
    String s("abcdef");
    EXPECT_TRUE(s.replace(2, 100, "Z", 1));
    EXPECT_EQ("abZ", str(s));
    EXPECT_TRUE(s.replace(0, s.length(), nullptr, 0));
    EXPECT_EQ(0, s.capacity());
}

TEST(StringReplace, NothingToDoIsRefused) {
    String s("abc");
    EXPECT_FALSE(s.resize_range(0, 0, 0));
    EXPECT_FALSE(s.resize_range(0, 2, -1));
    EXPECT_EQ("abc", str(s));
    String empty;
    EXPECT_FALSE(empty.resize_range(0, 0, 0));
    EXPECT_EQ(0, empty.capacity());
}

TEST(StringReplace, SameSizeReplacementAndGrowthInTheMiddle) {
    String s("abcdef");
    EXPECT_TRUE(s.replace(1, 2, "XY", 2));
    EXPECT_EQ("aXYdef", str(s));
    // Growth past the capacity moves the buffer; the tail must follow the gap.
    String long_text = filled(30);
    std::string expected = std::string(long_text.text());
    const std::string inserted(40, '#');
    EXPECT_TRUE(long_text.replace(5, 3, inserted.c_str(), 40));
    expected.replace(5, 3, inserted);
    EXPECT_EQ(expected, str(long_text));
    EXPECT_EQ(0, long_text.text()[long_text.length()]);
}

TEST(StringReplace, FillAndForms) {
    String s("abc");
    EXPECT_TRUE(s.replace_fill(1, 1, '-', 3));
    EXPECT_EQ("a---c", str(s));
    s.append('!');
    s.append(String("?x"));
    s.append("yz");
    s.append("\0\0", 2);
    s.insert(0, ">");
    EXPECT_EQ(std::string(">a---c!?xyz\0\0", 13), str(s));
    EXPECT_TRUE(s.erase(1, 4));
    EXPECT_EQ(std::string(">c!?xyz\0\0", 9), str(s));
}

TEST(StringReplace, SourceInsideTheSameString) {
    String s("abc");
    s.append(s);
    EXPECT_EQ("abcabc", str(s));
    String grown = filled(25);  // capacity 50: the next appends reallocate
    grown.append(grown);
    grown.append(grown);
    EXPECT_EQ(std::string(filled(25).text()) + filled(25).text() + filled(25).text() + filled(25).text(), str(grown));
    String middle("0123456789");
    middle.replace(0, 2, middle.text() + 5, 3);
    EXPECT_EQ("56723456789", str(middle));
}

// ---- Formatting

TEST(StringFormat, FormatsPrintfStyle) {
    String s;
    s.format("%d file could not be deleted\r\n", 3);
    EXPECT_EQ("3 file could not be deleted\r\n", str(s));
    s.append_format("%s=%lld", "size", 5000000000LL);
    EXPECT_EQ("3 file could not be deleted\r\nsize=5000000000", str(s));
    s.format("%lld|%llu|%5s|%-3d|", -9223372036854775807LL - 1, 18446744073709551615ULL, "ab", 7);
    EXPECT_EQ("-9223372036854775808|18446744073709551615|   ab|7  |", str(s));
    s.format("%s", "");
    EXPECT_EQ(0, s.capacity());
}

TEST(StringFormat, ArgumentsMayReferToTheStringItself) {
    String s("abc");
    s.format("[%s]", s.text());
    EXPECT_EQ("[abc]", str(s));
}

TEST(StringFormat, OutputIsCutAtTheWorkArea) {
    String s("x");
    s.append_format("%40000d", 1);
    EXPECT_EQ(1 + 32767, s.length());
    EXPECT_EQ('x', s.char_at(0));
    EXPECT_EQ(' ', s.char_at(32767));
}

void format_through_list(String& s, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    s.format_list(format, arguments);
    va_end(arguments);
}

TEST(StringFormat, ArgumentListForm) {
    String s("old");
    format_through_list(s, "%s-%d", "new", 42);
    EXPECT_EQ("new-42", str(s));
}

}  // namespace
