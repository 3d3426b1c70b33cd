#include "core/startup_objects.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/fatal.h"
#include "platform/platform.h"
#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

TEST(StartupObjects, BuiltEmptyOrWithTheirTexts) {
    EXPECT_EQ(0, fatal_hook_list().count);
    EXPECT_EQ(0, search_stack().count);
    for (String* path : {&program_path(), &program_directory(), &program_name(), &windows_directory(),
                         &command_interpreter(), &empty_string()}) {
        EXPECT_EQ(nullptr, path->buffer());
        EXPECT_EQ(0, path->capacity());
    }
    EXPECT_STREQ("m/d/y", date_format().text());
    EXPECT_STREQ("m/d/y h:ii:ssap", date_time_format().text());
    EXPECT_STREQ("h:ii:ssap", time_format().text());
    EXPECT_STREQ("NumLines", num_lines_name().text());
    EXPECT_EQ(8 + 25, num_lines_name().capacity());
    EXPECT_EQ(0, pointer_vector().count);
    EXPECT_EQ(nullptr, pointer_vector().items);
    EXPECT_EQ(0, callback_table().count);
    EXPECT_EQ(0, callback_table().bucket_count);
}

TEST(StartupObjects, StringTable) {
    EXPECT_STREQ(" \r\n\t", string_table[0]);
    EXPECT_STREQ("\r\n", string_table[1]);
    EXPECT_STREQ("\r\n\r\n", string_table[2]);
    EXPECT_STREQ(" ,-;>\t", string_table[3]);
    EXPECT_STREQ("0123456789", string_table[4]);
    EXPECT_STREQ("Zero", string_table[5]);
    EXPECT_STREQ("Nineteen", string_table[24]);
    EXPECT_STREQ("Twenty", string_table[25]);
    EXPECT_STREQ("Ninety", string_table[32]);
    EXPECT_STREQ("M", string_table[33]);
    EXPECT_STREQ("I", string_table[45]);
    for (const char* entry : string_table) EXPECT_NE(nullptr, entry);
    EXPECT_STREQ("December", month_names[11]);
    EXPECT_STREQ("Sat", short_day_names[6]);
    EXPECT_STREQ("Sunday", day_names[0]);
    int days = 0;
    for (int month : month_days) days += month;
    EXPECT_EQ(365, days);
}

void show_release(int step, int built) {
    char text[16];
    int n = std::snprintf(text, sizeof text, "%d:%d ", step, built);
    platform::write_standard_output(text, static_cast<std::size_t>(n));
}

// The objects go in the reverse of the order they were built in, also when a fatal
// report ends the process.
RUBO_CHILD(startup_release_order) {
    set_startup_trace(show_release);
    search_stack().push(nullptr);
    fatal_error("stop");
}

TEST(StartupObjects, ReleasedInReverseAtExit) {
    std::string expected = "stop\r\n";
    for (int step = 15; step >= 2; --step) expected += std::to_string(step) + ":" + std::to_string(step - 1) + " ";
    rubo::test::expect_child("startup_release_order", 1, expected);
}

}  // namespace
