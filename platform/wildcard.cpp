#include <cstring>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace platform {
namespace {

char folded(char c, bool ignore_case) { return ignore_case ? ascii_lower(c) : c; }

}  // namespace

bool wildcard_match(const char* pattern, const char* name, bool ignore_case) {
    if (pattern == nullptr || name == nullptr) return false;
    if (std::strcmp(pattern, "*.*") == 0) return true;
    // Greedy scan that remembers the last star: on a mismatch the star takes one more
    // character of the name and the rest of the pattern is tried again from there.
    // Earlier stars never need to be revisited, so the cost stays linear per star.
    const char* after_star = nullptr;  // the pattern just past the last star seen
    const char* star_end = nullptr;    // where that star's run of the name ends
    while (*name != '\0') {
        if (*pattern == '*') {
            after_star = ++pattern;
            star_end = name;
        } else if (*pattern != '\0' && (*pattern == '?' || folded(*pattern, ignore_case) == folded(*name, ignore_case))) {
            ++pattern;
            ++name;
        } else if (after_star != nullptr) {
            pattern = after_star;
            name = ++star_end;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

}  // namespace platform
