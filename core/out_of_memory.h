#pragma once
// Exhausted memory ends the process with one report naming the requested size, whether
// the object allocator (operator new, replaced for the whole program) or the heap
// routines behind String buffers and container arrays ran out.

#include <cstddef>

namespace rubo {

// "Out Of Memory.  Make sure your hard drive is not full.\nRequested size = <size>" with
// the size grouped by thousands, through fatal_error; does not return. A small reserve
// is released first so the report can be formatted. Should memory fail again while the
// report is made, a fixed text is printed and the process ends with exit code 1 at once.
[[noreturn]] void out_of_memory_handler(std::size_t requested);

// Sets the reserve aside and makes the heap routines call out_of_memory_handler.
void install_out_of_memory_handler();

}  // namespace rubo
