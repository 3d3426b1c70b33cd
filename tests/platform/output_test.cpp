#include <gtest/gtest.h>

#include "platform/platform.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Points standard output at `path` for one question, then puts it back.
bool discarded_when_output_is(const char* path) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int target = open(path, O_WRONLY);
    if (saved < 0 || target < 0 || dup2(target, STDOUT_FILENO) < 0) {
        ADD_FAILURE() << "cannot redirect standard output to " << path;
        return false;
    }
    close(target);
    const bool discarded = platform::output_discarded();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return discarded;
}

// Only the null device throws output away; a terminal-like device or a file may fail.
TEST(Output, OnlyTheNullDeviceCountsAsDiscarded) {
    EXPECT_TRUE(discarded_when_output_is("/dev/null"));
    EXPECT_FALSE(discarded_when_output_is("/dev/zero"));
    char file[] = "/tmp/rubo-output-XXXXXX";
    const int made = mkstemp(file);
    ASSERT_GE(made, 0);
    close(made);
    EXPECT_FALSE(discarded_when_output_is(file));
    unlink(file);
}

}  // namespace
#endif
