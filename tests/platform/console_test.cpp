#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/support/child_process.h"

using namespace rubo;

#ifndef _WIN32
#include <signal.h>
#include <termios.h>

#include "tests/support/terminal_posix.h"
#endif

namespace {

void show(const std::string& text) { platform::write_standard_output(text.data(), text.size()); }

// Reads the keys of a standard input that holds "y", Escape and Ctrl+C's byte.
RUBO_CHILD(keys_from_input) {
    std::string report = std::to_string(platform::read_key());  // waits for the bytes
    report += platform::key_pending() ? " pending" : " none";
    for (int i = 0; i < 3; ++i) report.append(" ").append(std::to_string(platform::read_key()));  // the last at the end
    report += platform::key_pending() ? " pending" : " none";
    report.append(" ").append(std::to_string(platform::read_key()));
    show(report);
    return 0;
}

TEST(Console, BytesOfStandardInputAreTheKeys) {
    rubo::test::ChildResult child = rubo::test::run_child("keys_from_input", "y\x1b\x03");
    EXPECT_EQ(0, child.exit_code);
    EXPECT_EQ("121 pending 27 3 0 none 0", child.output);
}

#ifndef _WIN32

// Shows every key it reads until Escape; announces itself once the terminal is set.
RUBO_CHILD(keys_from_terminal) {
    platform::key_pending();
    show("ready\n");
    for (;;) {
        int key = platform::read_key();
        show("key " + std::to_string(key) + "\n");
        if (key == 27) return 0;
    }
}

bool echoes(const termios& settings) { return (settings.c_lflag & ECHO) != 0; }
bool edits_lines(const termios& settings) { return (settings.c_lflag & ICANON) != 0; }
bool keeps_output_at_interrupt(const termios& settings) { return (settings.c_lflag & NOFLSH) != 0; }

TEST(Console, TerminalKeysComeWithoutEchoAndTheSettingsComeBack) {
    rubo::test::TerminalChild child("keys_from_terminal");
    ASSERT_TRUE(child.wait_for("ready"));
    EXPECT_FALSE(echoes(child.settings()));
    EXPECT_FALSE(edits_lines(child.settings()));
    EXPECT_TRUE(keeps_output_at_interrupt(child.settings()));
    child.type("x");
    ASSERT_TRUE(child.wait_for("key 120"));
    child.type("\x03");  // the terminal turns it into SIGINT
    ASSERT_TRUE(child.wait_for("key 3"));
    child.type("\x1b");
    EXPECT_EQ(0, child.wait_exit());
    EXPECT_EQ("ready\r\nkey 120\r\nkey 3\r\nkey 27\r\n", child.output());  // no echo of the keys
    EXPECT_TRUE(echoes(child.settings()));
    EXPECT_TRUE(edits_lines(child.settings()));
    EXPECT_FALSE(keeps_output_at_interrupt(child.settings()));
}

TEST(Console, TerminalSettingsComeBackWhenASignalEndsTheProcess) {
    rubo::test::TerminalChild child("keys_from_terminal");
    ASSERT_TRUE(child.wait_for("ready"));
    kill(child.pid(), SIGTERM);
    EXPECT_EQ(128 + SIGTERM, child.wait_exit());
    EXPECT_TRUE(echoes(child.settings()));
    EXPECT_TRUE(edits_lines(child.settings()));
}

TEST(Console, TerminalSettingsComeBackWhileStopped) {
    rubo::test::TerminalChild child("keys_from_terminal");
    ASSERT_TRUE(child.wait_for("ready"));
    child.type("\x1a");  // Ctrl+Z; the stand-in shell lets the job go on at once
    ASSERT_TRUE(child.wait_for("[stopped, echo on]"));
    // Going on, the job puts its own settings back in place.
    for (int wait = 0; wait < 1000 && echoes(child.settings()); ++wait) platform::sleep_milliseconds(10);
    EXPECT_FALSE(echoes(child.settings()));
    child.type("a");
    ASSERT_TRUE(child.wait_for("key 97"));
    child.type("\x1b");
    EXPECT_EQ(0, child.wait_exit());
    // The key typed after the stop is not echoed.
    EXPECT_EQ("ready\r\n[stopped, echo on]\r\nkey 97\r\nkey 27\r\n", child.output());
}

#endif

}  // namespace
