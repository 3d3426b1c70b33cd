#include "core/hash_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/core/collection_checks.h"
#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

using Table = HashTable<int, int>;

// Keys 1..n with values 10 times the key.
Table& fill(Table& table, int n, int buckets = 8) {
    table.reset(buckets);
    for (int key = 1; key <= n; ++key) table.insert(key, key * 10);
    return table;
}

std::vector<int> in_order(Table& table) { return rubo::test::elements(table); }

// The table order both ways and the bucket Lists agree with count.
void expect_consistent(Table& table) {
    int forward = 0;
    const Table::Entry* last = nullptr;
    for (const Table::Entry* at = table.first; at != nullptr; at = at->next, ++forward) {
        EXPECT_EQ(last, at->prev);
        last = at;
    }
    EXPECT_EQ(last, table.last);
    EXPECT_EQ(table.count, forward);
    int in_buckets = 0;
    for (int i = 0; i < table.buckets.count; ++i) {
        in_buckets += table.buckets.at(i)->count;
        Position position;
        for (Table::Entry* at = table.buckets.at(i)->move_first(position); at != nullptr;
             at = table.buckets.at(i)->move_next(position))
            EXPECT_EQ(table.buckets.at(i), at->list);
    }
    EXPECT_EQ(table.count, in_buckets);
}

TEST(HashTable, NewTableIsEmptyWithoutBuckets) {
    Table table;
    Position position;
    EXPECT_EQ(0, table.count);
    EXPECT_EQ(0, table.bucket_count);
    EXPECT_FALSE(table.begin_forward(position));
    EXPECT_FALSE(table.begin_backward(position));
    EXPECT_EQ(nullptr, table.move_first(position));
    EXPECT_EQ(nullptr, table.move_last(position));
    EXPECT_EQ(nullptr, table.first_element());
    EXPECT_EQ(nullptr, table.last_element());
    EXPECT_EQ(nullptr, table.random_element());
    EXPECT_EQ(0, table.take_first());
    EXPECT_EQ(0, table.take_at(position));
    EXPECT_FALSE(table.remove_first());
    EXPECT_FALSE(table.remove_at(position));
    EXPECT_EQ(0, table.keep_first(0));
    EXPECT_EQ(0, table.bucket_count);
    EXPECT_EQ(nullptr, table.insert(1, 2));  // no buckets, nothing stored
    EXPECT_EQ(nullptr, table.find(1));
    EXPECT_EQ(0, table.count);
}

TEST(HashTable, InsertAndFindByKey) {
    Table table;
    fill(table, 20, 3);
    EXPECT_EQ(20, table.count);
    for (int key = 1; key <= 20; ++key) EXPECT_EQ(key * 10, *table.find(key));
    EXPECT_EQ(nullptr, table.find(21));
    int* value = table.insert(5, 55);  // an existing key keeps its entry
    EXPECT_EQ(value, table.find(5));
    EXPECT_EQ(55, *value);
    EXPECT_EQ(20, table.count);
    EXPECT_EQ(10, *table.first_element());
    EXPECT_EQ(200, *table.last_element());
    expect_consistent(table);
}

TEST(HashTable, WalksFollowInsertionOrderBothWays) {
    Table table;
    fill(table, 5);
    EXPECT_EQ((std::vector<int>{10, 20, 30, 40, 50}), in_order(table));
    Position position;
    EXPECT_TRUE(table.begin_backward(position));
    EXPECT_EQ(50, *table.move_prev(position));
    EXPECT_EQ(40, *table.prev_element(position));
    EXPECT_EQ(nullptr, table.next_element(position));
    EXPECT_EQ(40, *table.move_prev(position));
    EXPECT_EQ(50, *table.next_element(position));
    EXPECT_EQ(40, *table.current_element(position));
    EXPECT_EQ(50, *table.move_last(position));
    EXPECT_EQ(nullptr, table.move_next(position));
    EXPECT_EQ(50, *table.current_element(position));
}

