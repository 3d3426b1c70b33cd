#include "core/fatal.h"

#include <gtest/gtest.h>

#include <string>

#include "core/output.h"
#include "platform/platform.h"
#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

RUBO_CHILD(fatal_with_format) {
    buffer_output("before\r\n");  // buffered output comes out ahead of the report
    fatal_error("Vector<%s>[%d]\nmax_index = %d", "class String", 7, 3);
}

RUBO_CHILD(fatal_internal) { internal_fatal_error("core", 5329); }

TEST(FatalReport, PrintsTheFormattedReportAndExitsWithOne) {
    rubo::test::expect_child("fatal_with_format", 1, "before\r\nVector<class String>[7]\nmax_index = 3\r\n");
    rubo::test::expect_child("fatal_internal", 1, "Internal Fatal Error\r\nModule: core\r\nLine: 5329\r\n");
}

void failing_output_hook(const char* report) {
    buffer_output("hook saw: ");
    buffer_output(report);
    buffer_output("\r\n");
    fatal_error("second %d", 2);
}

RUBO_CHILD(fatal_inside_output_hook) {
    fatal_output_hook = failing_output_hook;
    fatal_error("first");
}

// Raises a report from an exit-time destructor, while the first report is ending the
// process.
struct FaultsOnDestruction {
    ~FaultsOnDestruction() { fatal_error("while exiting"); }
};

RUBO_CHILD(fatal_during_exit) {
    static FaultsOnDestruction faulty;
    fatal_error("first");
}

TEST(FatalReport, ReportRaisedWhileReportingEndsPlainly) {
    rubo::test::expect_child("fatal_inside_output_hook", 1, "hook saw: first\r\nsecond 2\r\n");
    rubo::test::expect_child("fatal_during_exit", 1, "first\r\nwhile exiting\r\n");
}

RUBO_CHILD(print_line_texts) {
    print_line("one");
    print_line(nullptr);
    print_line("two");
    return 0;
}

TEST(FatalReport, PrintLineEndsEveryLineWithCrLf) {
    rubo::test::expect_child("print_line_texts", 0, "one\r\n\r\ntwo\r\n");
}

TEST(OsErrorText, SystemMessagesByCode) {
    EXPECT_STREQ("", os_error_text(0));
    const std::string not_found = os_error_text(2);
    EXPECT_FALSE(not_found.empty());
    // Each call frees the text before (the sanitizer lane sees a leak otherwise).
    const std::string denied = os_error_text(5);
    EXPECT_FALSE(denied.empty());
    EXPECT_NE(not_found, denied);
    const char* held = os_error_text(5);
    EXPECT_STREQ("", os_error_text(0));
    EXPECT_EQ(denied, held);  // code 0 leaves the held text alone
    EXPECT_STREQ("", os_error_text(0xfffffff0u));
}

TEST(OsErrorText, LastErrorOfThePlatform) {
    platform::set_last_error(2);
    const std::string expected = os_error_text(2);
    platform::set_last_error(2);
    EXPECT_EQ(expected, last_os_error_text());
    platform::set_last_error(0);
    EXPECT_STREQ("", last_os_error_text());
}

}  // namespace
