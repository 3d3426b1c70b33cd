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
#endif

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"
#include "tests/support/child_process.h"

#ifndef _WIN32
namespace rubo::test {

class TerminalRun {
public:
    TerminalRun(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory) {
        int output[2];
        if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0 || pipe(output) != 0) return;
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            ioctl(terminal_, TIOCSCTTY, 0);
            dup2(terminal_, STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            close(master_);
            close(terminal_);
            close(output[0]);
            close(output[1]);
            if (chdir(directory.c_str()) != 0) _exit(127);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(output[1]);
        output_ = output[0];
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
    bool wait_for_output(const std::string& text) {
        while (output_so_far_.find(text) == std::string::npos)
            if (!read_some(5000)) return false;
        return true;
    }

    // Waits until the program has turned line editing off at the terminal.
    bool wait_for_key_mode() {
        for (int tries = 0; tries < 10000; ++tries) {
            if (!line_editing()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // Whether the terminal is in its ordinary state: line editing and echo on.
    bool line_editing() const {
        termios settings{};
        return tcgetattr(terminal_, &settings) == 0 && (settings.c_lflag & ICANON) != 0 &&
               (settings.c_lflag & ECHO) != 0;
    }

    // Reads the rest of standard output and waits for the program to end.
    ChildResult finish() {
        while (read_some(20000)) {
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

private:
    bool read_some(int timeout_milliseconds) {
        pollfd ready{output_, POLLIN, 0};
        if (poll(&ready, 1, timeout_milliseconds) <= 0) return false;
        char buffer[65536];
        ssize_t got = read(output_, buffer, sizeof buffer);
        if (got <= 0) return false;
        output_so_far_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    bool exited_ = false;
    int master_ = -1;
    int terminal_ = -1;  // kept open here to look at the terminal's settings
    int output_ = -1;
    std::string output_so_far_;
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
