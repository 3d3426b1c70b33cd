#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using rubo::test::ScratchDirectory;

#ifdef _WIN32
constexpr bool windows = true;
#else
constexpr bool windows = false;
#endif

std::vector<platform::DirectoryEntry> search(const std::string& pattern,
                                             platform::FindDetail detail = platform::FIND_ALL_DETAILS) {
    std::vector<platform::DirectoryEntry> found;
    platform::DirectoryEntry entry;
    platform::Search* search = platform::find_first(pattern.c_str(), entry, detail);
    for (bool more = search != nullptr; more; more = platform::find_next(search, entry)) found.push_back(entry);
    if (search != nullptr) {
        EXPECT_EQ(platform::SYSTEM_ERROR_NO_MORE_FILES, platform::last_error());
    }
    platform::find_close(search);
    return found;
}

std::vector<std::string> names(const std::vector<platform::DirectoryEntry>& entries) {
    std::vector<std::string> result;
    for (const platform::DirectoryEntry& entry : entries) result.push_back(entry.name);
    return result;
}

// The names a search finds, sorted when the platform does not promise an order.
std::vector<std::string> sorted_names(const std::string& pattern) {
    std::vector<std::string> found = names(search(pattern));
    std::sort(found.begin(), found.end());
    return found;
}

const platform::DirectoryEntry* entry_named(const std::vector<platform::DirectoryEntry>& entries, const char* name) {
    for (const platform::DirectoryEntry& entry : entries)
        if (std::string(entry.name) == name) return &entry;
    return nullptr;
}

// The current time as a file time.
platform::FileTime now_as_file_time() {
    auto since_1970 =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch());
    return (static_cast<platform::FileTime>(since_1970.count()) + platform::EPOCH_DIFFERENCE) *
           platform::TICKS_PER_SECOND;
}

TEST(DirectorySearch, ListsDotsFirstAndReportsEachEntry) {
    ScratchDirectory dir;
    dir.write_file("b.txt", "12345");
    dir.write_file("a.txt");
    dir.write_file("_x");
    dir.write_file("Z.txt");
    dir.make_directory("sub");
    std::filesystem::resize_file(dir / "_x", 0x100000005ull);  // sparse: past four gigabytes
    std::filesystem::permissions(dir / "a.txt", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);

    std::vector<platform::DirectoryEntry> entries = search(dir / "*");
    std::vector<std::string> found = names(entries);
    ASSERT_EQ(7u, found.size());
    EXPECT_EQ(".", found[0]);
    EXPECT_EQ("..", found[1]);
    if (!windows) {
        EXPECT_EQ((std::vector<std::string>{".", "..", "Z.txt", "_x", "a.txt", "b.txt", "sub"}), found);
    }

    const platform::DirectoryEntry* file = entry_named(entries, "b.txt");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(0u, file->attributes & (platform::ATTRIBUTE_DIRECTORY | platform::ATTRIBUTE_READ_ONLY));
    EXPECT_EQ(0u, file->size_high);
    EXPECT_EQ(5u, file->size_low);
    platform::FileTime now = now_as_file_time();
    const platform::FileTime minute = 600000000;
    EXPECT_LT(file->last_write_time, now + minute);
    EXPECT_GT(file->last_write_time, now - minute);
    EXPECT_GT(file->creation_time, now - minute);
    EXPECT_GT(file->last_access_time, now - minute);

    EXPECT_NE(0u, entry_named(entries, "a.txt")->attributes & platform::ATTRIBUTE_READ_ONLY);

    const platform::DirectoryEntry* big = entry_named(entries, "_x");
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(1u, big->size_high);
    EXPECT_EQ(5u, big->size_low);

    for (const char* name : {".", "..", "sub"})
        EXPECT_NE(0u, entry_named(entries, name)->attributes & platform::ATTRIBUTE_DIRECTORY) << name;
}

