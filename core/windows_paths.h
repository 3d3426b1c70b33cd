#pragma once
// The Windows path style: backslash separators (the forward slash is accepted wherever
// a backslash is), drive letters ending in a colon, network paths beginning with two
// separators, names compared without regard to ASCII case.

#include "core/path_style.h"

namespace rubo {

struct WindowsPathRules {
    static constexpr char separator = '\\';
    static constexpr bool has_drives = true;
    static constexpr Case letter_case = Case::INSENSITIVE;
    static bool is_separator(char c) { return c == '\\' || c == '/'; }
};

using WindowsPaths = PathStyle<WindowsPathRules>;
extern template class PathStyle<WindowsPathRules>;

}  // namespace rubo
