#pragma once
// Writing a whole buffer to a descriptor.

#include <cstddef>

namespace rubo::platform::posix {

// Writes all `size` bytes, again after an interrupted or short write. False with the
// last error (and errno) set at the first write that fails; a reader that has gone away
// is such a failure (EPIPE), never a signal that ends the process.
bool write_all(int descriptor, const void* data, std::size_t size);

}  // namespace rubo::platform::posix
