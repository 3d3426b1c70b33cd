#include <gtest/gtest.h>

#include <string>

#include "core/output.h"
#include "tests/support/child_process.h"

using namespace rubo;

namespace {

RUBO_CHILD(output_small_writes) {
    buffer_output("one\r\n");
    buffer_output("two", 3);
    buffer_output(nullptr);
    return 7;  // the buffer reaches standard output at exit
}

RUBO_CHILD(output_large_writes) {
    std::string line(1000, 'x');
    line += "\r\n";
    for (int i = 0; i < 200; ++i) buffer_output(line.data(), line.size());
    std::string big(100000, 'y');
    buffer_output(big.data(), big.size());
    flush_output();
    return 0;
}

TEST(Output, BufferedBytesReachStandardOutputAtExit) {
    rubo::test::ChildResult child = rubo::test::run_child("output_small_writes");
    EXPECT_EQ(7, child.exit_code);
    EXPECT_EQ("one\r\ntwo", child.output);
}

TEST(Output, LargeWritesKeepTheirOrder) {
    rubo::test::ChildResult child = rubo::test::run_child("output_large_writes");
    EXPECT_EQ(0, child.exit_code);
    std::string line(1000, 'x');
    line += "\r\n";
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += line;
    expected += std::string(100000, 'y');
    EXPECT_EQ(expected, child.output);
}

}  // namespace
