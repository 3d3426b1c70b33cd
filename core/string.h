#pragma once
// String: the one text type of the system. A growable, zero-terminated byte string that
// owns its buffer. An empty String holds no storage and reads as the shared empty text;
// every reallocation sizes the buffer to the new length plus 25 bytes, and a shrinking
// String keeps its buffer while the length stays within 512 bytes below the capacity.
// Copies are deep. Characters are plain bytes; case rules are ASCII.
//
// Positions and counts are 32-bit signed. Apart from the index operator, which ends the
// process on an index outside the text, no operation stops the process: positions are
// clamped and failures are reported as false, -1 or an empty result.

#include <climits>
#include <concepts>
#include <cstdarg>
#include <cstdint>
#include <type_traits>

#include "core/character.h"
#include "core/printf_format.h"

namespace rubo {

// The whitespace set used by trimming and blank tests: space, carriage return, line
// feed, tab.
inline constexpr const char whitespace[] = " \r\n\t";

// The one read-only empty text handed out for Strings without storage.
inline constexpr const char shared_empty_text[1] = "";

// The longest length for which a String reallocates its buffer.
inline constexpr int max_string_length = 1 << 30;

// Flags of find_last.
// A set of the FIND_ bits of find_last.
using FindFlags = std::uint32_t;
inline constexpr FindFlags FIND_IGNORE_CASE = 0x01;  // compare through to_upper
inline constexpr FindFlags FIND_SKIP_QUOTED = 0x10;  // ignore text between double quotes

// An integer type whose every value a 64-bit signed number holds, and that is no truth
// value or character: the numbers a String may be made from.
template <class T>
concept CountingNumber = std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
                         (std::is_signed_v<T> || sizeof(T) < sizeof(std::int64_t));

class String {
public:
    // ---- Construction, release and assignment

    String() = default;
    String(const char* text);  // null or "" gives an empty String
    // Decimal text of the value with a comma between groups of three digits, from five
    // digits on: 1234 stays "1234", 12345 gives "12,345".
    explicit String(std::int64_t value);
    template <CountingNumber T> explicit String(T value) : String(static_cast<std::int64_t>(value)) {}
    String(const String& other);
    String(String&& other) noexcept;
    ~String();

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);

    void release();  // frees the buffer; the String becomes empty
    void assign(const String& other);
    void assign(const char* bytes, int count);  // count <= 0 or null releases
    void assign(const char* text);

    // ---- Length and access

    int length() const { return length_; }
    int capacity() const { return capacity_; }
    // The characters, zero-terminated; the shared empty text when there is no storage.
    const char* text() const { return data_ != nullptr ? data_ : shared_empty_text; }
    // The writable buffer (capacity bytes), or null when there is no storage.
    char* buffer() { return data_; }

    // Sets the length, reallocating only when n >= capacity or n < capacity - 512; a
    // length below 1 releases. Bytes between the old and a larger new length are not
    // cleared. A reallocation to more than 2^30 characters ends the process.
    void set_length(int n);
    // Takes the length from the zero-terminated text in the buffer, after an outside
    // routine wrote there. Returns the new length.
    int update_length();
    // Grows the length to at least n, never shrinks it. True when set_length was needed.
    bool extend(int n);

    // The character at index; an index outside 0..length-1 ends the process.
    char& operator[](int index);
    char operator[](int index) const;
    // The character at index, or 0 outside 0..length-1.
    char char_at(int index) const;

    // ---- Range primitive and replacement

    // Replaces `remove` characters at pos by a gap of `insert` characters whose content
    // the caller fills. False (and no change) for pos outside 0..length, for nothing to
    // remove and nothing to insert, or for a negative insert with something to remove.
    // The removed range is cut at the end of the text.
    bool resize_range(int pos, int remove, int insert);
    // Replaces count characters at pos by n bytes (a null pointer counts as none).
    bool replace(int pos, int count, const char* bytes, int n);
    // The same with a zero-terminated text; returns the text's length whatever happens.
    int replace(int pos, int count, const char* text);
    // Replaces count characters at pos by n copies of c.
    bool replace_fill(int pos, int count, char c, int n);

