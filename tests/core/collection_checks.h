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
    for (T* at = collection.move_first(position); at != nullptr; at = collection.move_next(position)) out.push_back(*at);
    return out;
}

// A vector with free slots at both ends keeps its elements inside its array.
template <class V> void expect_layout(const V& v) {
    EXPECT_GE(v.start, 0);
    EXPECT_LE(v.start + v.count, v.capacity);
    EXPECT_EQ(v.capacity == 0, v.items == nullptr);
}

}  // namespace rubo::test
