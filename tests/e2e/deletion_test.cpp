// Whole runs of the tool on real trees: what it lists, in which order, what it asks,
// what it deletes and what it leaves, and how it ends.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace rubo::test {
namespace {

using Files = std::vector<std::string>;

// ---- Runs that hold on both platforms. Under Windows a directory lists its entries in
// no fixed order, so these trees give every directory at most one match per pattern.

TEST(Deletion, RecursesOwnDirectoryFirstThenDepthFirst) {
    TempTree tree;
    tree.file("a.obj", 10);
    tree.file("s/b.obj", 20);
    tree.file("s/t/c.obj", 30);
    tree.file("s/t/keep.txt");
    tree.file("keep.res");
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + deleting(tree.native("s/b.obj")) +
                  deleting(tree.native("s/t/c.obj")) + summary(3, 0, "60"),
              run.output);
    EXPECT_EQ((Files{"keep.res", "s/t/keep.txt"}), tree.files());
}

// Deleting on workers tells the same lines, byte for byte, as one thread does, and
// leaves the same tree: 300 directories, a few files in each, read-only ones among them.
TEST(Deletion, WorkersTellTheSameLinesAsOneThread) {
    TempTree tree;
    const auto plant = [&tree] {
        for (int directory = 0; directory < 300; ++directory) {
            std::string path = std::string("d").append(std::to_string(directory % 17));
            path.append("/e").append(std::to_string(directory)).append("/");
            for (int file = 0; file < directory % 5; ++file)
                tree.file(std::string(path).append(std::to_string(file)).append(".obj"), file);
            tree.file(path + "keep.txt");
        }
        tree.read_only("d3/e3/0.obj");
    };
    std::vector<ChildResult> runs;
    for (const char* threads : {"1", "4"}) {
        plant();
        EnvironmentGuard setting("RUBO_THREADS", threads);
        runs.push_back(run_tool({"*.obj"}, tree.path()));
        EXPECT_EQ(0, runs.back().exit_code) << threads;
        EXPECT_EQ(300u, tree.files().size()) << threads;
    }
    EXPECT_NE(std::string::npos, runs[0].output.find("600 files deleted successfully"));
    EXPECT_TRUE(runs[0].output == runs[1].output);
}

TEST(Deletion, ReadOnlyFileIsDeleted) {
    TempTree tree;
    tree.file("s/locked.obj", 5);
    tree.read_only("s/locked.obj");
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("s/locked.obj")) + summary(1, 0, "5"), run.output);
    EXPECT_EQ(Files{}, tree.files());
}

// Each pattern takes the whole tree before the next one; a directory on the line serves
// every pattern of the line. The summary's total is grouped from five digits on.
TEST(Deletion, LineDirectoryServesEveryPattern) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("a.res");
    tree.file("src/b.obj", 12000);
    tree.file("src/b.res", 345);
    tree.file("src/deep/c.res");
    ChildResult run = run_tool({native_relative("src/*.obj;*.res")}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("src/b.obj")) + deleting(tree.native("src/b.res")) +
                  deleting(tree.native("src/deep/c.res")) + summary(3, 0, "12,345"),
              run.output);
    EXPECT_EQ((Files{"a.obj", "a.res"}), tree.files());
}

TEST(Deletion, PatternMatchingNothingEndsAfterTheMessage) {
    TempTree tree;
    tree.file("a.obj");
    ChildResult run = run_tool({"*.zzz;*.yyy"}, tree.path(), "y");
    EXPECT_EQ(3, run.exit_code);
    EXPECT_EQ(banner + no_match(tree.native("*.zzz")) + no_match(tree.native("*.yyy")), run.output);
    EXPECT_EQ(Files{"a.obj"}, tree.files());
}

// Answers the prompt that a pattern matching nothing brings up.
void expect_prompt_answer(const char* answer, bool proceeds) {
    TempTree tree;
    tree.file("a.obj", 1234);
    ChildResult run = run_tool({"*.obj;*.zzz"}, tree.path(), answer);
    std::string expected = banner + no_match(tree.native("*.zzz")) + prompt;
    if (proceeds) expected += "\r\n\r\n" + deleting(tree.native("a.obj")) + summary(1, 0, "1234");
    EXPECT_EQ(proceeds ? 0 : 3, run.exit_code) << '[' << answer << ']';
    EXPECT_EQ(expected, run.output) << '[' << answer << ']';
    EXPECT_EQ(proceeds ? Files{} : Files{"a.obj"}, tree.files()) << '[' << answer << ']';
}