TEST(HashTable, RemovingEntries) {
    Table table;
    fill(table, 1);
    EXPECT_TRUE(table.remove_first());
    EXPECT_EQ(nullptr, table.first);
    EXPECT_EQ(nullptr, table.last);
    fill(table, 4);
    EXPECT_TRUE(table.remove_first());
    EXPECT_EQ(nullptr, table.first->prev);
    EXPECT_EQ(20, table.first->value);
    EXPECT_TRUE(table.remove_last());
    EXPECT_EQ(nullptr, table.find(4));
    EXPECT_EQ(2, table.remove_first(5));
    EXPECT_EQ(0, table.count);
    fill(table, 6);
    EXPECT_EQ(10, table.take_first());
    EXPECT_EQ(60, table.take_last());
    EXPECT_EQ(nullptr, table.find(1));
    EXPECT_EQ(2, table.keep_last(2));
    EXPECT_EQ((std::vector<int>{40, 50}), in_order(table));
    expect_consistent(table);
}

TEST(HashTable, RemovingWhileWalking) {
    Table table;
    fill(table, 4);
    Position position;
    table.move_first(position);
    table.move_next(position);
    EXPECT_TRUE(table.remove_at(position));
    EXPECT_FALSE(table.remove_at(position));  // the walk stands on no entry now
    EXPECT_EQ(nullptr, table.current_element(position));
    EXPECT_EQ(30, *table.move_next(position));
    EXPECT_EQ(30, table.take_at(position));
    EXPECT_EQ(0, table.take_at(position));
    EXPECT_EQ(40, *table.move_next(position));
    EXPECT_EQ(10, *table.move_prev(position));
    EXPECT_EQ((std::vector<int>{10, 40}), in_order(table));
    expect_consistent(table);
}

TEST(HashTable, KeepFirstTrimsFromTheFrontOrEmptiesKeepingBuckets) {
    Table table;
    fill(table, 5);
    EXPECT_EQ(0, table.keep_first(5));
    EXPECT_EQ(2, table.keep_first(3));
    EXPECT_EQ((std::vector<int>{30, 40, 50}), in_order(table));
    fill(table, 5);
    EXPECT_EQ(5, table.keep_first(0));
    EXPECT_EQ(0, table.count);
    EXPECT_EQ(nullptr, table.first);
    EXPECT_EQ(nullptr, table.last);
    EXPECT_EQ(8, table.bucket_count);
    ASSERT_EQ(8, table.buckets.count);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(0, table.buckets.at(i)->count);
    EXPECT_NE(nullptr, table.insert(3, 30));
    fill(table, 5);
    table.clear();
    EXPECT_EQ(0, table.bucket_count);
    EXPECT_EQ(0, table.buckets.count);
    EXPECT_EQ(nullptr, table.buckets.items);
    EXPECT_EQ(nullptr, table.first);
    table.reset(-2);
    EXPECT_EQ(0, table.bucket_count);
}

TEST(HashTable, OwnOperationsAnswerFixedValues) {
    Table table;
    EXPECT_EQ(4, table.reserved_a());
    EXPECT_EQ(4, table.reserved_b());
    EXPECT_TRUE(table.reserved_c(-7));
    fill(table, 3);
    EXPECT_EQ(4, table.reserved_a());
    EXPECT_TRUE(table.reserved_c(2));
}

RUBO_CHILD(hash_table_prepend) {
    Table table;
    int value = 1;
    table.prepend(&value);
    return 0;
}

RUBO_CHILD(hash_table_rotate) {
    Table table;
    table.rotate_right(1);
    return 0;
}

TEST(HashTable, InsertionAtTheEndsAndRotationAreRefused) {
    rubo::test::expect_child("hash_table_prepend", 1, "Internal Fatal Error\r\nModule: core\r\nLine: 5332\r\n");
    rubo::test::expect_child("hash_table_rotate", 1, "Internal Fatal Error\r\nModule: core\r\nLine: 5336\r\n");
}

TEST(HashTable, RangeForFollowsTableOrder) {
    for (int size : {0, 1, 5}) {
        Table table;
        rubo::test::expect_range_for_as_walk(fill(table, size));
    }
}

}  // namespace
