#include <gtest/gtest.h>

#include "tests/support/child_process.h"

using namespace rubo;

int main(int argc, char** argv) {
    int exit_code = 0;
    if (rubo::test::run_child_if_asked(argc, argv, exit_code)) return exit_code;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
