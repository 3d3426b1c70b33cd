#pragma once
// Running a program at a pseudo-terminal (POSIX only): the terminal is the program's
// standard input and controlling terminal, so keys typed at it arrive as a user's keys
// do (Ctrl+C becomes a signal), while standard output goes to a pipe and is read byte
// for byte. And a run held at the prompt, on every platform.

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <utility>
#endif

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"
#include "tests/support/child_process.h"

#ifndef _WIN32
namespace rubo::test {

// How a run meets its terminal.
struct TerminalSetup {
    bool output_at_terminal = false;  // standard output is the terminal as well, not a pipe
    bool error_at_terminal = false;   // standard error is the terminal, not the test's own
    // Started in a process group of its own, so in the terminal's background. It runs
    // below a stand-in for a shell, which ends with STOPPED_BY_TERMINAL when it stops.
    bool background = false;
    std::vector<std::string> environment = {};  // NAME=value, added to the test's own
};

inline constexpr int STOPPED_BY_TERMINAL = 99;

class TerminalRun {
public:
    TerminalRun(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory,
                TerminalSetup setup = {}) {
        int output[2];
        if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0 || pipe(output) != 0) return;
        if (setup.output_at_terminal || setup.error_at_terminal) {
            termios settings{};  // its bytes read back as written
            tcgetattr(terminal_, &settings);
            settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
            tcsetattr(terminal_, TCSANOW, &settings);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            ioctl(terminal_, TIOCSCTTY, 0);
            dup2(terminal_, STDIN_FILENO);
            dup2(setup.output_at_terminal ? terminal_ : output[1], STDOUT_FILENO);
            if (setup.error_at_terminal) dup2(terminal_, STDERR_FILENO);
            close(master_);
            close(terminal_);
            close(output[0]);
            close(output[1]);
            if (chdir(directory.c_str()) != 0) _exit(127);
            for (const std::string& variable : setup.environment) putenv(const_cast<char*>(variable.c_str()));
            if (setup.background) run_in_background();
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(output[1]);
        if (setup.output_at_terminal) {
            // Without another holder of the terminal, its output ends with the program.
            close(output[0]);
            close(terminal_);
            terminal_ = -1;
            output_ = dup(master_);
        } else {
            output_ = output[0];
        }
    }
    ~TerminalRun() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int descriptor : {master_, terminal_, output_})
            if (descriptor >= 0) close(descriptor);
    }
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    bool started() const { return pid_ > 0; }

    // Types keys at the terminal.
    void type(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) ADD_FAILURE() << "type";
    }

    // Reads standard output until it holds `text`; false when it ended or went silent
    // for several seconds first.
    bool wait_for_output(const std::string& text) { return wait_for(output_, output_so_far_, text); }

    // Reads what the terminal shows (with standard output elsewhere) until it holds `text`.
    bool wait_for_terminal(const std::string& text) { return wait_for(master_, shown_so_far_, text); }
    const std::string& shown() const { return shown_so_far_; }

    // Waits until the program has turned line editing off at the terminal.
    bool wait_for_key_mode() {
        return wait_until([this] { return !line_editing(); });
    }

    // Whether the terminal is in its ordinary state: line editing and echo on.
    bool line_editing() const {
        termios settings{};
        return tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ICANON) != 0 && (settings.c_lflag & ECHO) != 0;
    }

    // Reads the rest of standard output and waits for the program to end.
    ChildResult finish() {
        while (read_some(output_, output_so_far_, 20000)) {
        }
        ChildResult result;
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_) {
            exited_ = true;
            result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        result.output = output_so_far_;
        return result;
    }

    // Waits until output that the program wrote to the terminal waits there unread and
    // stops growing: the program is held up on the full terminal.
    bool wait_for_full_output() {
        int before = -1;
        return wait_until([&] {
            int now = unread(master_);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return std::exchange(before, now) == now && now > 0;
        });
    }

    // Waits until typed keys wait at the terminal, unread by the program.
    bool wait_for_unread_keys() {
        return wait_until([this] { return unread(terminal_) > 0; });
    }

    pid_t pid() const { return pid_; }

private:
    // In the forked child: goes on as the shell of a job that runs the program in a
    // process group of its own.
    static void run_in_background() {
        pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            return;
        }
        setpgid(job, job);
        int status = 0;
        if (waitpid(job, &status, WUNTRACED) != job) _exit(126);
        if (WIFSTOPPED(status)) {
            kill(job, SIGKILL);
            _exit(STOPPED_BY_TERMINAL);
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }

    // Asks for up to ten seconds whether `done`.
    template <typename Check> static bool wait_until(Check done) {
        for (int tries = 0; tries < 10000; ++tries) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    static int unread(int descriptor) {
        int count = 0;
        return ioctl(descriptor, FIONREAD, &count) == 0 ? count : 0;
    }

    static bool wait_for(int descriptor, std::string& so_far, const std::string& text) {
        while (so_far.find(text) == std::string::npos)
            if (!read_some(descriptor, so_far, 5000)) return false;
        return true;
    }

    static bool read_some(int descriptor, std::string& so_far, int timeout_milliseconds) {
        pollfd ready{descriptor, POLLIN, 0};
        if (poll(&ready, 1, timeout_milliseconds) <= 0) return false;
        char buffer[65536];
        ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got <= 0) return false;
        so_far.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    bool exited_ = false;
    int master_ = -1;
    int terminal_ = -1;  // kept open here to see the keys that wait there
    int output_ = -1;
    std::string output_so_far_;
    std::string shown_so_far_;  // read from the terminal itself
};

}  // namespace rubo::test

#endif

namespace rubo::test {

// A run that waits at the prompt, brought up by a pattern that matches nothing beside
// one that matches the tree's .obj files. Its keys come from a terminal on POSIX
// systems and through a pipe on Windows.
#ifdef _WIN32
using PromptRun = PipedRun;
#else
using PromptRun = TerminalRun;
#endif

class AtPrompt : public ::testing::Test {
protected:
    void reach_prompt() {
        run = std::make_unique<PromptRun>(tool_path(), std::vector<std::string>{"*.zzz;*.obj"}, tree.path());
        ASSERT_TRUE(run->started());
        ASSERT_TRUE(run->wait_for_output(prompt));
    }
    // What the run has written up to the prompt.
    std::string up_to_prompt() const { return banner + no_match(tree.native("*.zzz")) + prompt; }

    TempTree tree;
    std::unique_ptr<PromptRun> run;
};

}  // namespace rubo::test
