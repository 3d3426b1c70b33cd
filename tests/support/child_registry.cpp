#include <cstring>
#include <map>
#include <string>

#include "tests/support/child_process.h"

namespace rubo::test {
namespace {

constexpr const char child_flag[] = "--rubo-child=";

std::map<std::string, ChildRoutine>& registry() {
    static std::map<std::string, ChildRoutine> routines;
    return routines;
}

}  // namespace

ChildRegistration::ChildRegistration(const char* name, ChildRoutine routine) { registry()[name] = routine; }

bool run_child_if_asked(int argc, char** argv, int& exit_code) {
    if (argc < 2 || std::strncmp(argv[1], child_flag, sizeof child_flag - 1) != 0) return false;
    auto found = registry().find(argv[1] + sizeof child_flag - 1);
    exit_code = found == registry().end() ? 99 : found->second();
    return true;
}

ChildResult run_child(const char* name, const std::string& input) {
    return run_program({own_path(), {std::string(child_flag) + name}, input, {}});
}

}  // namespace rubo::test
