// Names reach the system exactly as the tool lists them: characters outside any code
// page, names that end in a dot or a blank, and characters whose bytes in a double-byte
// code page hold a backslash. On Windows this suite also runs under code page 932.

#include <gtest/gtest.h>

#include <cstdlib>
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

// A file whose name Windows would trim (a trailing dot or blank), made there through
// the long form of its path.
void exact_file(const TempTree& tree, const std::string& relative) {
#ifdef _WIN32
    HANDLE made = CreateFileW((L"\\\\?\\" + wide_name(tree.native(relative))).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, made) << relative;
    CloseHandle(made);
#else
    tree.file(relative);
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
// under the shorter one beside it.
TEST(ExactNames, TrailingDotsAndBlanksAreKept) {
    TempTree tree;
    tree.file("y.obj");
    tree.file("s/z.obj");
    ASSERT_NO_FATAL_FAILURE(exact_file(tree, "y.obj."));
    ASSERT_NO_FATAL_FAILURE(exact_file(tree, "s/z.obj "));
    ChildResult run = run_tool({"*.obj?"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("y.obj.")) + deleting(tree.native("s/z.obj ")) + summary(2, 0, "0"),
              run.output);
    EXPECT_EQ((Files{"s/z.obj", "y.obj"}), tree.files());
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
