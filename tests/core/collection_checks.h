#pragma once
// Checks shared by the collection tests.

#include <gtest/gtest.h>

#include <vector>

#include "core/collection.h"

namespace rubo::test {

// The elements of a collection, front to back, as a walk finds them.
template <class T> std::vector<T> elements(Collection<T>& collection) {
    std::vector<T> out;
    Position position;
    for (T* at = collection.move_first(position); at != nullptr; at = collection.move_next(position))
        out.push_back(*at);
    return out;
}

// A range-for, over the collection and over it as a const one, reaches the very elements
// a walk does, in its order.
template <class T> void expect_range_for_as_walk(Collection<T>& collection) {
    std::vector<const T*> walked, ranged, read;
    Position position;
    for (T* at = collection.move_first(position); at != nullptr; at = collection.move_next(position))
        walked.push_back(at);
    for (T& element : collection) ranged.push_back(&element);
    const Collection<T>& reading = collection;
    for (const T& element : reading) read.push_back(&element);
    EXPECT_EQ(walked, ranged);
    EXPECT_EQ(walked, read);
}

// A vector with free slots at both ends keeps its elements inside its array.
template <class V> void expect_layout(const V& v) {
    EXPECT_GE(v.start, 0);
    EXPECT_LE(v.start + v.count, v.capacity);
    EXPECT_EQ(v.capacity == 0, v.items == nullptr);
}

}  // namespace rubo::test
