#include "tests/support/scratch_directory.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

#include "tests/support/directory_link.h"

namespace rubo::test {
namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() /
                             ("rubo-test-" + std::to_string(entropy()) + "-" + std::to_string(counter.fetch_add(1)));
        if (fs::create_directory(candidate)) {
            path_ = candidate.make_preferred().string();
            return;
        }
    }
    throw std::runtime_error("no scratch directory could be made");
}

ScratchDirectory::~ScratchDirectory() {
    // Read-only entries cannot be removed on Windows. Links are neither entered nor
    // followed, and they go first, on their own: std::filesystem as MinGW builds it
    // takes a link to a directory for that directory, and would empty it.
    std::error_code error;
#ifdef _WIN32
    remove_links_made_below(path_);
#endif
    std::vector<fs::path> links;
    for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (is_link(it->path())) {
            links.push_back(it->path());
            it.disable_recursion_pending();
        } else {
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
        }
    }
    for (const fs::path& link : links) remove_link(link);
    fs::remove_all(path_, error);
}

std::string ScratchDirectory::operator/(const std::string& relative) const {
    return (fs::path(path_) / fs::path(relative).make_preferred()).string();
}

void ScratchDirectory::write_file(const std::string& relative, const std::string& bytes) const {
    std::ofstream file(*this / relative, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("could not write " + relative);
}

void ScratchDirectory::make_directory(const std::string& relative) const { fs::create_directories(*this / relative); }

}  // namespace rubo::test
