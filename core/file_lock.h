#pragma once
// FileLock: one locked byte range of a file, as kept on a block file's lock stack.

#include <cstdint>

namespace rubo {

struct FileLock {
    std::uint32_t offset;  // first byte of the range
    std::int32_t length;   // number of bytes
};

}  // namespace rubo
