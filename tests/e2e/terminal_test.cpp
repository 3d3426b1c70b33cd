// The tool at a terminal: the prompt, the abort keys during the deletion loop, and the
// terminal's settings given back at every end.

#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/terminal.h"
#include "tests/e2e/tool_run.h"

namespace rubo::test {
namespace {

using Files = std::vector<std::string>;

// A run at a terminal that waits at the prompt, brought up by a pattern that matches
// nothing beside one that matches the tree's .obj files.
class AtPrompt : public ::testing::Test {
protected:
    void reach_prompt() {
        run = std::make_unique<TerminalRun>(tool_path(), std::vector<std::string>{"*.zzz;*.obj"}, tree.path());
        ASSERT_TRUE(run->started());
        ASSERT_TRUE(run->wait_for_output(prompt));
    }
    // What the run has written up to the prompt.
    std::string up_to_prompt() const { return banner + no_match(tree.native("*.zzz")) + prompt; }

    TempTree tree;
    std::unique_ptr<TerminalRun> run;
};

TEST_F(AtPrompt, EscapeAfterYesStopsAfterTheFirstFile) {
    tree.file("a.obj", 5);
    tree.file("b.obj", 6);
    tree.file("s/c.obj", 7);
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    run->type("y\x1b");
    ChildResult result = run->finish();
    EXPECT_EQ(5, result.exit_code);
    EXPECT_EQ(up_to_prompt() + "\r\n\r\n" + deleting(tree.native("a.obj")) + "Aborted by user\r\n" + summary(1, 0, "18"),
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

// Ctrl+C is a signal at a terminal. The run is held up on its full output pipe until
// the signal has been sent, so it cannot finish first; it stops after the file in
// progress, and exactly the files it reported are gone.
TEST(Terminal, CtrlCStopsTheRunBetweenFiles) {
    TempTree tree;
    constexpr int total = 6000;
    std::vector<std::string> names;
    for (int i = 0; i < total; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.obj", i);
        names.push_back(name);
        tree.file(name);
    }
    TerminalRun run(tool_path(), {"*.obj"}, tree.path());
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_key_mode());
    run.type("\x03");
    ChildResult result = run.finish();
    EXPECT_EQ(5, result.exit_code);

    std::string expected = banner;
    int deleted = 0;
    for (; deleted < total; ++deleted) {
        std::string line = deleting(tree.native(names[static_cast<std::size_t>(deleted)]));
        if (result.output.compare(expected.size(), line.size(), line) != 0) break;
        expected += line;
    }
    EXPECT_GE(deleted, 1);
    EXPECT_LT(deleted, total);
    EXPECT_EQ(expected + "Aborted by user\r\n" + summary(deleted, 0, "0"), result.output);
    Files left(names.begin() + deleted, names.end());
    EXPECT_EQ(left, tree.files());
    EXPECT_TRUE(run.line_editing());
}

}  // namespace
}  // namespace rubo::test

#endif
