#pragma once
// Running a child routine of this test executable (RUBO_CHILD) on a pseudo-terminal,
// so that tests can type keys at it, send it signals and look at the terminal's
// settings while it runs and after it has ended. POSIX systems only.
//
// The routine runs as a job of a small stand-in for a shell, which leads the
// terminal's session: the routine is the foreground process group, so Ctrl+Z stops it
// as it would under an interactive shell. When it stops, the stand-in shows
// "[stopped, echo on]" or "[stopped, echo off]" on the terminal and lets it go on.

#ifndef _WIN32
#include <sys/types.h>
#include <termios.h>

#include <string>

namespace rubo::test {

class TerminalChild {
public:
    // Starts the routine with a new terminal as its controlling terminal, standard
    // input and standard output.
    explicit TerminalChild(const char* routine);
    ~TerminalChild();
    TerminalChild(const TerminalChild&) = delete;
    TerminalChild& operator=(const TerminalChild&) = delete;

    // Reads what the child shows until the output holds `text`; false after a timeout.
    bool wait_for(const std::string& text, int timeout_ms = 10000);

    // Types bytes at the terminal's keyboard.
    void type(const std::string& keys);

    pid_t pid() const { return pid_; }

    // Waits for the child to end: its exit code, or 128 plus the signal that ended it.
    int wait_exit();

    // Everything the terminal has shown so far.
    const std::string& output() const { return output_; }

    // The terminal's current settings.
    termios settings() const;

private:
    void read_available(int timeout_ms);

    int master_ = -1;
    int terminal_ = -1;  // kept open so that the settings stay readable after the child ends
    pid_t shell_ = -1;
    pid_t pid_ = -1;
    std::string output_;
};

}  // namespace rubo::test
#endif