TEST(DirectorySearch, MatchesNamesByTheWildcardRules) {
    ScratchDirectory dir;
    for (const char* name : {"a.obj", ".obj", "a.obj.bak", "x.objx", "Makefile", "a.c", "ab.c", "abc", "aXbYc"})
        dir.write_file(name);
    if (!windows) dir.write_file("a.OBJ");

    // Windows would also find x.objx by its generated short name; only long names count.
    EXPECT_EQ((std::vector<std::string>{".obj", "a.obj"}), sorted_names(dir / "*.obj"));
    EXPECT_EQ((std::vector<std::string>{"a.c"}), sorted_names(dir / "?.c"));
    EXPECT_EQ((std::vector<std::string>{"aXbYc", "ab.c", "abc"}), sorted_names(dir / "a*b*c"));
    EXPECT_EQ(11u + (windows ? 0 : 1), sorted_names(dir / "*.*").size());  // with "." and ".."
    EXPECT_EQ((std::vector<std::string>{"Makefile"}), sorted_names(dir / "Makefile"));
    if (windows) {
        EXPECT_EQ((std::vector<std::string>{".obj", "a.obj"}), sorted_names(dir / "*.OBJ"));
    } else {
        EXPECT_EQ((std::vector<std::string>{"a.OBJ"}), sorted_names(dir / "*.OBJ"));
    }
}

TEST(DirectorySearch, ReportsWhyNothingWasFound) {
    ScratchDirectory dir;
    dir.write_file("a.txt");
    platform::DirectoryEntry entry;
    EXPECT_EQ(nullptr, platform::find_first((dir / "*.obj").c_str(), entry));
    EXPECT_EQ(platform::SYSTEM_ERROR_FILE_NOT_FOUND, platform::last_error());
    EXPECT_EQ(nullptr, platform::find_first((dir / "missing/*.obj").c_str(), entry));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    EXPECT_EQ(nullptr, platform::find_first((dir / "a.txt/*").c_str(), entry));
    if (!windows) {
        EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());  // Windows answers 123 or 267
    }
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
        platform::set_last_error(0);
        EXPECT_EQ(nullptr, platform::find_first(empty, entry));
        EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    }
    EXPECT_FALSE(platform::find_next(nullptr, entry));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_HANDLE, platform::last_error());
    platform::find_close(nullptr);

    for (std::size_t length : {300u, 5000u}) {
        std::string pattern = dir / (std::string(length, 'd') + "/*");
        EXPECT_EQ(nullptr, platform::find_first(pattern.c_str(), entry));
        platform::ErrorCode error = platform::last_error();
        EXPECT_TRUE(error == platform::SYSTEM_ERROR_NAME_TOO_LONG || error == platform::SYSTEM_ERROR_PATH_NOT_FOUND)
            << error;
    }
}

TEST(DirectorySearch, SearchesNestWithoutDisturbingEachOther) {
    ScratchDirectory dir;
    dir.make_directory("one");
    dir.make_directory("two");
    dir.write_file("one/1.txt");
    dir.write_file("two/2.txt");
    platform::DirectoryEntry outer, inner;
    platform::Search* top = platform::find_first((dir / "*").c_str(), outer);
    ASSERT_NE(nullptr, top);
    std::vector<std::string> seen;
    do {
        std::string name = outer.name;
        if (name == "." || name == "..") continue;
        platform::Search* below = platform::find_first((dir / (name + "/*.txt")).c_str(), inner);
        ASSERT_NE(nullptr, below);
        seen.push_back(name + "/" + inner.name);
        platform::find_close(below);
    } while (platform::find_next(top, outer));
    platform::find_close(top);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<std::string>{"one/1.txt", "two/2.txt"}), seen);
}

