#include "core/fatal_hooks.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/fatal.h"
#include "core/output.h"
#include "core/startup_objects.h"
#include "tests/support/expect_child.h"

using namespace rubo;

namespace {

void hook_a(const char* report) {
    buffer_output("a:");
    buffer_output(report);
    buffer_output(" ");
}
void hook_b(const char*) { buffer_output("b "); }
void hook_throws(const char*) { throw std::runtime_error("hook failed"); }
void hook_dot(const char*) { buffer_output("."); }

// 150 hooks: a, one that throws, a null one, b, then 146 dots. Only the first 100 run,
// each once, front first, before the report is printed.
RUBO_CHILD(fatal_hooks_run_in_order) {
    List<FatalHook>& hooks = fatal_hook_list();
    hooks.append(hook_a);
    hooks.append(hook_throws);
    hooks.append(FatalHook{nullptr});
    hooks.append(hook_b);
    for (int i = 0; i < 146; ++i) hooks.append(hook_dot);
    fatal_error("report %d", 7);
}

TEST(FatalHooks, RunFrontFirstAtMostAHundred) {
    rubo::test::expect_child("fatal_hooks_run_in_order", 1, "a:report 7 b " + std::string(96, '.') + "report 7\r\n");
}

TEST(FatalHooks, EachHookIsTakenOffBeforeItRuns) {
    static int remaining_seen = -1;
    List<FatalHook>& hooks = fatal_hook_list();
    hooks.append([](const char*) { remaining_seen = fatal_hook_list().count; });
    hooks.append(hook_throws);
    run_fatal_hooks("text");
    EXPECT_EQ(1, remaining_seen);
    EXPECT_EQ(0, hooks.count);
    run_fatal_hooks("nothing to run");
}

}  // namespace
