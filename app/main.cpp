// RUBO: deletes every file that matches a file specification in a directory and all of
// its subdirectories. The driver owns the run from banner to summary; resolving the
// specification, deleting a file and reading the keyboard are done below it.
//
// Exit codes: 0 the summary was reached and nothing failed, 2 usage shown, 3 the run
// ended after showing problems (nothing matched, or the prompt was declined), 4 some
// file could not be deleted or some directory could not be searched (each is named on
// standard error), 5 stopped with Escape or Ctrl+C. Fatal reports end with 1,
// and so does a run whose standard output could not be written.
//
// Every deletion is told before it is done: the "Deleting <path>" line is handed to the
// system first, and once standard output fails no further file is deleted, so that what
// the tool reports is always a complete account of what it removed. (Output to the null
// device, which no write can fail, is simply buffered.)

#include <cstdint>
#include <cstring>

#include "core/fatal.h"
#include "core/file_system.h"
#include "core/iterator.h"
#include "core/list.h"
#include "core/output.h"
#include "core/string.h"
#include "core/working_paths.h"
#include "platform/platform.h"
#include "resolve/resolver.h"

namespace {

enum ExitCode { EXIT_DONE = 0, EXIT_FATAL = 1, EXIT_USAGE = 2, EXIT_PROBLEMS = 3, EXIT_FAILURES = 4, EXIT_ABORTED = 5 };

constexpr std::uint32_t resolve_flags = WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS;
constexpr int KEY_CTRL_C = 3;
constexpr int KEY_ESCAPE = 27;

void write(const String& text) { write_output(text.text(), static_cast<std::size_t>(text.length())); }

// Shows the problems and, when there are files as well, asks whether to go on. True
// when the deletion should start.
bool proceed_despite(const String& problems, const List<String>& files) {
    write(problems);
    if (files.count == 0) return false;
    write_output("\r\nDo you wish to proceed anyway?");
    if (!flush_output()) return false;  // nobody sees the question
    int key = platform::read_key();
    if (key >= 'a' && key <= 'z') key -= 32;
    if (key != 'Y') return false;
    write_output("\r\n\r\n");
    return true;
}

// Whether an abort key was pressed; any other pending key is swallowed.
bool abort_requested() {
    if (!platform::key_pending()) return false;
    const int key = platform::read_key();
    return key == KEY_CTRL_C || key == KEY_ESCAPE;
}

// Names on standard error each directory that could not be searched, so that a run
// that leaves matching files behind unseen does not pass for a complete one.
void tell_search_failures(List<SearchFailure>& failures) {
    for (Iterator<SearchFailure> failure(&failures); failure.next();) {
        String line("rubo: cannot search ");
        line.append(failure.element->directory);
        line.append(": ");
        line.append(os_error_text(failure.element->error));
        line.trim_right();
        line.append("\n");
        platform::write_error_output(line.text(), static_cast<std::size_t>(line.length()));
    }
}

void write_summary(std::int32_t deleted, std::int32_t failed, std::int64_t total_size) {
    String line("\r\n");
    if (deleted != 0) line.append_format("%d files deleted successfully\r\n", static_cast<int>(deleted));
    if (failed != 0) line.append_format("%d file could not be deleted\r\n", static_cast<int>(failed));
    line.append("Total size of file specification: ");
    line.append(String(total_size));
    line.append(" bytes\r\n");
    write(line);
}

int run(int argc, char** argv) {
    init_working_paths();
    write_output("RUBO.EXE - Recursive File Deletion Utility - version 1.1\r\n\n");
    if (argc != 2 || std::strcmp(argv[1], "/?") == 0) {
        write_output(
            "You must specify one parameter to this program: the file path and filter of the files you wish to "
            "delete in the current directory and all of its subdirectories.\r\nExample:  RUBO *.obj;*.res\n");
        return EXIT_USAGE;
    }

    String specification(argv[1]);
    specification.strip_enclosing('"');
    List<String> files;
    List<FileOrigin> origins;  // where each run of listed files was found
    List<SearchFailure> failures;
    String problems;
    std::int64_t total_size = 0;
    {
        const String default_directory = current_directory();
        resolve_file_spec(specification.text(), files, default_directory.text(), &problems, nullptr, &total_size,
                          resolve_flags, &origins, &failures);
    }
    tell_search_failures(failures);
    if (problems.length() != 0 && !proceed_despite(problems, files)) return EXIT_PROBLEMS;

    std::int32_t deleted = 0;
    std::int32_t failed = 0;
    bool aborted = false;
    // Output that is thrown away cannot fail, so its reports may wait in the buffer.
    const bool tell_before_each = !platform::output_discarded();
    FileEraser eraser;
    Iterator<FileOrigin> origin(&origins);
    std::int32_t left_in_run = 0;
    for (Iterator<String> walk(&files); walk.next(); --left_in_run) {
        if (left_in_run == 0 && origin.next()) left_in_run = origin.element->files;
        write_output("Deleting ");
        write(*walk.element);
        if (tell_before_each && !flush_output()) return EXIT_FATAL;
        const bool ok =
            eraser.erase_below(walk.element->text(), origin.element->base_length, &origin.element->searched);
        write_output(ok ? " : ok\r\n" : " : FAILED!\r\n");
        ++(ok ? deleted : failed);
        if (abort_requested()) {
            write_output("Aborted by user\r\n");
            aborted = true;
            break;
        }
    }
    write_summary(deleted, failed, total_size);
    while (platform::key_pending()) platform::read_key();
    if (aborted) return EXIT_ABORTED;
    return failed != 0 || failures.count != 0 ? EXIT_FAILURES : EXIT_DONE;
}

}  // namespace

int main(int argc, char** argv) {
    char** arguments = platform::program_arguments(argc, argv);
    const int code = run(argc, arguments);
    return flush_output() ? code : EXIT_FATAL;
}
