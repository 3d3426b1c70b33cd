#include <gtest/gtest.h>

#include <string>

#include "core/string.h"

using namespace rubo;

namespace {

std::string str(const String& s) { return std::string(s.text(), s.length()); }

// ---- Substrings and splitting

TEST(StringSubstring, MidClampsItsRange) {
    const String s("abcdef");
    EXPECT_EQ("ef", str(s.mid(4, 10)));
    EXPECT_EQ("ab", str(s.mid(-3, 2)));
    EXPECT_EQ("cdef", str(s.mid(2)));
    EXPECT_EQ(0, s.mid(6, 1).capacity());
    EXPECT_EQ(0, s.mid(9, 1).capacity());
    EXPECT_EQ(0, s.mid(1, 0).capacity());

    String out("old");
    EXPECT_TRUE(s.mid(out, 3, 1));
    EXPECT_EQ("bcd", str(out));
    EXPECT_FALSE(s.mid(out, 1, 6));
    EXPECT_EQ(0, out.capacity());
}

TEST(StringSubstring, MidIntoItself) {
    String s("abcdef");
    EXPECT_TRUE(s.mid(s, 3, 2));
    EXPECT_EQ("cde", str(s));
}

TEST(StringSubstring, CutRemovesWhatItReturns) {
    String s("abcdef");
    EXPECT_EQ("bcd", str(s.cut(1, 3)));
    EXPECT_EQ("aef", str(s));
    EXPECT_EQ("ef", str(s.cut(1, 100)));
    EXPECT_EQ("a", str(s));
    EXPECT_EQ("a", str(s.cut(-2, 1)));
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(0, s.cut(0, 1).length());
}

TEST(StringSubstring, TakeUntilSplitsOffTokens) {
    String s("*.obj;*.res");
    EXPECT_EQ("*.obj", str(s.take_until(';')));
    EXPECT_EQ("*.res", str(s));
    EXPECT_EQ("*.res", str(s.take_until(';')));
    EXPECT_EQ(0, s.capacity());
    s = ";x;";
    EXPECT_EQ("", str(s.take_until(';')));
    EXPECT_EQ("x", str(s.take_until(';')));
    EXPECT_EQ(0, s.length());
}

TEST(StringSubstring, TakeLineKnowsEveryLineEnd) {
    String s("one\r\ntwo\n\rthree");
    EXPECT_EQ("one", str(s.take_line()));
    EXPECT_EQ("two", str(s.take_line()));
    EXPECT_EQ("three", str(s.take_line()));
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(0, s.take_line().length());

    s = "a\r\rb";
    EXPECT_EQ("a", str(s.take_line()));
    EXPECT_EQ("", str(s.take_line()));
    EXPECT_EQ("b", str(s.take_line()));

    s = "a\n\nb\r";
    EXPECT_EQ("a", str(s.take_line()));
    EXPECT_EQ("", str(s.take_line()));
    EXPECT_EQ("b", str(s.take_line()));
    EXPECT_EQ(0, s.capacity());

    s.assign("x\0\ny", 4);  // a zero byte ends a line on its own
    EXPECT_EQ("x", str(s.take_line()));
    EXPECT_EQ("", str(s.take_line()));
    EXPECT_EQ("y", str(s.take_line()));
}

// ---- Removal

TEST(StringRemove, LeftAndRight) {
    String s("abcdef");
    EXPECT_EQ(0, s.remove_left(0));
    EXPECT_EQ(0, s.remove_left(-1));
    EXPECT_EQ(2, s.remove_left(2));
    EXPECT_EQ("cdef", str(s));
    EXPECT_EQ(1, s.remove_right(1));
    EXPECT_EQ("cde", str(s));
    EXPECT_EQ(0, s.remove_right(0));
    EXPECT_EQ(3, s.remove_right(10));
    EXPECT_EQ(0, s.capacity());
    s = "abc";
    EXPECT_EQ(3, s.remove_left(10));
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(0, s.remove_left(1));
}

TEST(StringRemove, Trailing) {
    String s("dir\\");
    EXPECT_TRUE(s.remove_trailing('\\'));
    EXPECT_EQ("dir", str(s));
    EXPECT_FALSE(s.remove_trailing('\\'));
    EXPECT_EQ("dir", str(s));
    String empty;
    EXPECT_FALSE(empty.remove_trailing(0));  // nothing there to remove
}

TEST(StringRemove, SuffixIgnoresCase) {
    String s("main.obj");
    EXPECT_TRUE(s.remove_suffix(".OBJ", 4));
    EXPECT_EQ("main", str(s));
    s = "a.obj";
    EXPECT_TRUE(s.remove_suffix(".obj", 10));
    EXPECT_EQ("a", str(s));
    s = "obj";
    EXPECT_FALSE(s.remove_suffix(".obj", 4));
    EXPECT_TRUE(s.remove_suffix("x.OBJ", 3));  // the last three of each side
    EXPECT_EQ(0, s.capacity());
    s = "a.obj";
    EXPECT_FALSE(s.remove_suffix(".obx"));
    EXPECT_FALSE(s.remove_suffix(nullptr, 4));
    EXPECT_FALSE(s.remove_suffix(".obj", 0));
    EXPECT_FALSE(s.remove_suffix(""));
    EXPECT_EQ("a.obj", str(s));
}

TEST(StringRemove, StripEnclosing) {
    String s("\"C:\\a b\"");
    EXPECT_TRUE(s.strip_enclosing('"'));
    EXPECT_EQ("C:\\a b", str(s));
    s = "\"open";
    EXPECT_FALSE(s.strip_enclosing('"'));
    EXPECT_EQ("\"open", str(s));
    s = "\"";
    EXPECT_TRUE(s.strip_enclosing('"'));
    EXPECT_EQ(0, s.capacity());
    s = "\"\"";
    EXPECT_TRUE(s.strip_enclosing('"'));
    EXPECT_EQ(0, s.length());
    EXPECT_FALSE(s.strip_enclosing(0));  // an empty String has nothing to strip
}

// ---- Trimming and quoting

TEST(StringTrim, WhitespaceAndSets) {
    String s("abc \r\n");
    EXPECT_EQ(3, s.trim_right());
    EXPECT_EQ("abc", str(s));
    s = "\t x";
    EXPECT_EQ(2, s.trim_left());
    EXPECT_EQ("x", str(s));
    EXPECT_EQ(0, s.trim_left());
    s = " \t ";
    EXPECT_EQ(3, s.trim_right());
    EXPECT_EQ(0, s.capacity());
    EXPECT_EQ(0, s.trim_left());
    EXPECT_EQ(0, s.trim_right());
    s = "--a-b--";
    EXPECT_EQ(2, s.trim_left("-"));
    EXPECT_EQ(2, s.trim_right("-"));
    EXPECT_EQ("a-b", str(s));
    EXPECT_EQ(0, s.trim_left(nullptr));
    s = "\v x \v";
    EXPECT_EQ(0, s.trim_left());
    EXPECT_EQ(0, s.trim_right());
}

TEST(StringTrim, Quote) {
    String s("a b");
    s.quote();
    EXPECT_EQ("\"a b\"", str(s));
    EXPECT_EQ(5, s.length());
    String empty;
    empty.quote();
    EXPECT_EQ("\"\"", str(empty));
}

}  // namespace
