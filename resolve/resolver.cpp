#include "resolve/resolver.h"

#include <cstring>
#include <initializer_list>
#include <utility>

#include "core/exact_vector.h"
#include "core/file_system.h"
#include "core/list.h"
#include "core/paths.h"
#include "resolve/path_index.h"

namespace rubo {

template <> struct TypeName<WalkRequest> {
    static const char* name() { return "struct WalkRequest"; }
};

namespace {

constexpr std::uint32_t walk_flags = WALK_DIRECTORIES | WALK_RECURSE;

// The limit set with set_problem_text_limit, negative for the default.
std::int64_t chosen_problem_limit = -1;

// One of the texts a message is made of.
struct MessagePart {
    MessagePart(const char* text) : text(text), length(text != nullptr ? static_cast<int>(std::strlen(text)) : 0) {}
    MessagePart(const String& text) : text(text.text()), length(text.length()) {}
    const char* text;
    int length;
};

// The problem text of one resolution (none when `text` is null), held to its limit: each
// message goes in whole or not at all, and once one is left out, so is every one after it.
class ProblemText {
public:
    explicit ProblemText(String* text)
        : text_(text), limit_(chosen_problem_limit >= 0 ? chosen_problem_limit : problem_text_limit) {
        if (text_ != nullptr) text_->release();
    }

    // Appends the message made of these parts, unless the text is closed or the message
    // would take it past the limit (which closes it); a message left out is counted.
    void add(std::initializer_list<MessagePart> parts) {
        if (text_ == nullptr) return;
        if (!closed_) {
            std::int64_t length = text_->length();
            for (const MessagePart& part : parts) length += part.length;
            if (length <= limit_) {
                for (const MessagePart& part : parts) text_->append(part.text, part.length);
                return;
            }
        }
        leave_out(1);
    }

    // Closes the text where it stands and counts `count` messages as left out.
    void leave_out(std::int64_t count) {
        closed_ = true;
        left_out_ += count;
    }

    // Whether there is a text to hold messages.
    bool given() const { return text_ != nullptr; }

    // Ends the text with the count of the messages left out, when there were any.
    void finish() {
        if (text_ == nullptr || left_out_ == 0) return;
        text_->append(String(left_out_));
        text_->append(" more messages were left out.\r\n");
    }

private:
    String* text_;
    std::int64_t limit_;
    std::int64_t left_out_ = 0;
    bool closed_ = false;
};

// Whether a piece holds nothing but the recursion suffix: "/s" (either case) after at
// least one blank or tab, and whitespace at most after it. It names no file; trimmed, it
// would read as the absolute path "/s" (the root of the drive on Windows), so it must be
// known before any trimming.
bool only_recursion_suffix(const String& piece) {
    String bare(piece);
    bare.trim_right();
    return bare.remove_suffix("/s") && bare.length() > 0 && bare.is_blank();
}

// Removes the pieces at the start of a line that hold nothing but the recursion suffix,
// before the line is trimmed.
void drop_leading_suffixes(String& line) {
    for (;;) {
        String rest(line);
        if (!only_recursion_suffix(rest.take_until(';'))) return;
        line = std::move(rest);
    }
}

// How many pieces a line's text can hold: one more than its semicolons.
std::int32_t pieces_at_most(const String& text) {
    std::int32_t most = 1;
    for (int i = 0; i < text.length(); ++i) most += text.text()[i] == ';';
    return most;
}

// One call of resolve_file_spec: its outputs and where it stands.
struct Resolution {
    PathList& files;
    ProblemText& problems;
    Collection<std::int32_t>* line_indices;
    std::int64_t* total_size;
    WalkFlags flags;
    FileOrigins* origins;
    Collection<SearchFailure>* failures;
    WalkProgress* progress;
    PathIndex listed;
    std::int32_t line = 0;
    // The directories of the failures, in their order, indexed.
    PathList failed_directories{};
    PathIndex failed{failed_directories, Case::SENSITIVE};

    // Appends "The file specification "<piece>" [on line N ]<closing>". The parts are
    // appended, not formatted, so that no piece is cut however long it is.
    void report(const String& piece, const char* closing) {
        String line_number;
        if ((flags & RESOLVE_NO_LINE_NUMBERS) == 0) line_number.format("on line %d ", static_cast<int>(line));
        problems.add({"The file specification \"", piece, "\" ", line_number, closing});
    }

    // Counts `count` messages as left out of the problem text, and appends none after them.
    void leave_out(std::int64_t count) { problems.leave_out(count); }

