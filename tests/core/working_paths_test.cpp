#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "core/character.h"
#include "core/file_system.h"
#include "core/output.h"
#include "core/paths.h"
#include "core/working_paths.h"
#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/current_directory_guard.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

namespace {

namespace fs = std::filesystem;
using rubo::test::ScratchDirectory;

// Sets an environment variable of this process; an empty value removes it.
void set_environment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

// What a fresh process holds after init_working_paths, one value a line, and, last,
// the program path and the Windows directory after a second call that follows a change
// of both.
enum Field { INTERPRETER, WINDOWS, PROGRAM, DIRECTORY, NAME, DRIVE, PROGRAM_AGAIN, WINDOWS_AGAIN, FIELD_COUNT };

// Sets the command interpreter's variable to the standard input (removes it when that is
// empty) and writes the fields.
RUBO_CHILD(working_paths_report) {
    std::string value;
    std::getline(std::cin, value);
    set_environment("COMSPEC", value);
    init_working_paths();
    const char drive[] = {program_drive(), 0};
    for (const char* field : {command_interpreter().text(), windows_directory().text(), program_path().text(),
                              program_directory().text(), program_name().text(), drive}) {
        buffer_output(field);
        buffer_output("\n");
    }
    program_path() = "changed";
    windows_directory() = "changed";
    init_working_paths();
    buffer_output(program_path().text());
    buffer_output("\n");
    buffer_output(windows_directory().text());
    return 0;
}

std::vector<std::string> report_with_interpreter(const std::string& variable) {
    const rubo::test::ChildResult child = rubo::test::run_child("working_paths_report", variable);
    EXPECT_EQ(0, child.exit_code);
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end; (end = child.output.find('\n', start)) != std::string::npos; start = end + 1)
        fields.push_back(child.output.substr(start, end - start));
    fields.push_back(child.output.substr(start));
    fields.resize(FIELD_COUNT);
    return fields;
}

TEST(WorkingPaths, CommandInterpreterWithABlankIsQuoted) {
    EXPECT_EQ("\"C:\\Program Files\\cmd.exe\"", report_with_interpreter("C:\\Program Files\\cmd.exe")[INTERPRETER]);
}

TEST(WorkingPaths, BlankCommandInterpreterFallsBackToTheWindowsDirectory) {
    const std::vector<std::string> blank = report_with_interpreter(" \t");
    ASSERT_FALSE(blank[WINDOWS].empty());
    EXPECT_EQ(join_path(blank[WINDOWS].c_str(), "command.com").text(), blank[INTERPRETER]);
}

TEST(WorkingPaths, UndefinedCommandInterpreterStaysAsWritten) {
    EXPECT_EQ("%comspec%", report_with_interpreter("")[INTERPRETER]);
}

TEST(WorkingPaths, ProgramPathIsSplitOnceAndForAll) {
    const std::vector<std::string> fields = report_with_interpreter("cmd.exe");
    EXPECT_EQ(rubo::test::own_path(), fields[PROGRAM]);
    EXPECT_FALSE(fields[DIRECTORY].empty());
    EXPECT_EQ(fields[PROGRAM], join_path(fields[DIRECTORY].c_str(), fields[NAME].c_str()).text());
#ifdef _WIN32
    ASSERT_EQ(1u, fields[DRIVE].size());
    EXPECT_EQ(to_upper(fields[PROGRAM][0]), fields[DRIVE][0]);
#else
    EXPECT_EQ("", fields[DRIVE]);
    EXPECT_EQ("/", fields[WINDOWS]);
#endif
    // The second call read nothing.
    EXPECT_EQ("changed", fields[PROGRAM_AGAIN]);
    EXPECT_EQ("changed", fields[WINDOWS_AGAIN]);
}

TEST(WorkingPaths, LongCurrentDirectoryIsReadWhole) {
    ScratchDirectory scratch;
    const std::string deep = scratch / std::string(120, 'd');
    fs::create_directory(deep);
    rubo::test::CurrentDirectoryGuard guard;
    fs::current_path(deep);
    const String directory = current_directory();
    EXPECT_GT(directory.length(), 120);
    EXPECT_EQ(fs::current_path().string(), directory.text());
}

TEST(WorkingPaths, TempFileNameCreatesAFileInTheTemporaryDirectory) {
    const String& temp = temp_directory();
    ASSERT_GT(temp.length(), 0);
    EXPECT_EQ(&temp, &temp_directory());
    for (const char* directory : {static_cast<const char*>(nullptr), ""}) {
        const String name = temp_file_name(directory);
        ASSERT_GT(name.length(), 0);
        const String file = file_name_part(name.text());
        const std::string text = file.text();
        ASSERT_GT(text.size(), 7u) << text;
        EXPECT_EQ("KWB", text.substr(0, 3));
        EXPECT_EQ(".tmp", text.substr(text.size() - 4));
        EXPECT_EQ(std::string::npos, text.substr(3, text.size() - 7).find_first_not_of("0123456789ABCDEFabcdef"))
            << text;
        EXPECT_EQ(0, compare_paths(name, join_path(temp.text(), file.text()))) << name.text();
        const std::uint32_t attributes = get_attributes(name.text());
        EXPECT_NE(0xFFFFFFFFu, attributes);
        EXPECT_EQ(0u, attributes & platform::ATTRIBUTE_DIRECTORY);
        EXPECT_TRUE(erase_file(name.text()));
    }
}

TEST(WorkingPaths, TempFileNamesAreUniqueInTheGivenDirectory) {
    ScratchDirectory scratch;
    const String first = temp_file_name(scratch.path().c_str());
    const String second = temp_file_name(scratch.path().c_str());
    EXPECT_STREQ(scratch.path().c_str(), directory_part(first.text()).text());
    EXPECT_STREQ(scratch.path().c_str(), directory_part(second.text()).text());
    EXPECT_NE(0, compare_paths(first, second));
    EXPECT_TRUE(fs::exists(first.text()));
    EXPECT_TRUE(fs::exists(second.text()));

    const std::string missing = scratch / "missing";
    EXPECT_EQ(0, temp_file_name(missing.c_str()).length());
    EXPECT_FALSE(fs::exists(missing));
}

TEST(WorkingPaths, EnvironmentReferencesAreExpanded) {
    set_environment("RUBO_TEST_VALUE", "abc");
    String text("x%RUBO_TEST_VALUE%y%RUBO_TEST_UNDEFINED%");
    EXPECT_TRUE(expand_environment(text));
    EXPECT_STREQ("xabcy%RUBO_TEST_UNDEFINED%", text.text());

    // A result longer than a first guess at its size arrives whole.
    const std::string long_value(300, 'v');
    set_environment("RUBO_TEST_VALUE", long_value);
    text = "<%RUBO_TEST_VALUE%>";
    EXPECT_TRUE(expand_environment(text));
    EXPECT_EQ("<" + long_value + ">", text.text());
    set_environment("RUBO_TEST_VALUE", "");
}

}  // namespace
