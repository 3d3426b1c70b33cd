#pragma once
// The global objects, created before the program's main routine in a fixed order and
// destroyed in the reverse order when the process ends (normally or after a fatal
// report):
//
//   1 the out-of-memory handler is installed (no object)
//   2-5 the texts "m/d/y", "m/d/y h:ii:ssap", "h:ii:ssap" and "NumLines"
//   6 an empty String
//   7 the fatal hook list
//   8 search_stack, the saved directory-search handles of the directory walk
//   9-13 the working paths: program path, program directory, program name, the
//        Windows directory and the command interpreter, empty until computed
//   14 a FlatVector of untyped pointers
//   15 callback_table
//
// Beside them lie constant tables: the string table and the calendar tables.

#include <cstdint>

#include "core/flat_vector.h"
#include "core/hash_table.h"
#include "core/list.h"
#include "core/stack.h"
#include "core/string.h"

namespace rubo {

// A routine that sees a fatal report before it is printed.
using FatalHook = void (*)(const char* report);
using Callback = void (*)(std::uint32_t);

String& date_format();
String& date_time_format();
String& time_format();
String& num_lines_name();
String& empty_string();
// Registering a hook means appending it here; run_fatal_hooks takes them off.
List<FatalHook>& fatal_hook_list();
Stack<void*>& search_stack();
String& program_path();
String& program_directory();
String& program_name();
String& windows_directory();
String& command_interpreter();
FlatVector<void*>& pointer_vector();
HashTable<Callback, std::uint32_t>& callback_table();

// Called as each start-up object is destroyed at exit, with its step (2 to 15) and the
// place in which it was built (1 for the first). Null (the default) calls nothing.
using StartupTrace = void (*)(int step, int built);
void set_startup_trace(StartupTrace trace);

// 0 the whitespace set, 1 "\r\n", 2 "\r\n\r\n", 3 " ,-;>\t", 4 "0123456789", 5-24 the
// number words "Zero" to "Nineteen", 25-32 "Twenty" to "Ninety", 33-45 the Roman numeral
// symbols from "M" down to "I".
inline constexpr int string_table_size = 46;
extern const char* const string_table[string_table_size];

extern const char* const month_names[12];
extern const char* const short_day_names[7];  // Sunday first
extern const char* const day_names[7];
extern const int month_days[12];  // February with 28

}  // namespace rubo
