#include "platform/win32/system_text.h"

#include <cstring>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace rubo::platform::win32 {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// The length of the root of an absolute path: "C:\" (3), or "\\server\share\" for a
// network path; 0 for a path that is not absolute.
std::size_t absolute_root(const std::string& path, bool& network) {
    network = false;
    if (path.size() >= 3 && path[1] == ':' && is_separator(path[2])) return 3;
    if (path.size() < 3 || !is_separator(path[0]) || !is_separator(path[1])) return 0;
    // "\\?\..." and "\\.\..." are long or device forms already.
    if ((path[2] == '?' || path[2] == '.') && (path.size() == 3 || is_separator(path[3]))) return 0;
    network = true;
    std::size_t end = 2;
    for (int name = 0; name < 2 && end < path.size(); ++name) {
        while (end < path.size() && !is_separator(path[end])) ++end;
        if (end < path.size()) ++end;
    }
    return end;
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
    bool network = false;
    const std::size_t root = absolute_root(given, network);
    if (root == 0) return wide_text(path, wide);
    std::string long_form = network ? "\\\\?\\UNC\\" : "\\\\?\\";
    // The root; of a network path, the server and share after its two separators.
    for (std::size_t i = network ? 2 : 0; i < root; ++i) long_form += is_separator(given[i]) ? '\\' : given[i];
    if (!is_separator(long_form.back())) long_form += '\\';
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
