#include <windows.h>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {
namespace {

using win32::answer_wide;
using win32::read_wide;

// A text read by one of the calls that answer with the length of what they wrote, or
// with the size they need.
template <class Call> std::uint32_t answer_read(Call call, char* buffer, std::uint32_t size) {
    WideText text;
    return read_wide(call, text) ? answer_wide(text, buffer, size) : 0;
}

}  // namespace

// The current directory is set and read back as written, never in the long form: what
// is set here is what the process reads back as its working directory and prints.
std::uint32_t get_current_directory(char* buffer, std::uint32_t size) {
    return answer_read([](std::uint32_t room, wchar_t* text) { return GetCurrentDirectoryW(room, text); }, buffer,
                       size);
}

bool set_current_directory(const char* path) {
    WideText wide;
    return path_given(path) && win32::wide_text(path, wide) && SetCurrentDirectoryW(wide.c_str()) != 0;
}

std::uint32_t get_drive_directory(char drive, char* buffer, std::uint32_t size) {
    const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!parameter_valid(letter)) return 0;
    const wchar_t alone[] = {static_cast<wchar_t>(drive), L':', L'\0'};
    return answer_read(
        [&alone](std::uint32_t room, wchar_t* text) { return GetFullPathNameW(alone, room, text, nullptr); }, buffer,
        size);
}

std::uint32_t get_system_directory(char* buffer, std::uint32_t size) {
    return answer_read([](std::uint32_t room, wchar_t* text) { return GetWindowsDirectoryW(text, room); }, buffer,
                       size);
}

std::uint32_t get_program_path(char* buffer, std::uint32_t size) {
    // The call cuts a path that does not fit and answers the size it was given, so it
    // is read into a buffer that grows until the path fits with room to spare.
    return answer_read(
        [](std::uint32_t room, wchar_t* text) {
            const DWORD length = GetModuleFileNameW(nullptr, text, room);
            return length < room - 1 ? length : 2 * room;
        },
        buffer, size);
}

std::uint32_t expand_environment(const char* text, char* buffer, std::uint32_t size) {
    WideText wide;
    if (!parameter_valid(text != nullptr) || !win32::wide_text(text, wide)) return 0;
    if (wide.empty()) return answer_text("", 0, buffer, size);  // read_wide takes 0 for a failure
    // The call answers the size the text needs, terminator included.
    return answer_read(
        [&wide](std::uint32_t room, wchar_t* expanded) {
            const DWORD needed = ExpandEnvironmentStringsW(wide.c_str(), expanded, room);
            return needed <= room && needed > 0 ? needed - 1 : needed;
        },
        buffer, size);
}

std::uint32_t get_temp_path(char* buffer, std::uint32_t size) {
    return answer_read([](std::uint32_t room, wchar_t* text) { return GetTempPathW(room, text); }, buffer, size);
}

std::uint32_t create_temp_file(const char* directory, const char* prefix, char* buffer, std::uint32_t size) {
    WideText wide_directory, wide_prefix;
    if (!path_given(directory) || !win32::wide_text(directory, wide_directory) ||
        !win32::wide_text(prefix != nullptr ? prefix : "", wide_prefix))
        return 0;
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(wide_directory.c_str(), wide_prefix.c_str(), 0, name) == 0) return 0;
    const std::uint32_t needed = answer_wide(name, buffer, size);
    if (needed > size) DeleteFileW(name);  // the caller could not learn its name
    return needed;
}

}  // namespace rubo::platform
