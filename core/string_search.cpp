// Comparison and searching on String.

#include <algorithm>
#include <cstring>

#include "core/character.h"
#include "core/paths.h"
#include "core/string.h"

namespace rubo {

namespace {

// Three-way comparison of a String's bytes (null when it has no storage) with another
// text of a known length. The terminator of the shorter side takes part; bytes compare
// as unsigned values, folded A-Z to a-z unless the comparison is case-sensitive.
int compare_texts(const char* data, int length, const char* other, int other_length, Case letter_case, int max_count) {
    if (other_length == 0) return length > 0 ? 1 : 0;
    if (data == nullptr) return -1;
    const int n = std::min(std::min(other_length, length) + 1, max_count);
    if (n <= 0) return -1;
    return compare_bytes(data, other, n, letter_case);
}

bool same_char(char a, char b, Case letter_case) {
    return letter_case == Case::SENSITIVE ? a == b : to_upper(a) == to_upper(b);
}

const String& pointed_string(const void* slot) { return **static_cast<const String* const*>(slot); }

}  // namespace

// ---- Comparison

int String::compare(const char* text, Case letter_case, int max_count) const {
    const std::size_t other_length = text != nullptr ? std::strlen(text) : 0;
    return compare_texts(data_, length_, text, static_cast<int>(std::min<std::size_t>(other_length, INT_MAX)),
                         letter_case, max_count);
}

int String::compare(const String& other, Case letter_case, int max_count) const {
    return compare_texts(data_, length_, other.text(), other.length_, letter_case, max_count);
}

int compare_ascending(const void* first, const void* second) {
    return pointed_string(first).compare(pointed_string(second), Case::INSENSITIVE, INT_MAX);
}

int compare_descending(const void* first, const void* second) {
    return pointed_string(second).compare(pointed_string(first), Case::INSENSITIVE, INT_MAX);
}

bool String::starts_with(const char* text, int count) const {
    if (text == nullptr) return false;
    const int n = static_cast<int>(std::min<std::size_t>(std::strlen(text), std::max(count, 0)));
    return n > 0 && length_ >= n && std::memcmp(data_, text, n) == 0;
}

// ---- Searching

int String::find_first(char c, int start, Case letter_case) const {
    for (int i = std::max(start, 0); i < length_; ++i)
        if (same_char(data_[i], c, letter_case)) return i;
    return -1;
}

int String::find_last(char c, int start, FindFlags flags) const {
    bool inside_quotes = false;
    for (int i = std::min(start, length_ - 1); i >= 0; --i) {
        const char here = data_[i];
        if ((flags & FIND_SKIP_QUOTED) != 0 && here == '"') {
            inside_quotes = !inside_quotes;
            continue;
        }
        if (!inside_quotes && same_char(here, c, (flags & FIND_IGNORE_CASE) != 0 ? Case::INSENSITIVE : Case::SENSITIVE))
            return i;
    }
    return -1;
}

int String::find_one_of(const char* set, int start) const {
    if (set == nullptr || set[0] == 0) return -1;
    for (int i = std::max(start, 0); i < length_; ++i)
        if (in_set(set, data_[i])) return i;
    return -1;
}

int String::find_not_one_of(const char* set, int start) const {
    if (set == nullptr) return -1;
    for (int i = std::max(start, 0); i < length_; ++i)
        if (!in_set(set, data_[i])) return i;
    return -1;
}

bool String::is_blank() const { return length_ <= 0 || find_not_one_of(whitespace, 0) == -1; }

int String::file_name_start() const { return NativePaths::file_name_start(*this); }

}  // namespace rubo
