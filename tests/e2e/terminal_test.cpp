// The tool at a terminal: the prompt, the abort keys during the deletion loop, and the
// terminal's settings given back at every end.

#ifndef _WIN32

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/terminal.h"
#include "tests/e2e/tool_run.h"

namespace rubo::test {
namespace {

using Files = std::vector<std::string>;

TEST_F(AtPrompt, EscapeAfterYesStopsAfterTheFirstFile) {
    EnvironmentGuard one_thread("RUBO_THREADS", "1");
    tree.file("a.obj", 5);
    tree.file("b.obj", 6);
    tree.file("s/c.obj", 7);
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    run->type("y\x1b");
    ChildResult result = run->finish();
    EXPECT_EQ(5, result.exit_code);
    EXPECT_EQ(
        up_to_prompt() + "\r\n\r\n" + deleting(tree.native("a.obj")) + "Aborted by user\r\n" + summary(1, 0, "18"),
        result.output);
    EXPECT_EQ((Files{"b.obj", "s/c.obj"}), tree.files());
    EXPECT_TRUE(run->line_editing());
}

TEST_F(AtPrompt, DeclinedPromptGivesTheTerminalBack) {
    tree.file("a.obj");
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    run->type("\r");
    ChildResult result = run->finish();
    EXPECT_EQ(3, result.exit_code);
    EXPECT_EQ(up_to_prompt(), result.output);
    EXPECT_EQ(Files{"a.obj"}, tree.files());
    EXPECT_TRUE(run->line_editing());
}

// A failure that the superuser meets as well: between the prompt and the answer, a
// listed file is replaced by a directory of the same name. Its deletion fails, the
// directory and its content stay, and the run goes on with the next file.
TEST_F(AtPrompt, FailedDeletionIsCountedAndTheRunGoesOn) {
    tree.file("a.obj", 1);
    tree.file("b.obj", 2);
    tree.file("c.obj", 4);
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    std::filesystem::remove(tree.native("b.obj"));
    tree.file("b.obj/inner.txt");
    run->type("Y");
    ChildResult result = run->finish();
    EXPECT_EQ(4, result.exit_code);
    EXPECT_EQ(up_to_prompt() + "\r\n\r\n" + deleting(tree.native("a.obj")) + deleting(tree.native("b.obj"), false) +
                  deleting(tree.native("c.obj")) + summary(2, 1, "7"),
              result.output);
    EXPECT_EQ(Files{"b.obj/inner.txt"}, tree.files());
}

// A path as a terminal shows it.
std::string shown(std::string path) {
    for (char& c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return path;
}

// Ctrl+C is a signal at a terminal. The run writes to the terminal too and is held up
// there, its output unread, until the signal has been sent, so it cannot finish first;
// it stops after the files in progress (one, or with workers those in their hands),
// exactly the files it reported are gone, and no line it wrote is lost to the
// interrupt. Names that hold control bytes come first and show them as '?'.
void stop_with_ctrl_c() {
    TempTree tree;
    constexpr int total = 6000;
    std::vector<std::string> names{"a\x1b[2J\x1b[1;1Hb.obj", "c\nDeleting d.obj"};
    for (const std::string& name : names) tree.file(name);
    for (int i = 2; i < total; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.obj", i);
        names.push_back(name);
        tree.file(name);
    }
    TerminalRun run(tool_path(), {"*.obj"}, tree.path(), {.output_at_terminal = true});
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_output("Deleting "));
    ASSERT_TRUE(run.wait_for_full_output());
    run.type("\x03");
    ChildResult result = run.finish();
    EXPECT_EQ(5, result.exit_code);

    std::string expected = banner;
    int deleted = 0;
    for (; deleted < total; ++deleted) {
        std::string line = deleting(shown(tree.native(names[static_cast<std::size_t>(deleted)])));
        if (result.output.compare(expected.size(), line.size(), line) != 0) break;
        expected += line;
    }
    EXPECT_GE(deleted, 3);
    EXPECT_LT(deleted, total);
    EXPECT_EQ(expected + "Aborted by user\r\n" + summary(deleted, 0, "0"), result.output);
    Files left(names.begin() + deleted, names.end());
    EXPECT_EQ(left, tree.files());
    EXPECT_TRUE(run.line_editing());
}

TEST(Terminal, CtrlCStopsTheRunBetweenFilesAndKeepsEveryLine) {
    for (const char* threads : {"1", "4"}) {
        EnvironmentGuard setting("RUBO_THREADS", threads);
        stop_with_ctrl_c();
    }
}

// Keys pressed while the search runs, held at its end by the test build of the tool.
// Ctrl+C and Escape stop the run before the first file; an arrow key is one key press
// that stops nothing.
TEST(Terminal, AbortKeysPressedDuringTheSearchStopTheRunBeforeTheFirstFile) {
    enum Press { CTRL_C, ESCAPE, ARROW };
    for (Press press : {CTRL_C, ESCAPE, ARROW}) {
        SCOPED_TRACE(press);
        TempTree tree;
        tree.file("a.obj", 3);
        tree.file("s/b.obj", 4);
        tree.file("hold");
        TerminalRun run(tool_path() + "_fault", {"*.obj"}, tree.path(),
                        {.environment = {"RUBO_HOLD_SEARCH=" + tree.native("hold")}});
        ASSERT_TRUE(run.started());
        ASSERT_TRUE(run.wait_for_key_mode());
        if (press == CTRL_C) {
            kill(run.pid(), SIGINT);  // pending before the hold ends, so handled before
        } else {
            run.type(press == ESCAPE ? "\x1b" : "\x1b[A");
            ASSERT_TRUE(run.wait_for_unread_keys());
        }
        std::filesystem::remove(tree.native("hold"));
        ChildResult result = run.finish();
        if (press == ARROW) {
            EXPECT_EQ(0, result.exit_code);
            EXPECT_EQ(Files{}, tree.files());
        } else {
            EXPECT_EQ(5, result.exit_code);
            EXPECT_EQ(banner + std::string("Aborted by user\r\n") + summary(0, 0, "7"), result.output);
            EXPECT_EQ((Files{"a.obj", "s/b.obj"}), tree.files());
        }
        EXPECT_TRUE(run.line_editing());
    }
}

// With standard output going to a file or a pipe, a person at the terminal sees the
// problems and the question on standard error, a control byte shown as '?' there and
// kept in the output.
TEST(Terminal, QuestionIsShownOnStandardErrorWhenOutputGoesElsewhere) {
    TempTree tree;
    tree.file("a.obj", 5);
    TerminalRun run(tool_path(), {"*.z\x01z;*.obj"}, tree.path(), {.error_at_terminal = true});
    ASSERT_TRUE(run.started());
    const std::string asked = no_match(tree.native("*.z?z")) + prompt;
    ASSERT_TRUE(run.wait_for_terminal(asked));
    run.type("y");
    ChildResult result = run.finish();
    EXPECT_EQ(0, result.exit_code);
    EXPECT_EQ(banner + no_match(tree.native("*.z\x01z")) + prompt + "\r\n\r\n" + deleting(tree.native("a.obj")) +
                  summary(1, 0, "5"),
              result.output);
    EXPECT_TRUE(run.wait_for_terminal(asked + "\r\n"));
    EXPECT_EQ(asked + "\r\n", run.shown());
}

// A long search (the test build shows its status line at once) keeps one status line on
// a terminal's standard error and erases it before anything else; standard output gets
// the same bytes as without a terminal, and standard error elsewhere nothing at all.
TEST(Terminal, StatusLineOfALongSearchIsErasedAndChangesNoOutput) {
    TempTree tree;
    for (int i = 10; i < 50; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%d/a.obj", i);
        tree.file(name);
    }
    const std::string fault_tool = tool_path() + "_fault";
    TerminalRun run(fault_tool, {"-n", "*.obj"}, tree.path(),
                    {.error_at_terminal = true, .environment = {"RUBO_PROGRESS_AFTER=0"}});
    ASSERT_TRUE(run.started());
    const std::string first = "\rSearching... 15 files listed in 16 directories";
    std::string erased(first.size() + 1, ' ');  // a carriage return, blanks over the line, another
    erased.front() = erased.back() = '\r';
    ASSERT_TRUE(run.wait_for_terminal(erased));
    ChildResult result = run.finish();
    EXPECT_EQ(0u, run.shown().find(first));
    EXPECT_EQ(run.shown().size() - erased.size(), run.shown().find(erased));

    ChildResult elsewhere =
        run_program({fault_tool, {"-n", "*.obj"}, "", tree.path(), [] { setenv("RUBO_PROGRESS_AFTER", "0", 1); }});
    EXPECT_EQ(0, result.exit_code);
    EXPECT_EQ(elsewhere.output, result.output);
    EXPECT_EQ("", elsewhere.errors);
    EXPECT_EQ(40u, tree.files().size());
}

// A run that dies of a stack overflow (the test build recurses without end once it holds
// the console) gives the terminal back all the same, and still dies of the signal.
TEST(Terminal, StackOverflowGivesTheTerminalBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer gives the thread a signal stack of its own and ends the run with its report";
#endif
    TempTree tree;
    TerminalRun run(tool_path() + "_fault", {"*.obj"}, tree.path(), {.environment = {"RUBO_OVERFLOW_STACK=1"}});
    ASSERT_TRUE(run.started());
    EXPECT_EQ(128 + SIGSEGV, run.finish().exit_code);
    EXPECT_TRUE(run.line_editing());
}

// Started in the background, the run leaves the terminal alone, is not stopped for it
// and reads no keys: the prompt is declined.
TEST_F(AtPrompt, BackgroundRunIsNeverStoppedAndDeclinesThePrompt) {
    tree.file("a.obj");
    TerminalRun run(tool_path(), {"*.zzz;*.obj"}, tree.path(), {.background = true});
    ASSERT_TRUE(run.started());
    ChildResult result = run.finish();
    EXPECT_EQ(3, result.exit_code);
    EXPECT_EQ(up_to_prompt(), result.output);
    EXPECT_EQ(Files{"a.obj"}, tree.files());
    EXPECT_TRUE(run.line_editing());
}

}  // namespace
}  // namespace rubo::test

#endif
