#include "core/string_buffer.h"

#include <algorithm>
#include <cstring>

namespace rubo {

void StringBuffer::reset() {
    position_ = 0;
    release();
}

bool StringBuffer::seek(int new_position) {
    if (new_position < 0 || new_position > length()) return false;
    position_ = new_position;
    return true;
}

bool StringBuffer::read(void* destination, int count) {
    if (count == 0) return true;
    if (destination == nullptr || count < 0) return false;
    char* out = static_cast<char*>(destination);
    const int available = std::clamp(length() - position_, 0, count);
    if (available > 0) std::memcpy(out, text() + position_, available);
    std::memset(out + available, 0, count - available);
    // Reads past the end keep advancing; the position stops at the largest index.
    const std::int64_t end = std::int64_t{position_} + count;
    position_ = static_cast<int>(std::min<std::int64_t>(end, INT_MAX));
    return available == count;
}

char* StringBuffer::reserve_write(int count) {
    if (count <= 0) return nullptr;
    const int start = position_;
    const int end = checked_length(std::int64_t{start} + count);
    const int old_length = length();
    extend(end);
    // A position left beyond the end by a read: the gap up to it reads as zeros.
    if (start > old_length) std::memset(buffer() + old_length, 0, start - old_length);
    position_ = end;
    return buffer() + start;
}

bool StringBuffer::write(const void* source, int count) {
    if (source == nullptr || count < 1) return false;
    // Bytes from this buffer itself are found again after it may have moved.
    const std::ptrdiff_t own_offset = owns(source) ? static_cast<const char*>(source) - buffer() : -1;
    char* target = reserve_write(count);
    std::memmove(target, own_offset >= 0 ? buffer() + own_offset : source, count);
    return true;
}

void StringBuffer::truncate() { erase(position_, INT_MAX); }

}  // namespace rubo
