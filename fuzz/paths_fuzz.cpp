// Fuzz target: the text rules of both path styles. The input holds up to four texts
// separated by zero bytes (a path, a base, two names); every operation of each style is
// run on them and its result is held to the relations the walk, the resolver and the
// deletion below a searched directory rely on.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/posix_paths.h"
#include "core/string.h"
#include "core/windows_paths.h"

using namespace rubo;

namespace {

void expect(bool holds, const char* style, const char* what, const std::string& path) {
    if (holds) return;
    std::fprintf(stderr, "%s paths: %s, for \"%s\"\n", style, what, path.c_str());
    std::abort();
}

bool starts_with(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}
bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A name as a directory entry could be called in the style: no separator (nor, with
// drives, a colon), never empty.
template <class Style> std::string entry_name(const std::string& text, bool has_drives) {
    std::string name;
    for (char c : text)
        if (!Style::is_separator(c) && !(has_drives && c == ':')) name += c;
    return name.empty() ? std::string("n") : name;
}

template <class Style> void check_style(const char* style, bool has_drives, const std::vector<std::string>& texts) {
    const std::string& path = texts[0];
    const std::string& base = texts[1];
    const String text(path.c_str());

    // Splitting at the last separator.
    const std::string name = Style::file_name_part(path.c_str()).text();
    const std::string directory = Style::directory_part(path.c_str()).text();
    const int start = Style::file_name_start(text);
    expect(start == Style::last_separator(text) + 1, style, "file name start", path);
    expect(name == path.substr(static_cast<std::size_t>(start)), style, "file name part", path);
    for (char c : name) expect(!Style::is_separator(c), style, "separator in the file name part", path);
    expect(starts_with(path, directory), style, "directory part is no prefix", path);
    expect(start == 0 ? directory.empty() : directory.size() + 1 >= static_cast<std::size_t>(start), style,
           "directory part length", path);
    String stripped(text);
    Style::strip_directory(stripped);
    expect(name == stripped.text(), style, "strip_directory", path);

    const int dot = Style::extension_position(path.c_str());
    if (dot >= 0) {
        expect(path[static_cast<std::size_t>(dot)] == '.', style, "extension position", path);
        for (std::size_t i = static_cast<std::size_t>(dot) + 1; i < path.size(); ++i)
            expect(path[i] != '.' && !Style::is_separator(path[i]), style, "extension not the last", path);
    }
    String without(text);
    expect(Style::strip_extension(without) == (dot >= 0), style, "strip_extension result", path);
    expect(std::string(without.text()) == (dot >= 0 ? path.substr(0, static_cast<std::size_t>(dot)) : path), style,
           "strip_extension", path);

    // What the walk builds: every path it lists begins with the directory it searched,
    // and the directory of a pattern below a subdirectory is that subdirectory.
    const std::string first = entry_name<Style>(texts[2], has_drives);
    const std::string second = entry_name<Style>(texts[3], has_drives);
    const std::string joined = Style::join_path(directory.c_str(), first.c_str()).text();
    expect(starts_with(joined, directory) && ends_with(joined, first), style, "join_path", path);
    expect(first == Style::file_name_part(joined.c_str()).text(), style, "file name of a joined path", path);
    const std::string below = Style::join_path(joined.c_str(), second.c_str()).text();
    expect(joined == Style::directory_part(below.c_str()).text(), style, "directory of a joined path", path);

    // Making a path absolute against an absolute base gives an absolute path; with
    // drives the base needs a drive letter of its own to lend.
    String made(text);
    const bool changed = Style::make_absolute_path(made, base.c_str());
    String trimmed(text);
    trimmed.trim_left();
    trimmed.trim_right();
    if (!changed) expect(std::string(made.text()) == trimmed.text(), style, "unchanged beyond the trimming", path);
    String bare_base(base.c_str());
    bare_base.trim_left();
    const bool base_lends =
        Style::is_absolute_path(base.c_str()) && (!has_drives || Style::drive_letter(bare_base.text()) != 0);
    if (base_lends && trimmed.length() > 0)
        expect(Style::is_absolute_path(made.text()), style, "not absolute after make_absolute_path", path);

    // Cutting a line's directory: the directory, perhaps one separator and the rest
    // make the line again.
    String line(text);
    const std::string line_directory = Style::cut_line_directory(line).text();
    const std::string rest = line.text();
    if (line_directory.empty()) {
        expect(rest == path, style, "line without a directory changed", path);
    } else {
        // The Windows style may spell a separator of the line's directory its own way.
        bool prefix = line_directory.size() <= path.size();
        for (std::size_t i = 0; prefix && i < line_directory.size(); ++i)
            prefix = path[i] == line_directory[i] ||
                     (has_drives && Style::is_separator(path[i]) && Style::is_separator(line_directory[i]));
        expect(prefix && ends_with(path, rest), style, "line directory and rest", path);
        const std::size_t between = path.size() - line_directory.size() - rest.size();
        expect(between == 0 || (between == 1 && Style::is_separator(path[line_directory.size()])), style,
               "what lies between a line's directory and its rest", path);
        if (!has_drives) {
            String again(rest.c_str());
            expect(Style::cut_line_directory(again).length() == 0, style, "a second directory in the rest", path);
        }
    }

    const String other(base.c_str());
    const int forward = Style::compare_paths(text, other);
    const int backward = Style::compare_paths(other, text);
    expect((forward > 0) == (backward < 0) && (forward == 0) == (backward == 0), style, "compare_paths symmetry", path);
    if (Style::letter_case == Case::SENSITIVE)
        expect((forward == 0) == (path == base), style, "compare_paths equality", path);
    expect((Style::drive_letter(path.c_str()) != 0) ==
               (has_drives && path.size() >= 2 && path[1] == ':' &&
                ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))),
           style, "drive_letter", path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> texts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && texts.size() < 4)
            texts.emplace_back();
        else if (data[i] != 0)
            texts.back() += static_cast<char>(data[i]);
    }
    texts.resize(4);
    check_style<WindowsPaths>("Windows", true, texts);
    check_style<PosixPaths>("POSIX", false, texts);
    return 0;
}
