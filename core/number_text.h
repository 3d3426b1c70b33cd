#pragma once
// Decimal text of numbers with digit grouping. The String construction from a 64-bit
// integer (core/string.h) is built on insert_repeated.

#include <cstdint>

namespace rubo {

// Moves the zero-terminated text in buffer (terminator included) n places to the right
// and writes n copies of c in front. The caller guarantees room for n more characters.
// Returns the position after the inserted characters; buffer itself for n <= 0; null for
// a null buffer.
char* insert_repeated(char* buffer, char c, int n);

// Writes the grouped decimal text of value into out (at least 27 bytes) and returns out.
char* grouped_decimal(std::int64_t value, char* out);

}  // namespace rubo
