// Substrings, splitting, removal at either end, trimming and quoting on String.

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/character.h"
#include "core/string.h"

namespace rubo {

// ---- Substrings and splitting

bool String::mid(String& out, int count, int start) const {
    start = std::max(start, 0);
    count = std::min(count, length_ - std::min(start, length_));
    if (count <= 0) {
        out.release();
        return false;
    }
    out.assign(data_ + start, count);
    return true;
}

String String::mid(int start, int count) const {
    String part;
    mid(part, count, start);
    return part;
}

String String::cut(int start, int count) {
    String part;
    if (mid(part, count, start)) erase(std::max(start, 0), part.length_);
    return part;
}

String String::take_until(char separator) {
    const int found = find_first(separator);
    if (found < 0) return std::move(*this);
    erase(found, 1);
    return cut(0, found);
}

String String::take_line() {
    for (int i = 0; i < length_; ++i) {
        const char c = data_[i];
        if (c != 0 && c != '\n' && c != '\r') continue;
        // "\r\n" and "\n\r" end a line together; any other line end is one character.
        const char next = char_at(i + 1);
        const bool pair = (c == '\n' && next == '\r') || (c == '\r' && next == '\n');
        String line = mid(0, i);
        erase(0, i + (pair ? 2 : 1));
        return line;
    }
    return std::move(*this);
}

// ---- Removal, trimming and quoting

int String::remove_left(int n) {
    n = std::min(n, length_);
    if (n <= 0) return 0;
    erase(0, n);
    return n;
}

int String::remove_right(int n) {
    if (n < 1) return 0;
    const int start = std::max(length_ - n, 0);
    const int removed = length_ - start;
    erase(start, removed);
    return removed;
}

bool String::remove_trailing(char c) {
    if (length_ == 0 || data_[length_ - 1] != c) return false;
    return erase(length_ - 1, 1);
}

bool String::remove_suffix(const char* text, int count) {
    if (text == nullptr || count <= 0) return false;
    const int text_length = static_cast<int>(std::min<std::size_t>(std::strlen(text), INT_MAX));
    const int n = std::min(count, text_length);
    if (n == 0 || n > length_) return false;
    if (compare_bytes(data_ + length_ - n, text + text_length - n, n, Case::INSENSITIVE) != 0) return false;
    return erase(length_ - n, n);
}

bool String::strip_enclosing(char c) {
    if (length_ == 0 || data_[0] != c || data_[length_ - 1] != c) return false;
    erase(0, 1);
    erase(length_ - 1, 1);
    return true;
}

void String::quote() {
    replace_fill(0, 0, '"', 1);
    append('"');
}

int String::trim_left(const char* set) {
    if (data_ == nullptr || set == nullptr) return 0;
    const int kept = find_not_one_of(set, 0);
    const int removed = kept < 0 ? length_ : kept;
    erase(0, removed);
    return removed;
}

int String::trim_right(const char* set) {
    if (data_ == nullptr || set == nullptr) return 0;
    int removed = 0;
    while (removed < length_ && in_set(set, data_[length_ - 1 - removed])) ++removed;
    erase(length_ - removed, removed);
    return removed;
}

}  // namespace rubo
