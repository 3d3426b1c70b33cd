// The one algorithm behind both path styles; the styles differ only in their rules.

#include "core/path_style.h"

#include <cstring>
#include <utility>

#include "core/character.h"
#include "core/posix_paths.h"
#include "core/windows_paths.h"

namespace rubo {

namespace {

const char* skip_blanks(const char* text) {
    while (is_space(*text)) ++text;
    return text;
}

int text_length(const char* text) { return text != nullptr ? static_cast<int>(std::strlen(text)) : 0; }

// Whether the slash at index begins the recursion suffix of a piece: a blank before it,
// an s (either case) after it, and then only blanks up to the end or the next ";".
bool begins_recursion_suffix(const char* text, int length, int index) {
    if (text[index] != '/' || index == 0 || text[index - 1] != ' ') return false;
    if (index + 1 >= length || to_lower(text[index + 1]) != 's') return false;
    int after = index + 2;
    while (after < length && is_space(text[after])) ++after;
    return after == length || text[after] == ';';
}

// The index of the separator (or the end of the text) that ends the name at `at`.
template <class Rules> int name_end(const char* text, int at) {
    while (text[at] != 0 && !Rules::is_separator(text[at])) ++at;
    return at;
}

// Appends the `count` names that begin at `at` to `root`, each followed by the separator,
// and answers where the text after them begins; -1 when one of them is empty.
template <class Rules> int append_names(const char* text, int at, int count, String& root) {
    for (; count > 0; --count) {
        const int end = name_end<Rules>(text, at);
        if (end == at) return -1;
        root.append(text + at, end - at);
        root.append(Rules::separator);
        at = text[end] != 0 ? end + 1 : end;
    }
    return at;
}

// The root an absolute path begins with, spelt as the style spells it, into `root`, and
// where the names after it begin; -1 when the path begins with no root.
template <class Rules> int root_prefix(const char* text, String& root) {
    if (!Rules::is_separator(text[0])) {
        if (!Rules::has_drives || text[0] == 0 || text[1] != ':' || !Rules::is_separator(text[2])) return -1;
        root.append(text, 2);
        root.append(Rules::separator);
        return 3;
    }
    root.append(Rules::separator);
    if (!Rules::has_drives || !Rules::is_separator(text[1])) return 1;
    // A network path: a server and a share; after \\?\UNC\ (or \\.\UNC\) two more names.
    root.append(Rules::separator);
    int at = append_names<Rules>(text, 2, 2, root);
    if (at >= 0 &&
        (root.compare("\\\\?\\UNC\\", Case::INSENSITIVE) == 0 || root.compare("\\\\.\\UNC\\", Case::INSENSITIVE) == 0))
        at = append_names<Rules>(text, at, 2, root);
    return at;
}

}  // namespace

template <class Rules> int PathStyle<Rules>::separator_before(const char* text, int length, SuffixSlash suffix_slash) {
    if (length <= 0) return -1;
    for (int i = length - 1; i >= 0; --i)
        if (Rules::is_separator(text[i]) &&
            !(suffix_slash == SuffixSlash::SKIPPED && begins_recursion_suffix(text, length, i)))
            return i;
    if constexpr (Rules::has_drives) {
        const void* colon = std::memchr(text, ':', static_cast<std::size_t>(length));
        if (colon != nullptr) return static_cast<int>(static_cast<const char*>(colon) - text);
    }
    return -1;
}

// Whether the separator (or drive colon) at separator_index ends a root, which a
// directory keeps: C: and C:\ with drives, the leading separator without.
template <class Rules> bool PathStyle<Rules>::ends_root(const char* text, int separator_index) {
    if constexpr (Rules::has_drives)
        return text[separator_index] == ':' || (separator_index > 0 && text[separator_index - 1] == ':');
    else
        return separator_index == 0;
}

// Appends the directory and, unless it already ends with one, a separator.
template <class Rules> void PathStyle<Rules>::append_directory(String& out, const char* directory) {
    out.append(directory);
    if (!Rules::is_separator(last_char(directory))) out.append(Rules::separator);
}

template <class Rules> int PathStyle<Rules>::last_separator(const String& path) {
    return separator_before(path.text(), path.length(), SuffixSlash::SEPARATES);
}

template <class Rules> int PathStyle<Rules>::file_name_start(const String& path) { return last_separator(path) + 1; }

template <class Rules> String PathStyle<Rules>::directory_part(const char* path) {
    const int separator_index = separator_before(path, text_length(path), SuffixSlash::SEPARATES);
    String directory;
    if (separator_index >= 0)
        directory.assign(path, ends_root(path, separator_index) ? separator_index + 1 : separator_index);
    return directory;
}

template <class Rules> String PathStyle<Rules>::file_name_part(const char* path) {
    return String(path != nullptr ? path + separator_before(path, text_length(path), SuffixSlash::SEPARATES) + 1
                                  : nullptr);
}

template <class Rules> String PathStyle<Rules>::join_path(const char* directory, const char* name) {
    if (directory == nullptr || directory[0] == 0) return String(name);
    if (name == nullptr || name[0] == 0) return String(directory);
    String joined(directory);
    const char last = last_char(directory);
    if (Rules::is_separator(name[0])) {
        if (Rules::is_separator(last)) joined.remove_right(1);
    } else if (!Rules::is_separator(last) && !(Rules::has_drives && last == ':')) {
        joined.append(Rules::separator);
    }
    joined.append(name);
    return joined;
}

template <class Rules> void PathStyle<Rules>::strip_directory(String& path) { path.remove_left(file_name_start(path)); }

template <class Rules> int PathStyle<Rules>::extension_position(const char* path) {
    if (path == nullptr) return -1;
    int dot = -1;
    for (int i = 0; path[i] != 0; ++i) {
        if (path[i] == '.')
            dot = i;
        else if (Rules::is_separator(path[i]))
            dot = -1;
    }
    return dot;
}

template <class Rules> bool PathStyle<Rules>::strip_extension(String& path) {
    const int dot = extension_position(path.text());
    if (dot < 0) return false;
    path.set_length(dot);
    return true;
}

template <class Rules> char PathStyle<Rules>::drive_letter(const char* path) {
    if (!Rules::has_drives || path == nullptr || !is_letter(path[0]) || path[1] != ':') return 0;
    return to_upper(path[0]);
}

template <class Rules> bool PathStyle<Rules>::is_absolute_path(const char* path) {
    if (path == nullptr) return false;
    const char* start = skip_blanks(path);
    if (start[0] == 0) return false;
    if constexpr (Rules::has_drives)
        return (Rules::is_separator(start[0]) && Rules::is_separator(start[1])) ||
               (start[1] == ':' && Rules::is_separator(start[2]));
    else
        return Rules::is_separator(start[0]);
}

template <class Rules>
bool PathStyle<Rules>::make_absolute_path(String& path, const char* base, DriveDirectory drive_directory) {
    path.trim_left();
    path.trim_right();
    return put_base_before(path, base, drive_directory);
}

template <class Rules>
bool PathStyle<Rules>::make_absolute_directory(String& directory, const char* base, DriveDirectory drive_directory) {
    directory.trim_left();
    return put_base_before(directory, base, drive_directory);
}

template <class Rules>
bool PathStyle<Rules>::put_base_before(String& path, const char* base, DriveDirectory drive_directory) {
    if (path.length() == 0 || base == nullptr) return false;
    base = skip_blanks(base);
    if (!is_absolute_path(base)) return false;
    const char* text = path.text();
    String absolute;
    if constexpr (Rules::has_drives) {
        const bool rooted = Rules::is_separator(text[0]);
        const bool drive_relative = text[1] == ':';
        if ((rooted && Rules::is_separator(text[1])) || (drive_relative && Rules::is_separator(text[2])))
            return false;  // a network path, or already absolute
        const char drive = drive_letter(text);
        if (drive_relative && (drive == 0 || drive != drive_letter(base))) {
            // Another drive than the base's: its own current directory, else its root.
            String own = drive != 0 && drive_directory != nullptr ? drive_directory(drive) : String();
            if (drive_letter(own.text()) == drive && is_absolute_path(own.text())) {
                append_directory(absolute, own.text());
            } else {
                absolute.assign(text, 2);
                absolute.append(Rules::separator);
            }
            text += 2;
        } else if (rooted) {
            // The base's drive in front of the root; a network base has none to give.
            if (drive_letter(base) == 0) return false;
            absolute.assign(base, 2);
        } else if (drive_relative) {
            absolute.assign(text, 2);  // the path's own drive, the base's directory
            append_directory(absolute, base + 2);
            text += 2;
        } else {
            append_directory(absolute, base);
        }
    } else {
        if (Rules::is_separator(text[0])) return false;
        append_directory(absolute, base);
    }
    absolute.append(text);
    path = std::move(absolute);
    return true;
}

template <class Rules> String PathStyle<Rules>::cut_line_directory(String& line) {
    const int separator_index = separator_before(line.text(), line.length(), SuffixSlash::SKIPPED);
    if (separator_index <= 0) return String();
    String directory = line.cut(0, separator_index + 1);
    if (!ends_root(directory.text(), separator_index)) directory.remove_right(1);
    // Every path found below the directory is printed with it, so it takes the style's
    // own separator throughout; a slash that begins a recursion suffix stays one.
    for (int i = 0; i < directory.length(); ++i)
        if (Rules::is_separator(directory[i]) && !begins_recursion_suffix(directory.text(), directory.length(), i))
            directory[i] = Rules::separator;
    return directory;
}

template <class Rules> String PathStyle<Rules>::root_named_by(const char* directory) {
    const char* text = skip_blanks(directory != nullptr ? directory : "");
    String root;
    const int names = root_prefix<Rules>(text, root);
    if (names < 0) return String();
    // How far below the root the names lead: ".." goes one up (at the root it stays),
    // "." and the empty name between two separators stay.
    int depth = 0;
    for (int at = names; text[at] != 0;) {
        const int end = name_end<Rules>(text, at);
        const int length = end - at;
        if (length == 2 && text[at] == '.' && text[at + 1] == '.') {
            if (depth > 0) --depth;
        } else if (length > 0 && !(length == 1 && text[at] == '.')) {
            ++depth;
        }
        at = text[end] != 0 ? end + 1 : end;
    }
    if (depth != 0) root.release();
    return root;
}

template <class Rules> int PathStyle<Rules>::compare_paths(const String& first, const String& second) {
    return first.compare(second, Rules::letter_case);
}

template class PathStyle<WindowsPathRules>;
template class PathStyle<PosixPathRules>;

}  // namespace rubo
