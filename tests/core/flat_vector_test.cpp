#include "core/flat_vector.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/core/collection_checks.h"

using namespace rubo;

namespace {

using rubo::test::expect_layout;

std::vector<int> values(FlatVector<int>& v) { return rubo::test::elements(v); }

FlatVector<int>& make(FlatVector<int>& v, std::initializer_list<int> items) {
    for (int item : items) v.append(item);
    return v;
}

TEST(FlatVector, FirstElementGoesToSlotOne) {
    FlatVector<int> v;
    int* first = v.append(42);
    EXPECT_EQ(6, v.capacity);
    EXPECT_EQ(1, v.start);
    EXPECT_EQ(v.items + 1, first);
    EXPECT_EQ(42, v.items[1]);
}

TEST(FlatVector, CapacityRule) {
    EXPECT_EQ(6, FlatVector<int>::capacity_for(0));
    EXPECT_EQ(6, FlatVector<int>::capacity_for(4));
    EXPECT_EQ(7, FlatVector<int>::capacity_for(5));
    EXPECT_EQ(2047, FlatVector<int>::capacity_for(1365));
    EXPECT_EQ(3414, FlatVector<int>::capacity_for(1366));
    // The limit is in bytes: pointer slots reach it with fewer elements where they are
    // wider.
    EXPECT_EQ(1024, FlatVector<void*>::capacity_for(683));
    EXPECT_EQ(sizeof(void*) == 8 ? 2732 : 1026, FlatVector<void*>::capacity_for(684));
}

TEST(FlatVector, AddingAtTheFrontUsesTheRoomThere) {
    FlatVector<int> v;
    int* one = v.append(1);
    v.prepend(0);
    EXPECT_EQ(0, v.start);
    EXPECT_EQ(one, v.at(1));
    v.prepend(-1);            // no room in front: the values move back
    EXPECT_NE(one, v.at(2));  // so a reference to an element no longer names it
    EXPECT_EQ(0, v.start);
    EXPECT_EQ(-1, v.items[0]);
    EXPECT_EQ(0, v.items[1]);
    EXPECT_EQ(1, v.items[2]);
    make(v, {2, 3, 4});
    EXPECT_EQ(6, v.capacity);
    v.append(5);  // full: the array grows and keeps start
    EXPECT_EQ(10, v.capacity);
    EXPECT_EQ(0, v.start);
    EXPECT_EQ((std::vector<int>{-1, 0, 1, 2, 3, 4, 5}), values(v));
    for (int i = 0; i < 50; ++i) {
        v.insert(v.count / 3, 100 + i);
        v.insert(v.count - 2, 200 + i);
        expect_layout(v);
    }
    EXPECT_EQ(107, v.count);
    EXPECT_EQ(-1, *v.first_element());
    EXPECT_EQ(5, *v.last_element());
}

TEST(FlatVector, AppendingAtAFullEndMovesTheValuesForward) {
    FlatVector<int> v;
    v.clear_resize(5);  // capacity 10, start 2
    ASSERT_EQ(10, v.capacity);
    ASSERT_EQ(2, v.start);
    make(v, {1, 2, 3});
    EXPECT_EQ(2, v.start);
    v.append(4);  // the end is reached: moved to ((10 - 8) / 4) / 2 = 0
    EXPECT_EQ(0, v.start);
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 1, 2, 3, 4}), values(v));
}

TEST(FlatVector, RemovingRanges) {
    FlatVector<int> v;
    make(v, {0, 1, 2, 3, 4, 5, 6, 7});
    int start = v.start;
    EXPECT_TRUE(v.remove_range(0, 1));  // at the front: only start moves
    EXPECT_EQ(start + 2, v.start);
    EXPECT_TRUE(v.remove_range(1, 1));  // the front part is shorter
    EXPECT_EQ(start + 3, v.start);
    EXPECT_EQ((std::vector<int>{2, 4, 5, 6, 7}), values(v));
    EXPECT_TRUE(v.remove_range(3, 3));  // the back part is shorter
    EXPECT_EQ(start + 3, v.start);
    EXPECT_TRUE(v.remove_range(3, 3));  // the last element: nothing moves
    EXPECT_EQ((std::vector<int>{2, 4, 5}), values(v));
    EXPECT_TRUE(v.remove_range(-1, 5));  // everything: the array is released
    EXPECT_EQ(nullptr, v.items);
    EXPECT_EQ(0, v.capacity);
}

