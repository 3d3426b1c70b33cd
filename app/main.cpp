// RUBO: deletes every file that matches a file specification in a directory and all of
// its subdirectories. The driver owns the run from banner to summary; resolving the
// specification, deleting a file and reading the keyboard are done below it.
//
// The command line: one argument, the file specification; before it, "-n", "--dry-run"
// or "/n" for a dry run that lists what the run would delete and deletes nothing, and
// "-t" or "--trash" for a run that moves the files to the system's trash instead of
// deleting them (each option once, in either order); or alone "--help" or "-h" (help,
// exit code 0), "--version" (exit code 0) or "/?" (the usage text, exit code 2). Any
// other command line shows the usage text.
//
// Exit codes: 0 the summary was reached and nothing failed, 2 usage shown, 3 the run
// ended after showing problems (nothing matched, or the prompt was declined; in a dry
// run, problems were shown), 4 some file could not be deleted or some directory could
// not be searched (each is named on standard error), 5 stopped with Escape or Ctrl+C.
// Fatal reports end with 1, and so does a run whose standard output could not be written.
//
// With standard error at a terminal, a search that runs for more than a second keeps a
// status line there, which is erased before anything else is written; elsewhere nothing
// of it is written.
//
// Every deletion is told, in the run's order, at most a window after it is done: worker
// threads delete ahead of the account (core/erasure_run.h), and the lines go out in
// blocks. Once standard output fails no further file is handed out, and every file gone
// whose line could not be written is named on standard error, so that what the tool
// reports is always a complete account of what it removed. With one thread
// (RUBO_THREADS=1) every deletion is told before it is done instead.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/erasure_run.h"
#include "core/fatal.h"
#include "core/file_system.h"
#include "core/flat_vector.h"
#include "core/iterator.h"
#include "core/list.h"
#include "core/output.h"
#include "core/path_list.h"
#include "core/string.h"
#include "core/terminal_text.h"
#include "core/working_paths.h"
#include "platform/platform.h"
#include "resolve/read_ahead.h"
#include "resolve/resolver.h"

using namespace rubo;

