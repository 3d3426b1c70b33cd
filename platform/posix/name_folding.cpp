// Names of a directory compare byte for byte here: a name folds to itself.

#include <cstring>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace rubo::platform {

std::uint32_t fold_name(const char* name, char* buffer, std::uint32_t size) {
    return answer_text(name, std::strlen(name), buffer, size);
}

}  // namespace rubo::platform
