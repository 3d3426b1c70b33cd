#include "core/iterator.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/list.h"
#include "tests/core/collection_checks.h"

using namespace rubo;

namespace {

List<int>& make(List<int>& list, std::initializer_list<int> items) {
    for (int item : items) list.append(item);
    return list;
}

using rubo::test::elements;

TEST(Iterator, EmptyAndNullWalksEndAtOnce) {
    List<int> empty;
    Iterator<int> it(&empty);
    EXPECT_FALSE(it.next());
    EXPECT_EQ(nullptr, it.element);
    Iterator<int> none(nullptr);
    EXPECT_FALSE(none.next());
}

TEST(Iterator, StaysAtTheEnd) {
    List<int> list;
    make(list, {1, 2});
    Iterator<int> it(&list);
    EXPECT_TRUE(it.next());
    EXPECT_EQ(1, *it.element);
    EXPECT_TRUE(it.next());
    EXPECT_FALSE(it.next());
    EXPECT_EQ(nullptr, it.element);
    EXPECT_FALSE(it.next());
}

TEST(Iterator, RemoveAtContinuesWithTheFollowingElement) {
    List<int> list;
    make(list, {1, 2, 3});
    Iterator<int> it(&list);
    it.next();
    it.next();
    EXPECT_TRUE(list.remove_at(it.position));
    EXPECT_FALSE(list.remove_at(it.position));
    EXPECT_EQ(nullptr, list.current_element(it.position));
    EXPECT_TRUE(it.next());
    EXPECT_EQ(3, *it.element);
    EXPECT_EQ((std::vector<int>{1, 3}), elements(list));
}

TEST(Iterator, TakeAtAnswersTheValueOnce) {
    List<int> list;
    make(list, {1, 2, 3});
    Position position;
    list.begin_backward(position);
    list.move_prev(position);
    list.move_prev(position);
    EXPECT_EQ(2, list.take_at(position));
    EXPECT_EQ(0, list.take_at(position));
    EXPECT_EQ(1, *list.move_prev(position));
    EXPECT_EQ((std::vector<int>{1, 3}), elements(list));
}

TEST(Iterator, StepsPastEitherEndLeaveThePosition) {
    List<int> list;
    make(list, {1, 2, 3});
    Position position;
    list.begin_forward(position);
    EXPECT_EQ(nullptr, list.move_prev(position));
    list.begin_backward(position);
    EXPECT_EQ(nullptr, list.move_next(position));
    EXPECT_EQ(3, *list.move_last(position));
    EXPECT_EQ(nullptr, list.move_next(position));
    EXPECT_EQ(3, *list.current_element(position));
    EXPECT_EQ(2, *list.prev_element(position));
    EXPECT_EQ(1, *list.move_first(position));
    EXPECT_EQ(nullptr, list.move_prev(position));
    EXPECT_EQ(2, *list.next_element(position));
    EXPECT_EQ(1, *list.current_element(position));
}

TEST(Iterator, BackwardWalk) {
    List<int> list;
    make(list, {1, 2, 3});
    Position position;
    EXPECT_TRUE(list.begin_backward(position));
    std::vector<int> seen;
    for (int* at = list.move_prev(position); at != nullptr; at = list.move_prev(position)) seen.push_back(*at);
    EXPECT_EQ((std::vector<int>{3, 2, 1}), seen);
    List<int> empty;
    EXPECT_FALSE(empty.begin_backward(position));
    EXPECT_EQ(nullptr, empty.move_first(position));
    EXPECT_EQ(nullptr, empty.move_last(position));
}

TEST(Iterator, AddingWhileWalking) {
    List<int> list;
    make(list, {1, 2});
    Iterator<int> it(&list);
    it.next();
    list.append(3);   // the walk is not on the last element: it reaches the new one
    list.prepend(0);  // behind the walk: not visited
    std::vector<int> rest;
    while (it.next()) rest.push_back(*it.element);
    EXPECT_EQ((std::vector<int>{2, 3}), rest);

    Iterator<int> at_last(&list);
    while (at_last.next() && *at_last.element != 3) {
    }
    list.append(4);  // following was already none
    EXPECT_FALSE(at_last.next());
}

TEST(Iterator, IndependentWalksOverOneList) {
    List<int> list;
    make(list, {1, 2});
    std::vector<int> pairs;
    for (Iterator<int> outer(&list); outer.next();)
        for (Iterator<int> inner(&list); inner.next();) pairs.push_back(*outer.element * 10 + *inner.element);
    EXPECT_EQ((std::vector<int>{11, 12, 21, 22}), pairs);
}

}  // namespace