namespace {

enum ExitCode { EXIT_DONE = 0, EXIT_FATAL = 1, EXIT_USAGE = 2, EXIT_PROBLEMS = 3, EXIT_FAILURES = 4, EXIT_ABORTED = 5 };

constexpr std::uint32_t resolve_flags = WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS;
constexpr int KEY_CTRL_C = 3;
constexpr int KEY_ESCAPE = 27;

constexpr char question[] = "\r\nDo you wish to proceed anyway?";
constexpr char banner[] = "RUBO.EXE - Recursive File Deletion Utility - version " RUBO_VERSION "\r\n\n";
constexpr char usage[] =
    "You must specify one parameter to this program: the file path and filter of the files you wish to "
    "delete in the current directory and all of its subdirectories.\r\nExample:  RUBO *.obj;*.res\n";
constexpr char help[] =
    "\r\nUsage:  RUBO [options] <file specification>\r\n"
    "  -n, --dry-run, /n   list the files the run would delete, in its order; delete nothing\r\n"
    "  -t, --trash         move the files to the system's trash instead of deleting them\r\n"
    "Or alone:\r\n"
    "  -h, --help          this help\r\n"
    "  --version           the version and the system backend\r\n"
    "A file named like one of these is given with its directory, as ./--help.\r\n"
    "\r\nExit codes:\r\n"
    "  0  done: every listed file deleted (in a dry run: listed)\r\n"
    "  1  internal fault, or standard output could not be written\r\n"
    "  2  usage text shown\r\n"
    "  3  ended after showing problems: nothing matched, or the question was declined\r\n"
    "     (in a dry run: problems were shown)\r\n"
    "  4  a file could not be deleted, or a directory could not be searched\r\n"
    "  5  stopped with Escape or Ctrl+C\r\n";

// What a run does with each file it lists, in the words of its lines and its summary.
struct Action {
    const char* doing;  // before the path of each file
    const char* would;  // the same in a dry run
    const char* done;   // the summary's count lines
    const char* failed;
    const char* would_count;
    const char* not_reported;  // before the path on standard error, when output failed
    bool trash;
};

constexpr Action delete_action{"Deleting ",
                               "Would delete ",
                               "%d files deleted successfully\r\n",
                               "%d file could not be deleted\r\n",
                               "%d files would be deleted\r\n",
                               "rubo: deleted, not reported: ",
                               false};
constexpr Action trash_action{"Trashing ",
                              "Would move to the trash ",
                              "%d files moved to the trash\r\n",
                              "%d file could not be moved to the trash\r\n",
                              "%d files would be moved to the trash\r\n",
                              "rubo: moved to the trash, not reported: ",
                              true};

// What the command line asks for, and the specification of a run and what it does.
enum class Request { USAGE, HELP, VERSION, RUN, DRY_RUN };

struct CommandLine {
    Request request = Request::USAGE;
    const char* specification = nullptr;
    const Action* action = &delete_action;
};

bool is_one_of(const char* argument, std::initializer_list<const char*> spellings) {
    for (const char* spelling : spellings)
        if (std::strcmp(argument, spelling) == 0) return true;
    return false;
}

// One argument is the specification unless it is one of the requests; the options come
// before exactly one specification, each at most once.
CommandLine read_command_line(int argc, char** argv) {
    if (argc > 2) {
        CommandLine command{Request::RUN, argv[argc - 1]};
        for (int at = 1; at < argc - 1; ++at) {
            if (command.request == Request::RUN && is_one_of(argv[at], {"-n", "--dry-run", "/n"}))
                command.request = Request::DRY_RUN;
            else if (!command.action->trash && is_one_of(argv[at], {"-t", "--trash"}))
                command.action = &trash_action;
            else
                return {};
        }
        return command;
    }
    if (argc != 2 || is_one_of(argv[1], {"/?"})) return {};
    if (is_one_of(argv[1], {"--help", "-h"})) return {Request::HELP};
    if (is_one_of(argv[1], {"--version"})) return {Request::VERSION};
    return {Request::RUN, argv[1]};
}

void write(const String& text) { buffer_output(text.text(), static_cast<std::size_t>(text.length())); }

bool output_at_terminal() {
    static const bool at_terminal = platform::is_terminal(platform::STANDARD_OUTPUT);
    return at_terminal;
}

bool error_at_terminal() {
    static const bool at_terminal = platform::is_terminal(platform::STANDARD_ERROR);
    return at_terminal;
}

// Writes a path, or a text of lines that hold paths: at a terminal with its control
// bytes shown as '?', elsewhere exactly.
void write_shown(const String& text, LineEnds line_ends) {
    if (output_at_terminal())
        write(terminal_text(text, line_ends));
    else
        write(text);
}

// Shows the problems and, when there are files as well, asks whether to go on. True
// when the deletion should start. With standard output going elsewhere (a file, a pipe)
// and standard error at a terminal, the problems and the question are shown there as
// well, so that the question does not wait unseen.
bool proceed_despite(const String& problems, const PathList& files) {
    write_shown(problems, LineEnds::KEPT);
    if (files.count == 0) return false;
    buffer_output(question);
    if (!flush_output()) return false;  // nobody sees the question
    const bool ask_on_error = !output_at_terminal() && error_at_terminal();
    if (ask_on_error) {
        String shown = terminal_text(problems, LineEnds::KEPT);
        shown.append(question);
        platform::write_standard_error(shown.text(), static_cast<std::size_t>(shown.length()));
    }
    int key = platform::read_key();
    if (ask_on_error) platform::write_standard_error("\r\n", 2);
    if (key >= 'a' && key <= 'z') key -= 32;
    if (key != 'Y') return false;
    buffer_output("\r\n\r\n");
    return true;
}

// Whether an abort key was pressed; any other pending key is swallowed.
bool abort_requested() {
    if (!platform::key_pending()) return false;
    const int key = platform::read_key();
    return key == KEY_CTRL_C || key == KEY_ESCAPE;
}

// Writes a line on standard error: the text before the path, the path (as a terminal
// shows it, when it is one), the text after it, and the system's message for `error`
// (none for 0).
void tell_error(const char* before, const String& path, const char* after, std::uint32_t error) {
    String line(before);
    line.append(error_at_terminal() ? terminal_text(path, LineEnds::MARKED) : path);
    line.append(after);
    String message(os_error_text(error));
    message.trim_right();
    line.append(message);
    line.append("\n");
    platform::write_standard_error(line.text(), static_cast<std::size_t>(line.length()));
}

// Names on standard error each directory that could not be searched, so that a run
// that leaves matching files behind unseen does not pass for a complete one.
void tell_search_failures(const List<SearchFailure>& failures) {
    for (const SearchFailure& failure : failures)
        tell_error("rubo: cannot search ", failure.directory, ": ", failure.error);
}

// Keeps one status line on standard error while a long search runs: shown once the
// search has run for `delay`, renewed at most ten times a second, and erased, the cursor
// back at the start of its line, when the search ends.
class SearchProgress final : public WalkProgress {
public:
    explicit SearchProgress(std::chrono::milliseconds delay) : next_(Clock::now() + delay) {}

