#include "resolve/walk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/startup_objects.h"
#include "tests/core/local_write_time.h"
#include "tests/core/path_list_checks.h"
#include "tests/support/temp_tree.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace rubo::test {
namespace {

using Paths = std::vector<std::string>;

// Runs the walk on a fresh vector and answers what it listed; the total goes to `total`.
Paths walk(const std::string& pattern, std::uint32_t flags, std::int64_t* total = nullptr) {
    PathList out;
    const std::int64_t size = collect_files(out, flags, String(pattern.c_str()));
    if (total != nullptr) *total = size;
    EXPECT_EQ(0, search_stack().count) << "searches left open by " << pattern;
    return contents(out);
}

// A tree whose directories each hold one match at most, so that its order is the same
// whatever order the platform lists a directory in.
class WalkTree : public ::testing::Test {
protected:
    void SetUp() override {
        tree.file("a.obj", 1);
        tree.file("a.txt", 100);
        tree.file("s/b.obj", 20);
        tree.file("s/t/c.obj", 300);
        tree.file("s/t/u/d.obj", 4000);
        tree.file("s/t/u/d.txt");
    }
    Paths natives(const Paths& relatives) const { return tree.natives(relatives); }
    TempTree tree;
};

TEST_F(WalkTree, OwnDirectoryOnlyWithoutRecursion) {
    std::int64_t total = 0;
    EXPECT_EQ(natives({"a.obj"}), walk(tree.native("*.obj"), 0, &total));
    EXPECT_EQ(1, total);
}

TEST_F(WalkTree, RecursionGoesDepthFirstAndAddsEverySize) {
    std::int64_t total = 0;
    const Paths expected = natives({"a.obj", "s/b.obj", "s/t/c.obj", "s/t/u/d.obj"});
    EXPECT_EQ(expected, walk(tree.native("*.obj"), WALK_RECURSE, &total));
    EXPECT_EQ(4321, total);
    EXPECT_EQ(expected, walk(tree.native("*.obj") + " /s", 0));
    EXPECT_EQ(expected, walk(tree.native("*.obj") + " /S", WALK_RECURSE));
}

TEST_F(WalkTree, NamesOnlyAndNoExtensionsReduceEveryLevel) {
    EXPECT_EQ((Paths{"a.obj", "b.obj", "c.obj", "d.obj"}), walk(tree.native("*.obj"), WALK_RECURSE | WALK_NAMES_ONLY));
    EXPECT_EQ(natives({"a", "s/b", "s/t/c", "s/t/u/d"}), walk(tree.native("*.obj"), WALK_RECURSE | WALK_NO_EXTENSIONS));
    EXPECT_EQ((Paths{"a", "b", "c", "d"}),
              walk(tree.native("*.obj"), WALK_RECURSE | WALK_NAMES_ONLY | WALK_NO_EXTENSIONS));
}

TEST_F(WalkTree, DirectoriesAreListedOnlyWhenAsked) {
    EXPECT_EQ(Paths{}, walk(tree.native("s"), 0));
    EXPECT_EQ(natives({"s"}), walk(tree.native("s"), WALK_DIRECTORIES));
    // Every level is searched for entries named "t".
    EXPECT_EQ(natives({"s/t"}), walk(tree.native("t"), WALK_DIRECTORIES | WALK_RECURSE));
    EXPECT_EQ(natives({"a.obj", "a.txt", "s", "s/b.obj", "s/t", "s/t/c.obj", "s/t/u", "s/t/u/d.obj", "s/t/u/d.txt"}),
              walk(tree.native("*"), WALK_DIRECTORIES | WALK_RECURSE | WALK_SORT_BY_NAME));
}

TEST_F(WalkTree, AppendKeepsWhatTheOutputHeldAndLeavesItUnreduced) {
    PathList out;
    out.append(String("archive.tar.gz"));
    collect_files(out, WALK_APPEND | WALK_RECURSE | WALK_NO_EXTENSIONS | WALK_NAMES_ONLY,
                  String(tree.native("*.obj").c_str()));
    EXPECT_EQ((Paths{"archive.tar.gz", "a", "b", "c", "d"}), contents(out));
    collect_files(out, WALK_RECURSE | WALK_NAMES_ONLY, String(tree.native("*.txt").c_str()));
    EXPECT_EQ((Paths{"a.txt", "d.txt"}), contents(out));
}

TEST_F(WalkTree, NothingFromMissingPlacesOrEmptyNames) {
    std::int64_t total = -1;
    EXPECT_EQ(Paths{}, walk(tree.native("*.zzz"), WALK_RECURSE, &total));
    EXPECT_EQ(0, total);
    EXPECT_EQ(Paths{}, walk(tree.native("missing/*.obj"), WALK_RECURSE));
    EXPECT_EQ(Paths{}, walk("", WALK_RECURSE));
    // A pattern that ends in a separator names no file; no directory name becomes a
    // pattern below it (s/t/t would be found by the name "t" otherwise).
    tree.file("s/t/t", 1);
    EXPECT_EQ(Paths{}, walk(tree.native("s/"), WALK_RECURSE));
    EXPECT_EQ(Paths{}, walk(tree.native("s/") + " /s", 0));
}

// Walking patterns together gives each what a walk of it alone gives, whatever the
// others ask for: other directories, recursion by suffix, no file name at all.
TEST_F(WalkTree, PatternsWalkedTogetherGetWhatEachWouldAlone) {
    tree.file("s/t/e.txt", 50000);
    tree.file("s/t/u/v/f.obj", 600000);
    const std::vector<std::string> patterns = {tree.native("*.obj"), tree.native("*.txt") + " /s",
                                               tree.native("*.zzz"), tree.native("s/*.obj"),
                                               tree.native("s/"),    tree.native("t"),
                                               tree.native("*.obj"), tree.native("s/t/u/*")};
    for (const std::uint32_t flags : {0u, WALK_RECURSE, WALK_RECURSE | WALK_DIRECTORIES | WALK_SORT_BY_NAME,
                                      WALK_RECURSE | WALK_NAMES_ONLY | WALK_SORT_BY_TIME}) {
        std::vector<WalkRequest> requests(patterns.size());
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            requests[i].pattern = patterns[i].c_str();
            requests[i].found.append(String("held before"));
            requests[i].total = -7;
        }
        collect_files_together(requests.data(), static_cast<std::int32_t>(requests.size()), flags);
        EXPECT_EQ(0, search_stack().count);
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            std::int64_t total = -1;
            EXPECT_EQ(walk(patterns[i], flags, &total), contents(requests[i].found)) << patterns[i] << ' ' << flags;
            EXPECT_EQ(total, requests[i].total) << patterns[i] << ' ' << flags;
        }
    }
    // With WALK_APPEND each output keeps what it held.
    WalkRequest kept[2];
    kept[0].pattern = tree.native("*.obj").c_str();
    kept[1].pattern = tree.native("*.txt").c_str();
    kept[1].found.append(String("first"));
    collect_files_together(kept, 2, WALK_APPEND | WALK_NAMES_ONLY);
    EXPECT_EQ((Paths{"a.obj"}), contents(kept[0].found));
    EXPECT_EQ((Paths{"first", "a.txt"}), contents(kept[1].found));
    collect_files_together(kept, 0, WALK_RECURSE);
    EXPECT_EQ(1, kept[0].found.count);
}

