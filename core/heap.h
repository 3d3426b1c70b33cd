#pragma once
// The heap routines behind String buffers and container arrays. A failure handler, once
// installed, is called with the requested size whenever an allocation cannot be served
// and does not return; without one the routines return null.

#include <cstddef>

namespace rubo {

void* heap_allocate(std::size_t size);
// Resizes a block from heap_allocate (or allocates when block is null), keeping its
// content up to the smaller size. On failure the old block is left as it was.
void* heap_reallocate(void* block, std::size_t size);
void heap_free(void* block);

using HeapFailureHandler = void (*)(std::size_t requested);
void set_heap_failure_handler(HeapFailureHandler handler);  // null removes it

}  // namespace rubo
