#include "core/heap.h"

#include <cstdlib>

#ifdef RUBO_FAULT_INJECTION
#include <cstdint>
#include <cstring>
#endif

namespace rubo {

namespace {

HeapFailureHandler failure_handler = nullptr;

// The handler, when installed, ends the process; without one the caller gets null.
void* allocation_failed(std::size_t size) {
    if (failure_handler != nullptr) failure_handler(size);
    return nullptr;
}

#ifdef RUBO_FAULT_INJECTION
// Test builds only: RUBO_FAIL_ALLOCATION=N in the environment makes the Nth request of
// the process (counted from 1, allocations and reallocations alike) fail once, as if
// memory had run out.
std::uint64_t failing_request() {
    const char* setting = std::getenv("RUBO_FAIL_ALLOCATION");
    return setting != nullptr ? std::strtoull(setting, nullptr, 10) : 0;
}

bool injected_failure() {
    static const std::uint64_t failing = failing_request();
    static std::uint64_t requests = 0;
    return ++requests == failing;
}
#else
constexpr bool injected_failure() { return false; }
#endif

}  // namespace

void* heap_allocate(std::size_t size) {
    void* block = injected_failure() ? nullptr : std::malloc(size > 0 ? size : 1);
    return block != nullptr ? block : allocation_failed(size);
}

void* heap_reallocate(void* block, std::size_t size) {
    void* moved = injected_failure() ? nullptr : std::realloc(block, size > 0 ? size : 1);
    return moved != nullptr ? moved : allocation_failed(size);
}

void heap_free(void* block) { std::free(block); }

void set_heap_failure_handler(HeapFailureHandler handler) { failure_handler = handler; }

}  // namespace rubo
