#include "core/boxed_vector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/string.h"
#include "tests/core/collection_checks.h"
#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

std::vector<std::string> texts(BoxedVector<String>& v) {
    std::vector<std::string> out;
    for (int i = 0; i < v.count; ++i) out.push_back(v.at(i)->text());
    return out;
}

BoxedVector<String>& make(BoxedVector<String>& v, std::initializer_list<const char*> items) {
    for (const char* item : items) v.append(String(item));
    return v;
}

using rubo::test::expect_layout;

TEST(BoxedVector, GrowsByHalfWhenAppending) {
    BoxedVector<String> v;
    std::vector<int> capacities;
    for (int i = 0; i < 17; ++i) {
        v.append(String("x"));
        if (capacities.empty() || capacities.back() != v.capacity) capacities.push_back(v.capacity);
        expect_layout(v);
    }
    EXPECT_EQ((std::vector<int>{1, 3, 6, 10, 16, 25}), capacities);
    v.clear();
    EXPECT_EQ(nullptr, v.items);
    EXPECT_EQ(0, v.capacity);
}

TEST(BoxedVector, ElementsNeverMove) {
    BoxedVector<String> v;
    String* first = v.append(String("first"));
    String* second = v.append(String("second"));
    for (int i = 0; i < 100; ++i) v.append(String("tail"));
    for (int i = 0; i < 50; ++i) v.prepend(String("head"));
    v.insert(70, String("inside"));
    v.remove_range(60, 65);
    v.rotate_left(7);
    v.rotate_range_right(0, 200);
    v.swap(0, 5);
    v.sort(compare_ascending);
    EXPECT_STREQ("first", first->text());
    EXPECT_STREQ("second", second->text());
    bool found = false;
    for (int i = 0; i < v.count; ++i) found |= v.at(i) == first;
    EXPECT_TRUE(found);
    expect_layout(v);
}

TEST(BoxedVector, InsertingMovesTheSideWithMoreRoom) {
    BoxedVector<String> v;
    make(v, {"a", "b", "c", "d"});  // capacity 6, start 1
    ASSERT_EQ(1, v.start);
    v.insert(1, String("x"));  // room behind: the back part moves up
    EXPECT_EQ(1, v.start);
    v.remove_range(4, 4);
    v.remove_range(3, 3);
    v.prepend(String("y"));  // one slot free in front, two behind: the elements move up
    EXPECT_EQ((std::vector<std::string>{"y", "a", "x", "b"}), texts(v));
    expect_layout(v);
    v.insert(100, String("z"));
    v.insert(-5, String("w"));
    EXPECT_EQ((std::vector<std::string>{"w", "y", "a", "x", "b", "z"}), texts(v));
    EXPECT_EQ(6, v.capacity);
    v.insert(3, String("full"));  // full array: grows, then the back part moves
    EXPECT_EQ((std::vector<std::string>{"w", "y", "a", "full", "x", "b", "z"}), texts(v));
    expect_layout(v);
}

TEST(BoxedVector, RemovingKeepsTheArray) {
    BoxedVector<String> v;
    make(v, {"a", "b", "c", "d", "e"});
    int capacity = v.capacity;
    int start = v.start;
    EXPECT_TRUE(v.remove_range(-3, 1));
    EXPECT_EQ((std::vector<std::string>{"c", "d", "e"}), texts(v));
    EXPECT_TRUE(v.remove_range(0, 9));
    EXPECT_EQ(capacity, v.capacity);
    EXPECT_EQ(start, v.start);
    EXPECT_NE(nullptr, v.items);
}

TEST(BoxedVector, LargeArraysShrinkWhenMostlyUnused) {
    BoxedVector<String> v;
    v.resize(2000);
    EXPECT_EQ(3000, v.capacity);
    v.remove_range(10, 1999);
    v.resize(750);
    EXPECT_EQ(3000, v.capacity);  // 750 is not below a quarter
    v.keep_first(10);
    v.resize(600);
    EXPECT_EQ(900, v.capacity);
    EXPECT_EQ(150, v.start);
    expect_layout(v);
}

