#include "core/fatal_hooks.h"

// No hook list exists yet, so a report has no hooks to run.
void run_fatal_hooks(const char*) {}
