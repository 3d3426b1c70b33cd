#include "core/list.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/string.h"
#include "tests/core/collection_checks.h"

using namespace rubo;

namespace {

using rubo::test::elements;

std::vector<int> values(List<int>& list) { return elements(list); }

std::vector<std::string> texts(List<String>& list) {
    std::vector<std::string> out;
    for (const String& s : elements(list)) out.push_back(s.text());
    return out;
}

// Checks the links both ways against the count.
template <class T> void expect_linked(const List<T>& list) {
    int forward = 0;
    const typename List<T>::Node* last = nullptr;
    for (const typename List<T>::Node* at = list.head; at != nullptr; at = at->next, ++forward) {
        EXPECT_EQ(last, at->prev);
        last = at;
    }
    EXPECT_EQ(last, list.tail);
    EXPECT_EQ(list.count, forward);
}

void fill(List<int>& list, std::initializer_list<int> items) {
    for (int item : items) list.append(item);
}

TEST(List, AppendKeepsOrderAndDuplicates) {
    List<String> list;
    list.append(String("a"));
    String b("b");
    list.append(&b);
    list.append(String("c"));
    list.append(&b);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "b"}), texts(list));
    EXPECT_STREQ("a", list.first_element()->text());
    EXPECT_STREQ("b", list.last_element()->text());
    EXPECT_EQ(4, list.count);
    EXPECT_STREQ("b", b.text());  // the reference form copies
    expect_linked(list);
}

TEST(List, NullReferencesAddDefaultElements) {
    List<String> list;
    String* appended = list.append(static_cast<const String*>(nullptr));
    String* prepended = list.prepend(static_cast<const String*>(nullptr));
    EXPECT_EQ(0, appended->length());
    EXPECT_EQ(prepended, list.first_element());
    EXPECT_EQ(appended, list.last_element());
    List<int> numbers;
    EXPECT_EQ(0, *numbers.append(static_cast<const int*>(nullptr)));
}

TEST(List, EmptyListAnswersNothing) {
    List<String> list;
    EXPECT_EQ(nullptr, list.first_element());
    EXPECT_EQ(nullptr, list.last_element());
    EXPECT_EQ(nullptr, list.random_element());
    EXPECT_FALSE(list.remove_first());
    EXPECT_FALSE(list.remove_last());
    EXPECT_EQ(0, list.take_first().length());
    EXPECT_EQ(0, list.take_last().length());
    EXPECT_EQ(0, list.count);
    EXPECT_EQ(nullptr, list.head);
}

TEST(List, TakingCopiesTheValueAndRemovesIt) {
    List<String> list;
    list.append(String("first"));
    list.append(String("middle"));
    list.append(String("last"));
    EXPECT_STREQ("first", list.take_first().text());
    EXPECT_STREQ("last", list.take_last().text());
    EXPECT_EQ((std::vector<std::string>{"middle"}), texts(list));
    expect_linked(list);
}

TEST(List, RemovingTheOnlyNodeEmptiesTheLinks) {
    List<int> list;
    list.append(1);
    EXPECT_TRUE(list.remove_last());
    EXPECT_EQ(nullptr, list.head);
    EXPECT_EQ(nullptr, list.tail);
    EXPECT_EQ(0, list.count);
    list.append(2);
    EXPECT_EQ(list.head, list.tail);
    EXPECT_EQ(2, list.head->value);
}

TEST(List, RemoveManyCountsWhatWent) {
    List<int> list;
    fill(list, {1, 2, 3});
    EXPECT_EQ(0, list.remove_first(0));
    EXPECT_EQ(0, list.remove_first(-1));
    EXPECT_EQ(3, list.remove_first(5));
    EXPECT_EQ(0, list.count);
    fill(list, {1, 2, 3, 4});
    EXPECT_EQ(2, list.remove_last(2));
    EXPECT_EQ((std::vector<int>{1, 2}), values(list));
}

TEST(List, KeepFirstRemovesFromTheEnd) {
    List<int> list;
    fill(list, {1, 2, 3, 4, 5});
    EXPECT_EQ(0, list.keep_first(7));
    EXPECT_EQ(3, list.keep_first(2));
    EXPECT_EQ((std::vector<int>{1, 2}), values(list));
    EXPECT_EQ(2, list.keep_first(0));
    EXPECT_EQ(0, list.count);
    fill(list, {1, 2, 3});
    EXPECT_EQ(3, list.keep_first(INT_MIN));
    fill(list, {1, 2, 3, 4});
    EXPECT_EQ(1, list.keep_last(3));
    EXPECT_EQ((std::vector<int>{2, 3, 4}), values(list));
}

