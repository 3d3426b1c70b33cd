// Whole runs of the tool that meet a fault on the way: memory that runs out at any one
// of its requests, and standard output that stops taking what is written. Whatever
// the moment, the run must end the way it promises and have deleted nothing it did not
// report first.

#ifndef _WIN32

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/terminal.h"
#include "tests/e2e/tool_run.h"

namespace rubo::test {
namespace {

const std::vector<std::string> listed{"a.obj", "s/b.obj", "s/t/c.obj"};

// (Re)creates the tree's files: three that the pattern *.obj lists, one it does not.
void plant(const TempTree& tree) {
    for (const std::string& name : listed) tree.file(name, 10);
    tree.file("s/keep.txt");
}

// The output of an undisturbed run of the tool on the planted tree.
std::string undisturbed_output(const TempTree& tree) {
    plant(tree);
    const ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    return run.output;
}

// No listed file is gone unless its "Deleting <path>" reached the output, and every one
// reported " : ok" is gone. With `told_means_done` (no fault can strike between the
// report and the deletion), every file whose line reached the output whole is gone too.
// The file the pattern does not list is always there.
void expect_deleted_only_when_told(const TempTree& tree, const std::string& output, const std::string& context,
                                   bool told_means_done) {
    for (const std::string& name : listed) {
        const std::string told = "Deleting " + tree.native(name);
        const bool reported = output.find(told) != std::string::npos;
        const bool gone = !tree.exists(name);
        EXPECT_TRUE(reported || !gone) << name << " gone unreported after " << context;
        EXPECT_TRUE(gone || output.find(told + " : ok") == std::string::npos)
            << name << " still there after " << context;
        EXPECT_TRUE(gone || !told_means_done || !reported) << name << " reported, not deleted after " << context;
    }
    EXPECT_TRUE(tree.exists("s/keep.txt")) << context;
}

std::string fault_tool_path() { return tool_path() + "_fault"; }

// Whether every line of `told` is one of `full`'s, in `full`'s order.
bool lines_in_order(const std::string& told, const std::string& full) {
    std::size_t at = 0;
    for (std::size_t start = 0, end; (end = told.find('\n', start)) != std::string::npos; start = end + 1) {
        at = full.find(told.substr(start, end + 1 - start), at);
        if (at == std::string::npos) return false;
    }
    return true;
}

// Fails the run's memory requests in turn, counted as `variable` counts them, until a run
// makes fewer requests than the one that would fail and so ends normally. Every other run
// ends in one report, after an honest account: a beginning of the full output with one
// thread, whole lines of it in its order with workers (a file a failing worker had in hand
// is not told).
int fail_requests_in_turn(const TempTree& tree, const char* variable, bool workers = false) {
    const std::string full = undisturbed_output(tree);
    const std::string report = "Out Of Memory.  Make sure your hard drive is not full.\nRequested size = ";
    int reported = 0;
    for (int request = 1; request < 5000; ++request) {
        plant(tree);
        ProgramRun run{fault_tool_path(), {"*.obj"}, "", tree.path()};
        run.prepare = [variable, request] { setenv(variable, std::to_string(request).c_str(), 1); };
        const ChildResult result = run_program(run);
        const std::string context = std::string(variable) + "=" + std::to_string(request);
        if (result.exit_code == 0) {
            EXPECT_EQ(full, result.output) << context;
            return reported;
        }
        ++reported;
        EXPECT_EQ(1, result.exit_code) << context << ": " << result.output;
        const std::size_t at = result.output.find(report);
        EXPECT_NE(std::string::npos, at) << context << ": " << result.output;
        if (at == std::string::npos) return reported;
        const std::string before = result.output.substr(0, at);
        const std::string size = result.output.substr(at + report.size());
        if (workers)
            EXPECT_TRUE(lines_in_order(before, full)) << context << ": " << before;
        else
            EXPECT_EQ(full.substr(0, before.size()), before) << context;
        EXPECT_LE(3u, size.size()) << context;
        EXPECT_EQ("\r\n", size.substr(size.size() - 2)) << context;
        EXPECT_EQ(std::string::npos, size.substr(0, size.size() - 2).find_first_not_of("0123456789,")) << context;
        expect_deleted_only_when_told(tree, before, context, false);
    }
    ADD_FAILURE() << "no run of " << variable << " ended normally";
    return reported;
}

// One thread, so that the requests come in the same order in every run.
TEST(OutOfMemory, EveryFailedRequestEndsInTheReportAfterAnHonestAccount) {
    EnvironmentGuard one_thread("RUBO_THREADS", "1");
    TempTree tree;
    EXPECT_LT(0, fail_requests_in_turn(tree, "RUBO_FAIL_ALLOCATION"));
}

// The threads that read directories ahead fail in turn (forty directories give them
// something to read): the process shows the one report of the thread that failed.
TEST(OutOfMemory, AFailedRequestOfAReadingThreadEndsInOneReport) {
    TempTree tree;
    for (int i = 0; i < 40; ++i) tree.file(std::to_string(i).append("/keep.txt"));
    setenv("RUBO_THREADS", "3", 1);
    EXPECT_LT(0, fail_requests_in_turn(tree, "RUBO_FAIL_WORKER_ALLOCATION", true));
    unsetenv("RUBO_THREADS");
}

// The same at a terminal, where the prompt is answered and the keys are read between
// files with line editing and echo off: whichever request fails, the terminal is given
// back as it was found.
TEST(OutOfMemory, AtATerminalEveryFailedRequestGivesTheTerminalBack) {
    EnvironmentGuard one_thread("RUBO_THREADS", "1");
    TempTree tree;
    const std::string report = "Out Of Memory.  Make sure your hard drive is not full.\nRequested size = ";
    bool completed = false;
    for (int request = 1; request < 5000 && !completed; ++request) {
        plant(tree);
        const std::string context = "request " + std::to_string(request);
        setenv("RUBO_FAIL_ALLOCATION", std::to_string(request).c_str(), 1);
        TerminalRun run(fault_tool_path(), {"*.zzz;*.obj"}, tree.path());
        unsetenv("RUBO_FAIL_ALLOCATION");
        ASSERT_TRUE(run.started()) << context;
        run.type("y");
        const ChildResult result = run.finish();
        EXPECT_TRUE(run.line_editing()) << context;
        completed = result.exit_code == 0;
        if (!completed) {
            ASSERT_EQ(1, result.exit_code) << context << ": " << result.output;
            const std::size_t at = result.output.find(report);
            ASSERT_NE(std::string::npos, at) << context << ": " << result.output;
            expect_deleted_only_when_told(tree, result.output.substr(0, at), context, false);
        }
    }
    EXPECT_TRUE(completed);
}

// Standard output is a pipe nobody reads, or no file at all: the tool sees its first
// write fail, deletes nothing and ends with 1, also where it would have asked first. It
// is started with the pipe signal at its default, so that its own handling is tested.
TEST(OutputFailure, UnwritableOutputStopsTheRunBeforeAnyDeletion) {
    TempTree tree;
    for (const bool closed : {false, true}) {
        for (const char* specification : {"*.obj", "*.zzz;*.obj"}) {
            plant(tree);
            ProgramRun run{tool_path(), {specification}, "y", tree.path()};
            run.prepare = [closed] {
                int unread[2];
                if (closed) {
                    close(STDOUT_FILENO);
                } else if (signal(SIGPIPE, SIG_DFL) == SIG_ERR || pipe(unread) != 0 ||
                           dup2(unread[1], STDOUT_FILENO) < 0) {
                    _exit(125);
                } else {
                    close(unread[0]);
                    close(unread[1]);
                }
            };
            const ChildResult result = run_program(run);
            const std::string context = std::string(closed ? "closed, " : "unread pipe, ") + specification;
            EXPECT_EQ(1, result.exit_code) << context;
            EXPECT_EQ("", result.output) << context;
            for (const std::string& name : listed) EXPECT_TRUE(tree.exists(name)) << name << ", " << context;
        }
    }
}

// What a run told of the files it deleted: its output, and a "Deleting <path> : ok" line
// for each file standard error names as deleted but not reported.
std::string told_anywhere(const ChildResult& result) {
    std::string told = result.output;
    const std::string unreported = "rubo: deleted, not reported: ";
    for (std::size_t at = 0; (at = result.errors.find(unreported, at)) != std::string::npos;) {
        const std::size_t end = result.errors.find('\n', at);
        told += deleting(result.errors.substr(at + unreported.size(), end - at - unreported.size()));
        at = end;
    }
    return told;
}

// Standard output is a file that may not grow past a limit, set at every length the
// undisturbed output passes through: the output is cut there and the run ends with 1.
// With one thread that is at the first write that fails, and only the files reported
// whole are gone; with workers, whose lines go out in blocks after the files are gone,
// every file gone whose line did not go out is named on standard error.
TEST(OutputFailure, OutputCutShortAtAnyByteStopsBeforeTheNextDeletion) {
    TempTree tree;
    const ScratchDirectory place;
    const std::string output_file = place / "output";
    const std::string full = undisturbed_output(tree);
    for (std::size_t run_limit = 0; run_limit <= 2 * full.size() + 1; ++run_limit) {
        const std::size_t limit = run_limit % (full.size() + 1);
        EnvironmentGuard setting("RUBO_THREADS", run_limit <= full.size() ? "1" : "4");
        plant(tree);
        ProgramRun run{tool_path(), {"*.obj"}, "", tree.path()};
        run.prepare = [limit, &output_file] {
            const rlimit size{limit, limit};
            const int out = open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || dup2(out, STDOUT_FILENO) < 0 || signal(SIGXFSZ, SIG_IGN) == SIG_ERR ||
                setrlimit(RLIMIT_FSIZE, &size) != 0)
                _exit(125);
            close(out);
        };
        const ChildResult result = run_program(run);
        std::ifstream written(output_file, std::ios::binary);
        const std::string output{std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>()};
        const std::string context = "a limit of " + std::to_string(limit) + (run_limit == limit ? "" : ", workers");
        EXPECT_EQ(limit < full.size() ? 1 : 0, result.exit_code) << context;
        EXPECT_EQ(full.substr(0, limit), output) << context;
        expect_deleted_only_when_told(tree, told_anywhere({result.exit_code, output, result.errors}), context, true);
    }
}

// A deleting worker raises a fatal report in place of one file's deletion: the report
// comes once, last, after the lines of every file the run deleted.
TEST(WorkerFailure, TheReportComesAfterEveryDeletedFileIsTold) {
    TempTree tree;
    std::vector<std::string> names;
    for (int file = 0; file < 300; ++file)
        names.push_back(
            std::string("d").append(std::to_string(file / 7)).append("/").append(std::to_string(file)).append(".obj"));
    EnvironmentGuard setting("RUBO_THREADS", "4");
    for (const char* failing : {"1", "40", "299"}) {
        for (const std::string& name : names) tree.file(name);
        ProgramRun run{fault_tool_path(), {"*.obj"}, "", tree.path()};
        run.prepare = [failing] { setenv("RUBO_FAIL_ERASURE", failing, 1); };
        const ChildResult result = run_program(run);
        EXPECT_EQ(1, result.exit_code) << failing;
        const std::string report = "Erasure failed on purpose\r\n";
        ASSERT_GE(result.output.size(), report.size()) << failing;
        EXPECT_EQ(report, result.output.substr(result.output.size() - report.size())) << failing;
        for (const std::string& name : names) {
            const bool told = result.output.find(deleting(tree.native(name))) != std::string::npos;
            EXPECT_NE(told, tree.exists(name)) << name << ", failing " << failing;
        }
    }
}

#ifdef __linux__
// In the child that becomes the tool: preloads one of the fault tests' libraries (built
// beside the tool) into it. The library comes before the address sanitizer's, which it
// would refuse.
void preload(const char* library) {
    const char* options = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(options ? options : "") + ":verify_asan_link_order=0").c_str(), 1);
    setenv("LD_PRELOAD", (tool_path().substr(0, tool_path().rfind('/') + 1) + library).c_str(), 1);
}

