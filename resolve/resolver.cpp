#include "resolve/resolver.h"

#include <cstring>
#include <initializer_list>
#include <utility>

#include "core/exact_vector.h"
#include "core/file_system.h"
#include "core/list.h"
#include "core/paths.h"
#include "core/platform_text.h"
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
    // Where each run of origins->runs begins in the file list.
    FlatVector<std::int32_t> run_starts{};
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

    // What tells a listed file from every other: the directory it lies in and its name as
    // the system compares names there, so that one file named by two spellings of its
    // directory is one file (and two hard links stay two). Where the directory's identity
    // is not known, the whole path, compared as the path style compares paths.
    struct FileKey {
        const String* path = nullptr;
        platform::DirectoryIdentity directory;
        String name;  // folded
        std::uint32_t hash = 0;
    };

    FileKey key_of(const String& path, const platform::DirectoryIdentity& directory) {
        FileKey key;
        key.path = &path;
        key.directory = directory;
        if (!directory.known) {
            key.hash = listed.hash_of(path);
            return key;
        }
        folded_name(path, key.name);
        std::uint64_t mixed = (directory.volume * 0x9E3779B97F4A7C15u) ^ directory.file ^ listed.hash_of(key.name);
        mixed *= 0xFF51AFD7ED558CCDu;
        key.hash = static_cast<std::uint32_t>(mixed ^ (mixed >> 32));
        return key;
    }

    static void folded_name(const String& path, String& folded) {
        const String name = file_name_part(path.text());
        read_platform_text(
            folded, static_cast<std::uint32_t>(name.length()) + 1,
            [&name](char* buffer, std::uint32_t size) { return platform::fold_name(name.text(), buffer, size); });
    }

    // The directory the listed file at `position` lies in.
    const platform::DirectoryIdentity& directory_of(std::int32_t position) {
        std::int32_t low = 0;
        std::int32_t high = run_starts.count - 1;
        while (low < high) {
            const std::int32_t middle = low + (high - low + 1) / 2;
            if (*run_starts.at(middle) <= position)
                low = middle;
            else
                high = middle - 1;
        }
        return origins->directories.at(origins->runs.at(low)->directory)->identity;
    }

    // Whether the listed file at `position` is the one the key stands for.
    bool same_file(std::int32_t position, const FileKey& key) {
        const platform::DirectoryIdentity& directory = directory_of(position);
        if (!key.directory.known || !directory.known)
            return !key.directory.known && !directory.known && files.equals(position, *key.path, path_case);
        if (directory.volume != key.directory.volume || directory.file != key.directory.file) return false;
        String name;
        folded_name(files.at(position), name);
        return name.compare(key.name, Case::SENSITIVE) == 0;
    }

    void index(std::int32_t position, const FileKey& key) {
        listed.add_where(position, key.hash, [&](std::int32_t at) { return same_file(at, key); });
    }

    // Moves the walk's paths that are not listed yet to the file list; each begins with
    // the directory they were searched below, `base_length` characters long. Where the
    // walk left out paths that an earlier piece lists too, their messages are left out
    // of the problem text from that point on.
    //
    // The duplicate test looks files up in `listed`, an index of the file list. A walk
    // never lists one file twice, and where names compare exactly its paths are all
    // different files: the first piece that lists anything needs no test (its whole list
    // is taken over), and the index is made only when a second one comes.
    void take(WalkRequest& walk, std::int32_t base_length) {
        const bool testing =
            (flags & RESOLVE_ALLOW_DUPLICATES) == 0 && (files.count != 0 || path_case == Case::INSENSITIVE);
        if (testing && listed.count() == 0) {
            std::int32_t position = 0;
            for (const String& kept : files) {
                index(position, key_of(kept, directory_of(position)));
                ++position;
            }
        }
        const std::int32_t held = files.count;
        // The walk's run the next path lies in, how many of its paths are still to come,
        // and whether one of them was taken already (so that its origin stands).
        std::size_t run = 0;
        std::int32_t left_in_run = walk.runs.empty() ? 0 : walk.runs[0].files;
        bool run_taken = false;
        std::int32_t position = 0;  // of the next path in the walk's list
        std::int32_t taken_count = 0;
        // Takes the next path when `take` says so; answers whether it was taken.
        const auto next_path = [&](const String& path, const auto& take) {
            if (position++ == walk.left_out_from) leave_out(walk.left_out);
            const DirectoryRecord& record = *origins->directories.at(walk.runs[run].directory);
            const bool taken = take(path, record.identity);
            if (taken && !run_taken) {
                origins->runs.append(FileOrigin{0, base_length, walk.runs[run].directory});
                run_starts.append(held + taken_count);
                run_taken = true;
            }
            if (taken) {
                ++origins->runs.at(origins->runs.count - 1)->files;
                ++taken_count;
            }
            if (--left_in_run == 0 && ++run < walk.runs.size()) {
                left_in_run = walk.runs[run].files;
                run_taken = false;
            }
            return taken;
        };
        if (testing) {
            files.take_all(walk.found, [&](const String& path) {
                return next_path(path, [this](const String& file, const platform::DirectoryIdentity& directory) {
                    return not_listed(file, directory);
                });
            });
        } else {
            PathList& found = walk.found;
            for (const String& path : found)
                next_path(path, [](const String&, const platform::DirectoryIdentity&) { return true; });
            files.take_all(found);
        }
        if (position <= walk.left_out_from) leave_out(walk.left_out);  // left out after the last one kept
        for (std::int32_t i = held; i < files.count && line_indices != nullptr; ++i) line_indices->append(line - 1);
    }

    // Whether a file is not in the file list yet; then it is indexed at the position it is
    // about to take there. A file listed already is reported.
    bool not_listed(const String& path, const platform::DirectoryIdentity& directory) {
        const FileKey key = key_of(path, directory);
        if (listed.find_where(key.hash, [&](std::int32_t at) { return same_file(at, key); }) >= 0) {
            problems.add({"The file '", path, "' occurs more than once.\r\n"});
            return false;
        }
        index(files.count, key);
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
        shared.directories = &origins->directories;
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
    // The origins are kept whether the caller wants them or not: the duplicate test needs
    // the directories the files lie in.
    FileOrigins own_origins;
    Resolution run{files,    messages, line_indices,     total_size, flags, origins != nullptr ? origins : &own_origins,
                   failures, progress, PathIndex(files), 0};
    while (working.length() > 0) {
        ++run.line;
        run.resolve_line(working.take_line(), default_directory);
    }
    messages.finish();
}

}  // namespace rubo
