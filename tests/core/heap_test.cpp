#include "core/heap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/out_of_memory.h"

using namespace rubo;

// Under the address sanitizer an impossible allocation must come back as null, as it
// does from the ordinary allocator.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

std::size_t reported_size = 0;
void record_failure(std::size_t requested) { reported_size = requested; }

constexpr std::size_t impossible = SIZE_MAX / 2;

TEST(Heap, AllocateResizeAndFree) {
    char* block = static_cast<char*>(heap_allocate(4));
    ASSERT_NE(nullptr, block);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(heap_reallocate(block, 4000));
    ASSERT_NE(nullptr, block);
    EXPECT_STREQ("abc", block);
    heap_free(block);
    heap_free(nullptr);
    void* fresh = heap_reallocate(nullptr, 8);
    EXPECT_NE(nullptr, fresh);
    heap_free(fresh);
    void* empty = heap_allocate(0);  // a usable block even for no bytes
    EXPECT_NE(nullptr, empty);
    heap_free(empty);
}

TEST(Heap, FailuresGoToTheHandler) {
    set_heap_failure_handler(nullptr);  // start-up installed the out-of-memory handler
    EXPECT_EQ(nullptr, heap_allocate(impossible));
    set_heap_failure_handler(record_failure);
    reported_size = 0;
    EXPECT_EQ(nullptr, heap_allocate(impossible));
    EXPECT_EQ(impossible, reported_size);

    char* block = static_cast<char*>(heap_allocate(2));
    ASSERT_NE(nullptr, block);
    block[0] = 'k';
    reported_size = 0;
    EXPECT_EQ(nullptr, heap_reallocate(block, impossible - 1));
    EXPECT_EQ(impossible - 1, reported_size);
    EXPECT_EQ('k', block[0]);  // the old block is still there
    heap_free(block);
    install_out_of_memory_handler();
}

}  // namespace
