#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <thread>

#include "tests/support/child_process.h"

namespace rubo::test {

std::string own_path() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

ChildResult run_program(const ProgramRun& run) {
    ChildResult result;
    int to_child[2], from_child[2], errors_from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0 || pipe(errors_from_child) != 0) return result;
    signal(SIGPIPE, SIG_IGN);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(run.program.c_str()));
    for (const std::string& argument : run.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // Input that fits in the pipe at once is there before the child starts, so that it
    // is waiting when the child first looks (a key pressed ahead); a longer one is fed
    // by a thread as the child reads.
    size_t done = 0;
    if (run.input.size() <= PIPE_BUF) {
        ssize_t n = write(to_child[1], run.input.data(), run.input.size());
        if (n > 0) done = static_cast<size_t>(n);
    }

    pid_t pid = fork();
    if (pid == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        dup2(errors_from_child[1], 2);
        for (int descriptor :
             {to_child[0], to_child[1], from_child[0], from_child[1], errors_from_child[0], errors_from_child[1]})
            close(descriptor);
        if (!run.directory.empty() && chdir(run.directory.c_str()) != 0) _exit(127);
        if (run.prepare) run.prepare();
        execv(run.program.c_str(), argv.data());
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    close(errors_from_child[1]);
    std::thread error_reader([&] {
        char buffer[4096];
        ssize_t got;
        while ((got = read(errors_from_child[0], buffer, sizeof buffer)) > 0)
            result.errors.append(buffer, static_cast<size_t>(got));
        close(errors_from_child[0]);
    });
    std::thread writer([&] {
        while (done < run.input.size()) {
            ssize_t n = write(to_child[1], run.input.data() + done, run.input.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        close(to_child[1]);
    });
    char buffer[65536];
    ssize_t n;
    while ((n = read(from_child[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
    close(from_child[0]);
    writer.join();
    error_reader.join();
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return result;
}

}  // namespace rubo::test
#endif
