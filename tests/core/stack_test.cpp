#include "core/stack.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/file_lock.h"
#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

TEST(Stack, PopsInReverseOrder) {
    Stack<int> stack;
    for (int i = 1; i <= 3; ++i) stack.push(i);
    EXPECT_EQ(3, stack.pop());
    EXPECT_EQ(2, stack.pop());
    EXPECT_EQ(1, *stack.top());
    EXPECT_EQ(1, stack.count);
    EXPECT_TRUE(stack.discard_top());
    EXPECT_EQ(nullptr, stack.top());
    EXPECT_EQ(0, stack.count);
}

TEST(Stack, KeepFirstKeepsTheTopUnlikeAList) {
    Stack<int> stack;
    List<int> list;
    for (int i = 1; i <= 3; ++i) {
        stack.push(i);
        list.append(i);
    }
    EXPECT_EQ(2, stack.keep_first(1));
    EXPECT_EQ(2, list.keep_first(1));
    EXPECT_EQ(3, *stack.top());
    EXPECT_EQ(1, *list.first_element());
    EXPECT_EQ(0, stack.keep_first(1));
    EXPECT_EQ(0, stack.keep_first(5));
    EXPECT_EQ(1, stack.count);
    Collection<int>& as_collection = stack;
    stack.push(4);
    EXPECT_EQ(1, as_collection.keep_first(1));
    EXPECT_EQ(4, *stack.top());
}

TEST(Stack, WalksFromBottomToTop) {
    Stack<void*> stack;
    int a = 0, b = 0;
    stack.push(&a);
    stack.push(&b);
    Position position;
    EXPECT_EQ(&a, *stack.move_first(position));
    EXPECT_EQ(&b, *stack.move_next(position));
    FileLock lock{0xFFFFFFF0u, -1};
    Stack<FileLock> locks;
    locks.push(lock);
    EXPECT_EQ(0xFFFFFFF0u, locks.top()->offset);
    EXPECT_EQ(-1, locks.top()->length);
}

RUBO_CHILD(stack_pop_empty) {
    Stack<int> stack;
    stack.push(1);
    stack.pop();
    stack.pop();
    return 0;
}

RUBO_CHILD(stack_discard_empty) {
    Stack<FileLock> stack;
    stack.discard_top();
    return 0;
}

TEST(Stack, EmptyStacksEndTheProcessNamingTheType) {
    rubo::test::expect_child("stack_pop_empty", 1, "Stack<int>::pop\r\n");
    rubo::test::expect_child("stack_discard_empty", 1, "Stack<struct FileLock>::discard_top\r\n");
}

}  // namespace
