#pragma once
// A directory whose entries cannot be removed or added while the object holds it
// (POSIX systems only), so that a deletion there fails for every user: its write
// permissions are taken away, and where that does not stop the user (the superuser),
// it is made immutable. The directory is given back as it was when the object releases
// it or ends.

#ifndef _WIN32
#include <sys/types.h>

#include <string>

namespace rubo::test {

class HeldDirectory {
public:
    explicit HeldDirectory(std::string path);
    ~HeldDirectory() { release(); }
    HeldDirectory(const HeldDirectory&) = delete;
    HeldDirectory& operator=(const HeldDirectory&) = delete;

    // False where nothing stops this user (the file system has no immutable mark, or the
    // user may not set it); tests skip there.
    bool held() const { return held_; }

    void release();

private:
    std::string path_;
    mode_t mode_ = 0;
    bool immutable_ = false;
    bool held_ = false;
    bool released_ = true;  // until the directory has been found
};

}  // namespace rubo::test
#endif
