#pragma once
// Real temporary trees for tests: a fresh directory that is removed with everything in
// it at the end, native paths into it, and what is left on disk.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// A fresh directory under the system's temporary directory, removed with everything in
// it when the tree goes.
class TempTree {
public:
    TempTree() {
        namespace fs = std::filesystem;
        static std::atomic<int> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        fs::path base = fs::temp_directory_path() /
                        ("rubo-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        fs::create_directories(base);
        root_ = fs::canonical(base);
    }
    ~TempTree() {
        namespace fs = std::filesystem;
        std::error_code ignored;
        // Give every entry its write permission back, so that the removal can go through.
        for (auto it = fs::recursive_directory_iterator(root_, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored))
            if (!it->is_symlink(ignored)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The tree's own directory, in the platform's spelling, without a trailing separator.
    std::string path() const { return root_.string(); }
    // The native full path of an entry given relative to the tree, with '/'.
    std::string native(const std::string& relative) const { return path() + separator + native_relative(relative); }
    std::vector<std::string> natives(const std::vector<std::string>& relatives) const {
        std::vector<std::string> out;
        for (const std::string& relative : relatives) out.push_back(native(relative));
        return out;
    }

    // Creates a file of `size` bytes (and the directories on its way).
    void file(const std::string& relative, std::size_t size = 0) const {
        std::filesystem::path target = root_ / native_relative(relative);
        std::filesystem::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary);
        out << std::string(size, 'x');
    }
    void directory(const std::string& relative) const {
        std::filesystem::create_directories(root_ / native_relative(relative));
    }
    void read_only(const std::string& relative) const {
        std::filesystem::permissions(root_ / native_relative(relative), std::filesystem::perms::owner_write |
                                                                             std::filesystem::perms::group_write |
                                                                             std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
    }
    bool exists(const std::string& relative) const {
        std::error_code ignored;
        return std::filesystem::symlink_status(root_ / native_relative(relative), ignored).type() !=
               std::filesystem::file_type::not_found;
    }

    // Every entry that is not a directory, relative to the tree with '/', sorted. Links
    // are listed, never followed.
    std::vector<std::string> files() const {
        namespace fs = std::filesystem;
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_)) {
            if (entry.is_directory() && !entry.is_symlink()) continue;
            std::string relative = entry.path().lexically_relative(root_).generic_string();
            found.push_back(relative);
        }
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::filesystem::path root_;
};

}  // namespace rubo::test
