#pragma once
// Sorting a vector of file names, ignoring ASCII case.

#include "core/boxed_vector.h"
#include "core/string.h"

namespace rubo {

// Sorts with compare_ascending, or compare_descending when descending is true. The sort
// is not stable: equal names keep no particular order.
void sort_strings(BoxedVector<String>& vector, bool descending);

}  // namespace rubo
