#include "core/fatal_hooks.h"

#include "core/startup_objects.h"

namespace rubo {

// Up to 100 hooks run, front first, each taken off the list before it is called, so a
// hook runs at most once even when it fails or a report happens inside it. A hook that
// throws ends only its own turn.
void run_fatal_hooks(const char* report) {
    List<FatalHook>& hooks = fatal_hook_list();
    for (int pass = 0; pass < 100 && hooks.count > 0; ++pass) {
        try {
            FatalHook hook = *hooks.first_element();
            hooks.remove_first();
            if (hook != nullptr) hook(report);
        } catch (...) {
        }
    }
}

}  // namespace rubo
