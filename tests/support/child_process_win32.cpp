#ifdef _WIN32
#include <windows.h>

#include <thread>

#include "tests/support/child_process.h"

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
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

ChildResult run_program(const ProgramRun& run) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write;
    if (!CreatePipe(&in_read, &in_write, &inherit, 0)) return result;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return result;
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);

    std::string line;
    append_quoted(line, run.program);
    for (const std::string& argument : run.arguments) {
        line += ' ';
        append_quoted(line, argument);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(run.program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  run.directory.empty() ? nullptr : run.directory.c_str(), &startup, &process);
    CloseHandle(in_read);
    CloseHandle(out_write);
    if (!started) {
        CloseHandle(in_write);
        CloseHandle(out_read);
        return result;
    }
    std::thread writer([&] {
        DWORD done = 0, n = 0;
        while (done < run.input.size() &&
               WriteFile(in_write, run.input.data() + done, static_cast<DWORD>(run.input.size() - done), &n, nullptr) &&
               n > 0)
            done += n;
        CloseHandle(in_write);
    });
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(out_read, buffer, sizeof buffer, &n, nullptr) && n > 0) result.output.append(buffer, n);
    CloseHandle(out_read);
    writer.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exit_code = static_cast<int>(code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

}  // namespace rubo::test
#endif
