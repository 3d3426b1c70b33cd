#include "platform/platform.h"

namespace rubo::platform {

// The arguments are the bytes the system gave.
char** program_arguments(int&, char** argv) { return argv; }

}  // namespace rubo::platform
