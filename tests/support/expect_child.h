#pragma once
// Checks on a child routine run through run_child: its exit code and its exact standard
// output (a fatal report ends with exit code 1).

#include <gtest/gtest.h>

#include <string>

#include "tests/support/child_process.h"

namespace rubo::test {

inline void expect_child(const char* name, int exit_code, const std::string& output) {
    const ChildResult result = run_child(name);
    EXPECT_EQ(exit_code, result.exit_code) << name;
    EXPECT_EQ(output, result.output) << name;
}

}  // namespace rubo::test
