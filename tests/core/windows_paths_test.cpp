#include <gtest/gtest.h>

#include <string>

#include "core/windows_paths.h"
#include "tests/core/path_style_checks.h"

using namespace rubo;

namespace {

using P = WindowsPaths;
using WindowsPathStyle = PathChecks<P>;

std::string stripped(const char* path, bool expected_result) {
    String text(path);
    EXPECT_EQ(expected_result, P::strip_extension(text)) << path;
    return text.text();
}

TEST_F(WindowsPathStyle, LastSeparatorIsEitherSlashElseTheFirstColon) {
    EXPECT_EQ(7, P::last_separator(String("C:\\work\\x")));
    EXPECT_EQ(3, P::last_separator(String("a/b\\c")));
    EXPECT_EQ(3, P::last_separator(String("a\\b/c")));
    EXPECT_EQ(1, P::last_separator(String("C:x:y")));
    EXPECT_EQ(-1, P::last_separator(String("x.obj")));
    EXPECT_EQ(-1, P::last_separator(String("")));
}

TEST_F(WindowsPathStyle, DirectoryPartKeepsTheRootOfADrive) {
    EXPECT_EQ("", directory("x.obj"));
    EXPECT_EQ("C:\\", directory("C:\\x.obj"));
    EXPECT_EQ("C:", directory("C:x.obj"));
    EXPECT_EQ("C:\\work", directory("C:\\work\\x.obj"));
    EXPECT_EQ("\\\\host\\share", directory("\\\\host\\share\\x"));
    EXPECT_EQ("", directory("\\x.obj"));
    EXPECT_EQ("", directory(nullptr));
    EXPECT_EQ("C:/", directory("C:/x.obj"));
    EXPECT_EQ("C:\\work\\src", directory("C:\\work\\src/*.obj"));
}

TEST_F(WindowsPathStyle, FileNamePartFollowsTheLastSeparator) {
    EXPECT_EQ("x.obj", name("x.obj"));
    EXPECT_EQ("x.obj", name("C:x.obj"));
    EXPECT_EQ("x.obj", name("C:\\work\\x.obj"));
    EXPECT_EQ("a.obj", name("C:\\work\\src/a.obj"));
    EXPECT_EQ("", name("C:\\work\\"));
    EXPECT_EQ("", name(nullptr));

    String path("C:\\work/src\\a.obj");
    P::strip_directory(path);
    EXPECT_STREQ("a.obj", path.text());
}

TEST_F(WindowsPathStyle, JoinPathPutsOneSeparatorBetween) {
    EXPECT_EQ("C:\\work\\x.obj", joined("C:\\work", "x.obj"));
    EXPECT_EQ("C:\\x.obj", joined("C:\\", "x.obj"));
    EXPECT_EQ("C:x.obj", joined("C:", "x.obj"));
    EXPECT_EQ("C:\\work\\x.obj", joined("C:\\work\\", "\\x.obj"));
    EXPECT_EQ("C:\\work\\x.obj", joined("C:\\work", "\\x.obj"));
    EXPECT_EQ("C:/work/x.obj", joined("C:/work/", "/x.obj"));
    EXPECT_EQ("C:/work/x.obj", joined("C:/work/", "x.obj"));
}

TEST_F(WindowsPathStyle, JoinPathWithAnEmptySideGivesTheOther) {
    EXPECT_EQ("sub\\x.obj", joined("", "sub\\x.obj"));
    EXPECT_EQ("\\x.obj", joined(nullptr, "\\x.obj"));
    EXPECT_EQ("", joined(nullptr, nullptr));
    EXPECT_EQ("C:\\work", joined("C:\\work", ""));
    EXPECT_EQ("C:\\work\\", joined("C:\\work\\", nullptr));
}

TEST_F(WindowsPathStyle, ExtensionIsTheLastDotOfTheLastComponent) {
    EXPECT_EQ(-1, P::extension_position("C:\\dir.x\\file"));
    EXPECT_EQ(-1, P::extension_position("dir.x/file"));
    EXPECT_EQ(-1, P::extension_position(nullptr));
    EXPECT_EQ(3, P::extension_position("a.b.c"));

    EXPECT_EQ("C:\\dir.x\\file", stripped("C:\\dir.x\\file", false));
    EXPECT_EQ("file", stripped("file.", true));
    EXPECT_EQ("", stripped(".profile", true));
    EXPECT_EQ("C:\\dir\\a.b", stripped("C:\\dir\\a.b.c", true));
}

TEST_F(WindowsPathStyle, DriveLetterIsALetterBeforeAColon) {
    EXPECT_EQ('C', P::drive_letter("c:\\x"));
    EXPECT_EQ('Z', P::drive_letter("Z:"));
    EXPECT_EQ(0, P::drive_letter("1:\\x"));
    EXPECT_EQ(0, P::drive_letter("\\\\host"));
    EXPECT_EQ(0, P::drive_letter("c"));
    EXPECT_EQ(0, P::drive_letter(nullptr));
}

TEST_F(WindowsPathStyle, AbsolutePathsHaveADriveRootOrAreNetworkPaths) {
    for (const char* path : {"C:\\", "\\\\host\\share", "?:\\x", " \t\r\nC:\\x", "C:/x", "//host/share", "\\/host"})
        EXPECT_TRUE(P::is_absolute_path(path)) << path;
    for (const char* path : {"C:", "\\x", "/x", "x", "C:x", "", " \t", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(P::is_absolute_path(path)) << (path != nullptr ? path : "null");
}

TEST_F(WindowsPathStyle, MakeAbsolutePutsTheBaseInFrontOfARelativePath) {
    EXPECT_EQ("C:\\work\\x.obj", made_absolute(" x.obj\t", "C:\\work").path);
    EXPECT_TRUE(made_absolute("x.obj", "C:\\work").changed);
    EXPECT_EQ("C:\\x.obj", made_absolute("x.obj", "C:\\").path);
    EXPECT_EQ("C:\\work\\x.obj", made_absolute("x.obj", "  C:\\work").path);
    EXPECT_EQ("\\\\host\\share\\x", made_absolute("x", "\\\\host\\share").path);
    EXPECT_EQ("C:/work/src/*.obj", made_absolute("src/*.obj", "C:/work/").path);
}

TEST_F(WindowsPathStyle, MakeAbsoluteTakesTheBasesDrive) {
    const MadeAbsolute rooted = made_absolute("\\x.obj", "C:\\work");
    EXPECT_TRUE(rooted.changed);
    EXPECT_EQ("C:\\x.obj", rooted.path);
    EXPECT_EQ("C:/x.obj", made_absolute("/x.obj", "C:\\work").path);

    const MadeAbsolute drive_relative = made_absolute("C:x.obj", "C:\\work");
    EXPECT_TRUE(drive_relative.changed);
    EXPECT_EQ("C:\\work\\x.obj", drive_relative.path);
    EXPECT_EQ("c:\\work\\x.obj", made_absolute("c:x.obj", "C:\\work").path);
}

// D: has its own current directory, which only the system knows; E: has none (its
// root serves), and an answer for another drive or a relative one is no answer.
String drive_directory(char drive) {
    return drive == 'D' ? "D:\\d" : drive == 'F' ? "E:\\f" : drive == 'G' ? "G:g" : "";
}

TEST_F(WindowsPathStyle, AnotherDrivesPathTakesThatDrivesOwnDirectory) {
    EXPECT_EQ("D:\\d\\x.obj", made_absolute("D:x.obj", "C:\\work", drive_directory).path);
    EXPECT_EQ("D:\\d\\x.obj", made_absolute("d:x.obj", "\\\\host\\share", drive_directory).path);
    for (const char* path : {"E:x.obj", "F:x.obj", "G:x.obj"})
        EXPECT_EQ(std::string(path, 2) + "\\x.obj", made_absolute(path, "C:\\work", drive_directory).path);
    EXPECT_EQ("D:\\x.obj", made_absolute("D:x.obj", "C:\\work").path);
    EXPECT_EQ("1:\\x.obj", made_absolute("1:x.obj", "C:\\work").path);
}

// A blank before a separator belongs to a directory's name; blanks around the line
// and around a piece are not, nor is the recursion suffix a directory.
TEST_F(WindowsPathStyle, LineDirectoriesKeepTheirBlanksAndTheirDrivesDirectory) {
    expect_line_directories("C:\\work", drive_directory,
                            {
                                {"d \\*.obj", "C:\\work\\d ", "*.obj"},
                                {"d /*.obj ;*.res", "C:\\work\\d ", "*.obj ;*.res"},
                                {"C:\\w\\d \\*.obj /s", "C:\\w\\d ", "*.obj /s"},
                                {"\\\\.\\C:\\d .\\*.obj", "\\\\.\\C:\\d .", "*.obj"},
                                {"d /s", "", "d /s"},
                                {"D:*.obj", "D:\\d\\", "*.obj"},
                                {"d:sub \\*.obj", "D:\\d\\sub ", "*.obj"},
                                {"E:sub\\*.obj", "E:\\sub", "*.obj"},
                                {"C:sub\\*.obj", "C:\\work\\sub", "*.obj"},
                            });
}

TEST_F(WindowsPathStyle, MakeAbsoluteLeavesWhatItCannotImprove) {
    const MadeAbsolute blank = made_absolute(" \t\r\n", "C:\\work");
    EXPECT_FALSE(blank.changed);
    EXPECT_EQ("", blank.path);
    const MadeAbsolute without_base = made_absolute(" x.obj ", nullptr);
    EXPECT_FALSE(without_base.changed);
    EXPECT_EQ("x.obj", without_base.path);

    struct Case {
        const char* path;
        const char* base;
    };
    for (const Case& c : {Case{"x.obj", "work"}, Case{"x.obj", "C:"}, Case{"\\\\host\\x", "C:\\work"},
                          Case{"D:\\x.obj", "C:\\work"}, Case{"D:/x.obj", "C:\\work"},
                          // A network base has no drive to give.
                          Case{"\\x.obj", "\\\\host\\share"}}) {
        const MadeAbsolute result = made_absolute(c.path, c.base);
        EXPECT_FALSE(result.changed) << c.path << " against " << c.base;
        EXPECT_EQ(c.path, result.path);
    }
}

TEST_F(WindowsPathStyle, CutLineDirectoryTakesEverythingUpToTheLastSeparator) {
    expect_cuts({
        {"src\\*.obj;*.res", "src", "*.obj;*.res"},
        {"src/*.obj;*.res", "src", "*.obj;*.res"},
        {"Z:/tmp/x/sub/*.obj", "Z:\\tmp\\x\\sub", "*.obj"},
        {"C:\\*.obj", "C:\\", "*.obj"},
        {"C:*.obj", "C:", "*.obj"},
        {"C:\\work\\", "C:\\work", ""},
        {"a\\*.obj;b\\*.res", "a\\*.obj;b", "*.res"},
        {"\\*.obj", "", "\\*.obj"},
        {"*.obj;*.res", "", "*.obj;*.res"},
    });
}

TEST_F(WindowsPathStyle, CutLineDirectoryKeepsRecursionSuffixes) {
    expect_cuts({
        {"*.obj /s", "", "*.obj /s"},
        {"src/*.obj /s;*.res", "src", "*.obj /s;*.res"},
        {"C:\\work\\*.obj /S", "C:\\work", "*.obj /S"},
        {"C:*.obj /s", "C:", "*.obj /s"},
        {"*.obj /s ;*.res /S", "", "*.obj /s ;*.res /S"},
        {"a\\*.obj /s;b\\*.res /s", "a\\*.obj /s;b", "*.res /s"},
        {"a/*.obj /s;b/*.res", "a\\*.obj /s;b", "*.res"},
        // Only a blank, slash and s that end a piece are a suffix.
        {"*.obj/s", "*.obj", "s"},
        {"*.obj /sub", "*.obj ", "sub"},
    });
}

TEST_F(WindowsPathStyle, RootsOfDrivesAndSharesOnceDotsAreResolved) {
    expect_root("C:\\", {"C:\\", "C:\\x\\..\\.", "C:/..\\..", "C:\\\\"});
    expect_root("\\", {"\\", "/x/.."});
    expect_root("\\\\srv\\share\\", {"\\\\srv\\share", "//srv/share/dir/..", "\\\\srv\\share\\..\\."});
    expect_root("\\\\?\\C:\\", {"\\\\?\\C:\\", "\\\\?\\C:\\x\\.."});
    expect_root("\\\\?\\unc\\srv\\share\\", {"\\\\?\\unc\\srv\\share\\x\\.."});
    expect_root("", {"C:", "C:x", "C:\\x", "C:\\x\\..\\y", "C:\\...", "\\\\srv", "\\\\srv\\", "//",
                     "\\\\srv\\share\\dir", "\\\\?\\UNC\\srv", "\\\\?\\UNC\\srv\\share\\dir", "x\\..", "", nullptr});
}

TEST_F(WindowsPathStyle, NamesCompareWithoutCase) {
    EXPECT_EQ(0, P::compare_paths(String("C:\\WORK\\A.OBJ"), String("c:\\work\\a.obj")));
    EXPECT_NE(0, P::compare_paths(String("C:\\work\\a.obj"), String("C:\\work\\a.ob")));
}

}  // namespace
