// The argument as the tool takes it: usage, quotes, empty and odd arguments.

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/tool_run.h"

namespace rubo::test {
namespace {

const std::string usage_output = std::string(banner) + usage;

TEST(Usage, HelpRequestShowsUsageOnly) {
    TempTree tree;
    tree.file("a.obj");
    ChildResult run = run_tool({"/?"}, tree.path());
    EXPECT_EQ(2, run.exit_code);
    EXPECT_EQ(usage_output, run.output);
    EXPECT_TRUE(tree.exists("a.obj"));
}

TEST(Usage, HelpAndVersionEndWithSuccess) {
    TempTree tree;
    tree.file("a.obj");
    for (const char* request : {"--help", "-h"}) {
        ChildResult run = run_tool({request}, tree.path());
        EXPECT_EQ(0, run.exit_code) << request;
        EXPECT_EQ(0u, run.output.find(usage_output)) << request;
        for (const char* told : {"\r\n  -n, --dry-run, /n ", "\r\n  --version ", "./--help", "\r\n  5  stopped"})
            EXPECT_NE(std::string::npos, run.output.find(told)) << request << ": " << told;
    }
    ChildResult run = run_tool({"--version"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
#ifdef _WIN32
    EXPECT_EQ("rubo 1.1\nbackend: Win32\n", run.output);
#else
    EXPECT_EQ("rubo 1.1\nbackend: POSIX\n", run.output);
#endif
    EXPECT_TRUE(tree.exists("a.obj"));
}

// A request's name given with a directory, and a dry run's option alone, are
// specifications as ever; an option before more than one argument, or an option that
// is none, shows the usage text.
TEST(Usage, OptionsCountOnlyInTheirPlaces) {
    TempTree tree;
    for (const char* name : {"--help", "-n", "--version"}) tree.file(name);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-n", "-n", "x"}, std::vector<std::string>{"-x", "-n"},
          std::vector<std::string>{"--help", "-n"}, std::vector<std::string>{"-n", "--dry-run", "-n"}}) {
        ChildResult run = run_tool(arguments, tree.path());
        EXPECT_EQ(2, run.exit_code) << arguments[0];
        EXPECT_EQ(usage_output, run.output) << arguments[0];
    }
    for (const char* argument : {"-n", "./--help", "./--version"}) {
        ChildResult run = run_tool({argument}, tree.path());
        EXPECT_EQ(0, run.exit_code) << argument;
        EXPECT_EQ(banner + deleting(tree.native(argument)) + summary(1, 0, "0"), run.output) << argument;
    }
    EXPECT_EQ(std::vector<std::string>{}, tree.files());
}

TEST(Arguments, EnclosingQuotesAreStripped) {
    TempTree tree;
    tree.file("a.obj", 3);
    tree.file("b.res");
    ChildResult run = run_tool({"\"*.obj\""}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + summary(1, 0, "3"), run.output);
    EXPECT_EQ(std::vector<std::string>{"b.res"}, tree.files());
}

#ifndef _WIN32
TEST(Usage, WrongArgumentCountShowsUsageAndDeletesNothing) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("a.res");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, std::vector<std::string>{"*.obj", "*.res"}}) {
        ChildResult run = run_tool(arguments, tree.path(), "y");
        EXPECT_EQ(2, run.exit_code);
        EXPECT_EQ(usage_output, run.output);
    }
    EXPECT_EQ((std::vector<std::string>{"a.obj", "a.res"}), tree.files());
}

TEST(Usage, OtherHelpSpellingsAreSpecifications) {
    TempTree tree;
    ChildResult run = run_tool({"-?"}, tree.path());
    EXPECT_EQ(3, run.exit_code);
    EXPECT_EQ(banner + no_match(tree.native("-?")), run.output);
}

TEST(Arguments, InnerQuotesStay) {
    TempTree tree;
    tree.file("a\"b.obj");
    tree.file("ab.obj");
    ChildResult run = run_tool({"a\"b.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a\"b.obj")) + summary(1, 0, "0"), run.output);
    EXPECT_EQ(std::vector<std::string>{"ab.obj"}, tree.files());
}

