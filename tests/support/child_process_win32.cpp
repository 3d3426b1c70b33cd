#ifdef _WIN32
#include <windows.h>

#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/wide_names.h"

namespace rubo::test {
namespace {

// Quotes one argument by the rules the C runtime uses to split a command line.
void append_quoted(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        line.append(backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

}  // namespace

std::string own_path() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return utf8_name(std::wstring(path, n));
}

PipedRun::PipedRun(const ProgramRun& run) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write;
    if (!CreatePipe(&in_read, &in_write, &inherit, 0)) return;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0)) {
        CloseHandle(in_read);
        CloseHandle(in_write);
        return;
    }
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    input_ = in_write;
    output_ = out_read;

    std::string line;
    append_quoted(line, run.program);
    for (const std::string& argument : run.arguments) {
        line += ' ';
        append_quoted(line, argument);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring wide_line = wide_name(line);
    if (CreateProcessW(wide_name(run.program).c_str(), wide_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       run.directory.empty() ? nullptr : wide_name(run.directory).c_str(), &startup, &process)) {
        CloseHandle(process.hThread);
        process_ = process.hProcess;
    }
    CloseHandle(in_read);
    CloseHandle(out_write);
}

PipedRun::~PipedRun() {
    if (process_ != nullptr) {
        // Still running when the test gave up on it.
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, INFINITE);
        }
        CloseHandle(process_);
    }
    end_input();
    if (output_ != nullptr) CloseHandle(output_);
}

void PipedRun::type(const std::string& bytes) {
    DWORD done = 0, n = 0;
    while (input_ != nullptr && done < bytes.size() &&
           WriteFile(input_, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr) && n > 0)
        done += n;
}

void PipedRun::end_input() {
    if (input_ == nullptr) return;
    CloseHandle(input_);
    input_ = nullptr;
}

bool PipedRun::read_some() {
    char buffer[65536];
    DWORD n = 0;
    if (output_ == nullptr || !ReadFile(output_, buffer, sizeof buffer, &n, nullptr) || n == 0) return false;
    output_so_far_.append(buffer, n);
    return true;
}

bool PipedRun::wait_for_output(const std::string& text) {
    while (output_so_far_.find(text) == std::string::npos)
        if (!read_some()) return false;
    return true;
}

ChildResult PipedRun::finish() {
    ChildResult result;
    if (process_ == nullptr) return result;
    while (read_some()) {
    }
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    result.exit_code = static_cast<int>(code);
    result.output = output_so_far_;
    return result;
}

ChildResult run_program(const ProgramRun& run) {
    PipedRun program(run);
    if (!program.started()) return {};
    // The input goes in beside the reading, so that neither pipe can fill up and stall.
    std::thread writer([&] {
        program.type(run.input);
        program.end_input();
    });
    ChildResult result = program.finish();
    writer.join();
    return result;
}

}  // namespace rubo::test
#endif
