#pragma once
// Iterator<T>: a front-to-back walk over a collection, bundling the collection, a
// Position and the element last reached:
//
//     for (Iterator<String> walk(&files); walk.next();) use(*walk.element);

#include "core/collection.h"

template <class T>
struct Iterator {
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

    Collection<T>* collection;
    Position position;
    T* element = nullptr;
};
