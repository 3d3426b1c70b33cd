#include "core/exact_vector.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/list.h"

using namespace rubo;

// The bucket array's shape: a vector of Lists of plain records.

namespace {

struct Record {
    int value;
};

}  // namespace

template <> struct rubo::TypeName<Record> {
    static const char* name() { return "struct Record"; }
};

namespace {

using Lists = ExactVector<List<Record>>;

// The first value of each List (0 for an empty one).
std::vector<int> heads(Lists& v) {
    std::vector<int> out;
    for (int i = 0; i < v.count; ++i) out.push_back(v.at(i)->count > 0 ? v.at(i)->first_element()->value : 0);
    return out;
}

Lists& make(Lists& v, std::initializer_list<int> items) {
    for (int item : items) {
        List<Record> list;
        list.append(Record{item});
        v.append(&list);
    }
    return v;
}

TEST(ExactVector, ClearResizeBuildsEmptyLists) {
    Lists v;
    v.clear_resize(3);
    EXPECT_EQ(3, v.count);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, v.at(i)->count);
    v.clear_resize(0);
    EXPECT_EQ(0, v.count);
    EXPECT_EQ(nullptr, v.items);
}

TEST(ExactVector, EveryChangeOfSizeBuildsANewArray) {
    Lists v;
    make(v, {1, 2, 3});
    List<Record>* before = v.items;
    const List<Record>::Node* node = v.at(0)->head;
    v.resize(5);
    EXPECT_NE(before, v.items);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 0, 0}), heads(v));
    EXPECT_NE(node, v.at(0)->head);  // copied node by node
    before = v.items;
    v.resize(5);
    EXPECT_EQ(before, v.items);
    v.resize(2);
    EXPECT_EQ((std::vector<int>{1, 2}), heads(v));
    before = v.items;
    v.swap(0, 1);
    v.rotate_range_left(0, 1);
    EXPECT_EQ(before, v.items);
    v.append(static_cast<const List<Record>*>(nullptr));
    EXPECT_NE(before, v.items);
    EXPECT_EQ(3, v.count);
}

TEST(ExactVector, RemovingRanges) {
    Lists v;
    make(v, {1, 2, 3});
    EXPECT_TRUE(v.remove_range(1, 1));
    EXPECT_EQ((std::vector<int>{1, 3}), heads(v));
    EXPECT_FALSE(v.remove_range(2, 1));
    EXPECT_TRUE(v.remove_range(0, 7));
    EXPECT_EQ(0, v.count);
    EXPECT_EQ(nullptr, v.items);
}

TEST(ExactVector, RotationsRefuseWholeTurnsAndNegatives) {
    Lists v;
    make(v, {1, 2, 3});
    EXPECT_TRUE(v.rotate_left(1));
    EXPECT_EQ((std::vector<int>{2, 3, 1}), heads(v));
    EXPECT_FALSE(v.rotate_left(3));
    EXPECT_FALSE(v.rotate_left(-1));
    EXPECT_FALSE(v.rotate_right(-4));
    EXPECT_TRUE(v.rotate_right(4));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), heads(v));
}

TEST(ExactVector, InsertNewOpensAnEmptyPlace) {
    Lists v;
    make(v, {1, 2});
    List<Record>* middle = v.insert_new(1);
    EXPECT_EQ(v.at(1), middle);
    EXPECT_EQ(0, middle->count);
    EXPECT_EQ((std::vector<int>{1, 0, 2}), heads(v));
    v.insert_new(-3);
    v.insert_new(9);
    EXPECT_EQ((std::vector<int>{0, 1, 0, 2, 0}), heads(v));
}

TEST(ExactVector, SwapsAndRangeMoves) {
    Lists v;
    make(v, {1, 2, 3});
    EXPECT_FALSE(v.swap(0, 5));
    EXPECT_TRUE(v.swap(1, 1));
    EXPECT_TRUE(v.swap(0, 2));
    EXPECT_EQ((std::vector<int>{3, 2, 1}), heads(v));
    v.rotate_range_right(-4, 9);
    EXPECT_EQ((std::vector<int>{1, 3, 2}), heads(v));
    v.rotate_range_left(0, 1);
    EXPECT_EQ((std::vector<int>{3, 1, 2}), heads(v));
}

TEST(ExactVector, SortingKeepsEachListsNodes) {
    Lists v;
    make(v, {3, 1, 2});
    const List<Record>::Node* one = v.at(1)->head;
    v.sort([](const void* a, const void* b) {
        return static_cast<const List<Record>*>(a)->head->value.value -
               static_cast<const List<Record>*>(b)->head->value.value;
    });
    EXPECT_EQ((std::vector<int>{1, 2, 3}), heads(v));
    EXPECT_EQ(one, v.at(0)->head);
}

TEST(ExactVector, WholeCollections) {
    Lists v;
    make(v, {1});
    Lists other;
    make(other, {7, 8});
    v.prepend_all(other);
    v.append_all(other);
    EXPECT_EQ((std::vector<int>{7, 8, 1, 7, 8}), heads(v));
    v.keep_first(2);
    v.prepend_all(v);
    EXPECT_EQ((std::vector<int>{7, 8, 7, 8}), heads(v));
    v.append_all(v);
    EXPECT_EQ(8, v.count);
    Lists empty;
    v.prepend_all(empty);
    EXPECT_EQ(8, v.count);
    List<Record> taken = v.take_index(0);
    EXPECT_EQ(7, taken.first_element()->value);
    EXPECT_EQ(0, v.take_index(8).count);
}

}  // namespace