// An open directory is read once for names and kinds, and gives details on request, anew
// each time, until the reading is released.
TEST(DirectoryReading, ListsKindsAndTakesDetailsOnRequest) {
    ScratchDirectory dir;
    dir.write_file("a.obj", "123");
    dir.write_file("b.txt", "1234567");
    dir.make_directory("sub");
    platform::Directory* opened = platform::open_directory(dir.path().c_str());
    ASSERT_NE(nullptr, opened);
    platform::DirectoryReading reading;
    ASSERT_TRUE(platform::read_directory(opened, reading));
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < reading.count(); ++i) listed.push_back(reading.name(i));
    ASSERT_EQ((std::vector<std::string>{".", "..", "a.obj", "b.txt", "sub"}), listed);  // NTFS sorts too
    const platform::EntryKind kinds[] = {platform::EntryKind::DIRECTORY, platform::EntryKind::DIRECTORY,
                                         platform::EntryKind::OTHER, platform::EntryKind::OTHER,
                                         platform::EntryKind::DIRECTORY};
    for (std::size_t i = 0; i < reading.count(); ++i) EXPECT_EQ(kinds[i], reading.kind(i)) << listed[i];
    platform::DirectoryEntry entry;
    ASSERT_TRUE(reading.details(3, entry));
    EXPECT_STREQ("b.txt", entry.name);
    EXPECT_EQ(7u, entry.size_low);
    EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE, entry.attributes);
    EXPECT_TRUE(platform::directory_identity(opened).known);
    platform::Directory* sub = platform::open_directory_below(opened, "sub", reading.identity(4));
    ASSERT_NE(nullptr, sub);
    EXPECT_FALSE(platform::directory_identity(sub).same_as(platform::directory_identity(opened)));
    EXPECT_TRUE(reading.identity(4).same_as(platform::directory_identity(sub)));
    platform::close_directory(sub);
    const platform::DirectoryReading copy = reading;
    EXPECT_STREQ("sub", copy.name(4));
    platform::DirectoryReading from = copy;
    const platform::DirectoryReading moved = std::move(from);
    EXPECT_EQ(5u, moved.count());
    EXPECT_EQ(0u, from.count());
    if (!windows) {  // Windows takes every detail with the names
        dir.write_file("a.obj", "12345");
        ASSERT_TRUE(reading.details(2, entry));
        EXPECT_EQ(5u, entry.size_low);
        std::filesystem::remove(dir / "a.obj");
        EXPECT_FALSE(reading.details(2, entry));
        EXPECT_EQ(platform::SYSTEM_ERROR_FILE_NOT_FOUND, platform::last_error());
        reading.release();
        EXPECT_FALSE(reading.details(3, entry));
        EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_HANDLE, platform::last_error());
    }
    platform::close_directory(opened);
    EXPECT_EQ(nullptr, platform::open_directory((dir / "missing").c_str()));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    platform::Directory* root = platform::open_directory(windows ? "C:\\" : "/");
    ASSERT_TRUE(platform::read_directory(root, reading));
    for (std::size_t i = 0; i < reading.count(); ++i) EXPECT_FALSE(std::string(reading.name(i)) == "..");
    platform::close_directory(root);
}

// A directory below another opens only as the very directory the reading found: not
// another one put in its place, not a file, nothing missing.
TEST(DirectoryReading, OpensBelowOnlyTheDirectoryThatWasFound) {
    ScratchDirectory dir;
    dir.make_directory("sub");
    dir.make_directory("other");
    dir.write_file("file");
    platform::Directory* opened = platform::open_directory(dir.path().c_str());
    platform::Directory* other = platform::open_directory((dir / "other").c_str());
    const platform::DirectoryIdentity other_identity = platform::directory_identity(other);
    platform::close_directory(other);
    for (const char* name : {"file", "missing"}) {
        EXPECT_EQ(nullptr, platform::open_directory_below(opened, name, {})) << name;
        EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error()) << name;
    }
    EXPECT_EQ(nullptr, platform::open_directory_below(opened, "sub", other_identity));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    platform::close_directory(opened);
}

TEST(DirectorySearch, RootHasNoDotEntries) {
    std::vector<std::string> found = names(search(windows ? "C:\\*" : "/*"));
    EXPECT_FALSE(found.empty());
    EXPECT_EQ(found.end(), std::find(found.begin(), found.end(), "."));
    EXPECT_EQ(found.end(), std::find(found.begin(), found.end(), ".."));
}

#ifdef _WIN32

TEST(DirectorySearch, ReportsGeneratedShortNames) {
    ScratchDirectory dir;
    dir.write_file("x.objx");
    std::vector<platform::DirectoryEntry> entries = search(dir / "x.objx");
    ASSERT_EQ(1u, entries.size());
    EXPECT_STRNE("", entries[0].short_name);
    EXPECT_STRNE("x.objx", entries[0].short_name);
}