    void erase() {
        if (shown_ == 0) return;
        String blank;
        blank.format("\r%*s\r", shown_, "");
        platform::write_standard_error(blank.text(), static_cast<std::size_t>(blank.length()));
        shown_ = 0;
    }

private:
    using Clock = std::chrono::steady_clock;

    void report() override {
        const Clock::time_point now = Clock::now();
        if (now < next_) return;
        next_ = now + std::chrono::milliseconds(100);
        String line("\rSearching... ");
        line.append(String(files));
        line.append(" files listed in ");
        line.append(String(directories));
        line.append(" directories");
        shown_ = line.length() - 1;
        platform::write_standard_error(line.text(), static_cast<std::size_t>(line.length()));
    }

    Clock::time_point next_;  // the line is not shown or renewed before then
    int shown_ = 0;           // how long the line on the screen is
};

// How long a search runs before its status line comes up.
std::chrono::milliseconds progress_delay() {
#ifdef RUBO_FAULT_INJECTION
    // Test builds only: RUBO_PROGRESS_AFTER=<milliseconds> sets it, so that a test need
    // not search for a second.
    if (const char* after = std::getenv("RUBO_PROGRESS_AFTER")) return std::chrono::milliseconds(std::atoi(after));
#endif
    return std::chrono::seconds(1);
}

#ifdef RUBO_FAULT_INJECTION
// Test builds only: RUBO_HOLD_SEARCH=<path> holds the run at the end of the search for
// as long as that path exists, so that a test can press keys while the search runs.
void hold_search() {
    const char* marker = std::getenv("RUBO_HOLD_SEARCH");
    while (marker != nullptr && platform::get_file_attributes(marker) != platform::ATTRIBUTES_INVALID)
        platform::sleep_milliseconds(1);
}

// Test builds only: RUBO_OVERFLOW_STACK set makes a run that holds the console recurse
// until its stack runs out. Each frame holds a volatile array that it reads after the
// call, so that the recursion can be neither dropped nor turned into a loop.
int overflow_stack() {
    volatile char frame[1024];
    frame[0] = 1;
    if (frame[0] == 0) return 0;
    return overflow_stack() + frame[0];
}
#endif

// Appends a count line of the summary, unless the count is 0.
void append_count(String& summary, std::int32_t count, const char* format) {
    if (count != 0) summary.append_format(format, static_cast<int>(count));
}

// Writes the summary: an empty line, the count lines, the total size.
void write_summary(const String& counts, std::int64_t total_size) {
    String line("\r\n");
    line.append(counts);
    line.append("Total size of file specification: ");
    line.append(String(total_size));
    line.append(" bytes\r\n");
    write(line);
}

// What the search for the files of a specification found.
struct Found {
    PathList files;
    FileOrigins origins;  // where each run of listed files was found
    List<SearchFailure> failures;
    String problems;
    std::int64_t total_size = 0;
};

// Resolves the specification, with a status line on standard error while a long search
// runs there at a terminal, and names the directories that could not be searched.
void search(const char* argument, Found& found) {
    String specification(argument);
    specification.strip_enclosing('"');
    const String default_directory = current_directory();
    // A person at the terminal sees the banner, and the status line of a long search below it.
    SearchProgress progress(progress_delay());
    if (error_at_terminal()) flush_output();
    resolve_file_spec(specification.text(), found.files, default_directory.text(), &found.problems, nullptr,
                      &found.total_size, resolve_flags, &found.origins, &found.failures,
                      error_at_terminal() ? &progress : nullptr);
    progress.erase();
    tell_search_failures(found.failures);
}

// The deletion's side of the run: the listed files in order, with the directories each
// was found below, and a line for each. With workers, each file is told once it is done,
// the lines going out a window at a time; with one thread, each is told before it is
// done. Once standard output fails, no further file is handed out, and every file gone
// whose line may not have gone out is named on standard error.
class Deletion final : public ErasureClient {
public:
    Deletion(Found& found, const Action& action, bool tells_before)
        : found_(found), action_(action), origin_(&found.origins.runs), before_(tells_before) {}

