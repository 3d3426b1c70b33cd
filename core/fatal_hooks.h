#pragma once
// Components that want to see a fatal report before it is printed register a hook; every
// fatal report passes through run_fatal_hooks first.

// Runs the registered hooks with the report text.

namespace rubo {

void run_fatal_hooks(const char* report);

}  // namespace rubo