// Patterns walked together count each directory once, with the files listed there for
// all of them, and report after every report_interval-th directory.
TEST(Walk, ProgressCountsDirectoriesAndListedFiles) {
    struct Counting final : WalkProgress {
        int reports = 0;
        void report() override { ++reports; }
    };
    TempTree tree;
    tree.file("a.obj");
    for (int i = 10; i < 50; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%d/a.obj", i);
        tree.file(name);
        std::snprintf(name, sizeof name, "d%d/b.txt", i);
        tree.file(name);
    }
    WalkRequest requests[2];
    requests[0].pattern = tree.native("*.obj").c_str();
    requests[1].pattern = tree.native("*.txt").c_str();
    Counting progress;
    WalkShared shared;
    shared.progress = &progress;
    collect_files_together(requests, 2, WALK_RECURSE, shared);
    EXPECT_EQ(41, progress.directories);
    EXPECT_EQ(81, progress.files);
    EXPECT_EQ(2, progress.reports);
}

// Sorting is per directory: a subdirectory's block still follows its parent's.
TEST(Walk, NameSortStaysWithinEachDirectory) {
    TempTree tree;
    for (const char* name : {"c.obj", "B.obj", "a.obj", "sub/z.obj", "sub/Y.obj", "sub/x.obj"}) tree.file(name);
    EXPECT_EQ((Paths{"a.obj", "B.obj", "c.obj", "x.obj", "Y.obj", "z.obj"}),
              walk(tree.native("*.obj"), WALK_RECURSE | WALK_SORT_BY_NAME | WALK_NAMES_ONLY));
    EXPECT_EQ((Paths{"c.obj", "B.obj", "a.obj", "z.obj", "Y.obj", "x.obj"}),
              walk(tree.native("*.obj"), WALK_RECURSE | WALK_SORT_BY_NAME | WALK_REVERSE | WALK_NAMES_ONLY));
}