TEST(List, Rotations) {
    struct Case {
        bool left;
        int n;
        bool result;
        std::vector<int> order;
    };
    const Case cases[] = {
        {true, 1, true, {2, 3, 4, 1}},       {false, 1, true, {4, 1, 2, 3}},
        {true, -1, true, {4, 1, 2, 3}},      {false, -1, true, {2, 3, 4, 1}},
        {true, 5, true, {2, 3, 4, 1}},       {true, 4, true, {1, 2, 3, 4}},
        {false, 8, true, {1, 2, 3, 4}},      {true, 0, false, {1, 2, 3, 4}},
        {false, 0, false, {1, 2, 3, 4}},     {true, 3, true, {4, 1, 2, 3}},
        {true, INT_MIN, true, {1, 2, 3, 4}}, {false, INT_MIN + 1, true, {4, 1, 2, 3}},
        {true, INT_MAX, true, {4, 1, 2, 3}}, {true, -4, true, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        List<int> list;
        fill(list, {1, 2, 3, 4});
        bool result = c.left ? list.rotate_left(c.n) : list.rotate_right(c.n);
        EXPECT_EQ(c.result, result) << c.left << " " << c.n;
        EXPECT_EQ(c.order, values(list)) << c.left << " " << c.n;
        expect_linked(list);
    }
    List<int> single;
    single.append(7);
    EXPECT_FALSE(single.rotate_left(1));
    EXPECT_FALSE(single.rotate_right(-3));
}

TEST(List, ElementReferencesSurviveOtherChanges) {
    List<String> list;
    list.append(String("a"));
    String* b = list.append(String("b"));
    list.append(String("c"));
    list.prepend(String("z"));
    list.remove_first();
    list.remove_last();
    list.rotate_left(1);
    list.append(String("d"));
    list.rotate_right(2);
    EXPECT_STREQ("b", b->text());
    Position position;
    while (list.move_next(position) != nullptr) {
    }
    bool found = false;
    for (String* at = list.move_first(position); at != nullptr; at = list.move_next(position)) found |= at == b;
    EXPECT_TRUE(found);
}

TEST(List, RandomElementOfOneIsThatElement) {
    List<int> list;
    int* only = list.append(5);
    EXPECT_EQ(only, list.random_element());
    fill(list, {6, 7});
    for (int i = 0; i < 20; ++i) {
        int value = *list.random_element();
        EXPECT_TRUE(value >= 5 && value <= 7);
    }
}

TEST(List, WholeCollectionsAtEitherEnd) {
    List<int> list;
    fill(list, {1, 2});
    List<int> other;
    fill(other, {8, 9});
    list.prepend_all(other);
    EXPECT_EQ((std::vector<int>{8, 9, 1, 2}), values(list));
    list.append_all(other);
    EXPECT_EQ((std::vector<int>{8, 9, 1, 2, 8, 9}), values(list));
    EXPECT_EQ((std::vector<int>{8, 9}), values(other));
}

TEST(List, CollectionAddedToItselfDoublesOnce) {
    List<int> list;
    fill(list, {1, 2});
    list.append_all(list);
    EXPECT_EQ((std::vector<int>{1, 2, 1, 2}), values(list));
    list.keep_first(2);
    list.prepend_all(list);
    EXPECT_EQ((std::vector<int>{1, 2, 1, 2}), values(list));
    expect_linked(list);
}

struct Pair {
    int a;
    int b;
};

TEST(List, PlainRecordListsCopyAsAWhole) {
    List<Pair> source;
    source.append(Pair{1, 2});
    source.append(Pair{3, 4});
    List<Pair> target;
    target.append(Pair{9, 9});
    target = source;
    ASSERT_EQ(2, target.count);
    EXPECT_NE(source.head, target.head);
    EXPECT_EQ(3, target.tail->value.a);
    EXPECT_EQ(4, target.tail->value.b);
    expect_linked(target);
    List<Pair>& same = target;
    target = same;  // assignment to itself keeps the nodes
    EXPECT_EQ(2, target.count);
    List<Pair> copy(source);
    EXPECT_EQ(2, copy.count);
    EXPECT_NE(source.tail, copy.tail);
    static_assert(!std::is_copy_assignable_v<List<String>>);
    static_assert(!std::is_copy_constructible_v<List<int>>);
}

TEST(List, RangeForReachesEachElement) {
    for (int size : {0, 1, 3}) {
        List<String> list;
        for (int i = 0; i < size; ++i) list.append(String(i));
        rubo::test::expect_range_for_as_walk(list);
    }
}

}  // namespace
