#pragma once
// Iterator<T>: a front-to-back walk over a collection, bundling the collection, a
// Position and the element last reached:
//
//     for (Iterator<String> walk(&files); walk.next();) use(*walk.element);
//
// It is also what a range-for over a collection steps with (Collection::begin), which
// stands it on the first element; `Seen` is the element type it hands out there, const
// for a walk over a const collection.

#include <iterator>

#include "core/position.h"

namespace rubo {

template <class T> class Collection;

template <class T, class Seen = T> struct Iterator {
    // Stands before the first element; a null collection gives an empty walk.
    explicit Iterator(Collection<T>* walked) : collection(walked) {
        if (collection != nullptr) collection->begin_forward(position);
    }

    // Steps to the next element: false at the end (and on every call after it).
    bool next() {
        if (collection == nullptr) return false;
        element = collection->move_next(position);
        return element != nullptr;
    }

    // ---- Range-for: the walk ends where no element is reached.
    Seen& operator*() const { return *element; }
    Iterator& operator++() {
        next();
        return *this;
    }
    bool operator==(std::default_sentinel_t) const { return element == nullptr; }

    Collection<T>* collection;
    Position position;
    T* element = nullptr;
};

}  // namespace rubo
