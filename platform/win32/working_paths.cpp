#include <windows.h>

#include <cstring>
#include <string>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace platform {
namespace {

// Windows answers a path either with its length, when it fit, or with the size it
// needs, terminator included: turned into the text-answer protocol here.
std::uint32_t from_length_or_needed(DWORD answer, std::uint32_t size) {
    if (answer == 0) return 0;
    return answer < size ? answer + 1 : answer;
}

}  // namespace

std::uint32_t get_current_directory(char* buffer, std::uint32_t size) {
    return from_length_or_needed(GetCurrentDirectoryA(size, buffer), size);
}

bool set_current_directory(const char* path) { return path_given(path) && SetCurrentDirectoryA(path) != 0; }

std::uint32_t get_system_directory(char* buffer, std::uint32_t size) {
    return from_length_or_needed(GetWindowsDirectoryA(buffer, size), size);
}

std::uint32_t get_program_path(char* buffer, std::uint32_t size) {
    // The call cuts a path that does not fit, so it is read into a buffer that grows
    // until the path fits with room to spare.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return 0;
        if (length < path.size() - 1) return answer_text(path.data(), length, buffer, size);
        path.resize(path.size() * 2);
    }
}

std::uint32_t expand_environment(const char* text, char* buffer, std::uint32_t size) {
    if (!parameter_valid(text != nullptr)) return 0;
    DWORD needed = ExpandEnvironmentStringsA(text, buffer, size);
    if (needed == 0 || needed > size) return needed;
    // The single-byte call may ask for one byte more than the text takes.
    return static_cast<std::uint32_t>(std::strlen(buffer)) + 1;
}

std::uint32_t get_temp_path(char* buffer, std::uint32_t size) {
    return from_length_or_needed(GetTempPathA(size, buffer), size);
}

std::uint32_t create_temp_file(const char* directory, const char* prefix, char* buffer, std::uint32_t size) {
    if (!path_given(directory)) return 0;
    char name[MAX_PATH];
    if (GetTempFileNameA(directory, prefix != nullptr ? prefix : "", 0, name) == 0) return 0;
    std::uint32_t needed = answer_text(name, std::strlen(name), buffer, size);
    if (needed > size) DeleteFileA(name);  // the caller could not learn its name
    return needed;
}

}  // namespace platform
