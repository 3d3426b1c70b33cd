#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/file_system.h"
#include "core/working_paths.h"
#include "platform/platform.h"
#include "tests/support/current_directory_guard.h"
#include "tests/support/environment_guard.h"
#include "tests/support/held_directory.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

namespace {

namespace fs = std::filesystem;
using rubo::test::CurrentDirectoryGuard;
using rubo::test::ScratchDirectory;

bool read_only(const std::string& path) { return (get_attributes(path.c_str()) & platform::ATTRIBUTE_READ_ONLY) != 0; }

TEST(FileSystem, NullAndEmptyPathsFailWithoutAskingThePlatform) {
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        platform::set_last_error(1234);
        EXPECT_FALSE(erase_file(path));
        EXPECT_FALSE(FileEraser().erase_below(path, 1));
        EXPECT_FALSE(FileEraser().trash_below(path, 1));
        EXPECT_FALSE(set_read_only(path, true));
        EXPECT_FALSE(set_read_only(path, false));
        EXPECT_EQ(0xFFFFFFFFu, get_attributes(path));
        EXPECT_FALSE(set_attributes(path, platform::ATTRIBUTE_NORMAL));
        EXPECT_FALSE(directory_exists(path));
        EXPECT_EQ(1234u, platform::last_error());
    }
}

TEST(FileSystem, ReadOnlyFileIsErased) {
    ScratchDirectory scratch;
    const std::string file = scratch / "locked.obj";
    scratch.write_file("locked.obj", "data");
    EXPECT_TRUE(set_read_only(file.c_str(), true));
    EXPECT_TRUE(read_only(file));
    EXPECT_TRUE(set_read_only(file.c_str(), true));  // already so
    EXPECT_TRUE(read_only(file));

    EXPECT_TRUE(erase_file(file.c_str()));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(0xFFFFFFFFu, get_attributes(file.c_str()));
}

// Below a directory: the file goes, read-only or not; a base length that names no
// directory inside the path is refused before the platform is asked.
TEST(FileSystem, FileBelowADirectoryIsErased) {
    ScratchDirectory scratch;
    scratch.make_directory("s");
    scratch.write_file("s/locked.obj");
    const std::string file = scratch / "s/locked.obj";
    EXPECT_TRUE(set_read_only(file.c_str(), true));
    platform::set_last_error(1234);
    FileEraser eraser;
    for (int base : {-1, 0}) EXPECT_FALSE(eraser.erase_below(file.c_str(), base));
    EXPECT_EQ(1234u, platform::last_error());
    EXPECT_TRUE(eraser.erase_below(file.c_str(), static_cast<int>(scratch.path().size())));
    EXPECT_FALSE(fs::exists(file));
}

#ifndef _WIN32
TEST(FileSystem, FileBelowADirectoryGoesToTheTrash) {
    ScratchDirectory scratch;
    const rubo::test::EnvironmentGuard data("XDG_DATA_HOME", scratch / "data");
    scratch.write_file("x.obj", "bytes");
    EXPECT_TRUE(FileEraser().trash_below((scratch / "x.obj").c_str(), static_cast<int>(scratch.path().size())));
    EXPECT_TRUE(fs::exists(scratch / "data/Trash/files/x.obj"));
}
#endif

TEST(FileSystem, ReadOnlyMarkIsClearedAndSetAgain) {
    ScratchDirectory scratch;
    const std::string file = scratch / "a.obj";
    scratch.write_file("a.obj");
    EXPECT_FALSE(read_only(file));
    EXPECT_TRUE(set_read_only(file.c_str(), false));
    EXPECT_FALSE(read_only(file));
    EXPECT_TRUE(set_read_only(file.c_str(), true));
    EXPECT_TRUE(read_only(file));
    EXPECT_TRUE(set_read_only(file.c_str(), false));
    EXPECT_FALSE(read_only(file));
    std::ofstream writable(file, std::ios::app);
    EXPECT_TRUE(writable.good());
}

TEST(FileSystem, MissingFileFails) {
    ScratchDirectory scratch;
    const std::string missing = scratch / "missing.obj";
    EXPECT_FALSE(erase_file(missing.c_str()));
    EXPECT_FALSE(set_read_only(missing.c_str(), true));
    EXPECT_FALSE(set_read_only(missing.c_str(), false));
    EXPECT_EQ(0xFFFFFFFFu, get_attributes(missing.c_str()));
    EXPECT_FALSE(fs::exists(missing));
}

