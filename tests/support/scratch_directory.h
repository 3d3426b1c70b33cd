#pragma once
// A fresh, empty directory for one test, under the system's temporary directory, and
// removed with everything in it (read-only files included) when the object goes.

#include <string>

namespace rubo::test {

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The directory's full path in the platform's own syntax, without a final separator.
    const std::string& path() const { return path_; }

    // The full path of `relative` (written with '/') inside the directory.
    std::string operator/(const std::string& relative) const;

    // Creates a file with the given bytes, and a directory (with its parents).
    void write_file(const std::string& relative, const std::string& bytes = "") const;
    void make_directory(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace rubo::test
