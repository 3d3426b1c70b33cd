#include "core/startup_objects.h"

#include <type_traits>

#include "core/out_of_memory.h"

namespace rubo {

namespace {

StartupTrace startup_trace = nullptr;
int objects_built = 0;

// One start-up object. Each is a function-local static, so its destruction is
// registered with the exit-time list the moment its construction ends. Strings take
// their initial text; the containers start empty.
template <class T> struct StartupObject {
    StartupObject(int step, const char* text) requires std::is_same_v<T, String>
        : object(text), step(step), built(++objects_built) {}
    StartupObject(int step, const char*) : step(step), built(++objects_built) {}
    ~StartupObject() {
        if (startup_trace != nullptr) startup_trace(step, built);
    }

    T object;
    int step;
    int built;
};

}  // namespace

// The object of one step, built on the first call; the text, where given, is its
// initial content.
template <int step, class T> T& startup_object(const char* text = nullptr) {
    static StartupObject<T> row(step, text);
    return row.object;
}

String& date_format() { return startup_object<2, String>("m/d/y"); }
String& date_time_format() { return startup_object<3, String>("m/d/y h:ii:ssap"); }
String& time_format() { return startup_object<4, String>("h:ii:ssap"); }
String& num_lines_name() { return startup_object<5, String>("NumLines"); }
String& empty_string() { return startup_object<6, String>(); }
List<FatalHook>& fatal_hook_list() { return startup_object<7, List<FatalHook>>(); }
Stack<void*>& search_stack() { return startup_object<8, Stack<void*>>(); }
String& program_path() { return startup_object<9, String>(); }
String& program_directory() { return startup_object<10, String>(); }
String& program_name() { return startup_object<11, String>(); }
String& windows_directory() { return startup_object<12, String>(); }
String& command_interpreter() { return startup_object<13, String>(); }
FlatVector<void*>& pointer_vector() { return startup_object<14, FlatVector<void*>>(); }
HashTable<Callback, std::uint32_t>& callback_table() {
    return startup_object<15, HashTable<Callback, std::uint32_t>>();
}

void set_startup_trace(StartupTrace trace) { startup_trace = trace; }

namespace {

// Start-up proper: runs while this module's globals are initialised, before main.
[[maybe_unused]] const bool started = [] {
    install_out_of_memory_handler();
    date_format();
    date_time_format();
    time_format();
    num_lines_name();
    empty_string();
    fatal_hook_list();
    search_stack();
    program_path();
    program_directory();
    program_name();
    windows_directory();
    command_interpreter();
    pointer_vector();
    callback_table();
    return true;
}();

}  // namespace

const char* const string_table[string_table_size] = {
    whitespace, "\r\n",    "\r\n\r\n",  " ,-;>\t",  "0123456789", "Zero",   "One",    "Two",    "Three",    "Four",
    "Five",     "Six",     "Seven",     "Eight",    "Nine",       "Ten",    "Eleven", "Twelve", "Thirteen", "Fourteen",
    "Fifteen",  "Sixteen", "Seventeen", "Eighteen", "Nineteen",   "Twenty", "Thirty", "Forty",  "Fifty",    "Sixty",
    "Seventy",  "Eighty",  "Ninety",    "M",        "CM",         "D",      "CD",     "C",      "XC",       "L",
    "XL",       "X",       "IX",        "V",        "IV",         "I",
};

const char* const month_names[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const short_day_names[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const day_names[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const int month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

}  // namespace rubo
