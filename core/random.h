#pragma once
// Pseudo-random numbers with the same sequence on every platform: a linear congruential
// generator (multiplier 214013, increment 2531011) starting from seed 1, each draw giving
// bits 16 to 30 of its state. It is never seeded, so every run repeats the sequence.

#include <cstdint>

namespace rubo {

// 0 to 2^31 - 1, from two draws.
std::int32_t random31();
// 0 to n - 1; 0 for n <= 1.
std::int32_t random_below(std::int32_t n);

}  // namespace rubo
