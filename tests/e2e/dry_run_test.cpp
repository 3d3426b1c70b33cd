// The dry run: the list a run would delete, in its order, and nothing changed on disk.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"
#include "tests/support/environment_guard.h"

namespace rubo::test {
namespace {

// What a dry run shows where a run answered "y" to its question: no question, a
// "Would delete" line for each "Deleting" line, and the summary counting them.
std::string as_dry_run(std::string output) {
    auto replace_all = [&output](const std::string& from, const std::string& to) {
        for (std::size_t at = output.find(from); at != std::string::npos; at = output.find(from, at + to.size()))
            output.replace(at, from.size(), to);
    };
    replace_all(std::string(prompt) + "\r\n\r\n", "");
    replace_all("Deleting ", "Would delete ");
    replace_all(" : ok\r\n", "\r\n");
    replace_all("files deleted successfully", "files would be deleted");
    return output;
}

bool writable(const TempTree& tree, const std::string& relative) {
    using std::filesystem::perms;
    return (std::filesystem::status(tree.native(relative)).permissions() & perms::owner_write) != perms::none;
}

// Each specification is tried on a fresh tree, first as a dry run, which must leave the
// tree as it was (the read-only mark included), then as a run that answers "y".
TEST(DryRun, ListsWhatTheRunDeletesAndChangesNothing) {
    const std::vector<std::string> files = {"a.obj", "a.txt", "s/b.res", "s/locked.obj", "s/t/c.obj", "u/d.res"};
    struct Case {
        const char* specification;
        int dry_exit_code;
    };
    for (const Case& test : {Case{"*.obj;*.res", 0}, Case{"\"*.zzz;*.obj\"", 3}, Case{"*.zzz", 3}, Case{"", 0}}) {
        SCOPED_TRACE(test.specification);
        TempTree tree;
        for (std::size_t i = 0; i < files.size(); ++i) tree.file(files[i], i * 100);
        tree.read_only("s/locked.obj");
        for (const char* option : {"-n", "--dry-run", "/n"}) {
            ChildResult dry = run_tool({option, test.specification}, tree.path(), "y");
            EXPECT_EQ(test.dry_exit_code, dry.exit_code) << option;
            EXPECT_EQ(files, tree.files()) << option;
            EXPECT_FALSE(writable(tree, "s/locked.obj")) << option;
        }
        ChildResult dry = run_tool({"-n", test.specification}, tree.path());
        ChildResult real = run_tool({test.specification}, tree.path(), "y");
        EXPECT_EQ(as_dry_run(real.output), dry.output);
        std::vector<std::string> kept;
        for (const std::string& file : files)
            if (dry.output.find("Would delete " + tree.native(file) + "\r\n") == std::string::npos)
                kept.push_back(file);
        EXPECT_EQ(kept, tree.files());
    }
}

// However many threads read the directories, a dry run of a wide tree lists the same
// bytes and ends the same way.
TEST(DryRun, SameListWithOneThreadAndWithSeveral) {
    TempTree tree;
    for (int i = 0; i < 300; ++i) {
        std::string directory = "d";
        directory += std::to_string(i % 7) + "/e" + std::to_string(i) + "/";
        tree.file(directory + "f.obj", i);
        tree.file(directory + (i % 3 == 0 ? "g.res" : "keep.txt"), 1);
    }
    std::vector<ChildResult> runs;
    for (const char* threads : {"1", "4"}) {
        EnvironmentGuard setting("RUBO_THREADS", threads);
        runs.push_back(run_tool({"-n", "*.obj;*.res;f*"}, tree.path()));
    }
    EXPECT_NE(std::string::npos, runs[0].output.find("Would delete " + tree.native("d5/e299/f.obj")));
    EXPECT_EQ(runs[0].exit_code, runs[1].exit_code);
    EXPECT_EQ(runs[0].output, runs[1].output);
}

#ifndef _WIN32
// The run asks about a search of a whole file system; the dry run ends on it (exit code 3).
// The root is reached through a directory that is not there, so that nothing is searched.
TEST(DryRun, SearchOfARootIsAProblem) {
    TempTree tree;
    tree.file("keep.o", 5);
    const std::string piece = "/" + std::filesystem::path(tree.path()).filename().string() + "/../*.zzz";
    const std::string specification = piece + "\n" + tree.native("keep.o");
    const std::string problems =
        banner + ("The file specification \"" + piece + "\" searches the whole of \"/\".\r\n") + no_match(piece);
    EXPECT_EQ(problems + prompt, run_tool({specification}, tree.path(), "n").output);
    const ChildResult dry = run_tool({"-n", specification}, tree.path());
    EXPECT_EQ(3, dry.exit_code);
    EXPECT_EQ(problems + as_dry_run(deleting(tree.native("keep.o")) + summary(1, 0, "5")), dry.output);
}

// Thousands of patterns that each list every file: memory follows the files, not patterns
// times files (the run is held to a quarter of a gigabyte of address space, where no
// sanitizer needs more), and the problem text ends in an exact count of the messages it
// leaves out.
TEST(DryRun, PatternsThatRepeatEachOtherKeepMemoryAndCountWhatIsLeftOut) {
    TempTree tree;
    for (int i = 0; i < 1200; ++i)
        tree.file(std::string("d").append(std::to_string(i % 12)).append("/").append(std::to_string(i)).append(".o"));
    std::string specification;
    for (int i = 0; i < 4000; ++i) specification += "*.o;";
    ProgramRun program{tool_path(), {"-n", specification}, "", tree.path()};
#if !defined(__SANITIZE_ADDRESS__)
    program.prepare = [] {
        const rlimit quarter{256 << 20, 256 << 20};
        setrlimit(RLIMIT_AS, &quarter);
    };
#endif
    const ChildResult run = run_program(program);
    EXPECT_EQ(3, run.exit_code);
    EXPECT_NE(std::string::npos, run.output.find("\r\n1200 files would be deleted\r\n"));
    std::int64_t shown = 0;
    for (std::size_t at = run.output.find("' occurs more than once."); at != std::string::npos;
         at = run.output.find("' occurs more than once.", at + 1))
        ++shown;
    const std::size_t count_line = run.output.find(" more messages were left out.\r\n");
    ASSERT_NE(std::string::npos, count_line);
    std::string left_out = run.output.substr(run.output.rfind('\n', count_line) + 1);
    left_out.erase(std::remove(left_out.begin(), left_out.end(), ','), left_out.end());
    EXPECT_EQ(std::int64_t{3999} * 1200, shown + std::stoll(left_out));
}
#endif

}  // namespace
}  // namespace rubo::test
