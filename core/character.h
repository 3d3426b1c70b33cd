#pragma once
// ASCII character rules used by the text and path code; every other byte is left alone.

#include <cstring>

#include "platform/platform.h"

namespace rubo {

inline char to_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char to_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// Space, tab, line feed and carriage return; vertical tab and form feed are not spaces.
inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whether c belongs to a character set given as zero-terminated text; the zero byte
// belongs to every set.
inline bool in_set(const char* set, char c) { return c == 0 || std::strchr(set, c) != nullptr; }

// Whether a comparison or a search tells the ASCII letters A-Z from a-z: one rule for
// texts and for names in directories.
using platform::Case;

// Three-way comparison of n bytes as unsigned values; case-insensitively A-Z are folded
// to a-z first, so '_' sorts before the letters either way.
inline int compare_bytes(const char* first, const char* second, int n, Case letter_case) {
    const bool case_sensitive = letter_case == Case::SENSITIVE;
    for (int i = 0; i < n; ++i) {
        const char a = case_sensitive ? first[i] : to_lower(first[i]);
        const char b = case_sensitive ? second[i] : to_lower(second[i]);
        if (a != b) return static_cast<unsigned char>(a) - static_cast<unsigned char>(b);
    }
    return 0;
}

// The last character of a zero-terminated text; 0 for a null or empty text.
inline char last_char(const char* text) {
    if (text == nullptr || text[0] == 0) return 0;
    return text[std::strlen(text) - 1];
}

}  // namespace rubo
