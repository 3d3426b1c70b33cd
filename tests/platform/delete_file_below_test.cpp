#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifdef _WIN32
#include <windows.h>

#include "tests/support/directory_link.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/held_directory.h"
#endif

namespace {

using rubo::test::ScratchDirectory;
namespace fs = std::filesystem;

// Deletes `relative` (written with '/') below the scratch directory, which is the base.
bool delete_below(const ScratchDirectory& dir, const std::string& relative) {
    const std::string path = dir / relative;
    return platform::delete_file_below(path.c_str(), dir.path().size());
}

void expect_error(platform::ErrorCode expected) { EXPECT_EQ(expected, platform::last_error()); }

TEST(DeleteFileBelow, RemovesFilesAtAnyDepthReadOnlyOnesToo) {
    ScratchDirectory dir;
    dir.write_file("top.obj");
    dir.make_directory("a/b");
    dir.write_file("a/b/deep.obj");
    dir.write_file("a/locked.obj");
    fs::permissions(dir / "a/locked.obj", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(delete_below(dir, "top.obj"));
    EXPECT_TRUE(delete_below(dir, "a/b/deep.obj"));
    EXPECT_TRUE(delete_below(dir, "a/locked.obj"));
    EXPECT_FALSE(fs::exists(dir / "top.obj"));
    EXPECT_FALSE(fs::exists(dir / "a/b/deep.obj"));
    EXPECT_FALSE(fs::exists(dir / "a/locked.obj"));
    EXPECT_TRUE(fs::is_directory(dir / "a/b"));
}

// The base may be given with a trailing separator, and separators may be doubled.
TEST(DeleteFileBelow, BaseEndingInASeparator) {
    ScratchDirectory dir;
    dir.make_directory("a");
    dir.write_file("a/x");
    const std::string path = dir.path() + "/a//x";
    EXPECT_TRUE(platform::delete_file_below(path.c_str(), dir.path().size() + 1));
    EXPECT_FALSE(fs::exists(dir / "a/x"));
}

TEST(DeleteFileBelow, FailuresLeaveEverythingInPlace) {
    ScratchDirectory dir;
    dir.make_directory("a/folder");
    dir.write_file("a/file");
    EXPECT_FALSE(delete_below(dir, "a/missing"));
    expect_error(platform::SYSTEM_ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(delete_below(dir, "missing/file"));
    expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(delete_below(dir, "a/folder"));
    expect_error(platform::SYSTEM_ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::is_directory(dir / "a/folder"));
    // A file is no directory to pass through.
    EXPECT_FALSE(delete_below(dir, "a/file/x"));
    EXPECT_TRUE(fs::exists(dir / "a/file"));
}

// Nothing but names leading down from the base: no way back up, no empty file name, and
// the base must end where a name begins.
TEST(DeleteFileBelow, RefusesPathsThatDoNotLeadDownToAFile) {
    ScratchDirectory dir;
    dir.make_directory("a");
    dir.write_file("a/file");
    dir.write_file("file");
    for (const char* relative : {"a/../file", "./file", "a/./file", "a/..", "a/", "a/.", "a//"}) {
        const std::string path = dir.path() + "/" + relative;
        EXPECT_FALSE(platform::delete_file_below(path.c_str(), dir.path().size())) << relative;
        expect_error(platform::SYSTEM_ERROR_INVALID_NAME);
    }
    const std::string file = dir / "a/file";
    const std::size_t base = dir.path().size();
    for (std::size_t bad_base : {std::size_t{0}, base - 1, file.size(), file.size() + 1}) {
        EXPECT_FALSE(platform::delete_file_below(file.c_str(), bad_base)) << bad_base;
        expect_error(platform::SYSTEM_ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(platform::delete_file_below(nullptr, 1));
    expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(fs::exists(dir / "a/file"));
    EXPECT_TRUE(fs::exists(dir / "file"));
}

#ifdef _WIN32
// Nothing a link in the tree leads to is removed: a link to a directory on the way is
// refused, one at the end is a directory, and one that has come to lead to a file fails
// too where the system cannot remove the link itself (Wine: a host link, which shows as a
// plain file and whose removal through any handle removes its target).
TEST(WindowsDeleteFileBelow, NothingALinkLeadsToIsRemoved) {
    if (const std::string why = rubo::test::directory_links_unavailable(); !why.empty()) GTEST_SKIP() << why;
    ScratchDirectory tree;
    ScratchDirectory outside;
    outside.make_directory("folder");
    outside.write_file("folder/x");
    outside.make_directory("file");
    ASSERT_EQ("", rubo::test::make_directory_link(tree / "to_folder", outside / "folder"));
    ASSERT_EQ("", rubo::test::make_directory_link(tree / "to_file", outside / "file"));
    fs::remove(outside / "file");
    outside.write_file("file");
    const struct {
        const char* relative;
        platform::ErrorCode error;  // 0 where it depends on the kind of link
    } cases[] = {{"to_folder/x", platform::SYSTEM_ERROR_CANT_RESOLVE_FILENAME},
                 {"to_folder", platform::SYSTEM_ERROR_ACCESS_DENIED},
                 {"to_file", 0}};
    for (const auto& c : cases) {
        EXPECT_FALSE(delete_below(tree, c.relative)) << c.relative;
        if (c.error != 0) {
            EXPECT_EQ(c.error, platform::last_error()) << c.relative;
        }
    }
    EXPECT_TRUE(fs::exists(outside / "folder/x"));
    EXPECT_TRUE(fs::exists(outside / "file"));
}

// A read-only file mapped into memory, which some systems refuse to remove (Wine does),
// keeps its read-only mark when the removal fails; where it is removed, it is gone.
TEST(WindowsDeleteFileBelow, FailedRemovalKeepsTheReadOnlyMark) {
    ScratchDirectory dir;
    dir.write_file("mapped", "bytes");
    const std::wstring path = fs::path(dir / "mapped").wstring();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    ASSERT_TRUE(view != nullptr && SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const bool removed = delete_below(dir, "mapped");
    const DWORD attributes = GetFileAttributesW(path.c_str());
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    if (removed) {
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributes);
    } else {
        EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_READONLY);
    }
}
#else
// A directory below the base that has become a link stops the deletion, wherever the
// link leads; the base itself is taken as given, link or not, and a file that is a link
// is removed as a link.
TEST(PosixDeleteFileBelow, NeverPassesThroughALinkBelowTheBase) {
    ScratchDirectory tree;
    ScratchDirectory outside;
    outside.make_directory("sub/deeper");
    outside.write_file("sub/x");
    outside.write_file("sub/deeper/y");
    outside.write_file("target");
    tree.make_directory("real/deeper");
    ASSERT_EQ(0, symlink((outside / "sub").c_str(), (tree / "sub").c_str()));
    ASSERT_EQ(0, symlink((outside / "sub/deeper").c_str(), (tree / "real/deeper/down").c_str()));
    ASSERT_EQ(0, symlink("sub", (tree / "again").c_str()));
    ASSERT_EQ(0, symlink((outside / "target").c_str(), (tree / "link").c_str()));

    EXPECT_FALSE(delete_below(tree, "sub/x"));
    expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(delete_below(tree, "sub/deeper/y"));
    EXPECT_FALSE(delete_below(tree, "again/x"));
    EXPECT_FALSE(delete_below(tree, "real/deeper/down/y"));
    EXPECT_TRUE(fs::exists(outside / "sub/x"));
    EXPECT_TRUE(fs::exists(outside / "sub/deeper/y"));

    EXPECT_TRUE(delete_below(tree, "link"));
    EXPECT_FALSE(fs::is_symlink(tree / "link"));
    EXPECT_TRUE(fs::exists(outside / "target"));

    // Named from the link itself, the base is the user's choice.
    const std::string through_base = tree / "sub/x";
    EXPECT_TRUE(platform::delete_file_below(through_base.c_str(), (tree / "sub").size()));
    EXPECT_FALSE(fs::exists(outside / "sub/x"));
}

// A read-only file that cannot be removed keeps its mark.
TEST(PosixDeleteFileBelow, FailedRemovalGivesTheReadOnlyMarkBack) {
    ScratchDirectory dir;
    dir.make_directory("held");
    dir.write_file("held/x");
    ASSERT_EQ(0, chmod((dir / "held/x").c_str(), 0444));
    rubo::test::HeldDirectory held(dir / "held");
    if (!held.held()) GTEST_SKIP() << "nothing keeps this user from removing the file";
    EXPECT_FALSE(delete_below(dir, "held/x"));
    expect_error(platform::SYSTEM_ERROR_ACCESS_DENIED);
    struct stat status;
    ASSERT_EQ(0, stat((dir / "held/x").c_str(), &status));
    EXPECT_EQ(0444u, status.st_mode & 07777);
}
#endif

}  // namespace
