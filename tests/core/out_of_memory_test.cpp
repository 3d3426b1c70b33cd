#include "core/out_of_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

#include "core/heap.h"
#include "core/startup_objects.h"
#include "tests/support/expect_child.h"

using namespace rubo;

#ifndef _WIN32
#include <termios.h>

#include "platform/platform.h"
#include "tests/support/terminal_posix.h"
#endif

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#endif

// Under the address sanitizer the huge requests come back null, as from the system
// allocator, through the sanitizer options set for this executable in heap_test.cpp.

namespace {

const std::string report = "Out Of Memory.  Make sure your hard drive is not full.\nRequested size = ";
// A request no machine serves; one beyond any address space fails at once, while one
// within it (2^46) can take the system many seconds to turn down, so it is made once.
constexpr std::size_t huge = std::size_t{1} << 46;
constexpr std::size_t impossible = SIZE_MAX / 2;

// Keeps the compiler from leaving out allocations whose result is never used.
void* volatile sink = nullptr;

RUBO_CHILD(oom_object_allocator) {
    sink = new char[huge];
    return 0;
}

RUBO_CHILD(oom_heap_routine) {
    sink = heap_allocate(SIZE_MAX);
    return 0;
}

void allocate_while_reporting(const char*) { sink = ::operator new[](impossible); }

RUBO_CHILD(oom_while_reporting) {
    fatal_hook_list().append(allocate_while_reporting);
    sink = ::operator new[](impossible);
    return 0;
}

#ifndef _WIN32
// The same with a terminal whose settings the first console call changed.
RUBO_CHILD(oom_while_reporting_at_terminal) {
    platform::key_pending();
    fatal_hook_list().append(allocate_while_reporting);
    sink = ::operator new[](impossible);
    return 0;
}
#endif

TEST(OutOfMemory, ReportsTheRequestedSize) {
    rubo::test::expect_child("oom_object_allocator", 1, report + "70,368,744,177,664\r\n");
    rubo::test::expect_child("oom_heap_routine", 1, report + "18,446,744,073,709,551,615\r\n");
}

TEST(OutOfMemory, FailingAgainWhileReportingEndsPlainly) {
    rubo::test::expect_child("oom_while_reporting", 1, "Out Of Memory.  Make sure your hard drive is not full.\r\n");
}

#ifndef _WIN32
TEST(OutOfMemory, FailingAgainWhileReportingGivesTheTerminalBack) {
    rubo::test::TerminalChild child("oom_while_reporting_at_terminal");
    EXPECT_EQ(1, child.wait_exit());
    const termios settings = child.settings();
    EXPECT_NE(0u, settings.c_lflag & ECHO);
    EXPECT_NE(0u, settings.c_lflag & ICANON);
}
#endif

#if defined(__linux__)
// A real shortage: the address space is capped a little above what the process uses.
RUBO_CHILD(oom_address_space) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + 512 * 1024;
    rlimit cap{limit, limit};
    if (setrlimit(RLIMIT_AS, &cap) != 0) return 99;
    sink = new char[1048576];
    return 0;
}

TEST(OutOfMemory, ShortAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory needs the whole address space";
#endif
    rubo::test::expect_child("oom_address_space", 1, report + "1,048,576\r\n");
}
#endif

TEST(OutOfMemory, NothrowFormsAnswerNull) {
    void* block = ::operator new(impossible, std::nothrow);
    EXPECT_EQ(nullptr, block);
    EXPECT_EQ(nullptr, ::operator new[](impossible, std::align_val_t{64}, std::nothrow));
    char* small = new (std::nothrow) char[16];
    ASSERT_NE(nullptr, small);
    delete[] small;
}

TEST(OutOfMemory, AlignedAndEmptyRequests) {
    struct alignas(256) Wide {
        char bytes[300];
    };
    Wide* one = new Wide;
    Wide* many = new Wide[3];
    Wide* quiet = new (std::nothrow) Wide;
    for (void* block : {static_cast<void*>(one), static_cast<void*>(many), static_cast<void*>(quiet)})
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(block) % 256);
    delete one;
    delete[] many;
    delete quiet;
    void* first = ::operator new(0);
    void* second = ::operator new(0);
    EXPECT_NE(nullptr, first);
    EXPECT_NE(first, second);
    ::operator delete(first);
    ::operator delete(second);
}

}  // namespace