TEST(FlatVector, Rotations) {
    FlatVector<int> v;
    make(v, {1, 2, 3});
    EXPECT_FALSE(v.rotate_left(3));
    EXPECT_FALSE(v.rotate_right(-6));
    EXPECT_TRUE(v.rotate_left(-1));
    EXPECT_EQ((std::vector<int>{3, 1, 2}), values(v));
    EXPECT_TRUE(v.rotate_right(-1));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), values(v));
    EXPECT_TRUE(v.rotate_left(INT_MIN));  // 2^31 is 2 turns and 2 more to the right
    EXPECT_EQ((std::vector<int>{2, 3, 1}), values(v));
    EXPECT_TRUE(v.rotate_left(2));  // no room behind: rebuilt
    EXPECT_EQ((std::vector<int>{1, 2, 3}), values(v));
    expect_layout(v);
    FlatVector<int> single;
    make(single, {9});
    EXPECT_TRUE(single.rotate_left(5));
    FlatVector<int> empty;
    EXPECT_FALSE(empty.rotate_right(1));
}

TEST(FlatVector, RotationsUseTheRoomOnTheirSide) {
    FlatVector<int> v;
    v.clear_resize(8);  // capacity 16, start 4
    v.remove_range(2, 7);
    *v.at(0) = 1;
    *v.at(1) = 2;
    ASSERT_EQ(4, v.start);
    EXPECT_TRUE(v.rotate_left(1));  // copied behind the last element
    EXPECT_EQ(5, v.start);
    EXPECT_TRUE(v.rotate_right(1));  // copied in front of the first
    EXPECT_EQ(4, v.start);
    EXPECT_EQ((std::vector<int>{1, 2}), values(v));
    EXPECT_EQ(16, v.capacity);
}

TEST(FlatVector, RangeMovesIgnoreIndicesOutside) {
    FlatVector<int> v;
    make(v, {1, 2, 3, 4, 5});
    ASSERT_EQ(1, v.start);
    v.rotate_range_left(1, 3);
    EXPECT_EQ((std::vector<int>{1, 3, 4, 2, 5}), values(v));
    v.rotate_range_right(1, 3);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), values(v));
    v.rotate_range_left(1, 5);
    v.rotate_range_right(-1, 3);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), values(v));
}

TEST(FlatVector, ResizingRebuildsWhenFarTooLarge) {
    FlatVector<int> v;
    v.resize(3000);
    EXPECT_EQ(5048, v.capacity);
    *v.at(0) = 7;
    *v.at(9) = 8;
    v.resize(10);
    EXPECT_EQ(15, v.capacity);
    EXPECT_EQ(1, v.start);
    EXPECT_EQ(7, *v.at(0));
    EXPECT_EQ(8, *v.at(9));
    v.resize(12);  // fits, but would run past the end: centred
    EXPECT_EQ(12, v.count);
    EXPECT_EQ(7, *v.at(0));
    expect_layout(v);
}

TEST(FlatVector, ClearResizeCentresTheElements) {
    FlatVector<int> v;
    v.clear_resize(2);
    EXPECT_EQ(6, v.capacity);
    EXPECT_EQ(1, v.start);
    v.clear_resize(4);
    EXPECT_EQ(1, v.start);
    v.clear_resize(20);
    EXPECT_EQ(40, v.capacity);
    EXPECT_EQ(10, v.start);
    v.clear_resize(0);
    EXPECT_EQ(nullptr, v.items);
}

}  // namespace
