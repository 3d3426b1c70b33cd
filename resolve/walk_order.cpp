#include "resolve/walk_order.h"

#include "core/block_file.h"
#include "core/string.h"

namespace rubo {

namespace {

// Opened to read the time only: an existing file, no writing, others may go on reading
// and writing it.
constexpr std::uint32_t TIME_READ_FLAGS = OPEN_MUST_EXIST | OPEN_NO_WRITE | OPEN_SHARE_READ;

// The time of the file named in a sort slot; the unset time, which lies before every
// file time, when it cannot be read.
DateTime slot_write_time(const void* slot) {
    const String* path = *static_cast<const String* const*>(slot);
    DateTime time;
    file_write_time(path != nullptr ? path->text() : shared_empty_text, &time);
    return time;
}

}  // namespace

bool file_write_time(const char* path, DateTime* target) {
    if (target == nullptr) return false;
    BlockFile file;
    return file.open(path, TIME_READ_FLAGS, OPEN_ATTRIBUTE_NORMAL) == OPEN_OK && file.last_write_time(target);
}

int compare_newest_first(const void* first, const void* second) {
    return compare_date_times(slot_write_time(second), slot_write_time(first));
}

int compare_oldest_first(const void* first, const void* second) {
    return compare_date_times(slot_write_time(first), slot_write_time(second));
}

}  // namespace rubo
