#include "core/vector.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/boxed_vector.h"
#include "core/exact_vector.h"
#include "core/flat_vector.h"
#include "core/iterator.h"
#include "core/list.h"
#include "tests/core/collection_checks.h"

using namespace rubo;

// What every storage class does alike, checked over each of them.

namespace {

template <class V> class AnyVector : public testing::Test {
protected:
    V& make(std::initializer_list<int> items) {
        for (int item : items) vector.append(item);
        return vector;
    }
    std::vector<int> values() { return rubo::test::elements(vector); }
    V vector;
};

using StorageClasses = testing::Types<BoxedVector<int>, FlatVector<int>, ExactVector<int>>;
TYPED_TEST_SUITE(AnyVector, StorageClasses);

TYPED_TEST(AnyVector, AddingAtEitherEndAndInside) {
    TypeParam& v = this->make({2, 3});
    v.prepend(1);
    int four = 4;
    v.append(&four);
    v.prepend(static_cast<const int*>(nullptr));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), this->values());
    *v.insert_new(-5) = 10;
    *v.insert_new(100) = 11;
    v.insert(3, 12);
    v.insert(3, &four);
    EXPECT_EQ((std::vector<int>{10, 0, 1, 4, 12, 2, 3, 4, 11}), this->values());
    EXPECT_EQ(10, *v.first_element());
    EXPECT_EQ(11, *v.last_element());
    // A reference to one of the vector's own elements is read before anything moves.
    for (int i = 0; i < 20; ++i) v.append(v.first_element());
    v.prepend(v.last_element());
    EXPECT_EQ(10, *v.first_element());
    EXPECT_EQ(30, v.count);
}

TYPED_TEST(AnyVector, EmptyVectorAnswersNothing) {
    TypeParam& v = this->vector;
    EXPECT_EQ(nullptr, v.first_element());
    EXPECT_EQ(nullptr, v.last_element());
    EXPECT_EQ(nullptr, v.random_element());
    EXPECT_EQ(0, v.take_first());
    EXPECT_FALSE(v.remove_last());
    EXPECT_EQ(0, v.remove_first(3));
    EXPECT_EQ(nullptr, v.grow_to(0));
    Position position;
    EXPECT_FALSE(v.begin_forward(position));
    EXPECT_EQ(nullptr, v.move_first(position));
    EXPECT_EQ(nullptr, v.move_last(position));
}

TYPED_TEST(AnyVector, RemovingRanges) {
    TypeParam& v = this->make({0, 1, 2, 3, 4});
    EXPECT_FALSE(v.remove_range(3, 2));
    EXPECT_TRUE(v.remove_range(-3, 1));
    EXPECT_EQ((std::vector<int>{2, 3, 4}), this->values());
    EXPECT_TRUE(v.remove_range(2, 9));
    EXPECT_EQ((std::vector<int>{2, 3}), this->values());
    EXPECT_TRUE(v.remove_index(0));
    EXPECT_FALSE(v.remove_index(1));
    EXPECT_TRUE(v.remove_range(0, 7));
    EXPECT_EQ(0, v.count);
}

TYPED_TEST(AnyVector, RemovingAndKeepingAtTheEnds) {
    TypeParam& v = this->make({0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(0, v.remove_first(0));
    EXPECT_EQ(0, v.remove_last(INT_MIN));
    EXPECT_EQ(1, v.remove_first(1));
    EXPECT_EQ(2, v.remove_last(2));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), this->values());
    EXPECT_EQ(0, v.keep_first(4));
    EXPECT_EQ(1, v.keep_last(3));
    EXPECT_EQ(1, v.keep_first(2));
    EXPECT_EQ((std::vector<int>{2, 3}), this->values());
    EXPECT_EQ(2, v.keep_first(-1));  // as many as there were, never more
    EXPECT_EQ(0, v.count);
    this->make({1, 2, 3});
    EXPECT_EQ(3, v.remove_last(10));
}

TYPED_TEST(AnyVector, TakingAndGrowing) {
    TypeParam& v = this->make({5, 6, 7});
    EXPECT_EQ(0, v.take_index(7));
    EXPECT_EQ(0, v.take_index(-1));
    EXPECT_EQ(3, v.count);
    EXPECT_EQ(6, v.take_index(1));
    EXPECT_EQ(5, v.take_first());
    EXPECT_EQ(7, v.take_last());
    this->make({1, 2, 3});
    int* fifth = v.grow_to(5);
    EXPECT_EQ(5, v.count);
    EXPECT_EQ(v.at(4), fifth);
    EXPECT_EQ(0, *fifth);
    EXPECT_EQ(v.at(1), v.grow_to(2));
    EXPECT_EQ(5, v.count);
}

TYPED_TEST(AnyVector, Swapping) {
    TypeParam& v = this->make({1, 2, 3});
    EXPECT_TRUE(v.swap(1, 1));
    EXPECT_FALSE(v.swap(0, 5));
    EXPECT_FALSE(v.swap(-1, 0));
    EXPECT_TRUE(v.swap(0, 2));
    EXPECT_EQ((std::vector<int>{3, 2, 1}), this->values());
}

