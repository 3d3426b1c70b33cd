#pragma once
// Collection<T>: the interface every container of the core library is used through.
// Elements are handed out as element references, pointers to the element as the
// container stores it (null for none); how long one stays valid depends on the
// container. Adding answers the reference to the stored copy; taking answers a copy of
// the value and destroys the stored element. Counts and indices are signed 32-bit.

#include <cstdint>
#include <iterator>
#include <utility>

#include "core/iterator.h"
#include "core/position.h"
#include "core/random.h"

namespace rubo {

template <class T> class Collection {
public:
    Collection() = default;
    Collection(const Collection&) = delete;
    Collection& operator=(const Collection&) = delete;
    virtual ~Collection() = default;

    // ---- Walking (the Position protocol)
    virtual bool begin_forward(Position& position) = 0;
    virtual bool begin_backward(Position& position) = 0;
    virtual T* move_first(Position& position) = 0;
    virtual T* move_next(Position& position) = 0;
    virtual T* move_last(Position& position) = 0;
    virtual T* move_prev(Position& position) = 0;

    // ---- Range-for, front to back: for (String& path : files). Walking changes nothing
    // in the collection, so a const one is walked the same way and hands out const
    // elements.
    Iterator<T> begin() { return first_of(Iterator<T>(this)); }
    Iterator<T, const T> begin() const { return first_of(Iterator<T, const T>(const_cast<Collection*>(this))); }
    std::default_sentinel_t end() const { return std::default_sentinel; }

    // ---- Reading
    // An element chosen with random_below; the only element (or none) without a draw
    // when there are fewer than two.
    virtual T* random_element() {
        if (count <= 1) return first_element();
        Position position;
        T* element = move_first(position);
        for (std::int32_t steps = random_below(count); steps > 0; --steps) element = move_next(position);
        return element;
    }
    virtual T* first_element() = 0;
    virtual T* last_element() = 0;
    virtual T* current_element(const Position& position) = 0;
    virtual T* next_element(const Position& position) = 0;
    virtual T* prev_element(const Position& position) = 0;

    // ---- Adding. A null reference adds an element in its default state.
    virtual T* append(T value) = 0;
    virtual T* append(const T* value) = 0;
    // Copies every element of the other collection to the end, in order. The number of
    // elements is taken before the first copy, so a collection appended to itself ends
    // up twice over instead of chasing its own new elements.
    virtual void append_all(Collection<T>& other) {
        Position position;
        std::int32_t remaining = other.count;
        for (T* element = other.move_first(position); element != nullptr && remaining > 0;
             element = other.move_next(position), --remaining)
            append(element);
    }
    virtual T* prepend(T value) = 0;
    virtual T* prepend(const T* value) = 0;
    // Copies the other collection to the front, keeping its order (walks it backwards).
    // A collection prepended to itself ends up twice over, as when appended to itself.
    virtual void prepend_all(Collection<T>& other) {
        if (&other == this) return append_all(other);
        Position position;
        std::int32_t remaining = other.count;
        for (T* element = other.move_last(position); element != nullptr && remaining > 0;
             element = other.move_prev(position), --remaining)
            prepend(element);
    }

    // ---- Removing
    virtual void clear() = 0;
    virtual bool remove_at(Position& position) = 0;
    // Removes up to n elements from the front; answers how many went.
    virtual std::int32_t remove_first(std::int32_t n) {
        std::int32_t removed = 0;
        while (removed < n && remove_first()) ++removed;
        return removed;
    }
    virtual bool remove_first() = 0;
    virtual std::int32_t remove_last(std::int32_t n) {
        std::int32_t removed = 0;
        while (removed < n && remove_last()) ++removed;
        return removed;
    }
    virtual bool remove_last() = 0;
    // Keeps the first n elements (removing from the end); answers how many went.
    virtual std::int32_t keep_first(std::int32_t n) { return remove_last(surplus(n)); }
    // Keeps the last n elements (removing from the front).
    virtual std::int32_t keep_last(std::int32_t n) { return remove_first(surplus(n)); }

    // ---- Taking: the value by copy, the stored element destroyed; a default value and
    // no change when there is nothing to take.
    virtual T take_first() = 0;
    virtual T take_last() = 0;
    virtual T take_at(Position& position) = 0;

    // ---- Rotating: rotate_left moves the first element to the end, n times over.
    virtual bool rotate_left(std::int32_t n) = 0;
    virtual bool rotate_right(std::int32_t n) = 0;

    std::int32_t count = 0;  // read by users, changed only by the container

protected:
    template <class Walk> static Walk first_of(Walk walk) {
        walk.next();
        return walk;
    }

    // How many elements lie beyond the first n (never negative, never above count).
    std::int32_t surplus(std::int32_t n) const {
        if (n <= 0) return count;
        return n >= count ? 0 : count - n;
    }
};

// The rotation opposite to a negative n, as a positive amount with the same effect:
// n is first reduced by whole turns of count, so that even the smallest int can be
// turned around. A whole number of turns answers count itself, which rotates nothing
// but still counts as a rotation.
inline std::int32_t opposite_turn(std::int32_t n, std::int32_t count) {
    std::int32_t rest = n % count;
    return rest == 0 ? count : -rest;
}

}  // namespace rubo
