#pragma once
// Fatal reports: the one way the core library stops on a condition it cannot continue
// from. A report is formatted, shown to the fatal hooks, printed through the fatal output
// hook and the process ends with exit code 1 through the ordinary exit path, so the
// exit-time destructors run and buffered output is flushed.

#include <cstdarg>
#include <cstdint>

#include "core/printf_format.h"

namespace rubo {

// Formats the report printf-style (at most 32,767 characters) and ends the process.
[[noreturn]] void fatal_error(const char* format, ...) RUBO_PRINTF_FORMAT(1, 2);
[[noreturn]] void fatal_error_list(const char* format, va_list arguments);

// "Internal Fatal Error\r\nModule: <module>\r\nLine: <line>": a broken invariant inside
// the library, named by the module that checks it (`Core` or `core`) and a line number.
[[noreturn]] void internal_fatal_error(const char* module, int line);

// Makes the calling thread the one whose report ends the process. A thread that comes
// second waits, without returning, for that end, so that a process shows one report
// however many of its threads fail at once; the reporting thread may call it again.
void claim_fatal_report();

// Writes the text and "\r\n" to standard output (a null text counts as empty).
void print_line(const char* text);

// Receives the text of every fatal report once the hooks have seen it.
using FatalOutputHook = void (*)(const char* report);
extern FatalOutputHook fatal_output_hook;  // print_line from the start

// The system's message for an operating-system error code: an empty text for code 0 or
// when the system has none. The text stays valid until the next call of either routine.
const char* os_error_text(std::uint32_t code);
const char* last_os_error_text();

}  // namespace rubo