TYPED_TEST(AnyVector, RangeMovesInsideTheElements) {
    TypeParam& v = this->make({1, 2, 3, 4, 5});
    v.rotate_range_left(1, 3);
    EXPECT_EQ((std::vector<int>{1, 3, 4, 2, 5}), this->values());
    v.rotate_range_right(1, 3);
    v.rotate_range_right(1, 3);
    EXPECT_EQ((std::vector<int>{1, 4, 2, 3, 5}), this->values());
    v.rotate_range_left(3, 3);
    v.rotate_range_right(4, 1);
    EXPECT_EQ((std::vector<int>{1, 4, 2, 3, 5}), this->values());
}

TYPED_TEST(AnyVector, SortingWithARoutine) {
    TypeParam& v = this->make({3, 1, 2});
    // Every storage class here keeps int values in its slots, except BoxedVector,
    // whose slots point at them.
    v.sort([](const void* a, const void* b) {
        return std::is_same_v<TypeParam, BoxedVector<int>>
                   ? **static_cast<int* const*>(a) - **static_cast<int* const*>(b)
                   : *static_cast<const int*>(a) - *static_cast<const int*>(b);
    });
    EXPECT_EQ((std::vector<int>{1, 2, 3}), this->values());
}

TYPED_TEST(AnyVector, ClearResizeGivesDefaultElements) {
    TypeParam& v = this->make({4, 5});
    v.clear_resize(3);
    EXPECT_EQ((std::vector<int>{0, 0, 0}), this->values());
    v.clear_resize(0);
    EXPECT_EQ(0, v.count);
    v.resize(2);
    EXPECT_EQ((std::vector<int>{0, 0}), this->values());
    v.resize(-1);
    EXPECT_EQ(0, v.count);
}

TYPED_TEST(AnyVector, WalkingByIndex) {
    TypeParam& v = this->make({1, 2, 3});
    std::vector<int> seen;
    for (Iterator<int> it(&v); it.next();) seen.push_back(*it.element);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), seen);

    Position position;
    EXPECT_TRUE(v.begin_backward(position));
    EXPECT_EQ(3, *v.move_prev(position));
    EXPECT_EQ(2, *v.prev_element(position));
    EXPECT_EQ(nullptr, v.next_element(position));
    EXPECT_EQ(2, *v.move_prev(position));
    EXPECT_EQ(2, *v.current_element(position));
    EXPECT_EQ(1, *v.move_prev(position));
    EXPECT_EQ(nullptr, v.move_prev(position));
    EXPECT_EQ(nullptr, v.move_prev(position));

    // Following is past any index after move_last: a new element is not reached.
    EXPECT_EQ(3, *v.move_last(position));
    v.append(4);
    EXPECT_EQ(nullptr, v.move_next(position));
}

TYPED_TEST(AnyVector, RemovingWhileWalking) {
    TypeParam& v = this->make({1, 2, 3, 4});
    Iterator<int> it(&v);
    it.next();
    it.next();
    EXPECT_TRUE(v.remove_at(it.position));
    EXPECT_FALSE(v.remove_at(it.position));
    EXPECT_TRUE(it.next());
    EXPECT_EQ(3, *it.element);
    EXPECT_EQ(3, v.take_at(it.position));
    EXPECT_EQ(0, v.take_at(it.position));
    EXPECT_TRUE(it.next());
    EXPECT_EQ(4, *it.element);
    EXPECT_FALSE(it.next());
    EXPECT_EQ((std::vector<int>{1, 4}), this->values());
}

TYPED_TEST(AnyVector, RandomElementStaysInside) {
    TypeParam& v = this->make({7});
    EXPECT_EQ(v.at(0), v.random_element());
    this->make({8, 9});
    for (int i = 0; i < 20; ++i) {
        int value = *v.random_element();
        EXPECT_TRUE(value >= 7 && value <= 9);
    }
}

TYPED_TEST(AnyVector, WholeCollections) {
    TypeParam& v = this->make({1, 2});
    List<int> list;
    list.append(8);
    list.append(9);
    v.prepend_all(list);
    v.append_all(list);
    EXPECT_EQ((std::vector<int>{8, 9, 1, 2, 8, 9}), this->values());
    v.keep_first(2);
    v.append_all(v);
    EXPECT_EQ((std::vector<int>{8, 9, 8, 9}), this->values());
    v.keep_first(2);
    v.prepend_all(v);
    EXPECT_EQ((std::vector<int>{8, 9, 8, 9}), this->values());
    List<int> empty;
    v.prepend_all(empty);
    v.append_all(empty);
    EXPECT_EQ(4, v.count);
}

TYPED_TEST(AnyVector, RangeForReachesEachElement) {
    for (int size : {0, 1, 3}) {
        this->vector.clear();
        for (int i = 0; i < size; ++i) this->vector.append(i);
        rubo::test::expect_range_for_as_walk(this->vector);
    }
}

}  // namespace