    void add_size(std::int64_t size) {
        if (total_size != nullptr && size > 0 && *total_size <= INT64_MAX - size) *total_size += size;
    }

    // Moves the walk's paths that are not listed yet to the file list; each begins with
    // the directory they were searched below, `base_length` characters long. Where the
    // walk left out paths that an earlier piece lists too, their messages are left out
    // of the problem text from that point on.
    //
    // The duplicate test looks paths up in `listed`, an index of the file list. A walk
    // never lists one path twice, and where names compare exactly its paths are all
    // different texts: the first piece that lists anything needs no test (its whole list
    // is taken over), and the index is made only when a second one comes.
    void take(WalkRequest& walk, std::int32_t base_length) {
        const bool testing =
            (flags & RESOLVE_ALLOW_DUPLICATES) == 0 && (files.count != 0 || listed.letter_case() == Case::INSENSITIVE);
        if (testing && listed.count() == 0) {
            std::int32_t position = 0;
            for (const String& kept : files) listed.add(kept, position++);
        }
        const std::int32_t held = files.count;
        // The runs of the walk's paths, and how many of the current one were taken.
        std::size_t run = 0;
        std::int32_t left_in_run = walk.runs.empty() ? 0 : walk.runs[0].files;
        std::int32_t taken_in_run = 0;
        std::int32_t position = 0;
        const auto begin_path = [&] {
            if (position++ == walk.left_out_from) leave_out(walk.left_out);
        };
        const auto end_of_path = [&](bool taken) {
            taken_in_run += taken;
            if (--left_in_run > 0 || run >= walk.runs.size()) return;
            if (origins != nullptr && taken_in_run > 0)
                origins->runs.append(FileOrigin{taken_in_run, base_length, walk.runs[run].directory});
            taken_in_run = 0;
            if (++run < walk.runs.size()) left_in_run = walk.runs[run].files;
        };
        if (testing) {
            files.take_all(walk.found, [&](const String& path) {
                begin_path();
                const bool taken = not_listed(path);
                end_of_path(taken);
                return taken;
            });
        } else {
            const std::int32_t count = walk.found.count;
            files.take_all(walk.found);
            for (std::int32_t i = 0; i < count; ++i) {
                begin_path();
                end_of_path(true);
            }
        }
        if (position <= walk.left_out_from) leave_out(walk.left_out);  // left out after the last one kept
        for (std::int32_t i = held; i < files.count && line_indices != nullptr; ++i) line_indices->append(line - 1);
    }

    // Whether a path is not in the file list yet; then it is indexed at the position it is
    // about to take there. A path listed already is reported.
    bool not_listed(const String& path) {
        const std::uint32_t hash = listed.hash_of(path);
        if (listed.find(path, hash) >= 0) {
            problems.add({"The file '", path, "' occurs more than once.\r\n"});
            return false;
        }
        listed.add(path, files.count, hash);
        return true;
    }

    // Keeps a directory that could not be searched, unless it is kept already: every
    // pattern that reaches it meets it again.
    void note_failure(SearchFailure& failure) {
        const std::uint32_t hash = failed.hash_of(failure.directory);
        if (failed.find(failure.directory, hash) >= 0) return;
        failed.add(failure.directory, failed_directories.count, hash);
        failed_directories.append(failure.directory);
        failures->append(std::move(failure));
    }

    // A piece of a line, in the line's order: the text of a piece that cannot be made
    // absolute, or the walk that serves it.
    struct Piece {
        String not_absolute;
        WalkRequest* walk = nullptr;
    };

    // The pieces of one line, ready to be walked together. The walks are made all at once,
    // as many as the line could need, so that none moves while pieces point to it; the
    // first walk_count of them are in use.
    struct LinePieces {
        explicit LinePieces(std::int32_t most) { walks.clear_resize(most); }
        List<Piece> pieces;
        ExactVector<WalkRequest> walks;
        std::int32_t walk_count = 0;
    };

    // Sorts a piece: skipped, not absolute, or to be walked (then made absolute).
    void prepare_piece(String piece, const String& line_directory, LinePieces& line_pieces) {
        if (only_recursion_suffix(piece)) return;
        if (line_directory.length() != 0) {
            make_absolute_path(piece, line_directory.text());
            if (piece.length() == 0) return;
        }
        Piece& prepared = *line_pieces.pieces.append(Piece());
        if (!is_absolute_path(piece.text())) {
            prepared.not_absolute = std::move(piece);
            return;
        }
        prepared.walk = line_pieces.walks.at(line_pieces.walk_count++);
        prepared.walk->pattern = std::move(piece);
    }

