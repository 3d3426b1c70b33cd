#include "platform/platform.h"

namespace rubo::platform {

const char* backend_name() { return "Win32"; }

}  // namespace rubo::platform
