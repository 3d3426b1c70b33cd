#pragma once
// What each backend supplies for DirectoryReading (in its directory_reading.cpp): the
// reading's data is the backend's own, so only the backend can copy, free and count it.
// The rest of the class is common (platform/directory_reading.cpp).

#include <cstddef>

#include "platform/platform.h"

namespace rubo::platform {

DirectoryReading::Data* copy_reading_data(const DirectoryReading::Data& data);
void free_reading_data(DirectoryReading::Data* data);
std::size_t reading_data_count(const DirectoryReading::Data& data);

}  // namespace rubo::platform
