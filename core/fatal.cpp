#include "core/fatal.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/fatal_hooks.h"
#include "core/output.h"
#include "core/string.h"
#include "platform/platform.h"

namespace rubo {

FatalOutputHook fatal_output_hook = print_line;

namespace {

int reports_in_progress = 0;
std::atomic<std::thread::id> reporting_thread{};
bool exit_started = false;

// Ends the process with exit code 1 after the output is out. The exit-time destructors
// run once; a report raised while they run ends the process without running them again.
[[noreturn]] void end_process() {
    flush_output();
    if (exit_started) platform::exit_at_once(1);
    exit_started = true;
    std::exit(1);
}

// The system's message text last handed out by os_error_text.
char* system_message = nullptr;

}  // namespace

void claim_fatal_report() {
    std::thread::id none{};
    const std::thread::id self = std::this_thread::get_id();
    if (reporting_thread.compare_exchange_strong(none, self) || none == self) return;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void print_line(const char* text) {
    buffer_output(text != nullptr ? text : "");
    buffer_output("\r\n", 2);
}

void fatal_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fatal_error_list(format, arguments);
}

void fatal_error_list(const char* format, va_list arguments) {
    claim_fatal_report();
    ++reports_in_progress;
    if (reports_in_progress > 2) {
        // Reporting failed twice over: the bare format is all that is left to show.
        print_line(format);
        end_process();
    }
    String report;
    report.format_list(format, arguments);
    if (reports_in_progress == 1) {
        run_fatal_hooks(report.text());
        fatal_output_hook(report.text());
    } else {
        // A failure while an earlier report was under way (in a hook, the output hook,
        // formatting or the exit-time destructors): shown plainly.
        print_line(report.text());
    }
    end_process();
}

void internal_fatal_error(const char* module, int line) {
    fatal_error("Internal Fatal Error\r\nModule: %s\r\nLine: %d", module, line);
}

const char* os_error_text(std::uint32_t code) {
    if (code == 0) return shared_empty_text;
    platform::free_error_message(system_message);
    system_message = platform::error_message(code);
    return system_message != nullptr ? system_message : shared_empty_text;
}

const char* last_os_error_text() { return os_error_text(platform::last_error()); }

}  // namespace rubo