// With both sort bits the names are sorted after the reductions: by the bare names,
// not by the full paths.
TEST(Walk, BothSortBitsSortTheReducedNames) {
    TempTree tree;
    tree.file("b.aaa");
    tree.file("a.zzz");
    tree.file("c.mmm");
    const std::uint32_t reduced = WALK_NO_EXTENSIONS | WALK_NAMES_ONLY;
    EXPECT_EQ((Paths{"a", "b", "c"}), walk(tree.native("*"), reduced | WALK_SORT_BY_TIME | WALK_SORT_BY_NAME));
    EXPECT_EQ((Paths{"c", "b", "a"}),
              walk(tree.native("*"), reduced | WALK_SORT_BY_TIME | WALK_SORT_BY_NAME | WALK_REVERSE));
}

// Time sorting is per directory too, newest first unless reversed.
TEST(Walk, TimeSortStaysWithinEachDirectory) {
    TempTree tree;
    const char* names[] = {"ten.obj", "noon.obj", "eleven.obj", "sub/late.obj", "sub/early.obj"};
    const int hours[] = {10, 12, 11, 23, 1};
    for (int i = 0; i < 5; ++i) {
        tree.file(names[i]);
        set_local_write_time(tree.native(names[i]), 2021, 6, 15, hours[i], 0, 0);
    }
    EXPECT_EQ((Paths{"noon.obj", "eleven.obj", "ten.obj", "late.obj", "early.obj"}),
              walk(tree.native("*.obj"), WALK_RECURSE | WALK_SORT_BY_TIME | WALK_NAMES_ONLY));
    EXPECT_EQ((Paths{"ten.obj", "eleven.obj", "noon.obj", "early.obj", "late.obj"}),
              walk(tree.native("*.obj"), WALK_RECURSE | WALK_SORT_BY_TIME | WALK_REVERSE | WALK_NAMES_ONLY));
}

TEST(Walk, SearchesNestThroughTheStack) {
    TempTree tree;
    tree.file("one.obj");
    tree.file("two.obj");
    const std::int32_t saved = search_stack().count;
    FileEntry outer, inner;
    ASSERT_TRUE(find_first_entry(tree.native("*.obj").c_str(), &outer));
    EXPECT_EQ(saved + 1, search_stack().count);
    EXPECT_FALSE(find_first_entry(tree.native("*.zzz").c_str(), &inner));
    EXPECT_FALSE(find_next_entry(&inner));
    end_find();
    // The outer search goes on where it was.
    ASSERT_TRUE(find_next_entry(&outer));
    EXPECT_FALSE(find_next_entry(&outer));
    end_find();
    EXPECT_EQ(saved, search_stack().count);
    EXPECT_FALSE(find_next_entry(&outer));
    end_find();  // nothing saved: nothing happens
    EXPECT_EQ(saved, search_stack().count);
}

TEST(Walk, EntryCarriesKindSizeAndName) {
    TempTree tree;
    tree.file("big.bin", 70000);
    tree.directory("dir.bin");
    FileEntry entry;
    ASSERT_TRUE(find_first_entry(tree.native("big.bin").c_str(), &entry));
    EXPECT_STREQ("big.bin", entry.name.text());
    EXPECT_EQ(70000, entry.size);
    EXPECT_EQ(0u, entry.attributes & platform::ATTRIBUTE_DIRECTORY);
    EXPECT_NE(0, entry.last_write_time.month);
    end_find();
    ASSERT_TRUE(find_first_entry(tree.native("dir.bin").c_str(), &entry));
    EXPECT_NE(0u, entry.attributes & platform::ATTRIBUTE_DIRECTORY);
    end_find();
}

