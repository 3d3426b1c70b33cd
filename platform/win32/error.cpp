#include <windows.h>

#include "platform/platform.h"

namespace platform {

ErrorCode last_error() { return GetLastError(); }

void set_last_error(ErrorCode code) { SetLastError(code); }

char* error_message(ErrorCode code) {
    if (code == 0) return nullptr;
    char* message = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&message), 0, nullptr);
    if (length == 0) return nullptr;
    return message;
}

void free_error_message(char* message) {
    if (message != nullptr) LocalFree(message);
}

}  // namespace platform
