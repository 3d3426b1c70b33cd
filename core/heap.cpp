#include "core/heap.h"

#include <cstdlib>

#ifdef RUBO_FAULT_INJECTION
#include <atomic>
#include <cstdint>
#include <thread>
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
// memory had run out; RUBO_FAIL_WORKER_ALLOCATION=N does so for the Nth request made on a
// thread other than the one that started the process.
std::uint64_t failing_request(const char* variable) {
    const char* setting = std::getenv(variable);
    return setting != nullptr ? std::strtoull(setting, nullptr, 10) : 0;
}

bool injected_failure() {
    static const std::thread::id first_thread = std::this_thread::get_id();
    static const std::uint64_t failing = failing_request("RUBO_FAIL_ALLOCATION");
    static const std::uint64_t failing_on_worker = failing_request("RUBO_FAIL_WORKER_ALLOCATION");
    static std::atomic<std::uint64_t> requests{0};
    static std::atomic<std::uint64_t> worker_requests{0};
    if (++requests == failing) return true;
    return std::this_thread::get_id() != first_thread && ++worker_requests == failing_on_worker;
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
