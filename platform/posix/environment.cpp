#include <cstring>
#include <string>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

extern char** environ;

namespace rubo::platform {
namespace {

bool same_name_ignoring_case(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

// The value of the first variable whose name matches, or null.
const char* variable_value(const char* name, std::size_t length) {
    if (length == 0) return nullptr;
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable)
        if (same_name_ignoring_case(*variable, name, length) && (*variable)[length] == '=')
            return *variable + length + 1;
    return nullptr;
}

}  // namespace

std::uint32_t expand_environment(const char* text, char* buffer, std::uint32_t size) {
    if (!parameter_valid(text != nullptr)) return 0;
    std::string result;
    while (*text != '\0') {
        const char* open = std::strchr(text, '%');
        const char* close = open != nullptr ? std::strchr(open + 1, '%') : nullptr;
        if (close == nullptr) {
            result += text;
            break;
        }
        result.append(text, open);
        const char* value = variable_value(open + 1, static_cast<std::size_t>(close - open - 1));
        // An unknown reference stays as written, both percent signs included, and
        // the text goes on after it.
        if (value != nullptr)
            result += value;
        else
            result.append(open, close + 1);
        text = close + 1;
    }
    return answer_text(result.data(), result.size(), buffer, size);
}

}  // namespace rubo::platform