// Arguments that name no pattern at all reach the summary with nothing done.
TEST(Arguments, NothingSpecifiedReachesAnEmptySummary) {
    TempTree tree;
    tree.file("a.obj");
    for (const char* argument : {"", "\"", "\"\"", ";;;", "   ", " ; ; ", "\t", " /s", "; /S;", "sub/ /s"}) {
        ChildResult run = run_tool({argument}, tree.path());
        EXPECT_EQ(0, run.exit_code) << '[' << argument << ']';
        EXPECT_EQ(banner + summary(0, 0, "0"), run.output) << '[' << argument << ']';
    }
    EXPECT_TRUE(tree.exists("a.obj"));
}

// A bare recursion suffix first in a line names no file, whatever blank comes before it:
// were it taken as the absolute pattern "/s", the tree's own "s" would be listed twice
// and the duplicate would bring up the prompt (which "n" declines, so nothing else goes).
TEST(Arguments, BareRecursionSuffixFirstInALineNamesNoFile) {
    for (const char* argument : {" /s;s", "\t/S;s", "q\n /s;s", " /s ; /s;s"}) {
        TempTree tree;
        tree.file("q");
        tree.file("s", 3);
        ChildResult run = run_tool({argument}, tree.path(), "n");
        const bool two_lines = argument[0] == 'q';
        EXPECT_EQ(0, run.exit_code) << '[' << argument << ']';
        EXPECT_EQ(banner + (two_lines ? deleting(tree.native("q")) : "") + deleting(tree.native("s")) +
                      summary(two_lines ? 2 : 1, 0, "3"),
                  run.output)
            << '[' << argument << ']';
    }
}

// Format directives in a pattern are plain text in every message and path.
TEST(Arguments, PercentSignsArePlainText) {
    TempTree tree;
    tree.file("100%s.obj", 2);
    ChildResult run = run_tool({"%s%n%d%%;100%s.obj"}, tree.path(), "y");
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + no_match(tree.native("%s%n%d%%")) + prompt + "\r\n\r\n" + deleting(tree.native("100%s.obj")) +
                  summary(1, 0, "2"),
              run.output);
}

TEST(Arguments, BytesAbove127AreNameBytes) {
    TempTree tree;
    const std::string name = "\xe9t\xe9\xff.obj";
    tree.file(name, 1);
    tree.file("ete.obj");
    ChildResult run = run_tool({"\xe9t\xe9?.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native(name)) + summary(1, 0, "1"), run.output);
    EXPECT_EQ(std::vector<std::string>{"ete.obj"}, tree.files());
}

// A pattern far longer than any file name is reported whole; the message is not cut.
TEST(Arguments, LongPatternIsReportedWhole) {
    TempTree tree;
    const std::string piece(64 * 1024, 'a');
    ChildResult run = run_tool({piece}, tree.path());
    EXPECT_EQ(3, run.exit_code);
    EXPECT_EQ(banner + no_match(tree.native(piece)), run.output);
}

// Quotes in odd places and separators of every kind never end the process abnormally
// (none of these names a file of the tree).
TEST(Arguments, OddArgumentsEndNormally) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("sub/b.obj");
    for (const char* argument :
         {"\"*.zzz", "*.zzz\"", "\"\"*.zzz\"\"", "sub/", "sub//*.zzz", "*.zzz /s /s", " /s", "\r\n", "\n\n;\r", "?",
          "*.zzz;\"", "\\", "C:*.zzz", "..", ".", "sub/.", "\"\"\"", "*.zzz\"\"*.zzz"}) {
        ChildResult run = run_tool({argument}, tree.path());
        EXPECT_TRUE(run.exit_code == 0 || run.exit_code == 3) << '[' << argument << "] " << run.exit_code;
        EXPECT_EQ(0u, run.output.rfind(banner, 0)) << '[' << argument << ']';
    }
    EXPECT_EQ((std::vector<std::string>{"a.obj", "sub/b.obj"}), tree.files());
}
#endif

}  // namespace
}  // namespace rubo::test
