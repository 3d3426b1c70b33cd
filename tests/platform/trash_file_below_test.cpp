#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/environment_guard.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/trash_home.h"

using namespace rubo;

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/held_directory.h"
#endif

namespace {

using rubo::test::file_bytes;
using rubo::test::ScratchDirectory;
using rubo::test::TrashHome;
#ifdef _WIN32
using rubo::test::running_under_wine;
#else
using rubo::test::restore;
#endif
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

bool trash_below(const ScratchDirectory& base, const std::string& relative,
                 const std::vector<platform::DirectoryIdentity>& levels = {}) {
    const std::string path = base / relative;
    return platform::trash_file_below(path.c_str(), base.path().size(), nullptr, levels.data(), levels.size());
}

Names names_in(const std::string& directory) {
    Names names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Neither a directory, nor a missing file, nor a file in a directory put in the place of
// the one the search read (another directory moved in under its name) is moved.
TEST(TrashFileBelow, WhatIsNoListedFileStays) {
    TrashHome home;
    ScratchDirectory base;
    base.make_directory("folder");
    base.write_file("folder/x.obj", "found");
    platform::Directory* top = platform::open_directory(base.path().c_str());
    platform::Directory* found = platform::open_directory((base / "folder").c_str());
    const std::vector<platform::DirectoryIdentity> levels = {platform::directory_identity(top),
                                                             platform::directory_identity(found)};
    platform::close_directory(found);
    platform::close_directory(top);
    const struct {
        const char* relative;
        std::size_t levels;
        platform::ErrorCode error;
    } cases[] = {{"folder", 1, platform::SYSTEM_ERROR_ACCESS_DENIED},
                 {"missing", 1, platform::SYSTEM_ERROR_FILE_NOT_FOUND},
                 {"folder/x.obj", 2, platform::SYSTEM_ERROR_PATH_NOT_FOUND}};
    fs::rename(base / "folder", base / "aside");
    base.make_directory("folder");
    base.write_file("folder/x.obj", "other");
    for (const auto& c : cases) {
        EXPECT_FALSE(trash_below(base, c.relative, {levels.begin(), levels.begin() + c.levels})) << c.relative;
        EXPECT_EQ(c.error, platform::last_error()) << c.relative;
    }
    EXPECT_EQ("found other", file_bytes(base / "aside/x.obj") + " " + file_bytes(base / "folder/x.obj"));
}

#ifdef _WIN32
// Files go to the Recycle Bin (under Wine: to the trash of $XDG_DATA_HOME), a read-only
// one keeps its mark there, and nothing else is left behind.
TEST(WindowsTrashFileBelow, RecycleBinTakesFilesAndLeavesNothingBehind) {
    TrashHome home;
    ScratchDirectory base;
    base.make_directory("s");
    for (const char* name : {"s/gone.obj", "s/locked.obj", "s/kept.obj"}) base.write_file(name, name);
    ASSERT_TRUE(SetFileAttributesW(fs::path(base / "s/locked.obj").c_str(), FILE_ATTRIBUTE_READONLY));
    for (const char* name : {"s/gone.obj", "s/locked.obj"}) EXPECT_TRUE(trash_below(base, name)) << name;
    EXPECT_EQ(Names{"kept.obj"}, names_in(base / "s"));
    if (running_under_wine()) {
        EXPECT_EQ("s/gone.obj", file_bytes(home.trash + "/files/gone.obj"));
        EXPECT_NE(0u, GetFileAttributesW(fs::path(home.trash + "/files/locked.obj").c_str()) & FILE_ATTRIBUTE_READONLY);
    }
}

// Wine's shell, with no trash to put a file in, destroys it and answers success: the
// file stays instead, with its bytes and under its own name only, and the call fails
// with 17. Answers the number of checks that failed.
RUBO_CHILD(trash_that_the_shell_would_destroy) {
    TrashHome home;
    home.home.write_file("data/Trash", "no trash");
    ScratchDirectory base;
    base.write_file("x.obj", "bytes");
    return trash_below(base, "x.obj") + (platform::last_error() != platform::SYSTEM_ERROR_NOT_SAME_DEVICE) +
           (file_bytes(base / "x.obj") != "bytes") + (names_in(base.path()) != Names{"x.obj"});
}

TEST(WindowsTrashFileBelow, FileTheShellWouldDestroyStays) {
    if (!running_under_wine()) GTEST_SKIP() << "only Wine's shell is known to destroy a file here";
    EXPECT_EQ(0, rubo::test::run_child("trash_that_the_shell_would_destroy").exit_code);
}
#else
// Files of every kind of name, a read-only one too, go to the home trash with records that
// lead back to their exact places, where they hold their bytes again. A name taken there
// (by a record, or in files/ alone) gets the next number; one too long for its record's
// name is cut short, never inside a UTF-8 sequence.
TEST(PosixTrashFileBelow, HomeTrashTakesFilesThatGoBackWhereTheyWere) {
    TrashHome home;
    ScratchDirectory base;
    const struct {
        std::string relative;
        std::string in_trash;
    } cases[] = {{"plain.obj", "plain.obj"},
                 {"a b/100% sure.obj", "100% sure.obj"},
                 {"\xC3\xA9t\xC3\xA9.obj", "\xC3\xA9t\xC3\xA9.obj"},
                 {"deep/\xFF\xFE.obj", "\xFF\xFE.obj"},
                 {"x.obj", "x.obj"},
                 {"deep/x.obj", "x.obj.2"},
                 {"y.obj", "y.obj.2"},
                 {std::string(244, 'n') + "\xC3\xA9.obj", std::string(244, 'n')}};
    fs::create_directories(home.trash + "/files");
    std::ofstream(home.trash + "/files/y.obj") << "orphan";
    for (const auto& c : cases) {
        fs::create_directories(fs::path(base / c.relative).parent_path());
        base.write_file(c.relative, "bytes of " + c.relative);
        ASSERT_EQ(0, c.relative == "plain.obj" ? chmod((base / "plain.obj").c_str(), 0444) : 0);
        EXPECT_TRUE(trash_below(base, c.relative)) << c.relative << platform::last_error();
    }
    EXPECT_EQ(std::size(cases) + 1, names_in(home.trash + "/files").size());
    EXPECT_EQ("orphan", file_bytes(home.trash + "/files/y.obj"));
    EXPECT_NE(std::string::npos, file_bytes(home.trash + "/info/100% sure.obj.trashinfo").find("/a%20b/100%25%20sure"));
    EXPECT_EQ(static_cast<fs::perms>(0444), fs::status(home.trash + "/files/plain.obj").permissions());
    for (const auto& c : cases) {
        EXPECT_EQ(fs::canonical(base.path()).string() + "/" + c.relative, restore(home.trash, c.in_trash));
        EXPECT_EQ("bytes of " + c.relative, file_bytes(base / c.relative));
    }
    EXPECT_EQ(Names{}, names_in(home.trash + "/info"));

    // A file whose directory lets nothing go stays and leaves no record; while the home
    // trash is a link, nothing goes there or where it leads.
    {
        rubo::test::HeldDirectory held(base / "deep");
        EXPECT_FALSE(held.held() && trash_below(base, "deep/x.obj"));
    }
    EXPECT_EQ(Names{}, names_in(home.trash + "/info"));
    fs::rename(home.trash, home.home / "elsewhere");
    fs::create_directory_symlink(home.home / "elsewhere", home.trash);
    EXPECT_FALSE(trash_below(base, "deep/x.obj"));
    EXPECT_TRUE(fs::exists(base / "deep/x.obj"));
    EXPECT_EQ(Names{}, names_in(home.home / "elsewhere/info"));
}

// Files on another file system (a memory file system in a private mount namespace) go to
// the trash at the top of their mount, with records relative to it: .Trash/<uid> while
// .Trash is a sticky directory, else .Trash-<uid>, and nothing while that is a link.
// Answers 77 where no such namespace can be made, else the number of failed checks.
RUBO_CHILD(trash_on_another_mount) {
    TrashHome home;
    ScratchDirectory base;
    base.make_directory("top");
    const std::string top = base / "top";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", top.c_str(), "tmpfs", 0, nullptr) != 0)
        return 77;
    const std::string uid = std::to_string(getuid());
    const struct {
        mode_t shared_mode;  // of $top/.Trash, 0 for none
        std::string trash;
    } cases[] = {{0, ".Trash-" + uid}, {01777, ".Trash/" + uid}, {0777, ".Trash-" + uid}};
    int failures = 0;
    fs::create_directory(top + "/sub");
    for (const auto& c : cases) {
        const std::string name = "f" + std::to_string(c.shared_mode) + ".obj";
        std::ofstream(top + "/sub/" + name) << name;
        if (c.shared_mode != 0) fs::create_directory(top + "/.Trash");
        failures += c.shared_mode != 0 && chmod((top + "/.Trash").c_str(), c.shared_mode) != 0;
        failures += !trash_below(base, "top/sub/" + name) ||
                    restore(top + "/" + c.trash, name, top) != top + "/sub/" + name ||
                    file_bytes(top + "/sub/" + name) != name;
    }
    fs::remove_all(top + "/.Trash-" + uid);
    fs::create_directory(top + "/elsewhere");
    fs::create_directory_symlink(top + "/elsewhere", top + "/.Trash-" + uid);
    failures +=
        trash_below(base, "top/sub/f0.obj") || !fs::exists(top + "/sub/f0.obj") || !fs::is_empty(top + "/elsewhere");
    umount2(top.c_str(), MNT_DETACH);
    return failures;
}

TEST(PosixTrashFileBelow, FilesOnAnotherMountGoToTheTrashAtItsTop) {
    const rubo::test::ChildResult run = rubo::test::run_child("trash_on_another_mount");
    if (run.exit_code == 77) GTEST_SKIP() << "no private mount namespace can be made here";
    EXPECT_EQ(0, run.exit_code) << run.output;
}
#endif

}  // namespace
