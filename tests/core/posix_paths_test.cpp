#include <gtest/gtest.h>

#include <string>

#include "core/posix_paths.h"
#include "tests/core/path_style_checks.h"

using namespace rubo;

namespace {

using P = PosixPaths;
using PosixPathStyle = PathChecks<P>;

TEST_F(PosixPathStyle, OnlyTheSlashSeparates) {
    EXPECT_EQ(2, P::last_separator(String("/a/b")));
    EXPECT_EQ(0, P::last_separator(String("/")));
    EXPECT_EQ(-1, P::last_separator(String("C:x")));
    EXPECT_EQ(-1, P::last_separator(String("a\\b")));
    EXPECT_EQ("C:x.o", name("C:x.o"));
    EXPECT_EQ("a\\b.o", name("a\\b.o"));
    EXPECT_EQ("x.o", name("/w/x.o"));
    EXPECT_EQ(0, P::drive_letter("c:/x"));
    EXPECT_EQ(1, P::extension_position("d.x\\file"));
    EXPECT_EQ(-1, P::extension_position("/d.x/file"));
}

TEST_F(PosixPathStyle, DirectoryPartKeepsTheRoot) {
    EXPECT_EQ("/", directory("/x.o"));
    EXPECT_EQ("/w", directory("/w/x.o"));
    EXPECT_EQ("a:b", directory("a:b/c"));
    EXPECT_EQ("", directory("x.o"));
    EXPECT_EQ("", directory("C:x.o"));
}

TEST_F(PosixPathStyle, JoinPathPutsExactlyOneSlashBetween) {
    EXPECT_EQ("/x", joined("/", "x"));
    EXPECT_EQ("/x", joined("/", "/x"));
    EXPECT_EQ("/w/x", joined("/w", "x"));
    EXPECT_EQ("/w/x", joined("/w/", "x"));
    EXPECT_EQ("/w/x", joined("/w", "/x"));
    EXPECT_EQ("/w/x", joined("/w/", "/x"));
    EXPECT_EQ("a:/x", joined("a:", "x"));
    EXPECT_EQ("x", joined("", "x"));
}

TEST_F(PosixPathStyle, AbsolutePathsBeginWithASlash) {
    for (const char* path : {"/", " \t/x", "//host"}) EXPECT_TRUE(P::is_absolute_path(path)) << path;
    for (const char* path : {"x", "C:\\x", "C:/x", "\\\\host", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(P::is_absolute_path(path)) << (path != nullptr ? path : "null");
}

TEST_F(PosixPathStyle, MakeAbsolutePrefixesTheBase) {
    const MadeAbsolute relative = made_absolute(" a/b ", "/w");
    EXPECT_TRUE(relative.changed);
    EXPECT_EQ("/w/a/b", relative.path);
    EXPECT_EQ("/w/a/b", made_absolute("a/b", "/w/").path);
    EXPECT_EQ("/a/b", made_absolute("a/b", "/").path);
    // Drive and backslash forms are plain relative names here.
    EXPECT_EQ("/w/C:x", made_absolute("C:x", "/w").path);
    EXPECT_EQ("/w/\\x", made_absolute("\\x", "/w").path);

    for (const char* base : {"w", "C:\\w", static_cast<const char*>(nullptr)}) {
        const MadeAbsolute result = made_absolute("a", base);
        EXPECT_FALSE(result.changed);
        EXPECT_EQ("a", result.path);
    }
    const MadeAbsolute blank = made_absolute("  ", "/w");
    EXPECT_FALSE(blank.changed);
    EXPECT_EQ("", blank.path);
}

TEST_F(PosixPathStyle, CutLineDirectoryTakesEverythingBeforeTheLastSlash) {
    expect_cuts({
        {"src/*.o;*.c", "src", "*.o;*.c"},
        {"/x/*.o", "/x", "*.o"},
        {"//*.o", "/", "*.o"},
        {"C:*.o", "", "C:*.o"},
        {"a\\*.o", "", "a\\*.o"},
        {"*.o /s", "", "*.o /s"},
        {"src/*.o /S;*.c", "src", "*.o /S;*.c"},
        {"/w/*.o /s", "/w", "*.o /s"},
    });
}

// A blank before a slash belongs to a directory's name; the recursion suffix is none.
TEST_F(PosixPathStyle, LineDirectoriesKeepTheirBlanks) {
    expect_line_directories("/w", nullptr,
                            {
                                {"d /*.o", "/w/d ", "*.o"},
                                {"d /*.o ;*.c", "/w/d ", "*.o ;*.c"},
                                {"/x/d /*.o /s", "/x/d ", "*.o /s"},
                                {"d /s", "", "d /s"},
                            });
    EXPECT_EQ("/w/d", made_absolute("d ", "/w").path);
}

// A line made of a pattern at the root has no directory of its own; the pattern stays
// absolute and is searched in the root.
TEST_F(PosixPathStyle, PatternAtTheRootIsSearchedThere) {
    expect_cuts({{"/*.o", "", "/*.o"}});
    EXPECT_TRUE(P::is_absolute_path("/*.o"));
    const MadeAbsolute kept = made_absolute("/*.o", "/w");
    EXPECT_FALSE(kept.changed);
    EXPECT_EQ("/*.o", kept.path);
    EXPECT_EQ("/", directory("/*.o"));
    EXPECT_EQ("/x.o", joined(directory("/*.o").c_str(), "x.o"));
}

TEST_F(PosixPathStyle, RootIsTheSlashOnceDotsAreResolved) {
    expect_root("/", {"/", "//", "/./", "/.", "/a/..", "/..", "/tmp/../..//./", " /"});
    expect_root("", {"/tmp", "/a/../b", "/../a", "/...", "/ ", "a/..", ".", "", nullptr, "C:\\"});
}

TEST_F(PosixPathStyle, NamesCompareWithCase) {
    EXPECT_NE(0, P::compare_paths(String("/w/a.o"), String("/w/A.o")));
    EXPECT_EQ(0, P::compare_paths(String("/w/a.o"), String("/w/a.o")));
}

}  // namespace
