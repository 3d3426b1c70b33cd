#include "platform/win32/system_text.h"

#include <cstring>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace rubo::platform::win32 {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// How a path that is not relative begins.
enum class Root { NONE, DRIVE, NETWORK, DEVICE };

// Where the `count` names that begin at `at` end, each with the separator after it.
std::size_t skip_names(const std::string& path, std::size_t at, int count) {
    for (; count > 0 && at < path.size(); --count) {
        while (at < path.size() && !is_separator(path[at])) ++at;
        if (at < path.size()) ++at;
    }
    return at;
}

// The length of the root of an absolute path: "C:\" (3); "\\server\share\" for a network
// path; "\\.\name\" or "\\.\UNC\server\share\" for a device path ("\\." or "\\?" in any
// spelling but the long form's own, "\\?\", which the system takes as it stands). 0 for a
// path that is not absolute, and for the long form.
std::size_t absolute_root(const std::string& path, Root& kind) {
    kind = Root::NONE;
    if (path.size() >= 3 && path[1] == ':' && is_separator(path[2])) {
        kind = Root::DRIVE;
        return 3;
    }
    if (path.size() < 3 || !is_separator(path[0]) || !is_separator(path[1])) return 0;
    if ((path[2] == '?' || path[2] == '.') && (path.size() == 3 || is_separator(path[3]))) {
        if (path.compare(0, 4, "\\\\?\\") == 0 || path.size() <= 4 || is_separator(path[4])) return 0;
        kind = Root::DEVICE;
        const std::size_t root = skip_names(path, 4, 1);
        std::string device = path.substr(4, root - 4);
        if (is_separator(device.back())) device.pop_back();
        const bool unc =
            device.size() == 3 && (device[0] | 0x20) == 'u' && (device[1] | 0x20) == 'n' && (device[2] | 0x20) == 'c';
        return unc ? skip_names(path, root, 2) : root;
    }
    kind = Root::NETWORK;
    return skip_names(path, 2, 2);
}

}  // namespace

bool wide_text(const char* text, WideText& wide) {
    if (text == nullptr) {
        set_last_error(SYSTEM_ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (wide_from_wtf8(text, std::strlen(text), wide)) return true;
    set_last_error(SYSTEM_ERROR_INVALID_NAME);
    return false;
}

bool system_path(const char* path, WideText& wide) {
    if (!path_given(path)) return false;
    const std::string given(path);
    Root kind = Root::NONE;
    const std::size_t root = absolute_root(given, kind);
    if (kind == Root::NONE) return wide_text(path, wide);
    // The root in the long form: of a network path the server and share after its two
    // separators, of a device path all that follows "\\.\".
    std::string long_form = kind == Root::NETWORK ? "\\\\?\\UNC\\" : "\\\\?\\";
    const std::size_t root_start = kind == Root::NETWORK ? 2 : kind == Root::DEVICE ? 4 : 0;
    for (std::size_t i = root_start; i < root; ++i) long_form += is_separator(given[i]) ? '\\' : given[i];
    // A device path that ends with its root names the device itself (\\.\C: the volume).
    if (!is_separator(long_form.back()) && !(kind == Root::DEVICE && root == given.size())) long_form += '\\';
    const std::size_t root_end = long_form.size();
    for (std::size_t at = root; at < given.size();) {
        std::size_t end = at;
        while (end < given.size() && !is_separator(given[end])) ++end;
        const std::string name = given.substr(at, end - at);
        if (name == "..") {
            if (long_form.size() > root_end) long_form.erase(long_form.find_last_of('\\', long_form.size() - 2) + 1);
        } else if (!name.empty() && name != ".") {
            long_form += name;
            long_form += '\\';
        }
        at = end + 1;
    }
    // No separator after the last name, unless the path ended with one.
    if (long_form.size() > root_end && !is_separator(given.back())) long_form.pop_back();
    return wide_text(long_form.c_str(), wide);
}

std::uint32_t answer_wide(const WideText& text, char* buffer, std::uint32_t size) {
    const std::string bytes = wtf8_from_wide(text.data(), text.size());
    return answer_text(bytes.data(), bytes.size(), buffer, size);
}

}  // namespace rubo::platform::win32
