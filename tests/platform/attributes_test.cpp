#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using rubo::test::ScratchDirectory;
namespace fs = std::filesystem;

void expect_error(platform::ErrorCode expected) { EXPECT_EQ(expected, platform::last_error()); }

TEST(Attributes, TellFilesFromDirectoriesAndFollowTheReadOnlyMark) {
    ScratchDirectory dir;
    dir.write_file("file");
    dir.make_directory("folder");
    std::string file = dir / "file";

    std::uint32_t attributes = platform::get_file_attributes(file.c_str());
    EXPECT_EQ(0u, attributes & (platform::ATTRIBUTE_DIRECTORY | platform::ATTRIBUTE_READ_ONLY));
    EXPECT_NE(0u, platform::get_file_attributes((dir / "folder").c_str()) & platform::ATTRIBUTE_DIRECTORY);

    ASSERT_TRUE(platform::set_file_attributes(file.c_str(), attributes | platform::ATTRIBUTE_READ_ONLY));
    EXPECT_NE(0u, platform::get_file_attributes(file.c_str()) & platform::ATTRIBUTE_READ_ONLY);
    EXPECT_TRUE((fs::status(file).permissions() & fs::perms::owner_write) == fs::perms::none);
#ifndef _WIN32
    struct stat status;
    ASSERT_EQ(0, stat(file.c_str(), &status));
    EXPECT_EQ(0u, status.st_mode & 0222);  // nobody may write any more
#endif
    ASSERT_TRUE(platform::set_file_attributes(file.c_str(), attributes & ~platform::ATTRIBUTE_READ_ONLY));
    EXPECT_EQ(0u, platform::get_file_attributes(file.c_str()) & platform::ATTRIBUTE_READ_ONLY);
    EXPECT_TRUE((fs::status(file).permissions() & fs::perms::owner_write) != fs::perms::none);
}

TEST(Attributes, FailuresTellMissingFilesFromMissingDirectories) {
    ScratchDirectory dir;
    dir.write_file("file");
    EXPECT_EQ(platform::ATTRIBUTES_INVALID, platform::get_file_attributes((dir / "missing").c_str()));
    expect_error(platform::SYSTEM_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::ATTRIBUTES_INVALID, platform::get_file_attributes((dir / "missing/file").c_str()));
    expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(platform::set_file_attributes((dir / "missing").c_str(), platform::ATTRIBUTE_READ_ONLY));
    expect_error(platform::SYSTEM_ERROR_FILE_NOT_FOUND);
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(platform::ATTRIBUTES_INVALID, platform::get_file_attributes(empty));
        expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
        EXPECT_FALSE(platform::set_file_attributes(empty, 0));
        EXPECT_FALSE(platform::delete_file(empty));
        expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    }
    for (std::size_t length : {300u, 5000u}) {
        std::string path = dir / std::string(length, 'f');
        EXPECT_EQ(platform::ATTRIBUTES_INVALID, platform::get_file_attributes(path.c_str()));
        platform::ErrorCode error = platform::last_error();
        // Windows takes the long form of the path whole, and Wine answers that it
        // finds no name that long.
        EXPECT_TRUE(error == platform::SYSTEM_ERROR_NAME_TOO_LONG || error == platform::SYSTEM_ERROR_PATH_NOT_FOUND ||
                    error == platform::SYSTEM_ERROR_FILE_NOT_FOUND)
            << error;
        EXPECT_FALSE(platform::delete_file(path.c_str()));
    }
}

#ifdef _WIN32
// Every spelling of an absolute path names what Windows would name by it: '.' and '..'
// are resolved and either separator serves, also in the long form the system is given.
TEST(Attributes, EverySpellingOfAnAbsolutePathReachesTheFile) {
    ScratchDirectory dir;
    dir.write_file("file", "x");
    dir.make_directory("sub");
    std::string slashed = dir.path();
    for (char& c : slashed) c = c == '\\' ? '/' : c;
    for (const std::string& path : {dir.path() + "\\sub\\..\\file", dir.path() + "\\.\\sub\\\\..\\file",
                                    slashed + "/sub/../../" + dir.path().substr(dir.path().rfind('\\') + 1) + "/file",
                                    "\\\\?\\" + dir.path() + "\\file"}) {
        const std::uint32_t kind =
            platform::get_file_attributes(path.c_str()) & (platform::ATTRIBUTE_ARCHIVE | platform::ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE, kind) << path;
    }
}
#endif

TEST(DeleteFile, RemovesFilesButNotDirectories) {
    ScratchDirectory dir;
    dir.write_file("file");
    dir.make_directory("folder");
    EXPECT_TRUE(platform::delete_file((dir / "file").c_str()));
    EXPECT_FALSE(fs::exists(dir / "file"));
    EXPECT_FALSE(platform::delete_file((dir / "file").c_str()));
    expect_error(platform::SYSTEM_ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform::delete_file((dir / "missing/file").c_str()));
    expect_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(platform::delete_file((dir / "folder").c_str()));
    expect_error(platform::SYSTEM_ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

#ifndef _WIN32

TEST(Attributes, NeverFollowAFinalSymbolicLink) {
    ScratchDirectory dir;
    dir.write_file("target");
    dir.make_directory("folder");
    ASSERT_EQ(0, symlink((dir / "target").c_str(), (dir / "link").c_str()));
    ASSERT_EQ(0, symlink((dir / "folder").c_str(), (dir / "folder_link").c_str()));
    std::string link = dir / "link";

    EXPECT_EQ(platform::ATTRIBUTE_REPARSE_POINT, platform::get_file_attributes(link.c_str()));
    EXPECT_EQ(platform::ATTRIBUTE_REPARSE_POINT | platform::ATTRIBUTE_DIRECTORY,
              platform::get_file_attributes((dir / "folder_link").c_str()));
    EXPECT_TRUE(platform::set_file_attributes(link.c_str(), platform::ATTRIBUTE_READ_ONLY));
    EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE, platform::get_file_attributes((dir / "target").c_str()));

    // With the target read-only, clearing the mark through the link leaves it so.
    ASSERT_TRUE(platform::set_file_attributes((dir / "target").c_str(), platform::ATTRIBUTE_READ_ONLY));
    EXPECT_TRUE(platform::set_file_attributes(link.c_str(), 0));
    EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE | platform::ATTRIBUTE_READ_ONLY,
              platform::get_file_attributes((dir / "target").c_str()));

    EXPECT_TRUE(platform::delete_file(link.c_str()));
    EXPECT_TRUE(fs::exists(dir / "target"));
}

TEST(Attributes, ClearingReadOnlyGivesOnlyTheOwnerWriteAccess) {
    ScratchDirectory dir;
    dir.write_file("file");
    std::string file = dir / "file";
    ASSERT_EQ(0, chmod(file.c_str(), 0444));
    ASSERT_TRUE(platform::set_file_attributes(file.c_str(), platform::ATTRIBUTE_ARCHIVE));
    struct stat status;
    ASSERT_EQ(0, stat(file.c_str(), &status));
    EXPECT_EQ(0644u, status.st_mode & 07777);
}

#endif

}  // namespace
