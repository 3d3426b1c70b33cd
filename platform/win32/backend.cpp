#include "platform/platform.h"

namespace platform {

const char* backend_name() { return "Win32"; }

}  // namespace platform
