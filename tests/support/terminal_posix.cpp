#ifndef _WIN32
#include "tests/support/terminal_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "tests/support/child_process.h"

namespace rubo::test {
namespace {

void say(int terminal, const char* text) {
    if (write(terminal, text, std::strlen(text)) < 0) _exit(126);
}

// The stand-in shell: starts the routine as the terminal's foreground job, tells the
// test its process id, lets it go on whenever it stops and ends as the job ends.
[[noreturn]] void run_shell(int terminal, int report, char* const* arguments) {
    setsid();
    ioctl(terminal, TIOCSCTTY, 0);
    signal(SIGTTOU, SIG_IGN);
    int go[2];
    if (pipe(go) != 0) _exit(126);
    pid_t job = fork();
    if (job == 0) {
        char start;
        if (read(go[0], &start, 1) != 1) _exit(126);
        signal(SIGTTOU, SIG_DFL);
        dup2(terminal, STDIN_FILENO);
        dup2(terminal, STDOUT_FILENO);
        execv(arguments[0], arguments);
        _exit(127);
    }
    setpgid(job, job);
    tcsetpgrp(terminal, job);
    if (write(go[1], "g", 1) != 1 || write(report, &job, sizeof job) != sizeof job) _exit(126);
    for (;;) {
        int status = 0;
        if (waitpid(job, &status, WUNTRACED) != job) _exit(126);
        if (WIFEXITED(status)) _exit(WEXITSTATUS(status));
        if (WIFSIGNALED(status)) _exit(128 + WTERMSIG(status));
        termios settings{};
        tcgetattr(terminal, &settings);
        say(terminal, (settings.c_lflag & ECHO) != 0 ? "[stopped, echo on]\n" : "[stopped, echo off]\n");
        kill(job, SIGCONT);
    }
}

}  // namespace

TerminalChild::TerminalChild(const char* routine) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pseudo-terminal");
    std::string terminal_name = ptsname(master_);
    terminal_ = open(terminal_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    int report[2];
    if (terminal_ < 0 || pipe(report) != 0) throw std::runtime_error("pseudo-terminal cannot be opened");

    std::string program = own_path();
    std::string flag = std::string("--rubo-child=") + routine;
    char* arguments[] = {program.data(), flag.data(), nullptr};
    shell_ = fork();
    if (shell_ == 0) run_shell(terminal_, report[1], arguments);
    close(report[1]);
    if (read(report[0], &pid_, sizeof pid_) != sizeof pid_) pid_ = -1;
    close(report[0]);
}

TerminalChild::~TerminalChild() {
    if (shell_ > 0) {
        if (pid_ > 0) kill(pid_, SIGKILL);
        kill(shell_, SIGKILL);
        waitpid(shell_, nullptr, 0);
    }
    close(terminal_);
    close(master_);
}

void TerminalChild::read_available(int timeout_ms) {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) <= 0) return;
    char buffer[4096];
    ssize_t got = read(master_, buffer, sizeof buffer);
    if (got > 0) output_.append(buffer, static_cast<size_t>(got));
}

bool TerminalChild::wait_for(const std::string& text, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (output_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        read_available(static_cast<int>(left.count()));
    }
    return true;
}

void TerminalChild::type(const std::string& keys) {
    if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("typing failed");
}

int TerminalChild::wait_exit() {
    int status = 0;
    if (waitpid(shell_, &status, 0) != shell_) return -1;
    shell_ = -1;
    for (std::size_t before = output_.size() + 1; before != output_.size();) {
        before = output_.size();
        read_available(0);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

termios TerminalChild::settings() const {
    termios current{};
    tcgetattr(terminal_, &current);
    return current;
}

}  // namespace rubo::test
#endif
