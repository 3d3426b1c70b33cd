#include <cstring>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/wtf8.h"

namespace rubo::platform {
namespace {

char folded(char c, Case letter_case) { return letter_case == Case::INSENSITIVE ? ascii_lower(c) : c; }

// The bytes of the character that begins at `name`: one UTF-8 sequence, or a single
// byte that begins none.
std::size_t character_size(const char* name) {
    std::uint32_t ignored;
    const std::size_t size = decode_wtf8(name, 4, ignored);
    return size != 0 ? size : 1;
}

}  // namespace

bool wildcard_match(const char* pattern, const char* name, Case letter_case) {
    if (pattern == nullptr || name == nullptr) return false;
    if (std::strcmp(pattern, "*.*") == 0) return true;
    // Greedy scan that remembers the last star: on a mismatch the star takes one more
    // character of the name and the rest of the pattern is tried again from there.
    // Earlier stars never need to be revisited, so the cost stays linear per star. A
    // character is a whole UTF-8 sequence, for '?' and for the star alike.
    const char* after_star = nullptr;  // the pattern just past the last star seen
    const char* star_end = nullptr;    // where that star's run of the name ends
    while (*name != '\0') {
        if (*pattern == '*') {
            after_star = ++pattern;
            star_end = name;
        } else if (*pattern == '?') {
            ++pattern;
            name += character_size(name);
        } else if (*pattern != '\0' && folded(*pattern, letter_case) == folded(*name, letter_case)) {
            ++pattern;
            ++name;
        } else if (after_star != nullptr) {
            pattern = after_star;
            name = star_end += character_size(star_end);
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

}  // namespace rubo::platform