TEST(BoxedVector, Rotations) {
    BoxedVector<String> v;
    make(v, {"a", "b", "c"});
    EXPECT_TRUE(v.rotate_left(1));
    EXPECT_EQ((std::vector<std::string>{"b", "c", "a"}), texts(v));
    EXPECT_TRUE(v.rotate_left(3));  // rebuilt even for a whole turn
    EXPECT_EQ(4, v.capacity);
    EXPECT_EQ(0, v.start);
    EXPECT_EQ((std::vector<std::string>{"b", "c", "a"}), texts(v));
    EXPECT_FALSE(v.rotate_left(-1));
    EXPECT_FALSE(v.rotate_right(0));
    EXPECT_TRUE(v.rotate_right(4));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), texts(v));
    BoxedVector<String> single;
    make(single, {"a"});
    EXPECT_FALSE(single.rotate_left(1));
}

TEST(BoxedVector, RangeMovesClampTheirEnds) {
    BoxedVector<String> v;
    make(v, {"a", "b", "c", "d", "e"});
    v.rotate_range_left(-5, 10);
    EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "e", "a"}), texts(v));
    v.rotate_range_right(3, 10);
    EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "a", "e"}), texts(v));
}

TEST(BoxedVector, CopyFromMakesDeepCopies) {
    BoxedVector<String> source;
    make(source, {"a", "b", "c", "d"});
    BoxedVector<String> copy;
    make(copy, {"old"});
    copy.copy_from(source);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), texts(copy));
    EXPECT_EQ(6, copy.capacity);
    EXPECT_EQ(1, copy.start);
    EXPECT_NE(source.at(0), copy.at(0));
    EXPECT_NE(source.at(0)->text(), copy.at(0)->text());
    copy.copy_from(copy);
    EXPECT_EQ(4, copy.count);
    BoxedVector<String> empty;
    copy.copy_from(empty);
    EXPECT_EQ(nullptr, copy.items);
    EXPECT_EQ(0, copy.count);
    // Copy construction and assignment are the same deep copies.
    BoxedVector<String> constructed(source);
    copy = constructed;
    EXPECT_EQ(texts(source), texts(copy));
    EXPECT_NE(constructed.at(3), copy.at(3));
}

TEST(BoxedVector, StringElements) {
    BoxedVector<String> v;
    make(v, {"a", "b", "c"});
    EXPECT_EQ(0, v.take_index(7).length());
    EXPECT_EQ(3, v.count);
    v.append(static_cast<const String*>(nullptr));
    EXPECT_EQ(0, v.last_element()->length());
    BoxedVector<String> other;
    make(other, {"x", "y"});
    v.keep_first(2);
    v.prepend_all(other);
    EXPECT_EQ((std::vector<std::string>{"x", "y", "a", "b"}), texts(v));
}

TEST(BoxedVector, TakeAllMovesElementsWithoutCopying) {
    BoxedVector<String> v;
    make(v, {"a", "b"});
    v.remove_first();  // element 0 no longer in slot 0
    BoxedVector<String> other;
    make(other, {"x", "y", "z"});
    const String* x = other.at(0);
    const char* x_text = x->text();
    v.take_all(other);
    EXPECT_EQ((std::vector<std::string>{"b", "x", "y", "z"}), texts(v));
    EXPECT_EQ(x, v.at(1));
    EXPECT_EQ(x_text, v.at(1)->text());
    EXPECT_EQ(0, other.count);
    EXPECT_EQ(nullptr, other.items);
    expect_layout(v);
    // Into an empty vector, from an empty one, and from itself.
    BoxedVector<String> empty;
    empty.take_all(v);
    EXPECT_EQ((std::vector<std::string>{"b", "x", "y", "z"}), texts(empty));
    empty.take_all(other);
    empty.take_all(empty);
    EXPECT_EQ(4, empty.count);
    expect_layout(empty);
    // Taken elements go with the vector that took them.
    other.append(String("again"));
    EXPECT_STREQ("again", other.at(0)->text());
}

RUBO_CHILD(vector_index_past_end) {
    BoxedVector<String> v;
    make(v, {"a", "b", "c"});
    v.get(3);
    return 0;
}

TEST(BoxedVector, IndexOutsideTheElementsEndsTheProcess) {
    rubo::test::expect_child("vector_index_past_end", 1, "Vector<class String>[3]\nmax_index = 2\r\n");
}

}  // namespace
