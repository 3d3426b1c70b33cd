// Names reach the system exactly as the tool lists them: characters outside any code
// page, names that end in a dot or a blank, and characters whose bytes in a double-byte
// code page hold a backslash. On Windows this suite also runs under code page 932.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/support/wide_names.h"
#endif

namespace rubo::test {
namespace {

using Files = std::vector<std::string>;

#ifdef _WIN32
// The long form of an entry's path, in which Windows takes every name as it stands.
std::wstring long_form(const TempTree& tree, const std::string& relative) {
    return L"\\\\?\\" + wide_name(tree.native(relative));
}
#endif

// A file whose name Windows would trim (a trailing dot or blank), made there through
// the long form of its path.
void exact_file(const TempTree& tree, const std::string& relative) {
#ifdef _WIN32
    HANDLE made = CreateFileW(long_form(tree, relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, made) << relative;
    CloseHandle(made);
#else
    tree.file(relative);
#endif
}

// A directory whose name Windows would trim, made there through its long form.
void exact_directory(const TempTree& tree, const std::string& relative) {
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryW(long_form(tree, relative).c_str(), nullptr)) << relative;
#else
    tree.directory(relative);
#endif
}

// Removes entries of those names through their long form: the removal of the scratch
// directory would take "a.obj." for "a.obj", and never end.
void remove_exact([[maybe_unused]] const TempTree& tree, [[maybe_unused]] std::initializer_list<const char*> names) {
#ifdef _WIN32
    for (const char* name : names) {
        DeleteFileW(long_form(tree, name).c_str());
        RemoveDirectoryW(long_form(tree, name).c_str());
    }
#endif
}

// No character becomes a wildcard or a look-alike: each pattern takes only its own
// file, directories with such names are entered, '?' takes one character of any
// length (😀 is two UTF-16 units), a read-only file goes too, and on Windows a second
// spelling in another ASCII case names the same file again.
TEST(ExactNames, CharactersOutsideTheCodePageAreThemselves) {
    TempTree tree;
    for (const char* name : {"файл.obj", "abcd.obj", "café.obj", "cafe.obj", "ab.obj", "文件.obj", "keep.txt",
                             "papa/wxyz.obj", "папка/😀.obj", "папка/目录/ü.obj"})
        tree.file(name, 1);
    tree.read_only("папка/目录/ü.obj");
    ChildResult run = run_tool({"файл.obj;文件.obj;café.obj;CAFé.OBJ;?.obj"}, tree.path(), "y");
#ifdef _WIN32
    const std::string second_spelling = duplicate(tree.native("café.obj"));
    const std::string total = "6";  // the duplicate's size is counted again
#else
    const std::string second_spelling = no_match(tree.native("CAFé.OBJ"));
    const std::string total = "5";
#endif
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + second_spelling + prompt + "\r\n\r\n" + deleting(tree.native("файл.obj")) +
                  deleting(tree.native("文件.obj")) + deleting(tree.native("café.obj")) +
                  deleting(tree.native("папка/😀.obj")) + deleting(tree.native("папка/目录/ü.obj")) +
                  summary(5, 0, total),
              run.output);
    EXPECT_EQ((Files{"ab.obj", "abcd.obj", "cafe.obj", "keep.txt", "papa/wxyz.obj"}), tree.files());
}

// A name that ends in a dot or a blank is listed and deleted under that name, never
// under the shorter one beside it; on Windows also below a device path (\\.\C:\...),
// whose names the system itself would trim.
TEST(ExactNames, TrailingDotsAndBlanksAreKept) {
    std::vector<std::string> forms{""};
#ifdef _WIN32
    forms.push_back("\\\\.\\");
#endif
    for (const std::string& form : forms) {
        TempTree tree;
        tree.file("y.obj");
        tree.file("s/z.obj");
        ASSERT_NO_FATAL_FAILURE(exact_file(tree, "y.obj."));
        ASSERT_NO_FATAL_FAILURE(exact_file(tree, "s/z.obj "));
        const std::string listed = form + tree.path() + separator;
        ChildResult run = run_tool({(form.empty() ? std::string() : listed) + "*.obj?"}, tree.path());
        EXPECT_EQ(0, run.exit_code);
        EXPECT_EQ(
            banner + deleting(listed + "y.obj.") + deleting(listed + native_relative("s/z.obj ")) + summary(2, 0, "0"),
            run.output);
        EXPECT_EQ((Files{"s/z.obj", "y.obj"}), tree.files());
        remove_exact(tree, {"y.obj.", "s/z.obj "});
    }
}

// A blank that ends a directory's name is part of it: a line's directory, relative or
// absolute, is the one with the blank, never the one without it beside it.
TEST(ExactNames, DirectoriesEndingInABlankAreSearchedThemselves) {
    TempTree tree;
    for (const char* name : {"d ", "d"}) ASSERT_NO_FATAL_FAILURE(exact_directory(tree, name));
    for (const char* name : {"d /a.obj", "d /a.res", "d/a.obj", "d/a.res"})
        ASSERT_NO_FATAL_FAILURE(exact_file(tree, name));
    ChildResult run = run_tool({native_relative("d /*.obj\n") + tree.native("d /*.res")}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("d /a.obj")) + deleting(tree.native("d /a.res")) + summary(2, 0, "0"),
              run.output);
    for (const char* name : {"d /a.obj", "d /a.res", "d/a.obj", "d/a.res"})
        EXPECT_EQ(name[1] != ' ', tree.exists(name)) << name;
    remove_exact(tree, {"d /a.obj", "d /a.res", "d "});
}

