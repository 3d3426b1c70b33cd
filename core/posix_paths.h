#pragma once
// The POSIX path style: the slash is the only separator, there are no drives and the
// colon is an ordinary character, a path is absolute when it begins with a slash, and
// names are compared case-sensitively.

#include "core/path_style.h"

namespace rubo {

struct PosixPathRules {
    static constexpr char separator = '/';
    static constexpr bool has_drives = false;
    static constexpr Case letter_case = Case::SENSITIVE;
    static bool is_separator(char c) { return c == '/'; }
};

using PosixPaths = PathStyle<PosixPathRules>;
extern template class PathStyle<PosixPathRules>;

}  // namespace rubo
