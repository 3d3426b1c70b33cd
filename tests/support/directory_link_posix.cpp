#ifndef _WIN32
#include "tests/support/directory_link.h"

namespace rubo::test {

bool is_link(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path, ignored));
}

bool remove_link(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::remove(path, error);
}

}  // namespace rubo::test
#endif
