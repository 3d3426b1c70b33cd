#include "core/sort_strings.h"

namespace rubo {

void sort_strings(BoxedVector<String>& vector, bool descending) {
    vector.sort(descending ? compare_descending : compare_ascending);
}

}  // namespace rubo
