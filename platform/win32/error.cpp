#include <windows.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/wtf8.h"

namespace rubo::platform {

ErrorCode last_error() { return GetLastError(); }

void set_last_error(ErrorCode code) { SetLastError(code); }

char* error_message(ErrorCode code) {
    if (code == 0) return nullptr;
    wchar_t* wide = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
    if (length == 0) return nullptr;
    const std::string text = wtf8_from_wide(wide, length);
    LocalFree(wide);
    char* message = new char[text.size() + 1];
    std::memcpy(message, text.c_str(), text.size() + 1);
    return message;
}

void free_error_message(char* message) { delete[] message; }

}  // namespace rubo::platform
