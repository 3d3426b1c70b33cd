#include "core/out_of_memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/fatal.h"
#include "core/heap.h"
#include "core/number_text.h"
#include "core/output.h"
#include "platform/platform.h"

namespace rubo {

namespace {

constexpr std::size_t reserve_size = 64 * 1024;
void* reserve = nullptr;
int failures = 0;

constexpr char second_failure_text[] = "Out Of Memory.  Make sure your hard drive is not full.\r\n";

// The grouped decimal text of a size; sizes beyond the signed 64-bit range are split
// before their last group.
void size_text(std::uint64_t size, char* out) {
    if (size <= static_cast<std::uint64_t>(INT64_MAX)) {
        grouped_decimal(static_cast<std::int64_t>(size), out);
        return;
    }
    char* end = grouped_decimal(static_cast<std::int64_t>(size / 1000), out);
    while (*end != '\0') ++end;
    std::snprintf(end, 5, ",%03u", static_cast<unsigned>(size % 1000));
}

// Through the heap routines, which call the handler themselves once it is installed.
void* allocate(std::size_t size) {
    void* block = heap_allocate(size);
    if (block == nullptr) out_of_memory_handler(size);
    return block;
}

// Over-aligned blocks: the block from malloc is kept just in front of the aligned
// address handed out. Null when the block cannot be had.
void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
    std::size_t align = static_cast<std::size_t>(alignment);
    std::size_t extra = align + sizeof(void*);
    if (size > SIZE_MAX - extra) return nullptr;
    void* raw = std::malloc(size + extra);
    if (raw == nullptr) return nullptr;
    std::uintptr_t aligned = (reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*) + align - 1) & ~(align - 1);
    reinterpret_cast<void**>(aligned)[-1] = raw;
    return reinterpret_cast<void*>(aligned);
}
void* allocate_aligned_or_report(std::size_t size, std::align_val_t alignment) {
    void* block = allocate_aligned(size, alignment);
    if (block == nullptr) out_of_memory_handler(size);
    return block;
}
void free_aligned(void* block) {
    if (block != nullptr) std::free(static_cast<void**>(block)[-1]);
}

}  // namespace

void out_of_memory_handler(std::size_t requested) {
    claim_fatal_report();
    if (++failures > 1) {
        // Failing again while reporting: no more formatting, no more exit-time work.
        if (failures == 2) {
            flush_output();
            platform::write_standard_output(second_failure_text, sizeof second_failure_text - 1);
        }
        platform::exit_at_once(1);
    }
    std::free(reserve);
    reserve = nullptr;
    char size[32];
    size_text(requested, size);
    fatal_error("Out Of Memory.  Make sure your hard drive is not full.\nRequested size = %s", size);
}

void install_out_of_memory_handler() {
    if (reserve == nullptr) reserve = std::malloc(reserve_size);
    set_heap_failure_handler(out_of_memory_handler);
}

}  // namespace rubo

// The object allocator for the whole program. Every form that may fail reports through
// out_of_memory_handler, except the nothrow forms: whoever asks for those handles a
// null answer (the standard library's temporary buffers, for one, retry smaller).

void* operator new(std::size_t size) { return rubo::allocate(size); }
void* operator new[](std::size_t size) { return rubo::allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
    return rubo::allocate_aligned_or_report(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return rubo::allocate_aligned_or_report(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return rubo::allocate_aligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return rubo::allocate_aligned(size, alignment);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { rubo::free_aligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { rubo::free_aligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { rubo::free_aligned(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { rubo::free_aligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { rubo::free_aligned(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { rubo::free_aligned(block); }