// Standard output is a pipe whose reader goes away part way through a run on workers
// (a library preloaded into the tool makes it so at a chosen byte): the run ends with
// 1, and every file gone is named, in the output that got out or on standard error.
TEST(OutputFailure, APipeClosedPartWayLeavesNoFileGoneUntold) {
    TempTree tree;
    std::vector<std::string> names;
    for (int file = 0; file < 2000; ++file)
        names.push_back(std::string("d")
                            .append(std::to_string(file / 20))
                            .append("/f")
                            .append(std::to_string(file))
                            .append(".obj"));
    EnvironmentGuard setting("RUBO_THREADS", "4");
    for (const char* after : {"1000", "60000"}) {
        for (const std::string& name : names) tree.file(name);
        ProgramRun run{tool_path(), {"*.obj"}, "", tree.path()};
        run.prepare = [after] {
            preload("librubo_write_failure.so");
            if (signal(SIGPIPE, SIG_DFL) == SIG_ERR || setenv("RUBO_FAIL_OUTPUT_AFTER", after, 1) != 0) _exit(125);
        };
        const ChildResult result = run_program(run);
        EXPECT_EQ(1, result.exit_code) << after;
        EXPECT_EQ(std::strtoul(after, nullptr, 10), result.output.size());
        const std::string told = told_anywhere(result);
        int gone = 0;
        for (const std::string& name : names) {
            if (tree.exists(name)) continue;
            ++gone;
            EXPECT_NE(std::string::npos, told.find(deleting(tree.native(name)))) << name << ", " << after;
        }
        EXPECT_GT(gone, 0) << after;
    }
}