    bool next(ErasureJob& job) override {
        if (next_file_ == found_.files.count) return false;
        if (left_in_run_ == 0 && origin_.next()) {
            left_in_run_ = origin_.element->files;
            found_.origins.levels(origin_.element->directory, levels_);
            ++run_;
        }
        --left_in_run_;
        job.index = next_file_++;
        found_.files.read(job.index, job.path);
        job.base_length = origin_.element->base_length;
        // A slot that last held a file of the same run holds its directories already.
        if (job.run != run_) {
            job.levels.clear();
            for (const platform::DirectoryIdentity& level : levels_) *job.levels.append_new() = level;
            job.run = run_;
        }
        return true;
    }

    bool erase(FileEraser& eraser, ErasureJob& job) override {
#ifdef RUBO_FAULT_INJECTION
        fail_at_erasure();
#endif
        const platform::DirectoryIdentity* levels = job.levels.count > 0 ? job.levels.at(0) : nullptr;
        const bool ok = action_.trash ? eraser.trash_below(job.path.text(), job.base_length, levels, job.levels.count)
                                      : eraser.erase_below(job.path.text(), job.base_length, levels, job.levels.count);
        job.error = ok ? 0 : platform::last_error();
        return ok;
    }

    bool announce(const ErasureJob& job) override {
        begin_line(job.path);
        output_failed_ = !flush_output();
        return !output_failed_;
    }

    bool tell(const ErasureJob& job) override {
        if (!before_) begin_line(job.path);
        buffer_output(job.ok ? " : ok\r\n" : " : FAILED!\r\n");
        // A file the trash could not take may have no trash on its file system at all:
        // the reason is told.
        if (!job.ok && action_.trash) tell_error("rubo: cannot move ", job.path, " to the trash: ", job.error);
        ++(job.ok ? deleted : failed);
        if (!before_) account_for(job);
        aborted = aborted || abort_requested();
        return !aborted && !output_failed_;
    }

    // Names on standard error the files gone whose lines are still waiting to go out, when
    // standard output fails at the end.
    void settle() {
        if (!output_failed_ && !flush_output()) name_unreported();
    }

    std::int32_t deleted = 0;
    std::int32_t failed = 0;
    bool aborted = false;
    bool output_failed() const { return output_failed_; }

private:
    void begin_line(const String& path) {
        buffer_output(action_.doing);
        write_shown(path, LineEnds::MARKED);
    }

    // Keeps the files gone since the last block went out; every window's lines go out as
    // one block.
    void account_for(const ErasureJob& job) {
        if (output_failed_) {
            if (job.ok) tell_unreported(job.path);
            return;
        }
        if (job.ok) *unreported_.append_new() = job.index;
        if (++lines_waiting_ < ERASURE_WINDOW) return;
        lines_waiting_ = 0;
        if (flush_output())
            unreported_.clear();
        else
            name_unreported();
    }

    void name_unreported() {
        output_failed_ = true;
        String path;
        for (const std::int32_t index : unreported_) {
            found_.files.read(index, path);
            tell_unreported(path);
        }
        unreported_.clear();
    }

    void tell_unreported(const String& path) const { tell_error(action_.not_reported, path, "", 0); }

#ifdef RUBO_FAULT_INJECTION
    // Test builds only: RUBO_FAIL_ERASURE=<n> raises a fatal report in place of the n-th
    // file's erasure.
    void fail_at_erasure() {
        static const char* at = std::getenv("RUBO_FAIL_ERASURE");
        if (at != nullptr && erasures_.fetch_add(1) + 1 == std::atoi(at)) fatal_error("Erasure failed on purpose");
    }
    std::atomic<int> erasures_{0};
#endif

