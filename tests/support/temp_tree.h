#pragma once
// Real temporary trees for tests: files of a given size, read-only files, native paths
// into the tree, and what is left on disk.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/directory_link.h"
#include "tests/support/scratch_directory.h"

namespace rubo::test {

#ifdef _WIN32
inline constexpr char separator = '\\';
#else
inline constexpr char separator = '/';
#endif

// A relative path written with '/' in the platform's own spelling.
inline std::string native_relative(std::string relative) {
    for (char& c : relative)
        if (c == '/') c = separator;
    return relative;
}

// Paths of the tests are UTF-8 on every platform (std::filesystem would take and give
// a narrow path in the ANSI code page on Windows).
inline std::filesystem::path utf8_path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string utf8_text(const std::u8string& text) { return std::string(text.begin(), text.end()); }

// A scratch directory with the helpers that trees of test files need. Paths into it
// are built from its canonical spelling, the one a process that works in it reads back
// as its current directory.
class TempTree : public ScratchDirectory {
public:
    TempTree() : root_(std::filesystem::canonical(ScratchDirectory::path())) {}

    // The tree's own directory, in the platform's spelling, without a trailing separator.
    std::string path() const { return utf8_text(root_.u8string()); }
    // The native full path of an entry given relative to the tree, with '/'.
    std::string native(const std::string& relative) const { return path() + separator + native_relative(relative); }
    std::vector<std::string> natives(const std::vector<std::string>& relatives) const {
        std::vector<std::string> out;
        for (const std::string& relative : relatives) out.push_back(native(relative));
        return out;
    }

    // Creates a file of `size` bytes (and the directories on its way).
    void file(const std::string& relative, std::size_t size = 0) const {
        std::filesystem::path target = root_ / utf8_path(native_relative(relative));
        std::filesystem::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary);
        out << std::string(size, 'x');
    }
    void directory(const std::string& relative) const {
        std::filesystem::create_directories(root_ / utf8_path(native_relative(relative)));
    }
    void read_only(const std::string& relative) const {
        std::filesystem::permissions(root_ / utf8_path(native_relative(relative)),
                                     std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
    }
    bool exists(const std::string& relative) const {
        std::error_code ignored;
        return std::filesystem::symlink_status(root_ / utf8_path(native_relative(relative)), ignored).type() !=
               std::filesystem::file_type::not_found;
    }

    // Every entry that is not a directory, relative to the tree with '/', sorted. Links
    // are listed, never followed.
    std::vector<std::string> files() const {
        namespace fs = std::filesystem;
        std::vector<std::string> found;
        for (auto it = fs::recursive_directory_iterator(root_); it != fs::recursive_directory_iterator(); ++it) {
            if (is_link(it->path()))
                it.disable_recursion_pending();
            else if (it->is_directory())
                continue;
            found.push_back(utf8_text(it->path().lexically_relative(root_).generic_u8string()));
        }
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::filesystem::path root_;
};

}  // namespace rubo::test