// 表 is the bytes 95 5C in code page 932: none of them separates the line's directory.
TEST(ExactNames, NoByteOfACharacterIsASeparator) {
    TempTree tree;
    tree.file("表/a.obj", 1);
    tree.file("b.obj");
    ChildResult run = run_tool({native_relative("表/*.obj")}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("表/a.obj")) + summary(1, 0, "1"), run.output);
    EXPECT_EQ(Files{"b.obj"}, tree.files());
}

#ifdef _WIN32
// A relative path on another drive starts from that drive's own current directory
// (its =X: variable), not from the current directory's path taken to that drive.
TEST(ExactNames, AnotherDrivesRelativePathStartsFromItsOwnDirectory) {
    TempTree tree;
    for (const char* name : {"own/a.obj", "own/sub/b.obj", "sub/c.obj"}) tree.file(name);
    const std::string elsewhere = own_path().substr(0, own_path().find_last_of('\\'));
    if (std::toupper(elsewhere[0]) == std::toupper(tree.path()[0])) GTEST_SKIP() << "no second drive";
    const wchar_t variable[] = {L'=', static_cast<wchar_t>(tree.path()[0]), L':', L'\0'};
    ASSERT_TRUE(SetEnvironmentVariableW(variable, wide_name(tree.native("own")).c_str()));
    ChildResult run = run_tool({tree.path().substr(0, 2) + "sub\\*.obj"}, elsewhere);
    SetEnvironmentVariableW(variable, nullptr);
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("own/sub/b.obj")) + summary(1, 0, "0"), run.output);
    EXPECT_EQ((Files{"own/a.obj", "sub/c.obj"}), tree.files());
}

// The lane names the code page of each run (RUBO_CODE_PAGE); without it in force, the
// cases above would prove nothing about that code page.
TEST(ExactNames, RunUnderTheCodePageAsked) {
    const char* asked = std::getenv("RUBO_CODE_PAGE");
    if (asked == nullptr) GTEST_SKIP() << "no code page asked";
    EXPECT_EQ(std::strtoul(asked, nullptr, 10), GetACP()) << "is the locale missing from LOCPATH?";
}
#endif

}  // namespace
}  // namespace rubo::test
