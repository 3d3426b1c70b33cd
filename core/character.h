#pragma once
// ASCII character rules used by the text and path code; every other byte is left alone.

#include <cstring>

inline char to_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char to_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// Space, tab, line feed and carriage return; vertical tab and form feed are not spaces.
inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The last character of a zero-terminated text; 0 for a null or empty text.
inline char last_char(const char* text) {
    if (text == nullptr || text[0] == 0) return 0;
    return text[std::strlen(text) - 1];
}