    // A piece walked recursively from a file system's root searches the whole of it: that
    // is reported first among the piece's messages. A piece without a file name is not
    // searched at all.
    void report_root_search(const Piece& piece) {
        if (piece.walk == nullptr) return;
        String searched(piece.walk->pattern);
        if (!searched.remove_suffix(" /s") && (flags & WALK_RECURSE) == 0) return;
        if (file_name_part(searched.text()).length() == 0) return;
        const String root = root_named_by(directory_part(searched.text()).text());
        if (root.length() == 0) return;
        String closing("searches the whole of \"");
        closing.append(root);
        closing.append("\".\r\n");
        report(piece.walk->pattern, closing.text());
    }

    // Reports a piece, or adds what its walk found.
    void finish_piece(Piece& piece) {
        if (piece.walk == nullptr) return report(piece.not_absolute, "is not an absolute path.\r\n");
        WalkRequest& walk = *piece.walk;
        if (walk.total < 0 || (walk.found.count == 0 && walk.left_out == 0))
            return report(walk.pattern, "did not match any files.\r\n");
        add_size(walk.total);
        String searched(walk.pattern);
        searched.remove_suffix(" /s");
        take(walk, directory_part(searched.text()).length());
    }

    // The pieces of a line are walked together, so that each directory is read once for
    // all of them; their results are then taken (and their problems reported) piece by
    // piece, as if each had been walked in its turn.
    void resolve_line(String text, const char* default_directory) {
        drop_leading_suffixes(text);
        text.trim_left();
        text.trim_right();
        String line_directory = cut_line_directory(text);
        if (line_directory.length() == 0)
            line_directory = default_directory;
        else
            make_absolute_directory(line_directory, default_directory);
        LinePieces line_pieces(pieces_at_most(text));
        while (text.length() > 0) {
            String piece = text.take_until(';');
            if (piece.length() > 0) prepare_piece(std::move(piece), line_directory, line_pieces);
        }
        List<SearchFailure> met;
        WalkShared shared;
        shared.failures = failures != nullptr ? &met : nullptr;
        shared.progress = progress;
        shared.directories = origins != nullptr ? &origins->directories : nullptr;
        // Paths that an earlier piece lists too are kept for their messages, within room
        // of the problem text's usual size; all of them where duplicates are allowed.
        shared.repeat_room = (flags & RESOLVE_ALLOW_DUPLICATES) != 0 ? -1 : problems.given() ? problem_text_limit : 0;
        collect_files_together(line_pieces.walks.items, line_pieces.walk_count, flags & walk_flags, shared);
        for (SearchFailure& failure : met) note_failure(failure);
        for (Piece& piece : line_pieces.pieces) {
            report_root_search(piece);
            finish_piece(piece);
        }
    }
};

}  // namespace

void FileOrigins::levels(std::int32_t directory, FlatVector<platform::DirectoryIdentity>& levels) {
    levels.clear();
    for (std::int32_t at = directory; at >= 0; at = directories.at(at)->parent)
        levels.append(directories.at(at)->identity);
    for (std::int32_t i = 0, j = levels.count - 1; i < j; ++i, --j) std::swap(*levels.at(i), *levels.at(j));
}

void set_problem_text_limit(std::int64_t limit) { chosen_problem_limit = limit; }

void resolve_file_spec(const char* specification, PathList& files, const char* default_directory, String* problems,
                       Collection<std::int32_t>* line_indices, std::int64_t* total_size, WalkFlags flags,
                       FileOrigins* origins, Collection<SearchFailure>* failures, WalkProgress* progress) {
    ProblemText messages(problems);
    if (problems != nullptr && default_directory != nullptr && default_directory[0] != '\0' &&
        !directory_exists(default_directory))
        messages.add({"The default directory \"", default_directory, "\" does not exist.\r\n"});
    String working(specification);
    if ((flags & RESOLVE_REPORT_EMPTY) != 0 && working.is_blank()) {
        if (problems != nullptr) problems->assign("No files were specified.\r\n");
        return;
    }
    files.clear();
    if (line_indices != nullptr) line_indices->clear();
    if (origins != nullptr) {
        origins->runs.clear();
        origins->directories.clear();
    }
    if (failures != nullptr) failures->clear();
    if (total_size != nullptr) *total_size = 0;
    Resolution run{files, messages, line_indices, total_size, flags, origins, failures, progress, PathIndex(files), 0};
    while (working.length() > 0) {
        ++run.line;
        run.resolve_line(working.take_line(), default_directory);
    }
    messages.finish();
}

}  // namespace rubo