    // Forms of replace: at the end, before pos, and removal of count characters at pos.
    bool append(const char* bytes, int n);
    void append(const char* text);
    void append(const String& other);
    void append(char c);
    void insert(int pos, const char* text);
    bool erase(int pos, int count);

    // ---- Formatting, printf-style, through a work area of 32,768 bytes: output beyond
    // 32,767 characters is cut off. A format the routine rejects is appended as it stands.

    void append_format(const char* format, ...) RUBO_PRINTF_FORMAT(2, 3);
    void append_format_list(const char* format, va_list arguments);
    void format(const char* format, ...) RUBO_PRINTF_FORMAT(2, 3);  // release + append
    void format_list(const char* format, va_list arguments);

    // ---- Comparison: negative, 0 or positive. The terminator of the shorter side takes
    // part, so "abc" sorts before "abcd". Case-insensitive comparison folds A-Z to a-z;
    // bytes compare as unsigned values. At most max_count bytes are compared.

    int compare(const char* text, Case letter_case, int max_count = INT_MAX) const;
    int compare(const String& other, Case letter_case, int max_count = INT_MAX) const;
    // True when the first count characters (count cut to the text's length, above 0)
    // equal the text's, case-sensitively.
    bool starts_with(const char* text, int count = INT_MAX) const;

    // ---- Searching: an index, or -1 when nothing is found

    int find_first(char c, int start = 0, Case letter_case = Case::SENSITIVE) const;
    // Scans backward from start (cut to length - 1); flags FIND_IGNORE_CASE and
    // FIND_SKIP_QUOTED.
    int find_last(char c, int start = INT_MAX, FindFlags flags = 0) const;
    // A character belongs to a set when it occurs in the set's text; the zero byte
    // belongs to every set.
    int find_one_of(const char* set, int start = 0) const;
    int find_not_one_of(const char* set, int start = 0) const;
    bool is_blank() const;  // empty or only whitespace
    // Where the file name begins: after the last path separator of the running system's
    // path style (paths.h), else 0.
    int file_name_start() const;

    // ---- Substrings and splitting

    // Assigns count characters from start (start below 0 counts as 0, count cut at the
    // end) to out; when nothing remains out is released and the result is false.
    bool mid(String& out, int count, int start) const;
    String mid(int start, int count = INT_MAX) const;
    // The substring as mid gives it, deleted from this String.
    String cut(int start, int count);
    // The text before the first separator, removed from this String together with the
    // separator; without a separator the whole text, and this String becomes empty.
    String take_until(char separator);
    // The first line, removed from this String together with its line end ("\r\n",
    // "\n\r", "\r", "\n" or a zero byte); without a line end the whole text.
    String take_line();

    // ---- Removal, trimming and quoting (counts are characters removed)

    int remove_left(int n);
    int remove_right(int n);
    bool remove_trailing(char c);  // removes the last character when it is c
    // Removes the last count characters (count cut to the text's length) when they equal
    // the text's last count characters, ignoring case.
    bool remove_suffix(const char* text, int count = INT_MAX);
    // Removes the first and the last character when both are c.
    bool strip_enclosing(char c);
    void quote();  // encloses the text in double quotes
    int trim_left(const char* set = whitespace);
    int trim_right(const char* set = whitespace);

protected:
    // n as a length, when it fits one; beyond that the process ends with the report for
    // a length over the limit.
    static int checked_length(std::int64_t n);
    // Whether address lies inside this String's buffer.
    bool owns(const void* address) const;

private:
    [[noreturn]] static void length_limit_exceeded();
    void steal(String& other);

    char* data_ = nullptr;
    int length_ = 0;
    int capacity_ = 0;
};

// Sort callbacks for an array of pointers to Strings (each argument is the address of
// one slot): case-insensitive, ascending or descending.
int compare_ascending(const void* first, const void* second);
int compare_descending(const void* first, const void* second);

}  // namespace rubo
