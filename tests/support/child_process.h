#pragma once
// Running child processes from tests: this test executable again (to watch a routine
// end the process), or any program such as the built tool, with its standard output
// captured byte for byte and its exit code.

#include <functional>
#include <string>
#include <vector>

namespace rubo::test {

struct ChildResult {
    int exit_code = -1;
    std::string output;  // everything the child wrote to standard output
    std::string errors;  // and to standard error (POSIX systems; elsewhere it is passed on)
};

struct ProgramRun {
    std::string program;
    std::vector<std::string> arguments;
    std::string input;      // written to the child's standard input, which is then closed
    std::string directory;  // working directory of the child; empty inherits ours
    // POSIX systems only: done in the child once it is in its directory, just before the
    // program starts (to change its user, its limits, its signals or its output).
    std::function<void()> prepare = {};
};

ChildResult run_program(const ProgramRun& run);

#ifdef _WIN32
// A program whose standard input and output are pipes that the test writes and reads
// while it runs, so that it can change the tree while the program waits for a key.
// (POSIX tests do this at a terminal.) The run's `input` is not written.
class PipedRun {
public:
    explicit PipedRun(const ProgramRun& run);
    PipedRun(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory)
        : PipedRun(ProgramRun{program, arguments, "", directory}) {}
    ~PipedRun();
    PipedRun(const PipedRun&) = delete;
    PipedRun& operator=(const PipedRun&) = delete;

    bool started() const { return process_ != nullptr; }

    // Writes bytes to the program's standard input; ends that input.
    void type(const std::string& bytes);
    void end_input();

    // Reads standard output until it holds `text`; false when the output ended first.
    bool wait_for_output(const std::string& text);

    // Reads the rest of standard output and waits for the program to end.
    ChildResult finish();

private:
    bool read_some();

    void* process_ = nullptr;
    void* input_ = nullptr;
    void* output_ = nullptr;
    std::string output_so_far_;
};
#endif

// Runs this executable again so that it performs the routine registered as `name`
// (with RUBO_CHILD) and exits with its result.
ChildResult run_child(const char* name, const std::string& input = "");

// Full path of the running executable.
std::string own_path();

using ChildRoutine = int (*)();

struct ChildRegistration {
    ChildRegistration(const char* name, ChildRoutine routine);
};

// Called by the test main: runs the registered routine when the arguments ask for one.
// Returns false when the process is an ordinary test run.
bool run_child_if_asked(int argc, char** argv, int& exit_code);

}  // namespace rubo::test

#define RUBO_CHILD(name)                                                                                   \
    static int rubo_child_##name();                                                                        \
    static const ::rubo::test::ChildRegistration rubo_child_registration_##name(#name, rubo_child_##name); \
    static int rubo_child_##name()
