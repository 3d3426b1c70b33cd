#include <gtest/gtest.h>

#include "platform/platform.h"

using namespace rubo;

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Points standard output at `path` for one question, then puts it back.
bool discarded_when_output_is(const char* path) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int target = open(path, O_WRONLY);
    if (saved < 0 || target < 0 || dup2(target, STDOUT_FILENO) < 0) {
        ADD_FAILURE() << "cannot redirect standard output to " << path;
        return false;
    }
    close(target);
    const bool discarded = platform::output_discarded();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return discarded;
}

// Only the null device throws output away; a terminal-like device or a file may fail.
TEST(Output, OnlyTheNullDeviceCountsAsDiscarded) {
    EXPECT_TRUE(discarded_when_output_is("/dev/null"));
    EXPECT_FALSE(discarded_when_output_is("/dev/zero"));
    char file[] = "/tmp/rubo-output-XXXXXX";
    const int made = mkstemp(file);
    ASSERT_GE(made, 0);
    close(made);
    EXPECT_FALSE(discarded_when_output_is(file));
    unlink(file);
}

}  // namespace
#endif

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "tests/support/wide_names.h"

namespace {

// A console gets the bytes as UTF-16, whatever its code page, so every name shows as
// it is; a sequence that one write cuts off is completed by the next.
TEST(Output, ConsoleShowsEveryNameAsItIs) {
    HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              CONSOLE_TEXTMODE_BUFFER, nullptr);
    DWORD mode;
    // Wine without a terminal gives a process no console that can be written.
    if (screen == INVALID_HANDLE_VALUE || !GetConsoleMode(screen, &mode)) GTEST_SKIP() << "no console attached";
    const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, screen);
    const std::string text = "файл 文件 😀 café";
    const bool written = platform::write_standard_output(text.data(), text.size() - 1) &&
                         platform::write_standard_output(text.data() + text.size() - 1, 1);
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    EXPECT_TRUE(written);
    const std::wstring expected = rubo::test::wide_name(text);
    std::wstring shown(expected.size(), L'\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown.data(), static_cast<DWORD>(shown.size()), COORD{0, 0}, &read);
    CloseHandle(screen);
    EXPECT_EQ(expected, shown.substr(0, read));
}

}  // namespace
#endif