#ifndef _WIN32
// ---- POSIX: bytewise order, links

TEST(PosixWalk, BytewiseOrderInEveryDirectory) {
    TempTree tree;
    for (const char* name : {"b.o", "a.o", "B.o", "s2/x.o", "s1/y.o", "s1/X.o", "S0/z.o"}) tree.file(name);
    Paths expected;
    for (const char* name : {"B.o", "a.o", "b.o", "S0/z.o", "s1/X.o", "s1/y.o", "s2/x.o"})
        expected.push_back(tree.native(name));
    EXPECT_EQ(expected, walk(tree.native("*.o"), WALK_RECURSE));
}

// A subdirectory's name ending in a blank must not turn the pattern below it into
// another one: with "s /s", "x /s" is the file s in "x ", never the file x, and " /s" the
// file s in " ".
TEST(PosixWalk, SubdirectoryNamesAreNeverReadAsPatterns) {
    TempTree tree;
    for (const char* name : {"x /s", " /s", "x", "x /x"}) tree.file(name);
    EXPECT_EQ((Paths{tree.native(" /s"), tree.native("x /s")}), walk(tree.native("s") + " /s", 0));
}

TEST(PosixWalk, LinksAreListedButNeverEntered) {
    TempTree tree;
    TempTree outside;
    outside.file("far.o", 9);
    tree.file("real/x.o", 3);
    tree.file("target.txt", 50);
    ASSERT_EQ(0, symlink(outside.path().c_str(), tree.native("out").c_str()));
    ASSERT_EQ(0, symlink(tree.native("real").c_str(), tree.native("loop").c_str()));
    ASSERT_EQ(0, symlink(tree.native("target.txt").c_str(), tree.native("link.o").c_str()));
    ASSERT_EQ(0, symlink(tree.path().c_str(), tree.native("real/up").c_str()));
    std::int64_t total = 0;
    EXPECT_EQ((Paths{tree.native("link.o"), tree.native("real/x.o")}), walk(tree.native("*.o"), WALK_RECURSE, &total));
    EXPECT_EQ(3, total);
}

TEST(PosixWalk, UnreadableDirectoryContributesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "the superuser reads every directory";
    TempTree tree;
    tree.file("a.o");
    tree.file("closed/b.o");
    tree.file("open/c.o");
    std::filesystem::permissions(tree.native("closed"), std::filesystem::perms::none);
    EXPECT_EQ((Paths{tree.native("a.o"), tree.native("open/c.o")}), walk(tree.native("*.o"), WALK_RECURSE));
}

// The walk holds no directory open while it goes down: a tree deeper than the
// descriptors a process may have is walked whole.
TEST(PosixWalk, DepthNeedsNoDescriptorPerLevel) {
    TempTree tree;
    std::string deep = "d";
    for (int level = 1; level < 60; ++level) deep += "/d";
    tree.file(deep + "/x.o");
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &saved));
    rlimit low = saved;
    low.rlim_cur = 40;
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &low));
    const Paths found = walk(tree.native("*.o"), WALK_RECURSE);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ((Paths{tree.native(deep + "/x.o")}), found);
}

TEST(PosixWalk, LastWriteTimeIsUniversal) {
    TempTree tree;
    tree.file("dated.o");
    const timeval times[2] = {{951'827'696, 0}, {951'827'696, 0}};
    ASSERT_EQ(0, utimes(tree.native("dated.o").c_str(), times));
    FileEntry entry;
    ASSERT_TRUE(find_first_entry(tree.native("dated.o").c_str(), &entry));
    end_find();
    EXPECT_EQ(0, compare_date_times(DateTime{2000, 2, 29, 12, 34, 56}, entry.last_write_time));
    EXPECT_EQ(0, compare_date_times(DateTime{2000, 2, 29, 12, 34, 56}, entry.last_access_time));
}
#endif

}  // namespace
}  // namespace rubo::test