// The reading of one directory fails part way with EIO (a library preloaded into the
// tool makes it so): the directory contributes nothing, not even what was read before
// the failure, and is named on standard error; the run lists and deletes its sibling's
// files and ends with 4, with one reading thread and with several.
TEST(ReadFailure, ADirectoryWhoseReadingFailsPartWayContributesNothing) {
    const std::vector<std::string> failing{"bad/1.obj", "bad/2.obj", "bad/3.obj", "bad/4.obj", "bad/deep/5.obj"};
    TempTree tree;
    for (const char* threads : {"1", ""}) {
        for (const bool dry : {true, false}) {
            const std::string context =
                std::string(dry ? "dry run, threads " : "run, threads ") + (*threads ? threads : "default");
            for (const std::string& name : failing) tree.file(name, 10);
            tree.file("good/a.obj", 1);
            tree.file("good/b.obj", 2);
            ProgramRun run{tool_path(),
                           dry ? std::vector<std::string>{"-n", "*.obj"} : std::vector<std::string>{"*.obj"}, "",
                           tree.path()};
            run.prepare = [&] {
                preload("librubo_read_failure.so");
                setenv("RUBO_FAIL_READING", tree.native("bad").c_str(), 1);
                if (*threads != '\0')
                    setenv("RUBO_THREADS", threads, 1);
                else
                    unsetenv("RUBO_THREADS");
            };
            const ChildResult result = run_program(run);
            EXPECT_EQ(4, result.exit_code) << context;
            const std::string listed =
                dry ? "Would delete " + tree.native("good/a.obj") + "\r\nWould delete " + tree.native("good/b.obj") +
                          "\r\n\r\n2 files would be deleted\r\n" + "Total size of file specification: 3 bytes\r\n"
                    : deleting(tree.native("good/a.obj")) + deleting(tree.native("good/b.obj")) + summary(2, 0, "3");
            EXPECT_EQ(banner + listed, result.output) << context;
            EXPECT_EQ("rubo: cannot search " + tree.native("bad") + ": " + std::strerror(EIO) + "\n", result.errors)
                << context;
            std::vector<std::string> left = failing;
            if (dry) left.insert(left.end(), {"good/a.obj", "good/b.obj"});
            EXPECT_EQ(left, tree.files()) << context;
        }
    }
}
#endif

}  // namespace
}  // namespace rubo::test

#endif