TEST(Prompt, YesProceeds) { expect_prompt_answer("y", true); }

TEST(Prompt, AnythingButYesDeclines) { expect_prompt_answer("n", false); }

// An Escape already waiting when the loop starts stops it after the first file, when
// each file is told before it is done (one thread).
TEST(Keys, EscapeStopsAfterTheFileInProgress) {
    EnvironmentGuard one_thread("RUBO_THREADS", "1");
    TempTree tree;
    tree.file("a.obj", 1);
    tree.file("s/b.obj", 2);
    ChildResult run = run_tool({"*.obj"}, tree.path(), "\x1b");
    EXPECT_EQ(5, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + "Aborted by user\r\n" + summary(1, 0, "3"), run.output);
    EXPECT_EQ(Files{"s/b.obj"}, tree.files());
}

#ifdef _WIN32
// ---- Windows: names compare without regard to case, and '/' separates too.

TEST(WindowsDeletion, SameFileInOtherCaseIsADuplicate) {
    TempTree tree;
    tree.file("a.obj", 7);
    tree.file("s/b.obj", 3);
    ChildResult run = run_tool({"*.obj;*.OBJ"}, tree.path(), "Y");
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + duplicate(tree.native("a.obj")) + duplicate(tree.native("s/b.obj")) + prompt + "\r\n\r\n" +
                  deleting(tree.native("a.obj")) + deleting(tree.native("s/b.obj")) + summary(2, 0, "20"),
              run.output);
    EXPECT_EQ(Files{}, tree.files());
}

TEST(WindowsDeletion, ForwardSlashSeparatesTheLineDirectory) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("src/b.obj", 4);
    ChildResult run = run_tool({"src/*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("src/b.obj")) + summary(1, 0, "4"), run.output);
    EXPECT_EQ(Files{"a.obj"}, tree.files());
}

// A file held open without sharing its deletion cannot be deleted; the run goes on.
TEST(WindowsDeletion, FileInUseFails) {
    TempTree tree;
    tree.file("a.obj", 1);
    tree.file("s/b.obj", 2);
    HANDLE held = CreateFileA(tree.native("a.obj").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ChildResult run = run_tool({"*.obj"}, tree.path());
    CloseHandle(held);
    EXPECT_EQ(4, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj"), false) + deleting(tree.native("s/b.obj")) + summary(1, 1, "3"),
              run.output);
    EXPECT_EQ(Files{"a.obj"}, tree.files());
}

#else
// ---- POSIX: names are exact, directories list in bytewise name order.

TEST(PosixDeletion, EntriesInBytewiseOrderSubdirectoriesDepthFirst) {
    TempTree tree;
    for (const char* name :
         {"b.obj", "a.obj", "B.obj", "s2/e.obj", "s1/deep/d.obj", "s1/c.obj", "S0/z.obj", "keep.txt"})
        tree.file(name, 1);
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    std::string expected = banner;
    for (const char* name : {"B.obj", "a.obj", "b.obj", "S0/z.obj", "s1/c.obj", "s1/deep/d.obj", "s2/e.obj"})
        expected += deleting(tree.native(name));
    EXPECT_EQ(expected + summary(7, 0, "7"), run.output);
    EXPECT_EQ(Files{"keep.txt"}, tree.files());
}

TEST(PosixDeletion, PatternsInTurnEachOverTheWholeTree) {
    TempTree tree;
    for (const char* name : {"a.obj", "a.res", "s/b.obj", "s/b.res", "s/keep.c"}) tree.file(name, 2);
    ChildResult run = run_tool({"*.obj;*.res"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + deleting(tree.native("s/b.obj")) +
                  deleting(tree.native("a.res")) + deleting(tree.native("s/b.res")) + summary(4, 0, "8"),
              run.output);
    EXPECT_EQ(Files{"s/keep.c"}, tree.files());
}

TEST(PosixDeletion, AbsoluteLineDirectory) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("src/b.obj", 1);
    tree.file("src/t/c.obj", 1);
    ChildResult run = run_tool({tree.native("src/*.obj")}, "/");
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("src/b.obj")) + deleting(tree.native("src/t/c.obj")) + summary(2, 0, "2"),
              run.output);
    EXPECT_EQ(Files{"a.obj"}, tree.files());
}