    Found& found_;
    const Action& action_;
    Iterator<FileOrigin> origin_;
    FlatVector<platform::DirectoryIdentity> levels_;  // the current run's directories, base first
    std::int32_t next_file_ = 0;
    std::int32_t left_in_run_ = 0;
    std::int32_t run_ = 0;
    const bool before_;
    bool output_failed_ = false;
    std::int32_t lines_waiting_ = 0;
    FlatVector<std::int32_t> unreported_;  // files gone whose lines have not gone out yet
};

// Deletes the listed files (or moves them to the trash) until the list ends or an abort
// key is pressed; answers the exit code. One thread (RUBO_THREADS=1) tells each file
// before it is done; more delete on workers and tell each file in order once it is
// done, a window ahead at most.
int delete_files(Found& found, const Action& action, bool aborted) {
    const std::int32_t workers = erasure_workers(read_ahead_workers());
    Deletion deletion(found, action, workers == 0);
    deletion.aborted = aborted;
    // What is written so far goes out first: output that cannot be written stops the run
    // before any file is gone.
    if (!aborted && !flush_output()) return EXIT_FATAL;
    if (!aborted) erase_in_order(deletion, workers);
    deletion.settle();
    if (deletion.output_failed()) return EXIT_FATAL;
    if (deletion.aborted) buffer_output("Aborted by user\r\n");
    String counts;
    append_count(counts, deletion.deleted, action.done);
    append_count(counts, deletion.failed, action.failed);
    write_summary(counts, found.total_size);
    while (platform::key_pending()) platform::read_key();
    if (deletion.aborted) return EXIT_ABORTED;
    return deletion.failed != 0 || found.failures.count != 0 ? EXIT_FAILURES : EXIT_DONE;
}

// The run: search, problems and question, deletion, summary.
int delete_specified(const char* argument, const Action& action) {
    // Keys are taken before the search, so that a Ctrl+C while it runs is a key press
    // like any other instead of the end of the process.
    platform::take_console();
#ifdef RUBO_FAULT_INJECTION
    if (std::getenv("RUBO_OVERFLOW_STACK") != nullptr) overflow_stack();
#endif
    Found found;
    search(argument, found);
#ifdef RUBO_FAULT_INJECTION
    hold_search();
#endif
    if (found.problems.length() != 0 && !proceed_despite(found.problems, found.files)) return EXIT_PROBLEMS;
    // Without a question to take it, an abort key pressed during the search stops the run
    // before the first file.
    return delete_files(found, action, found.problems.length() == 0 && platform::abort_key_pressed());
}

// The dry run: the problems, then the files the run would delete, in its order, and the
// summary; nothing is asked, read from the keyboard or changed. When nothing matched at
// all it ends after the problems, as the run does. Problems win over directories that
// could not be searched: a run would have asked about them first.
int list_specified(const char* argument, const Action& action) {
    Found found;
    search(argument, found);
    write_shown(found.problems, LineEnds::KEPT);
    if (found.problems.length() != 0 && found.files.count == 0) return EXIT_PROBLEMS;
    for (const String& path : found.files) {
        buffer_output(action.would);
        write_shown(path, LineEnds::MARKED);
        buffer_output("\r\n");
    }
    String counts;
    append_count(counts, found.files.count, action.would_count);
    write_summary(counts, found.total_size);
    if (found.problems.length() != 0) return EXIT_PROBLEMS;
    return found.failures.count != 0 ? EXIT_FAILURES : EXIT_DONE;
}

void write_version() {
    String text("rubo " RUBO_VERSION "\nbackend: ");
    text.append(platform::backend_name());
    text.append("\n");
    write(text);
}

int run(int argc, char** argv) {
    init_working_paths();
    const CommandLine command = read_command_line(argc, argv);
    if (command.request == Request::VERSION) {
        write_version();
        return EXIT_DONE;
    }
    buffer_output(banner);
    switch (command.request) {
        case Request::RUN: return delete_specified(command.specification, *command.action);
        case Request::DRY_RUN: return list_specified(command.specification, *command.action);
        case Request::HELP:
            buffer_output(usage);
            buffer_output(help);
            return EXIT_DONE;
        default: buffer_output(usage); return EXIT_USAGE;
    }
}

}  // namespace

int main(int argc, char** argv) {
    char** arguments = platform::program_arguments(argc, argv);
    const int code = run(argc, arguments);
    return flush_output() ? code : EXIT_FATAL;
}
