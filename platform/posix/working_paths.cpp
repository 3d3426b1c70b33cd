#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/posix/error.h"

namespace rubo::platform {
namespace {

// Temporary names carry four hexadecimal digits, as Windows makes them.
constexpr unsigned TEMP_NUMBERS = 0x10000;

// Where the next temporary name is tried: a different place in every process, so
// that processes seldom try the same names.
unsigned next_temp_number() {
    static std::atomic<unsigned> counter{0};
    static const unsigned start = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<unsigned>(now.tv_nsec / 1000) ^ static_cast<unsigned>(getpid()) * 2654435761u;
    }();
    return (start + counter.fetch_add(1)) % TEMP_NUMBERS;
}

}  // namespace

std::uint32_t get_current_directory(char* buffer, std::uint32_t size) {
    char* directory = getcwd(nullptr, 0);
    if (directory == nullptr) {
        posix::record_errno(errno);
        return 0;
    }
    std::uint32_t answer = answer_text(directory, std::strlen(directory), buffer, size);
    std::free(directory);
    return answer;
}

bool set_current_directory(const char* path) {
    if (!path_given(path)) return false;
    return chdir(path) == 0 || posix::fail_with_path_errno(path);
}

std::uint32_t get_drive_directory(char, char*, std::uint32_t) {
    parameter_valid(false);
    return 0;
}

std::uint32_t get_system_directory(char* buffer, std::uint32_t size) { return answer_text("/", 1, buffer, size); }

std::uint32_t get_program_path(char* buffer, std::uint32_t size) {
    std::string path(256, '\0');
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) {
            posix::record_errno(errno);
            return 0;
        }
        if (static_cast<std::size_t>(length) < path.size()) return answer_text(path.data(), length, buffer, size);
        path.resize(path.size() * 2);
    }
}

std::uint32_t get_temp_path(char* buffer, std::uint32_t size) {
    const char* variable = std::getenv("TMPDIR");
    std::string path = variable != nullptr && variable[0] != '\0' ? variable : "/tmp";
    if (path.back() != '/') path += '/';
    return answer_text(path.data(), path.size(), buffer, size);
}

std::uint32_t create_temp_file(const char* directory, const char* prefix, char* buffer, std::uint32_t size) {
    if (!path_given(directory)) return 0;
    std::string name = directory;
    if (name.back() != '/') name += '/';
    name.append(prefix != nullptr ? prefix : "", 0, 3);
    const std::size_t number_at = name.size();
    name += "0000.tmp";
    if (name.size() + 1 > size) return answer_text(name.data(), name.size(), buffer, size);

    for (unsigned tries = 0; tries < TEMP_NUMBERS; ++tries) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", next_temp_number());
        name.replace(number_at, 4, digits);
        int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0) {
            close(file);
            return answer_text(name.data(), name.size(), buffer, size);
        }
        if (errno != EEXIST) {
            posix::record_path_errno(errno, name.c_str());
            return 0;
        }
    }
    set_last_error(SYSTEM_ERROR_FILE_EXISTS);
    return 0;
}

}  // namespace rubo::platform
