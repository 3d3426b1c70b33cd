#include "core/heap.h"

#include <cstdlib>

namespace {

HeapFailureHandler failure_handler = nullptr;

// The handler, when installed, ends the process; without one the caller gets null.
void* allocation_failed(std::size_t size) {
    if (failure_handler != nullptr) failure_handler(size);
    return nullptr;
}

}  // namespace

void* heap_allocate(std::size_t size) {
    void* block = std::malloc(size > 0 ? size : 1);
    return block != nullptr ? block : allocation_failed(size);
}

void* heap_reallocate(void* block, std::size_t size) {
    void* moved = std::realloc(block, size > 0 ? size : 1);
    return moved != nullptr ? moved : allocation_failed(size);
}

void heap_free(void* block) { std::free(block); }

void set_heap_failure_handler(HeapFailureHandler handler) { failure_handler = handler; }
