// The part of DirectoryReading that does not depend on the backend: ownership of the
// backend's data, which it copies, frees and counts through platform/directory_reading.h.

#include "platform/directory_reading.h"

#include <utility>

namespace rubo::platform {

DirectoryReading::DirectoryReading(const DirectoryReading& other)
    : data_(other.data_ != nullptr ? copy_reading_data(*other.data_) : nullptr) {}

DirectoryReading::DirectoryReading(DirectoryReading&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}

DirectoryReading& DirectoryReading::operator=(DirectoryReading other) noexcept {
    std::swap(data_, other.data_);
    return *this;
}

DirectoryReading::~DirectoryReading() { free_reading_data(data_); }

std::size_t DirectoryReading::count() const { return data_ != nullptr ? reading_data_count(*data_) : 0; }

}  // namespace rubo::platform