TEST(FileSystem, DirectoryIsNotErasedNorChanged) {
    ScratchDirectory scratch;
    scratch.make_directory("sub");
    const std::string directory = scratch / "sub";
    set_read_only(directory.c_str(), true);
    const std::uint32_t before = get_attributes(directory.c_str());
    ASSERT_NE(0u, before & platform::ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(erase_file(directory.c_str()));
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_EQ(before, get_attributes(directory.c_str()));
}

// A deletion that fails leaves the file as it was, read-only mark included.
TEST(FileSystem, FailedDeletionKeepsTheReadOnlyMark) {
    ScratchDirectory scratch;
    scratch.make_directory("held");
    const std::string file = scratch / "held/a.obj";
    scratch.write_file("held/a.obj", "data");
    ASSERT_TRUE(set_read_only(file.c_str(), true));
#ifdef _WIN32
    // A handle that shares nothing keeps the file from being deleted.
    const platform::FileHandle holder = platform::open_file(
        file.c_str(), platform::ACCESS_READ_DATA, 0, platform::DISPOSITION_OPEN_EXISTING, platform::ATTRIBUTE_NORMAL);
    ASSERT_NE(platform::NO_FILE, holder);
#else
    rubo::test::HeldDirectory held(scratch / "held");
    if (!held.held()) GTEST_SKIP() << "nothing keeps this user from deleting the file";
#endif
    EXPECT_FALSE(erase_file(file.c_str()));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(read_only(file));
#ifdef _WIN32
    platform::close_file(holder);
#else
    held.release();
#endif
    EXPECT_TRUE(erase_file(file.c_str()));
}

#ifndef _WIN32
// A symbolic link is deleted as itself; its target keeps its mode, read-only or not.
TEST(FileSystem, SymbolicLinkIsErasedWithoutTouchingItsTarget) {
    ScratchDirectory scratch;
    const std::string target = scratch / "target.obj";
    const std::string link = scratch / "link.obj";
    scratch.write_file("target.obj", "data");
    ASSERT_TRUE(set_read_only(target.c_str(), true));
    const fs::perms mode = fs::status(target).permissions();
    fs::create_symlink(target, link);

    EXPECT_TRUE(erase_file(link.c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(mode, fs::status(target).permissions());
}

TEST(FileSystem, ReadOnlyMarkOfALinkDoesNotReachItsTarget) {
    ScratchDirectory scratch;
    const std::string target = scratch / "target.obj";
    const std::string link = scratch / "link.obj";
    scratch.write_file("target.obj");
    fs::create_symlink(target, link);
    const fs::perms mode = fs::status(target).permissions();
    set_read_only(link.c_str(), true);
    EXPECT_EQ(mode, fs::status(target).permissions());
    EXPECT_FALSE(read_only(target));
}
#endif

class DirectoryExists : public ::testing::Test {
protected:
    void SetUp() override {
        scratch.make_directory("sub/inner");
        scratch.write_file("file.obj");
        before = current_directory();
        ASSERT_GT(before.length(), 0);
    }

    // The answer for the path, checking that the current directory did not move.
    bool exists(const std::string& path) {
        const bool answer = directory_exists(path.c_str());
        EXPECT_STREQ(before.text(), current_directory().text()) << path;
        return answer;
    }

    ScratchDirectory scratch;
    String before;
};

TEST_F(DirectoryExists, OnlyExistingDirectoriesExist) {
    EXPECT_TRUE(exists(scratch.path()));
    EXPECT_TRUE(exists(scratch / "sub/inner"));
    EXPECT_FALSE(exists(scratch / "file.obj"));
    EXPECT_FALSE(exists(scratch / "missing"));
    EXPECT_FALSE(exists(scratch / "file.obj/sub"));
}

TEST_F(DirectoryExists, RelativePathsStartAtTheCurrentDirectory) {
    CurrentDirectoryGuard guard;
    fs::current_path(scratch.path());
    before = current_directory();
    EXPECT_TRUE(exists("sub"));
    EXPECT_TRUE(exists("."));
    EXPECT_FALSE(exists("file.obj"));
    EXPECT_FALSE(exists("inner"));
}

#ifndef _WIN32
// When the current directory's path cannot be read back, the test must not leave it:
// there would be no way back. It answers all the same.
TEST_F(DirectoryExists, CurrentDirectoryThatCannotBeReadBackIsNotLeft) {
    CurrentDirectoryGuard guard;
    scratch.make_directory("gone");
    fs::current_path(scratch / "gone");
    fs::remove(scratch / "gone");
    ASSERT_EQ(0, current_directory().length());

    before = String();
    EXPECT_TRUE(exists(scratch.path()));
    EXPECT_TRUE(exists(scratch / "sub/inner"));
    EXPECT_FALSE(exists(scratch / "file.obj"));
    EXPECT_FALSE(exists(scratch / "missing"));
}
#endif

}  // namespace
