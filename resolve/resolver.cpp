#include "resolve/resolver.h"

#include <utility>

#include "core/boxed_vector.h"
#include "core/file_system.h"
#include "core/iterator.h"
#include "core/paths.h"
#include "resolve/path_index.h"

namespace {

constexpr std::uint32_t walk_flags = WALK_DIRECTORIES | WALK_RECURSE;

// Whether a text holds nothing but the recursion suffix " /s": it names no file.
// Trimmed, it would read as the absolute path "/s" (or the root of the drive).
bool only_recursion_suffix(const String& text) {
    String bare(text);
    bare.trim_right();
    return bare.remove_suffix(" /s") && bare.is_blank();
}

// One call of resolve_file_spec: its outputs and where it stands.
struct Resolution {
    List<String>& files;
    String* problems;
    Collection<std::int32_t>* line_indices;
    std::int64_t* total_size;
    std::uint32_t flags;
    PathIndex listed;
    std::int32_t line = 0;

    // Appends "The file specification "<piece>" [on line N ]<closing>". The parts are
    // appended, not formatted, so that no piece is cut however long it is.
    void report(const String& piece, const char* closing) {
        if (problems == nullptr) return;
        problems->append("The file specification \"");
        problems->append(piece);
        problems->append("\" ");
        if ((flags & RESOLVE_NO_LINE_NUMBERS) == 0) problems->append_format("on line %d ", static_cast<int>(line));
        problems->append(closing);
    }

    void add_size(std::int64_t size) {
        if (total_size != nullptr && size > 0 && *total_size <= INT64_MAX - size) *total_size += size;
    }

    // Appends the walk's paths that are not listed yet.
    void take(BoxedVector<String>& found) {
        for (Iterator<String> walk(&found); walk.next();) {
            String& path = *walk.element;
            if ((flags & RESOLVE_ALLOW_DUPLICATES) == 0 && listed.find(path) != nullptr) {
                if (problems != nullptr) {
                    problems->append("The file '");
                    problems->append(path);
                    problems->append("' occurs more than once.\r\n");
                }
                continue;
            }
            const String* kept = files.append(std::move(path));
            if ((flags & RESOLVE_ALLOW_DUPLICATES) == 0) listed.add(*kept);
            if (line_indices != nullptr) line_indices->append(line - 1);
        }
    }

    void resolve_piece(String piece, const String& line_directory) {
        if (only_recursion_suffix(piece)) return;
        if (line_directory.length() == 0) {
            if (!is_absolute_path(piece.text())) return report(piece, "is not an absolute path.\r\n");
        } else {
            make_absolute_path(piece, line_directory.text());
            if (piece.length() == 0) return;
            if (!is_absolute_path(piece.text())) return report(piece, "is not an absolute path.\r\n");
        }
        BoxedVector<String> found;
        const std::int64_t size = collect_files(found, flags & walk_flags, piece);
        if (size < 0 || found.count == 0) return report(piece, "did not match any files.\r\n");
        add_size(size);
        take(found);
    }

    void resolve_line(String text, const char* default_directory) {
        if (only_recursion_suffix(text)) return;
        text.trim_left();
        text.trim_right();
        String line_directory = cut_line_directory(text);
        if (line_directory.length() == 0)
            line_directory = default_directory;
        else
            make_absolute_path(line_directory, default_directory);
        while (text.length() > 0) {
            String piece = text.take_until(';');
            if (piece.length() > 0) resolve_piece(std::move(piece), line_directory);
        }
    }
};

}  // namespace

void resolve_file_spec(const char* specification, List<String>& files, const char* default_directory,
                       String* problems, Collection<std::int32_t>* line_indices, std::int64_t* total_size,
                       std::uint32_t flags) {
    if (problems != nullptr) {
        problems->release();
        if (default_directory != nullptr && default_directory[0] != '\0' && !directory_exists(default_directory)) {
            problems->append("The default directory \"");
            problems->append(default_directory);
            problems->append("\" does not exist.\r\n");
        }
    }
    String working(specification);
    if ((flags & RESOLVE_REPORT_EMPTY) != 0 && working.is_blank()) {
        if (problems != nullptr) problems->assign("No files were specified.\r\n");
        return;
    }
    files.clear();
    if (line_indices != nullptr) line_indices->clear();
    if (total_size != nullptr) *total_size = 0;
    Resolution run{files, problems, line_indices, total_size, flags, PathIndex(), 0};
    while (working.length() > 0) {
        ++run.line;
        run.resolve_line(working.take_line(), default_directory);
    }
}
