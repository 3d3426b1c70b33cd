#include "resolve/resolver.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/iterator.h"
#include "core/list.h"
#include "platform/platform.h"
#include "tests/support/current_directory_guard.h"
#include "tests/support/temp_tree.h"

namespace rubo::test {
namespace {

using Paths = std::vector<std::string>;

struct Resolved {
    Paths files;
    std::string problems;
    std::vector<std::int32_t> lines;
    std::int64_t total = -1;
};

Resolved resolve(const char* specification, const char* default_directory, std::uint32_t flags) {
    PathList files;
    String problems("left from before");
    List<std::int32_t> lines;
    lines.append(99);
    std::int64_t total = -1;
    resolve_file_spec(specification, files, default_directory, &problems, &lines, &total, flags);
    Resolved out;
    for (const String& path : files) out.files.emplace_back(path.text());
    for (Iterator<std::int32_t> walk(&lines); walk.next();) out.lines.push_back(*walk.element);
    out.problems = problems.text();
    out.total = total;
    return out;
}

std::string message(const std::string& piece, const char* closing, int line = 0) {
    return "The file specification \"" + piece + "\" " + (line > 0 ? "on line " + std::to_string(line) + " " : "") +
           closing;
}
const char no_match[] = "did not match any files.\r\n";
const char not_absolute[] = "is not an absolute path.\r\n";

std::string duplicate(const std::string& path) { return "The file '" + path + "' occurs more than once.\r\n"; }

// Every directory holds one match per pattern at most, so the order is the same
// whatever order the platform lists a directory in.
class ResolverTree : public ::testing::Test {
protected:
    void SetUp() override {
        tree.file("a.obj", 1);
        tree.file("a.res", 10);
        tree.file("src/b.obj", 100);
        tree.file("src/b.res", 1000);
        tree.file("src/deep/c.res", 10000);
    }
    Paths natives(const Paths& relatives) const { return tree.natives(relatives); }
    Resolved run(const std::string& specification, std::uint32_t flags = WALK_RECURSE) {
        return resolve(specification.c_str(), tree.path().c_str(), flags);
    }
    TempTree tree;
};

TEST_F(ResolverTree, PatternsInTurnEachOverTheWholeTree) {
    const Resolved got = run("*.obj;*.res");
    EXPECT_EQ(natives({"a.obj", "src/b.obj", "a.res", "src/b.res", "src/deep/c.res"}), got.files);
    EXPECT_EQ("", got.problems);
    EXPECT_EQ((std::vector<std::int32_t>{0, 0, 0, 0, 0}), got.lines);
    EXPECT_EQ(11111, got.total);
}

TEST_F(ResolverTree, LineDirectoryServesEveryPatternOfTheLine) {
    EXPECT_EQ(natives({"src/b.obj", "src/b.res", "src/deep/c.res"}), run(native_relative("src/*.obj;*.res")).files);
    EXPECT_EQ(natives({"src/b.obj"}), resolve(tree.native("src/*.obj").c_str(), "", WALK_RECURSE).files);
}

TEST_F(ResolverTree, EmptyAndBlankPiecesAreSkippedSilently) {
    for (const char* specification :
         {"*.obj;;*.res", "*.obj; ;*.res;", ";*.obj;\t;*.res;;", "  *.obj ; *.res  ", "*.obj; /s;*.res; /S ",
          // A bare recursion suffix first in a line, before the line is trimmed.
          " /s;*.obj;*.res", "\t/S;*.obj;*.res", "*.obj\n /s;*.res", " /s ; /s\r\n*.obj;*.res"}) {
        const Resolved got = resolve(specification, tree.path().c_str(), WALK_RECURSE);
        EXPECT_EQ(natives({"a.obj", "src/b.obj", "a.res", "src/b.res", "src/deep/c.res"}), got.files) << specification;
        EXPECT_EQ("", got.problems) << specification;
    }
}

// A bare recursion suffix is no absolute path to a file named "s" at the root.
TEST_F(ResolverTree, BareRecursionSuffixNamesNoFile) {
    for (const std::string& specification :
         {std::string(" /s"), std::string(" /S \r\n  /s"), tree.native("src/") + " /s"}) {
        const Resolved got = resolve(specification.c_str(), tree.path().c_str(), WALK_RECURSE);
        EXPECT_EQ(Paths{}, got.files) << specification;
        EXPECT_EQ("", got.problems) << specification;
    }
}

TEST_F(ResolverTree, OnlyTheWalkFlagsReachTheWalk) {
    EXPECT_EQ(natives({"a.obj"}), run("*.obj", WALK_NAMES_ONLY).files);
    EXPECT_EQ(natives({"src"}), run("src", WALK_DIRECTORIES).files);
    EXPECT_EQ(Paths{}, run("src", WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS).files);
}

TEST_F(ResolverTree, PatternMatchingNothingIsReportedWithItsFullForm) {
    const Resolved got = run("*.zzz");
    EXPECT_EQ(Paths{}, got.files);
    EXPECT_EQ(message(tree.native("*.zzz"), no_match, 1), got.problems);
    EXPECT_EQ(0, got.total);
    EXPECT_EQ(message(tree.native("*.zzz") + " /s", no_match), run("*.zzz /s", RESOLVE_NO_LINE_NUMBERS).problems);
}

// Lines are numbered from 1, empty ones included; "\r\n" and "\n\r" end one line.
TEST_F(ResolverTree, LinesAreNumberedAndEveryFileKeepsItsLine) {
    const Resolved got = run("*.zzz\r\n*.obj\n\n*.res\n\r*.yyy\r*.obj");
    EXPECT_EQ(natives({"a.obj", "src/b.obj", "a.res", "src/b.res", "src/deep/c.res"}), got.files);
    EXPECT_EQ((std::vector<std::int32_t>{1, 1, 3, 3, 3}), got.lines);
    EXPECT_EQ(message(tree.native("*.zzz"), no_match, 1) + message(tree.native("*.yyy"), no_match, 5) +
                  duplicate(tree.native("a.obj")) + duplicate(tree.native("src/b.obj")),
              got.problems);
    EXPECT_EQ(11212, got.total);
}

TEST_F(ResolverTree, DuplicatesAreListedOnceAndCountedEachTime) {
#ifdef _WIN32
    const char* twice = "*.obj;*.OBJ";
#else
    const char* twice = "*.obj;*.obj";
#endif
    Resolved got = run(twice, WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS);
    EXPECT_EQ(natives({"a.obj", "src/b.obj"}), got.files);
    EXPECT_EQ(duplicate(tree.native("a.obj")) + duplicate(tree.native("src/b.obj")), got.problems);
    EXPECT_EQ(202, got.total);
    got = run(twice, WALK_RECURSE | RESOLVE_ALLOW_DUPLICATES);
    EXPECT_EQ(natives({"a.obj", "src/b.obj", "a.obj", "src/b.obj"}), got.files);
    EXPECT_EQ("", got.problems);
    EXPECT_EQ((std::vector<std::int32_t>{0, 0, 0, 0}), got.lines);
}

// Each run of listed paths lies in one directory and begins with the directory its pattern
// was searched in: the origin says how long that is and which directories the way down
// from there was; a piece whose paths were all dropped as duplicates leaves none behind.
TEST_F(ResolverTree, OriginsNameTheDirectoriesOnTheWayToEachRun) {
    PathList files;
    FileOrigins origins;
    origins.runs.append(FileOrigin{});
    const std::string specification = "*.obj;*.obj;*.zzz\n " + native_relative("src/*.res") + " /S";
    resolve_file_spec(specification.c_str(), files, tree.path().c_str(), nullptr, nullptr, nullptr, WALK_RECURSE,
                      &origins);
    std::vector<std::int32_t> got;
    std::vector<std::vector<platform::DirectoryIdentity>> ways;
    FlatVector<platform::DirectoryIdentity> levels;
    for (Iterator<FileOrigin> walk(&origins.runs); walk.next();) {
        got.insert(got.end(), {walk.element->files, walk.element->base_length});
        origins.levels(walk.element->directory, levels);
        ways.emplace_back();
        for (const platform::DirectoryIdentity& level : levels) ways.back().push_back(level);
    }
    const auto top = static_cast<std::int32_t>(tree.path().size());
    const auto src = static_cast<std::int32_t>(tree.native("src").size());
    EXPECT_EQ(4, files.count);
    EXPECT_EQ((std::vector<std::int32_t>{1, top, 1, top, 1, src, 1, src}), got);
    ASSERT_EQ(4u, ways.size());
    const std::vector<std::size_t> depths = {1, 2, 1, 2};
    for (std::size_t i = 0; i < ways.size(); ++i) {
        ASSERT_EQ(depths[i], ways[i].size()) << i;
        for (const platform::DirectoryIdentity& level : ways[i]) EXPECT_TRUE(level.known) << i;
    }
    EXPECT_TRUE(ways[0][0].same_as(ways[1][0]));  // the top
    EXPECT_TRUE(ways[1][1].same_as(ways[2][0]));  // src, below the top and searched itself
    EXPECT_FALSE(ways[0][0].same_as(ways[2][0]));
    EXPECT_FALSE(ways[3][0].same_as(ways[3][1]));
}

// The pieces of a line are searched together, but each piece's messages still come in
// its turn: a piece that matched nothing is reported after the duplicates of the
// pieces before it and before those of the pieces after it.
TEST_F(ResolverTree, MessagesOfALineComeInTheOrderOfItsPieces) {
    const Resolved got = run("*.obj;*.obj;*.zzz;*.res;*.res /s;*.yyy");
    EXPECT_EQ(natives({"a.obj", "src/b.obj", "a.res", "src/b.res", "src/deep/c.res"}), got.files);
    // With a line directory too.
    const Resolved src = run(native_relative("src/*.obj;*.zzz;*.res;*.obj"));
    EXPECT_EQ(natives({"src/b.obj", "src/b.res", "src/deep/c.res"}), src.files);
    EXPECT_EQ(message(tree.native("src/*.zzz"), no_match, 1) + duplicate(tree.native("src/b.obj")), src.problems);
    EXPECT_EQ(duplicate(tree.native("a.obj")) + duplicate(tree.native("src/b.obj")) +
                  message(tree.native("*.zzz"), no_match, 1) + duplicate(tree.native("a.res")) +
                  duplicate(tree.native("src/b.res")) + duplicate(tree.native("src/deep/c.res")) +
                  message(tree.native("*.yyy"), no_match, 1),
              got.problems);
    EXPECT_EQ(202 + 22020, got.total);
}

TEST_F(ResolverTree, DuplicatesOfEveryEarlierPieceAreCaught) {
    for (const char* specification : {"*.obj;*.res;a.o*;b.r*", "*.obj\n*.res\r\na.o*;b.r*"}) {
        const Resolved got = run(specification, WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS);
        EXPECT_EQ(natives({"a.obj", "src/b.obj", "a.res", "src/b.res", "src/deep/c.res"}), got.files);
        EXPECT_EQ(duplicate(tree.native("a.obj")) + duplicate(tree.native("src/b.res")), got.problems);
    }
}

TEST_F(ResolverTree, MissingDefaultDirectoryIsReportedFirst) {
    const std::string gone = tree.native("gone");
    const Resolved got = resolve("*.obj", gone.c_str(), WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS);
    EXPECT_EQ("The default directory \"" + gone + "\" does not exist.\r\n" +
                  message(gone + rubo::test::separator + "*.obj", no_match),
              got.problems);
    EXPECT_EQ(Paths{}, got.files);
}

// Without a default directory a pattern is only taken when it is absolute itself; a
// relative one is never searched relative to the process's current directory.
TEST_F(ResolverTree, WithoutDefaultDirectoryOnlyAbsolutePatternsAreTaken) {
    Resolved plain, relative;
    {
        const CurrentDirectoryGuard guard;
        std::filesystem::current_path(tree.path());
        plain = resolve("*.obj; a.res", "", WALK_RECURSE);
        relative = resolve(native_relative("src/*.obj").c_str(), nullptr, WALK_RECURSE);
    }
    EXPECT_EQ(Paths{}, plain.files);
    EXPECT_EQ(message("*.obj", not_absolute, 1) + message(" a.res", not_absolute, 1), plain.problems);
    EXPECT_EQ(Paths{}, relative.files);
    EXPECT_EQ(message("*.obj", not_absolute, 1), relative.problems);
}

TEST_F(ResolverTree, BlankSpecificationEmptiesOrIsReported) {
    for (const char* blank : {"", " \r\n\t ", static_cast<const char*>(nullptr)}) {
        Resolved got = resolve(blank, tree.native("gone").c_str(), WALK_RECURSE);
        EXPECT_EQ(Paths{}, got.files);
        EXPECT_EQ(std::vector<std::int32_t>{}, got.lines);
        EXPECT_EQ(0, got.total);
        EXPECT_EQ("The default directory \"" + tree.native("gone") + "\" does not exist.\r\n", got.problems);
        // Reported, the outputs other than the problem text stay as they were.
        got = resolve(blank, tree.native("gone").c_str(), WALK_RECURSE | RESOLVE_REPORT_EMPTY);
        EXPECT_EQ("No files were specified.\r\n", got.problems);
        EXPECT_EQ(std::vector<std::int32_t>{99}, got.lines);
        EXPECT_EQ(-1, got.total);
    }
}

TEST_F(ResolverTree, OptionalOutputsMayBeLeftOut) {
    PathList files;
    files.append(String("stale"));
    resolve_file_spec(native_relative("src/*.zzz;*.obj").c_str(), files, tree.path().c_str(), nullptr, nullptr, nullptr,
                      WALK_RECURSE);
    ASSERT_EQ(1, files.count);
    EXPECT_EQ(tree.native("src/b.obj"), files.at(0).text());
}

// A piece far longer than the formatting work area is reported whole.
TEST_F(ResolverTree, LongPieceIsReportedWhole) {
    const std::string piece(40000, 'q');
    EXPECT_EQ(message(tree.native(piece), no_match), run(piece, RESOLVE_NO_LINE_NUMBERS).problems);
}

// A recursive search from a root is reported first among its piece's messages. The root is
// reached through a missing directory (on Windows, a missing drive's): nothing is searched.
TEST_F(ResolverTree, SearchOfARootIsReportedFirst) {
#ifdef _WIN32
    std::string root = "Z:\\", piece = "Z:\\*.zzz";
    for (std::error_code error; std::filesystem::exists(root, error);) piece[0] = --root[0];
#else
    const std::string root = "/", piece = "/" + std::filesystem::path(tree.path()).filename().string() + "/../*.zzz";
#endif
    const std::string whole = "searches the whole of \"" + root + "\".\r\n";
    EXPECT_EQ(message(piece, whole.c_str(), 1) + message(piece, no_match, 1), run(piece).problems);
    EXPECT_EQ(message(piece + " /s", whole.c_str()) + message(piece + " /s", no_match),
              run(piece + " /s", RESOLVE_NO_LINE_NUMBERS).problems);
    EXPECT_EQ(message(piece, no_match), run(piece, RESOLVE_NO_LINE_NUMBERS).problems);
}

// Past its limit the problem text is its first whole messages and a count of the rest.
TEST_F(ResolverTree, ProblemTextPastItsLimitCountsWhatIsLeftOut) {
    const std::vector<std::string> messages = {
        duplicate(tree.native("a.obj")), duplicate(tree.native("src/b.obj")), message(tree.native("*.zzz"), no_match),
        duplicate(tree.native("a.res")), duplicate(tree.native("src/b.res")), duplicate(tree.native("src/deep/c.res"))};
    for (const auto& [kept, beyond] :
         {std::pair<std::size_t, std::size_t>{0, 0}, {2, messages[2].size() - 1}, {6, 0}}) {
        std::string expected;
        for (std::size_t i = 0; i < kept; ++i) expected += messages[i];
        set_problem_text_limit(static_cast<std::int64_t>(expected.size() + beyond));
        if (kept < 6) expected += std::to_string(6 - kept) + " more messages were left out.\r\n";
        EXPECT_EQ(expected, run("*.obj;*.obj;*.zzz;*.res;*.res", WALK_RECURSE | RESOLVE_NO_LINE_NUMBERS).problems);
    }
    set_problem_text_limit(-1);
}

// One file named through two spellings of its directory is one file, reported as a
// duplicate under the second spelling; two hard links of one file are two names, two files.
TEST(Resolver, OneFileUnderTwoSpellingsIsOneFile) {
    TempTree tree;
    tree.file("Longdirectoryname/a.obj", 3);
    tree.file("Longdirectoryname/linked.obj", 4);
    std::filesystem::create_hard_link(tree.native("Longdirectoryname/linked.obj"),
                                      tree.native("Longdirectoryname/hard.obj"));
    std::vector<std::string> spellings = {"Longdirectoryname/../Longdirectoryname/", "./Longdirectoryname/",
                                          "Longdirectoryname/./"};
#ifdef _WIN32
    spellings.push_back("LONGDIRECTORYNAME/");
    spellings.push_back("\\\\?\\" + tree.native("Longdirectoryname") + "\\");
    platform::DirectoryEntry entry;
    platform::Search* search = platform::find_first(tree.native("Longdirectoryname").c_str(), entry);
    ASSERT_NE(nullptr, search);
    platform::find_close(search);
    if (entry.short_name[0] != '\0') spellings.push_back(std::string(entry.short_name) + "/");
    tree.file("\xC3\x84/b.obj");  // Ä holding b.obj, named as ä
    EXPECT_EQ(std::string("The file '") + tree.native("\xC3\xA4/b.obj") + "' occurs more than once.\r\n",
              resolve(("\xC3\x84\\*.obj\n\xC3\xA4\\*.obj"), tree.path().c_str(), RESOLVE_NO_LINE_NUMBERS).problems);
#else
    ASSERT_EQ(0, symlink(tree.native("Longdirectoryname").c_str(), tree.native("link").c_str()));
    spellings.push_back("link/");
#endif
    for (const std::string& spelling : spellings) {
        const std::string twice = native_relative("Longdirectoryname/*.obj\n") + native_relative(spelling) + "*.obj";
        const Resolved got = resolve(twice.c_str(), tree.path().c_str(), RESOLVE_NO_LINE_NUMBERS);
        EXPECT_EQ(3u, got.files.size()) << spelling;
        const std::string second =
            spelling.find(':') != std::string::npos ? spelling : tree.path() + separator + native_relative(spelling);
        std::string expected;
        for (const char* name : {"a.obj", "hard.obj", "linked.obj"}) expected += duplicate(second + name);
        EXPECT_EQ(expected, got.problems) << spelling;
        EXPECT_EQ(22, got.total) << spelling;
    }
}

// The duplicate test over many files: every second naming is caught, in order.
TEST(Resolver, ManyDuplicatesAreCaughtInOrder) {
    TempTree tree;
    for (int i = 0; i < 3000; ++i) tree.file(std::to_string(i) + ".o");
#ifdef _WIN32
    const char* twice = "*.o;*.O";
#else
    const char* twice = "*.o;*.o";
#endif
    const Resolved got = resolve(twice, tree.path().c_str(), RESOLVE_NO_LINE_NUMBERS);
    ASSERT_EQ(3000u, got.files.size());
    std::string expected;
    for (const std::string& path : got.files) expected += duplicate(path);
    EXPECT_EQ(expected, got.problems);
}

#ifdef _WIN32
TEST(WindowsResolver, ForwardSlashSeparatesTheLineDirectory) {
    TempTree tree;
    tree.file("a.obj");
    tree.file("src/b.obj");
    EXPECT_EQ(Paths{tree.native("src/b.obj")}, resolve("src/*.obj", tree.path().c_str(), WALK_RECURSE).files);
    // An absolute directory spelt with slashes is listed with backslashes.
    std::string slashed = tree.path() + "/src/*.obj";
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    EXPECT_EQ(Paths{tree.native("src/b.obj")}, resolve(slashed.c_str(), "", WALK_RECURSE).files);
}
#else
TEST(PosixResolver, NamesDifferingInCaseAreDifferentFiles) {
    TempTree tree;
    tree.file("a.o", 1);
    tree.file("A.o", 2);
    const Resolved got = resolve("a.o;A.o;a.o", tree.path().c_str(), RESOLVE_NO_LINE_NUMBERS);
    EXPECT_EQ((Paths{tree.native("a.o"), tree.native("A.o")}), got.files);
    EXPECT_EQ(duplicate(tree.native("a.o")), got.problems);
    EXPECT_EQ(4, got.total);
}
#endif

}  // namespace
}  // namespace rubo::test
