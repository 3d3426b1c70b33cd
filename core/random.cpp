#include "core/random.h"

namespace rubo {

namespace {

std::uint32_t generator_state = 1;

// One draw of the generator: 0 to 32767.
std::int32_t draw() {
    generator_state = generator_state * 214013u + 2531011u;
    return static_cast<std::int32_t>((generator_state >> 16) & 0x7fff);
}

}  // namespace

std::int32_t random31() {
    const std::int32_t high = draw();
    const std::int32_t low = draw();
    return (high * 65536 + low) & 0x7fffffff;
}

std::int32_t random_below(std::int32_t n) {
    if (n == INT32_MAX) return random31();
    if (n <= 1) return 0;
    return random31() % n;
}

}  // namespace rubo