TEST(PosixPrompt, OnlyLowerOrUpperYProceeds) {
    expect_prompt_answer("Y", true);
    for (const char* answer : {"", "\r", "\n", "e", "\x1b", "\x03", "Z", "N"}) expect_prompt_answer(answer, false);
}

// The same file named twice is listed once; its size counts for every naming.
TEST(PosixDeletion, DuplicatesAreDeletedOnceAndCountedTwice) {
    TempTree tree;
    tree.file("a.obj", 100);
    tree.file("s/b.obj", 10);
    ChildResult run = run_tool({"*.obj;*.obj"}, tree.path(), "y");
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + duplicate(tree.native("a.obj")) + duplicate(tree.native("s/b.obj")) + prompt + "\r\n\r\n" +
                  deleting(tree.native("a.obj")) + deleting(tree.native("s/b.obj")) + summary(2, 0, "220"),
              run.output);
}

TEST(PosixDeletion, NamesDifferingInCaseAreDifferentFiles) {
    TempTree tree;
    tree.file("a.o", 1);
    tree.file("A.o", 2);
    tree.file("A.O", 4);
    ChildResult run = run_tool({"a.o;A.o"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.o")) + deleting(tree.native("A.o")) + summary(2, 0, "3"), run.output);
    EXPECT_EQ(Files{"A.O"}, tree.files());
}

// Keys other than Escape and Ctrl+C are swallowed; the run goes on.
TEST(PosixKeys, OtherKeysAreIgnored) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("b.obj");
    tree.file("c.obj");
    ChildResult run = run_tool({"*.obj"}, tree.path(), "xq\r");
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + deleting(tree.native("b.obj")) +
                  deleting(tree.native("c.obj")) + summary(3, 0, "0"),
              run.output);
}

TEST(PosixKeys, CtrlCByteStopsLikeEscape) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("b.obj");
    ChildResult run = run_tool({"*.zzz;*.obj"}, tree.path(), "yz\x03");
    EXPECT_EQ(5, run.exit_code);
    EXPECT_EQ(banner + no_match(tree.native("*.zzz")) + prompt + "\r\n\r\n" + deleting(tree.native("a.obj")) +
                  deleting(tree.native("b.obj")) + "Aborted by user\r\n" + summary(2, 0, "0"),
              run.output);
}

// Links are never followed into another directory; a link that matches is deleted as a
// link and what it points to stays.
TEST(PosixDeletion, LinksAreNeverFollowed) {
    TempTree tree;
    TempTree outside;
    outside.file("far.obj");
    tree.file("real/x.obj", 3);
    tree.file("keep/target.txt", 50);
    ASSERT_EQ(0, symlink(outside.path().c_str(), tree.native("out").c_str()));
    ASSERT_EQ(0, symlink(tree.native("real").c_str(), tree.native("again").c_str()));
    ASSERT_EQ(0, symlink(tree.native("keep/target.txt").c_str(), tree.native("link.obj").c_str()));
    ASSERT_EQ(0, symlink("nowhere", tree.native("dangling.obj").c_str()));
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("dangling.obj")) + deleting(tree.native("link.obj")) +
                  deleting(tree.native("real/x.obj")) + summary(3, 0, "3"),
              run.output);
    EXPECT_EQ((Files{"again", "keep/target.txt", "out"}), tree.files());
    EXPECT_EQ(Files{"far.obj"}, outside.files());
}
// With output thrown away the reports wait in the buffer, and the run is the same: the
// keys are still read between files (the Escape stops it after the first) and the exit
// code tells how it ended.
TEST(PosixDeletion, OutputToTheNullDeviceChangesNothingButTheWrites) {
    EnvironmentGuard one_thread("RUBO_THREADS", "1");
    TempTree tree;
    for (const std::string& keys : {std::string(), std::string("\x1b")}) {
        tree.file("a.obj", 1);
        tree.file("s/b.obj", 2);
        tree.file("keep.txt");
        ProgramRun run{tool_path(), {"*.obj"}, keys, tree.path()};
        run.prepare = [] {
            const int null_device = open("/dev/null", O_WRONLY);
            if (null_device < 0 || dup2(null_device, STDOUT_FILENO) < 0) _exit(125);
        };
        const ChildResult result = run_program(run);
        EXPECT_EQ(keys.empty() ? 0 : 5, result.exit_code);
        EXPECT_EQ(keys.empty() ? Files{"keep.txt"} : (Files{"keep.txt", "s/b.obj"}), tree.files());
    }
}

#endif

}  // namespace
}  // namespace rubo::test
