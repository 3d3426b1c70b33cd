#include "core/string.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

#include "core/fatal.h"
#include "core/heap.h"

namespace rubo {

namespace {

// Internal fatal reports of this module name it and the line of the failing check.
constexpr const char* module_name = "Core";
constexpr int index_check_line = 656;
constexpr int length_check_line = 716;

constexpr int slack = 25;                // bytes beyond the length on every reallocation
constexpr int shrink_tolerance = 512;    // how far below the capacity a length may fall
constexpr int format_work_size = 32768;  // printf-style output is cut to one byte less

// The length of a zero-terminated text, as a String length.
int text_length(const char* text) {
    return text != nullptr ? static_cast<int>(std::min<std::size_t>(std::strlen(text), INT_MAX)) : 0;
}

// Formats into the work area and returns the length of the result, cut to the area.
// A format that the routine rejects is taken as it stands.
int format_into(char (&work)[format_work_size], const char* format, va_list arguments) {
    if (format == nullptr) return 0;
    int written = std::vsnprintf(work, format_work_size, format, arguments);
    if (written < 0) {
        written = std::min(text_length(format), format_work_size - 1);
        std::memcpy(work, format, written);
    }
    return std::min(written, format_work_size - 1);
}

}  // namespace

// ---- Construction, release and assignment

String::String(const char* text) { assign(text); }

String::String(const String& other) { assign(other); }

String::String(String&& other) noexcept { steal(other); }

String::~String() { release(); }

String& String::operator=(const String& other) {
    assign(other);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        release();
        steal(other);
    }
    return *this;
}

String& String::operator=(const char* text) {
    assign(text);
    return *this;
}

void String::steal(String& other) {
    data_ = std::exchange(other.data_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
}

void String::release() {
    heap_free(data_);
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
}

void String::assign(const String& other) { assign(other.text(), other.length_); }

void String::assign(const char* bytes, int count) {
    if (bytes == nullptr || count <= 0) {
        release();
        return;
    }
    if (owns(bytes)) {
        // A part of this String's own text: bring it to the front before the buffer can
        // move or shrink.
        std::memmove(data_, bytes, count);
        set_length(count);
        return;
    }
    set_length(count);
    std::memcpy(data_, bytes, count);
}

void String::assign(const char* text) { assign(text, text_length(text)); }

// ---- Length and access

bool String::owns(const void* address) const {
    const char* byte = static_cast<const char*>(address);
    return data_ != nullptr && std::less_equal<const char*>()(data_, byte) &&
           std::less<const char*>()(byte, data_ + capacity_);
}

void String::length_limit_exceeded() { internal_fatal_error(module_name, length_check_line); }

int String::checked_length(std::int64_t n) {
    if (n > INT_MAX) length_limit_exceeded();
    return static_cast<int>(n);
}

void String::set_length(int n) {
    if (n < 1) {
        release();
        return;
    }
    if (n == length_) return;
    if (n >= capacity_ || n < capacity_ - shrink_tolerance) {
        if (n > max_string_length) length_limit_exceeded();
        void* block = heap_reallocate(data_, static_cast<std::size_t>(n) + slack);
        if (block == nullptr) fatal_error("Out of memory");
        data_ = static_cast<char*>(block);
        capacity_ = n + slack;
    }
    length_ = n;
    data_[n] = 0;
}

int String::update_length() {
    if (data_ == nullptr) {
        length_ = 0;
        return 0;
    }
    // An outside routine that wrote no terminator leaves the last byte as the end.
    const void* terminator = std::memchr(data_, 0, capacity_);
    set_length(terminator != nullptr ? static_cast<int>(static_cast<const char*>(terminator) - data_) : capacity_ - 1);
    return length_;
}

bool String::extend(int n) {
    if (n < capacity_) {
        if (n > length_) {
            length_ = n;
            data_[n] = 0;
        }
        return false;
    }
    set_length(n);
    return true;
}

char& String::operator[](int index) {
    if (index < 0 || index >= length_) internal_fatal_error(module_name, index_check_line);
    return data_[index];
}

char String::operator[](int index) const { return const_cast<String&>(*this)[index]; }

char String::char_at(int index) const { return index >= 0 && index < length_ ? data_[index] : 0; }

// ---- Range primitive and replacement

bool String::resize_range(int pos, int remove, int insert) {
    if (pos < 0 || pos > length_) return false;
    if (remove <= 0) {
        if (insert <= 0) return false;
        remove = 0;
    } else {
        if (insert < 0) return false;
        remove = std::min(remove, length_ - pos);
    }
    if (pos + remove >= length_) {
        set_length(checked_length(std::int64_t{pos} + insert));
        return true;
    }
    // The tail after the removed range, terminator included, moves to follow the gap.
    const int tail = length_ - pos - remove + 1;
    if (remove > insert) {
        std::memmove(data_ + pos + insert, data_ + pos + remove, tail);
        set_length(length_ + insert - remove);
    } else if (remove < insert) {
        set_length(checked_length(std::int64_t{length_} + insert - remove));
        std::memmove(data_ + pos + insert, data_ + pos + remove, tail);
    }
    return true;
}

bool String::replace(int pos, int count, const char* bytes, int n) {
    if (bytes == nullptr) n = 0;
    if (n > 0 && owns(bytes)) {
        // The new bytes come from this String's own buffer, which is about to change.
        String copy;
        copy.assign(bytes, n);
        return replace(pos, count, copy.data_, n);
    }
    if (!resize_range(pos, count, n)) return false;
    if (n > 0) std::memcpy(data_ + pos, bytes, n);
    return true;
}

int String::replace(int pos, int count, const char* text) {
    const int n = text_length(text);
    replace(pos, count, text, n);
    return n;
}

bool String::replace_fill(int pos, int count, char c, int n) {
    if (!resize_range(pos, count, n)) return false;
    if (n > 0) std::memset(data_ + pos, c, n);
    return true;
}

bool String::append(const char* bytes, int n) { return replace(length_, 0, bytes, n); }

void String::append(const char* text) { replace(length_, 0, text); }

void String::append(const String& other) { replace(length_, 0, other.text(), other.length_); }

void String::append(char c) { replace_fill(length_, 0, c, 1); }

void String::insert(int pos, const char* text) { replace(pos, 0, text); }

bool String::erase(int pos, int count) { return replace(pos, count, nullptr, 0); }

// ---- Formatting

void String::append_format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    append_format_list(format, arguments);
    va_end(arguments);
}

void String::append_format_list(const char* format, va_list arguments) {
    String formatted;
    formatted.format_list(format, arguments);
    append(formatted);
}

void String::format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    format_list(format, arguments);
    va_end(arguments);
}

void String::format_list(const char* format, va_list arguments) {
    // Formatted before the old text goes, so that the arguments may refer to it.
    char work[format_work_size];
    assign(work, format_into(work, format, arguments));
}

}  // namespace rubo
