#include "core/random.h"

#include <gtest/gtest.h>

#include "tests/support/child_process.h"

using namespace rubo;

namespace {

// The generator's first values from its seed: two draws (41, 18467), (6334, 26500),
// (19169, 15724), ... combined as high * 65536 + low. Bounds of 1 and below draw nothing;
// the largest bound is random31 itself.
RUBO_CHILD(random_first_values) {
    if (random_below(1) != 0 || random_below(0) != 0) return 1;
    if (random31() != 2705443) return 2;
    if (random31() != 415131524) return 3;
    if (random31() != 1256275308) return 4;
    if (random_below(INT32_MAX) != 752251566) return 5;
    if (random_below(10) != 1767006096 % 10) return 6;
    return 0;
}

TEST(Random, SequenceStartsTheSameInEveryRun) {
    // A fresh process, so no other test has drawn before.
    EXPECT_EQ(0, rubo::test::run_child("random_first_values").exit_code);
}

TEST(Random, ValuesStayInRange) {
    for (int i = 0; i < 1000; ++i) {
        const std::int32_t value = random31();
        EXPECT_GE(value, 0);
        EXPECT_EQ(0, value & 0x8000);  // the low draw never reaches bit 15
        const std::int32_t below = random_below(10);
        EXPECT_GE(below, 0);
        EXPECT_LT(below, 10);
    }
    EXPECT_GE(random_below(INT32_MAX), 0);
}

TEST(Random, SmallBoundsGiveZero) { EXPECT_EQ(0, random_below(-5)); }

}  // namespace
