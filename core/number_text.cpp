#include "core/number_text.h"

#include <charconv>
#include <cstring>

#include "core/string.h"

namespace rubo {

namespace {

constexpr int group_size = 3;
constexpr char group_separator = ',';
constexpr int longest_grouped = 26;  // sign, 19 digits, 6 separators

}  // namespace

char* insert_repeated(char* buffer, char c, int n) {
    if (buffer == nullptr) return nullptr;
    if (n <= 0) return buffer;
    std::memmove(buffer + n, buffer, std::strlen(buffer) + 1);
    std::memset(buffer, c, n);
    return buffer + n;
}

char* grouped_decimal(std::int64_t value, char* out) {
    char* end = std::to_chars(out, out + longest_grouped, value).ptr;
    *end = 0;
    char* digits = value < 0 ? out + 1 : out;
    int remaining = static_cast<int>(end - digits);
    // Four digits stay together; from five on a separator goes before every group of
    // three counted from the right.
    if (remaining > group_size + 1) {
        do {
            remaining -= group_size;
            insert_repeated(digits + remaining, group_separator, 1);
        } while (remaining > group_size);
    }
    return out;
}

String::String(std::int64_t value) {
    char scratch[64];
    assign(grouped_decimal(value, scratch));
}

}  // namespace rubo
