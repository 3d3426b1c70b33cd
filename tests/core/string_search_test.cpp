#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/string.h"

using namespace rubo;

namespace {

// ---- Comparison

TEST(StringCompare, TerminatorAndCaseTakePart) {
    EXPECT_LT(String("abc").compare("abd", Case::SENSITIVE), 0);
    EXPECT_LT(String("abc").compare("abcd", Case::SENSITIVE), 0);
    EXPECT_GT(String("abcd").compare("abc", Case::SENSITIVE), 0);
    EXPECT_EQ(0, String("ABC").compare("abc", Case::INSENSITIVE));
    EXPECT_LT(String("ABC").compare("abc", Case::SENSITIVE), 0);
    EXPECT_EQ(0, String("abX").compare("abY", Case::SENSITIVE, 2));
    EXPECT_NE(0, String("abX").compare("abY", Case::SENSITIVE, 3));
    EXPECT_EQ(-1, String("abc").compare("abc", Case::SENSITIVE, 0));
}

TEST(StringCompare, BytesCompareUnsigned) {
    EXPECT_GT(String("\xe9").compare("z", Case::SENSITIVE), 0);
    EXPECT_GT(String("\xe9").compare(String("z"), Case::INSENSITIVE), 0);
}

TEST(StringCompare, EmptySides) {
    const String empty;
    EXPECT_EQ(0, empty.compare("", Case::SENSITIVE));
    EXPECT_EQ(0, empty.compare(nullptr, Case::SENSITIVE));
    EXPECT_EQ(0, empty.compare(String(), Case::SENSITIVE));
    EXPECT_EQ(-1, empty.compare("a", Case::SENSITIVE));
    EXPECT_EQ(-1, empty.compare(String("a"), Case::INSENSITIVE));
    EXPECT_EQ(1, String("a").compare("", Case::SENSITIVE));
    EXPECT_EQ(1, String("a").compare(String(), Case::SENSITIVE));
}

TEST(StringCompare, WithStringUsesItsFullLength) {
    String with_zero;
    with_zero.assign("ab\0c", 4);
    String other;
    other.assign("ab\0d", 4);
    EXPECT_LT(with_zero.compare(other, Case::SENSITIVE), 0);
    EXPECT_EQ(0, with_zero.compare("ab", Case::SENSITIVE));  // the text ends at its zero
}

std::vector<std::string> sorted(std::vector<const char*> texts, int (*order)(const void*, const void*)) {
    std::vector<String> strings(texts.begin(), texts.end());
    std::vector<String*> slots;
    for (String& s : strings) slots.push_back(&s);
    std::qsort(slots.data(), slots.size(), sizeof(String*), order);
    std::vector<std::string> result;
    for (const String* s : slots) result.push_back(s->text());
    return result;
}

TEST(StringCompare, SortCallbacksIgnoreCase) {
    using Texts = std::vector<std::string>;
    EXPECT_EQ((Texts{"A", "b", "c"}), sorted({"b", "A", "c"}, compare_ascending));
    EXPECT_EQ((Texts{"c", "b", "A"}), sorted({"b", "A", "c"}, compare_descending));
    EXPECT_EQ((Texts{"a_", "aB"}), sorted({"aB", "a_"}, compare_ascending));
}

TEST(StringCompare, StartsWith) {
    const String s("prefix.txt");
    EXPECT_TRUE(s.starts_with("pre"));
    EXPECT_TRUE(s.starts_with("preX", 3));
    EXPECT_FALSE(s.starts_with("preX", 4));
    EXPECT_FALSE(s.starts_with("PRE"));
    EXPECT_FALSE(s.starts_with(""));
    EXPECT_FALSE(s.starts_with(nullptr));
    EXPECT_FALSE(s.starts_with("pre", 0));
    EXPECT_FALSE(String("pr").starts_with("pre"));
    EXPECT_FALSE(String().starts_with("p"));
}

// ---- Searching

TEST(StringSearch, FindFirst) {
    const String s("abXdX");
    EXPECT_EQ(-1, s.find_first('x', 0, Case::SENSITIVE));
    EXPECT_EQ(2, s.find_first('x', 0, Case::INSENSITIVE));
    EXPECT_EQ(2, s.find_first('X', -7));
    EXPECT_EQ(4, s.find_first('X', 3));
    EXPECT_EQ(-1, s.find_first('X', 5));
    EXPECT_EQ(-1, String().find_first('a'));
}

TEST(StringSearch, FindLast) {
    const String path("C:\\dir\\file");
    EXPECT_EQ(6, path.find_last('\\'));
    EXPECT_EQ(2, path.find_last('\\', 5));
    EXPECT_EQ(-1, path.find_last('\\', -1));
    EXPECT_EQ(-1, path.find_last('D'));
    EXPECT_EQ(3, path.find_last('D', INT_MAX, FIND_IGNORE_CASE));
    EXPECT_EQ(-1, String().find_last('a'));
}

TEST(StringSearch, FindLastSkipsQuotedText) {
    const String s("a;\"b;c\"");
    EXPECT_EQ(4, s.find_last(';'));
    EXPECT_EQ(1, s.find_last(';', INT_MAX, FIND_SKIP_QUOTED));
    EXPECT_EQ(-1, s.find_last('"', INT_MAX, FIND_SKIP_QUOTED));
    EXPECT_EQ(-1, s.find_last('B', INT_MAX, FIND_SKIP_QUOTED | FIND_IGNORE_CASE));
    EXPECT_EQ(0, s.find_last('A', INT_MAX, FIND_SKIP_QUOTED | FIND_IGNORE_CASE));
}

TEST(StringSearch, CharacterSets) {
    const String s("  \tx y");
    EXPECT_EQ(3, s.find_not_one_of(whitespace));
    EXPECT_EQ(0, s.find_one_of(whitespace));
    EXPECT_EQ(4, s.find_one_of(whitespace, 3));
    EXPECT_EQ(-1, s.find_one_of(whitespace, s.length()));
    EXPECT_EQ(-1, s.find_one_of(""));
    EXPECT_EQ(-1, s.find_one_of(nullptr));
    EXPECT_EQ(-1, s.find_not_one_of(nullptr));
    EXPECT_EQ(0, s.find_not_one_of(""));
    EXPECT_EQ(5, s.find_not_one_of(whitespace, 4));
    EXPECT_EQ(0, s.find_one_of(" ", -3));

    String with_zero;
    with_zero.assign("ab\0c", 4);
    EXPECT_EQ(2, with_zero.find_one_of("c"));  // the zero byte belongs to every set
    EXPECT_EQ(3, with_zero.find_not_one_of("ab"));
}

TEST(StringSearch, IsBlank) {
    EXPECT_TRUE(String().is_blank());
    EXPECT_TRUE(String(" \r\n\t ").is_blank());
    EXPECT_FALSE(String(" x").is_blank());
    EXPECT_FALSE(String("\v").is_blank());
}

TEST(StringSearch, FileNameStartFollowsTheRunningSystemsPathStyle) {
    EXPECT_EQ(4, String("dir/file").file_name_start());
    EXPECT_EQ(0, String("file").file_name_start());
    EXPECT_EQ(0, String().file_name_start());
#ifdef _WIN32
    EXPECT_EQ(7, String("C:\\dir\\file").file_name_start());
    EXPECT_EQ(2, String("C:file").file_name_start());
    EXPECT_EQ(3, String("C:\\").file_name_start());
#else
    // Backslash and colon are ordinary characters of a POSIX name.
    EXPECT_EQ(0, String("C:\\dir\\file").file_name_start());
    EXPECT_EQ(0, String("C:file").file_name_start());
    EXPECT_EQ(1, String("/").file_name_start());
#endif
}

}  // namespace
