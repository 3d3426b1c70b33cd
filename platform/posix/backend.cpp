#include "platform/platform.h"

namespace platform {

const char* backend_name() { return "POSIX"; }

}  // namespace platform
