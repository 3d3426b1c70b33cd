#pragma once
// Vector<T>: the indexed collection. It carries out the whole Collection interface in
// terms of index operations and leaves the storage to BoxedVector, FlatVector and
// ExactVector. A Position holds element indices here; an index outside the elements
// stands for none. Reading through `at` or `get` with an index outside the elements is a
// misuse that ends the process; everything else answers none, false or a default value.

#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/collection.h"
#include "core/fatal.h"
#include "core/random.h"
#include "core/type_name.h"

namespace rubo {

template <class T> class Vector : public Collection<T> {
public:
    using Compare = int (*)(const void* first, const void* second);

    using Collection<T>::remove_first;
    using Collection<T>::remove_last;

    // ---- Walking
    bool begin_forward(Position& position) override {
        set(position, -1, 0, -1);
        return this->count != 0;
    }
    bool begin_backward(Position& position) override {
        set(position, -1, this->count, this->count - 1);
        return this->count != 0;
    }
    T* move_first(Position& position) override {
        if (this->count == 0) return nullptr;
        set(position, 0, 1, -1);
        return at(0);
    }
    T* move_next(Position& position) override { return step_to(position, position.following); }
    T* move_last(Position& position) override {
        if (this->count == 0) return nullptr;
        // Following is set past any index, so elements appended meanwhile are not
        // reached by a forward step from here.
        set(position, this->count - 1, INT32_MAX, this->count - 2);
        return at(this->count - 1);
    }
    T* move_prev(Position& position) override { return step_to(position, position.preceding); }

    // ---- Reading
    T* random_element() override {
        if (this->count <= 1) return first_element();
        return at(random_below(this->count));
    }
    T* first_element() override { return element(0); }
    T* last_element() override { return element(this->count - 1); }
    T* current_element(const Position& position) override { return element(position.current); }
    T* next_element(const Position& position) override { return element(position.following); }
    T* prev_element(const Position& position) override { return element(position.preceding); }

    // ---- Adding
    // The reference forms copy the value before the vector changes, so it may be one of
    // this vector's own elements even where elements move.
    T* append(T value) override { return store(append_new(), std::move(value)); }
    T* append(const T* value) override { return value != nullptr ? append(T(*value)) : append_new(); }
    T* prepend(T value) override { return store(insert_new(0), std::move(value)); }
    T* prepend(const T* value) override { return value != nullptr ? prepend(T(*value)) : insert_new(0); }

    // ---- Removing
    bool remove_at(Position& position) override {
        std::intptr_t removed = position.current;
        if (!remove_index(index(removed))) return false;
        position.following = removed;
        position.current = -1;
        return true;
    }
    std::int32_t remove_first(std::int32_t n) override {
        n = cut(n);
        return n > 0 && remove_range(0, n - 1) ? n : 0;
    }
    bool remove_first() override { return remove_index(0); }
    std::int32_t remove_last(std::int32_t n) override {
        n = cut(n);
        return n > 0 && remove_range(this->count - n, this->count - 1) ? n : 0;
    }
    bool remove_last() override { return remove_index(this->count - 1); }
    std::int32_t keep_first(std::int32_t n) override {
        std::int32_t removed = this->surplus(n);
        if (removed > 0) resize(n);
        return removed;
    }

    // ---- Taking
    T take_first() override { return take_index(0); }
    T take_last() override { return take_index(this->count - 1); }
    T take_at(Position& position) override {
        std::intptr_t taken = position.current;
        position.current = -1;
        if (!inside(taken)) return T();
        position.following = taken;
        return take_index(index(taken));
    }

    // ---- Index operations
    virtual T* at(std::int32_t index) = 0;
    // Removes elements first to last (inclusive, cut to the elements); false when that
    // leaves nothing to remove.
    virtual bool remove_range(std::int32_t first, std::int32_t last) = 0;
    virtual bool remove_index(std::int32_t index) { return remove_range(index, index); }
    // Makes the vector at least n long and answers element n - 1 (none for n <= 0).
    virtual T* grow_to(std::int32_t n) {
        if (this->count < n) resize(n);
        return element(n - 1);
    }
    virtual T* append_new() { return insert_new(this->count); }
    // Forgets the storage without releasing it (used right after it was released).
    virtual void drop_storage() = 0;
    // A new element at index holding a copy of *value (the default state for null).
    virtual T* insert(std::int32_t index, const T* value) {
        return value != nullptr ? insert(index, T(*value)) : insert_new(index);
    }
    virtual T* insert(std::int32_t index, T value) { return store(insert_new(index), std::move(value)); }
    // A new element in its default state at index (cut to 0 to count).
    virtual T* insert_new(std::int32_t index) = 0;
    virtual T* get(std::int32_t index) {
        check_index(index);
        return at(index);
    }
    // The element's value, the element then removed; a default value for an index
    // outside the elements.
    virtual T take_index(std::int32_t index) {
        if (!inside(index)) return T();
        T value = std::move(*at(index));
        remove_index(index);
        return value;
    }
    virtual void resize(std::int32_t n) = 0;
    // The element at first moves to last, those in between one place towards first.
    virtual void rotate_range_left(std::int32_t first, std::int32_t last) = 0;
    // The element at last moves to first, those in between one place towards last.
    virtual void rotate_range_right(std::int32_t first, std::int32_t last) = 0;
    // Releases everything, then holds n elements in their default state.
    virtual void clear_resize(std::int32_t n) = 0;
    // Sorts the storage slots with a qsort routine, which receives two slot addresses.
    virtual void sort(Compare compare) = 0;
    virtual bool swap(std::int32_t i, std::int32_t j) = 0;
    virtual void check_index(std::int32_t index) {
        if (!inside(index))
            fatal_error("Vector<%s>[%d]\nmax_index = %d", type_name<T>(), static_cast<int>(index),
                        static_cast<int>(this->count - 1));
    }

protected:
    // append_all for storage classes that grow once: the vector is resized to hold the
    // other's elements, which are then assigned into the new places in order. The
    // other's count is taken first, so appending the vector to itself doubles it.
    void append_resized(Collection<T>& other) {
        std::int32_t old_count = this->count;
        std::int32_t added = other.count;
        resize(old_count + added);
        Position position;
        std::int32_t i = 0;
        for (T* element = other.move_first(position); element != nullptr && i < added;
             element = other.move_next(position), ++i)
            *at(old_count + i) = *element;
    }

    bool inside(std::intptr_t index) const { return index >= 0 && index < this->count; }
    T* element(std::intptr_t index) { return inside(index) ? at(static_cast<std::int32_t>(index)) : nullptr; }
    // Cuts a range to the elements; false when nothing is left to move.
    bool clamp_range(std::int32_t& first, std::int32_t& last) const {
        if (first < 0) first = 0;
        if (last > this->count - 1) last = this->count - 1;
        return first < last;
    }
    std::int32_t cut(std::int32_t n) const { return n < this->count ? n : this->count; }
    // A number of storage slots worked out in 64 bits, kept within what an index can
    // reach (an array that large cannot be had anyway, which ends in the memory report).
    static std::int32_t slot_count(std::int64_t n) { return n < INT32_MAX ? static_cast<std::int32_t>(n) : INT32_MAX; }
    // Copies `kept` storage slots into another array, slot `first` first and wrapping
    // round, so that the copy begins with what stood at `first`.
    template <class Slot> static void copy_wrapped(Slot* to, const Slot* from, std::int32_t first, std::int32_t kept) {
        std::int32_t tail = kept - first;
        if (tail > 0) std::memcpy(to, from + first, static_cast<std::size_t>(tail) * sizeof(Slot));
        if (first > 0) std::memcpy(to + tail, from, static_cast<std::size_t>(first) * sizeof(Slot));
    }
    // A stored position slot as an index; any slot outside int32 stands for none.
    static std::int32_t index(std::intptr_t slot) {
        return slot >= INT32_MIN && slot <= INT32_MAX ? static_cast<std::int32_t>(slot) : -1;
    }

private:
    static T* store(T* slot, T&& value) {
        *slot = std::move(value);
        return slot;
    }
    static void set(Position& position, std::intptr_t current, std::intptr_t following, std::intptr_t preceding) {
        position.current = current;
        position.following = following;
        position.preceding = preceding;
    }
    T* step_to(Position& position, std::intptr_t target) {
        position.current = target;
        if (!inside(target)) return nullptr;
        position.following = target + 1;
        position.preceding = target - 1;
        return at(static_cast<std::int32_t>(target));
    }
};

}  // namespace rubo
