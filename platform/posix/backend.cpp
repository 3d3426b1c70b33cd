#include "platform/platform.h"

namespace rubo::platform {

const char* backend_name() { return "POSIX"; }

}  // namespace rubo::platform
