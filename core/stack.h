#pragma once
// Stack<T>: last in, first out, over a List whose tail is the top. Popping or discarding
// from an empty stack is a misuse that ends the process with a report naming the
// element type.

#include <cstdint>

#include "core/fatal.h"
#include "core/list.h"
#include "core/type_name.h"

namespace rubo {

template <class T> class Stack : public List<T> {
public:
    // Keeps the n elements nearest the top, removing from the bottom; answers how many
    // went.
    std::int32_t keep_first(std::int32_t n) override { return this->remove_first(this->surplus(n)); }

    T* push(const T& value) { return this->append(&value); }
    // The top element, left on the stack; none when empty.
    T* top() { return this->last_element(); }
    T pop() {
        if (this->count <= 0) fatal_error("Stack<%s>::pop", type_name<T>());
        return this->take_last();
    }
    bool discard_top() {
        if (this->count <= 0) fatal_error("Stack<%s>::discard_top", type_name<T>());
        return this->remove_last();
    }
};

}  // namespace rubo
