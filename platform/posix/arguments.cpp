#include "platform/platform.h"

namespace platform {

// The arguments are the bytes the system gave.
char** program_arguments(int&, char** argv) { return argv; }

}  // namespace platform