// A directory held open, by an open Directory or by a deletion chain, can be neither
// renamed nor removed meanwhile, so that no other directory or link takes its place.
TEST(WindowsDirectory, HeldDirectoryCanBeNeitherRenamedNorRemoved) {
    ScratchDirectory dir;
    dir.make_directory("top/sub");
    dir.make_directory("top/empty");
    dir.write_file("top/sub/x");
    const std::filesystem::path top = dir / "top", sub = dir / "top/sub", unused = dir / "top/empty";
    const std::filesystem::path moved = dir / "moved";
    const auto movable = [&moved](const std::filesystem::path& from) {
        return MoveFileW(from.c_str(), moved.c_str()) && MoveFileW(moved.c_str(), from.c_str());
    };
    platform::Directory* held = platform::open_directory(top.string().c_str());
    ASSERT_NE(nullptr, held);
    platform::Directory* below = platform::open_directory_below(held, "sub", {});
    platform::Directory* empty = platform::open_directory_below(held, "empty", {});
    ASSERT_TRUE(below != nullptr && empty != nullptr);
    EXPECT_FALSE(movable(top));
    EXPECT_FALSE(movable(sub));
    EXPECT_FALSE(RemoveDirectoryW(unused.c_str()));
    for (platform::Directory* directory : {held, below, empty}) platform::close_directory(directory);
    EXPECT_TRUE(movable(sub));
    platform::DirectoryChain* chain = platform::new_directory_chain();
    EXPECT_TRUE(platform::delete_file_below((dir / "top/sub/x").c_str(), top.string().size(), chain));
    EXPECT_FALSE(movable(sub));
    platform::free_directory_chain(chain);
    EXPECT_TRUE(movable(sub));
    EXPECT_TRUE(RemoveDirectoryW(unused.c_str()));
}

#else

TEST(DirectorySearch, ReadOnlyAndLinksComeFromTheEntryItself) {
    ScratchDirectory dir;
    dir.write_file("file", "123");
    dir.write_file("locked");
    dir.make_directory("folder");
    std::filesystem::permissions(dir / "locked", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    ASSERT_EQ(0, symlink((dir / "folder").c_str(), (dir / "to_folder").c_str()));
    ASSERT_EQ(0, symlink((dir / "file").c_str(), (dir / "to_file").c_str()));
    ASSERT_EQ(0, symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()));

    for (platform::FindDetail detail : {platform::FIND_ALL_DETAILS, platform::FIND_KIND_ONLY}) {
        std::vector<platform::DirectoryEntry> entries = search(dir / "*", detail);
        EXPECT_EQ(platform::ATTRIBUTE_REPARSE_POINT | platform::ATTRIBUTE_DIRECTORY,
                  entry_named(entries, "to_folder")->attributes);
        EXPECT_EQ(platform::ATTRIBUTE_REPARSE_POINT, entry_named(entries, "to_file")->attributes);
        EXPECT_EQ(platform::ATTRIBUTE_REPARSE_POINT, entry_named(entries, "dangling")->attributes);
        EXPECT_EQ(0u, entry_named(entries, "to_file")->size_low);
        EXPECT_EQ(platform::ATTRIBUTE_DIRECTORY,
                  entry_named(entries, "folder")->attributes & ~platform::ATTRIBUTE_READ_ONLY);
        EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE,
                  entry_named(entries, "file")->attributes & ~platform::ATTRIBUTE_READ_ONLY);
        EXPECT_STREQ("", entry_named(entries, "file")->short_name);
    }
    std::vector<platform::DirectoryEntry> entries = search(dir / "*");
    EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE, entry_named(entries, "file")->attributes);
    EXPECT_EQ(3u, entry_named(entries, "file")->size_low);
    EXPECT_EQ(platform::ATTRIBUTE_ARCHIVE | platform::ATTRIBUTE_READ_ONLY, entry_named(entries, "locked")->attributes);
}

TEST(DirectorySearch, BackslashesAndRelativePatternsAreNames) {
    ScratchDirectory dir;
    dir.write_file("a\\b.c");
    dir.write_file("b.c");
    EXPECT_EQ((std::vector<std::string>{"a\\b.c"}), sorted_names(dir / "a\\*"));
    std::string before = std::filesystem::current_path().string();
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    EXPECT_EQ((std::vector<std::string>{"b.c"}), sorted_names("?.c"));
    ASSERT_EQ(0, chdir(before.c_str()));
}

#endif

}  // namespace
