#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using rubo::test::ScratchDirectory;
namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char separator = '\\';
void set_variable(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }
#else
constexpr char separator = '/';
void set_variable(const char* name, const char* value) {
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
#endif

using TextCall = std::uint32_t (*)(char*, std::uint32_t);

// Reads a text by the answer protocol: first with no room, then with what it asked
// for. Checks on the way that a buffer one byte short is refused.
std::string answer_of(TextCall call) {
    std::uint32_t needed = call(nullptr, 0);
    EXPECT_GT(needed, 0u);
    std::vector<char> buffer(needed + 1, '#');
    EXPECT_EQ(needed, call(buffer.data(), needed - 1));
    EXPECT_EQ(needed, call(buffer.data(), needed));
    EXPECT_EQ('\0', buffer[needed - 1]);
    return std::string(buffer.data(), needed - 1);
}

std::string expand(const char* text) {
    std::vector<char> buffer(8);
    std::uint32_t needed = platform::expand_environment(text, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (needed > buffer.size()) {
        buffer.resize(needed);
        needed = platform::expand_environment(text, buffer.data(), needed);
    }
    EXPECT_GT(needed, 0u);
    EXPECT_LE(needed, buffer.size());
    return buffer.data();
}

// Restores the current directory when a test has moved it.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(fs::current_path()) {}
    ~CurrentDirectoryGuard() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

TEST(WorkingPaths, CurrentDirectoryOfAnyLength) {
    ScratchDirectory dir;
    std::string deep = "a-directory-name-of-forty-characters-xyz/and-another-one-of-forty-characters-xy/last";
    dir.make_directory(deep);
    std::string target = dir / deep;
    ASSERT_GT(target.size(), 98u);
    CurrentDirectoryGuard guard;

    ASSERT_TRUE(platform::set_current_directory(target.c_str()));
    char small[99];
    std::uint32_t needed = platform::get_current_directory(small, sizeof small);
    EXPECT_GT(needed, 99u);
    std::string current = answer_of(platform::get_current_directory);
    EXPECT_EQ(needed, current.size() + 1);
    EXPECT_TRUE(fs::equivalent(current, target));

    EXPECT_TRUE(platform::set_current_directory(".."));
    EXPECT_TRUE(fs::equivalent(
        fs::current_path(), dir / "a-directory-name-of-forty-characters-xyz/and-another-one-of-forty-characters-xy"));
    EXPECT_FALSE(platform::set_current_directory((dir / "missing").c_str()));
    EXPECT_EQ(platform::SYSTEM_ERROR_FILE_NOT_FOUND, platform::last_error());
    EXPECT_FALSE(platform::set_current_directory((dir / "missing/deeper").c_str()));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    EXPECT_FALSE(platform::set_current_directory(""));
    EXPECT_FALSE(platform::set_current_directory(std::string(5000, 'x').c_str()));
    EXPECT_TRUE(fs::equivalent(
        fs::current_path(), dir / "a-directory-name-of-forty-characters-xyz/and-another-one-of-forty-characters-xy"));
}

// Windows keeps a current directory for each drive: the process's own on its drive, the
// one an =X: variable names on another, else that drive's root.
TEST(WorkingPaths, EachDriveHasItsOwnCurrentDirectory) {
    char answer[600];
#ifdef _WIN32
    ScratchDirectory dir;
    CurrentDirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(dir.path().c_str()));
    const char drive = dir.path()[0];
    const char other = std::toupper(drive) == 'Q' ? 'R' : 'Q';
    const char variable[] = {'=', other, ':', '\0'};
    const auto directory_of = [&answer](char letter) {
        EXPECT_GT(platform::get_drive_directory(letter, answer, sizeof answer), 0u) << letter;
        std::string text = answer;
        if (text.size() > 3 && text.back() == '\\') text.pop_back();  // Wine ends it with one
        return text;
    };
    EXPECT_TRUE(fs::equivalent(dir.path(), directory_of(drive)));
    set_variable(variable, (std::string(1, other) + ":\\elsewhere").c_str());
    EXPECT_EQ(std::string(1, other) + ":\\elsewhere", directory_of(other));
    set_variable(variable, nullptr);
    EXPECT_EQ(std::string(1, other) + ":\\", directory_of(other));
#else
    EXPECT_EQ(0u, platform::get_drive_directory('C', answer, sizeof answer));
#endif
    EXPECT_EQ(0u, platform::get_drive_directory('1', answer, sizeof answer));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
}

TEST(WorkingPaths, SystemDirectoryAndProgramPath) {
    std::string system = answer_of(platform::get_system_directory);
#ifdef _WIN32
    std::transform(system.begin(), system.end(), system.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(std::string::npos, system.find("windows")) << system;
    EXPECT_TRUE(fs::is_directory(system));
#else
    EXPECT_EQ("/", system);
#endif
    EXPECT_EQ(rubo::test::own_path(), answer_of(platform::get_program_path));
}

TEST(WorkingPaths, ExpandsVariablesByNameInAnyCase) {
    set_variable("RuboTestValue", "expanded text");
    set_variable("RUBO_TEST_OTHER", "2");
    set_variable("RUBO_TEST_UNSET", nullptr);
    EXPECT_EQ("expanded text", expand("%RuboTestValue%"));
    EXPECT_EQ("<expanded text|expanded text>", expand("<%rubotestvalue%|%RUBOTESTVALUE%>"));
    EXPECT_EQ("expanded text2", expand("%RUBOTESTVALUE%%rubo_test_other%"));
    EXPECT_EQ("%RUBO_TEST_UNSET%", expand("%RUBO_TEST_UNSET%"));
    EXPECT_EQ("%RUBO_TEST_UNSET%2", expand("%RUBO_TEST_UNSET%%RUBO_TEST_OTHER%"));
    EXPECT_EQ("100% sure", expand("100% sure"));
    EXPECT_EQ("a%%b", expand("a%%b"));
    EXPECT_EQ("", expand(""));
    EXPECT_EQ(0u, platform::expand_environment(nullptr, nullptr, 0));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
    set_variable("RuboTestValue", nullptr);
    set_variable("RUBO_TEST_OTHER", nullptr);
}

TEST(WorkingPaths, TempPathEndsWithASeparator) {
    std::string temp = answer_of(platform::get_temp_path);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(separator, temp.back());
    EXPECT_TRUE(fs::is_directory(temp));
#ifndef _WIN32
    const char* saved = std::getenv("TMPDIR");
    std::string kept = saved != nullptr ? saved : "";
    set_variable("TMPDIR", "/var/tmp");
    EXPECT_EQ("/var/tmp/", answer_of(platform::get_temp_path));
    set_variable("TMPDIR", "");
    EXPECT_EQ("/tmp/", answer_of(platform::get_temp_path));
    set_variable("TMPDIR", saved != nullptr ? kept.c_str() : nullptr);
#endif
}

std::size_t entries_in(const std::string& directory) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

TEST(WorkingPaths, TempFilesAreNewEmptyAndUnique) {
    ScratchDirectory dir;
    char name[600];
    std::vector<std::string> made;
    for (const std::string& directory : {dir.path(), dir.path() + separator}) {
        for (int i = 0; i < 3; ++i) {
            std::uint32_t needed = platform::create_temp_file(directory.c_str(), "KWBXYZ", name, sizeof name);
            ASSERT_GT(needed, 0u);
            ASSERT_LE(needed, sizeof name);
            std::string made_name = name;
            EXPECT_EQ(needed, made_name.size() + 1);
            EXPECT_EQ(dir.path() + separator + "KWB", made_name.substr(0, dir.path().size() + 4));
            EXPECT_EQ(".tmp", made_name.substr(made_name.size() - 4));
            EXPECT_EQ(0u, fs::file_size(made_name));
            made.push_back(made_name);
        }
    }
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made.end(), std::adjacent_find(made.begin(), made.end()));
    EXPECT_EQ(made.size(), entries_in(dir.path()));

    std::uint32_t needed = platform::create_temp_file(dir.path().c_str(), "KWB", name, 10);
    EXPECT_GT(needed, 10u);
    EXPECT_EQ(made.size(), entries_in(dir.path()));  // nothing made that nobody could name
    EXPECT_EQ(0u, platform::create_temp_file((dir / "missing").c_str(), "KWB", name, sizeof name));
    EXPECT_EQ(0u, platform::create_temp_file("", "KWB", name, sizeof name));
}

#ifndef _WIN32

TEST(WorkingPaths, TempNamesTryAgainUntilOneIsFree) {
    // Names are tried in the order of their numbers: taking the next fifty away makes
    // the following call pass over all of them.
    ScratchDirectory dir;
    char name[600];
    ASSERT_GT(platform::create_temp_file(dir.path().c_str(), "KWB", name, sizeof name), 0u);
    unsigned number = std::stoul(std::string(name).substr(dir.path().size() + 4, 4), nullptr, 16);
    for (unsigned step = 1; step <= 50; ++step) {
        std::snprintf(name, sizeof name, "%s/KWB%04X.tmp", dir.path().c_str(), (number + step) % 0x10000);
        std::fclose(std::fopen(name, "w"));
    }
    ASSERT_GT(platform::create_temp_file(dir.path().c_str(), "KWB", name, sizeof name), 0u);
    char expected[600];
    std::snprintf(expected, sizeof expected, "%s/KWB%04X.tmp", dir.path().c_str(), (number + 51) % 0x10000);
    EXPECT_STREQ(expected, name);
    EXPECT_EQ(52u, entries_in(dir.path()));
}

#endif

}  // namespace
