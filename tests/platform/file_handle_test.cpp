#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
bool running_under_wine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }
#else
bool running_under_wine() { return false; }
#endif

using platform::FileHandle;
using rubo::test::ScratchDirectory;
namespace fs = std::filesystem;

constexpr std::uint32_t R = platform::ACCESS_READ_DATA;
constexpr std::uint32_t W = platform::ACCESS_WRITE_DATA;
constexpr std::uint32_t SR = platform::SHARE_READERS;
constexpr std::uint32_t SW = platform::SHARE_WRITERS;

FileHandle open(const std::string& path, std::uint32_t access, std::uint32_t sharing = SR | SW,
                platform::Disposition disposition = platform::DISPOSITION_OPEN_EXISTING) {
    return platform::open_file(path.c_str(), access, sharing, disposition, platform::ATTRIBUTE_NORMAL);
}

std::string read_all(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string read_text(FileHandle file, std::uint32_t size) {
    std::string text(size, '\0');
    std::uint32_t done = 99;
    EXPECT_TRUE(platform::read_file(file, text.data(), size, done));
    text.resize(done);
    return text;
}

bool write_text(FileHandle file, const std::string& text) {
    std::uint32_t done = 0;
    bool written = platform::write_file(file, text.data(), static_cast<std::uint32_t>(text.size()), done);
    EXPECT_EQ(text.size(), done);
    return written;
}

TEST(FileHandle, ReadsWritesSeeksAndCuts) {
    ScratchDirectory dir;
    std::string path = dir / "data";
    FileHandle file = open(path, R | W, 0, platform::DISPOSITION_CREATE_NEW);
    ASSERT_NE(platform::NO_FILE, file);
    EXPECT_TRUE(write_text(file, "hello world"));
    EXPECT_EQ(0, platform::seek_file(file, 0, platform::SEEK_FROM_START));
    EXPECT_EQ("hello", read_text(file, 5));
    EXPECT_EQ(6, platform::seek_file(file, 1, platform::SEEK_FROM_CURRENT));
    EXPECT_EQ("world", read_text(file, 100));  // a short read at the end is no failure
    EXPECT_EQ("", read_text(file, 10));
    EXPECT_EQ(8, platform::seek_file(file, -3, platform::SEEK_FROM_END));
    EXPECT_EQ(-1, platform::seek_file(file, -9, platform::SEEK_FROM_CURRENT));
    EXPECT_EQ(platform::SYSTEM_ERROR_NEGATIVE_SEEK, platform::last_error());
    EXPECT_EQ(8, platform::seek_file(file, 0, platform::SEEK_FROM_CURRENT));  // unmoved
    const std::int64_t beyond_four_gigabytes = 5ll << 30;
    EXPECT_EQ(beyond_four_gigabytes, platform::seek_file(file, beyond_four_gigabytes, platform::SEEK_FROM_START));
    EXPECT_EQ(3, platform::seek_file(file, 3, platform::SEEK_FROM_START));
    EXPECT_TRUE(platform::set_end_of_file(file));
    EXPECT_TRUE(platform::flush_file(file));

    platform::FileTime written = 0;
    EXPECT_TRUE(platform::get_last_write_time(file, written));
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch());
    platform::FileTime now =
        (static_cast<platform::FileTime>(seconds.count()) + platform::EPOCH_DIFFERENCE) * platform::TICKS_PER_SECOND;
    EXPECT_LT(written, now + 600000000u);
    EXPECT_GT(written, now - 600000000u);
    EXPECT_TRUE(platform::close_file(file));
    EXPECT_EQ("hel", read_all(path));
}

TEST(FileHandle, DispositionsDecideWhatHappensToTheFile) {
    ScratchDirectory dir;
    std::string path = dir / "file";
    EXPECT_EQ(platform::NO_FILE, open(path, R));
    EXPECT_EQ(platform::SYSTEM_ERROR_FILE_NOT_FOUND, platform::last_error());
    EXPECT_EQ(platform::NO_FILE, open(dir / "missing/file", R, SR, platform::DISPOSITION_OPEN_OR_CREATE));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());

    FileHandle file = open(path, W, SR, platform::DISPOSITION_OPEN_OR_CREATE);
    ASSERT_NE(platform::NO_FILE, file);
    EXPECT_TRUE(write_text(file, "content"));
    platform::close_file(file);
    file = open(path, R | W, SR, platform::DISPOSITION_OPEN_OR_CREATE);
    EXPECT_EQ("content", read_text(file, 100));
    platform::close_file(file);

    EXPECT_EQ(platform::NO_FILE, open(path, R | W, SR, platform::DISPOSITION_CREATE_NEW));
    EXPECT_EQ(platform::SYSTEM_ERROR_FILE_EXISTS, platform::last_error());
    file = open(path, W, SR, platform::DISPOSITION_CREATE_OR_REPLACE);
    ASSERT_NE(platform::NO_FILE, file);
    platform::close_file(file);
    EXPECT_EQ("", read_all(path));

    EXPECT_EQ(platform::NO_FILE, open(path, R, SR, static_cast<platform::Disposition>(4)));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
}

TEST(FileHandle, RefusesDirectoriesBadNamesAndBadHandles) {
    ScratchDirectory dir;
    dir.make_directory("folder");
    EXPECT_EQ(platform::NO_FILE, open(dir / "folder", R));
    EXPECT_EQ(platform::SYSTEM_ERROR_ACCESS_DENIED, platform::last_error());
    EXPECT_EQ(platform::NO_FILE, open("", R, SR, platform::DISPOSITION_OPEN_OR_CREATE));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    for (std::size_t length : {300u, 5000u}) {
        EXPECT_EQ(platform::NO_FILE, open(dir / std::string(length, 'n'), W, SR, platform::DISPOSITION_OPEN_OR_CREATE));
        platform::ErrorCode error = platform::last_error();
        // Windows takes the long form of the path whole, and Wine answers that it
        // finds no name that long.
        EXPECT_TRUE(error == platform::SYSTEM_ERROR_NAME_TOO_LONG || error == platform::SYSTEM_ERROR_PATH_NOT_FOUND ||
                    error == platform::SYSTEM_ERROR_FILE_NOT_FOUND)
            << error;
    }
    EXPECT_FALSE(platform::close_file(platform::NO_FILE));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_HANDLE, platform::last_error());
    char byte;
    std::uint32_t done = 7;
    EXPECT_FALSE(platform::read_file(platform::NO_FILE, &byte, 1, done));
    EXPECT_EQ(0u, done);
}

TEST(FileHandle, CreatesReadOnlyFilesWhenAsked) {
    ScratchDirectory dir;
    std::string path = dir / "locked";
    FileHandle file =
        platform::open_file(path.c_str(), R | W, 0, platform::DISPOSITION_CREATE_NEW, platform::ATTRIBUTE_READ_ONLY);
    ASSERT_NE(platform::NO_FILE, file);
    EXPECT_TRUE(write_text(file, "x"));  // the handle that made it may still write
    platform::close_file(file);
    EXPECT_NE(0u, platform::get_file_attributes(path.c_str()) & platform::ATTRIBUTE_READ_ONLY);
}

// Which second open a first one lets through.
struct SharingCase {
    std::uint32_t first_access, first_sharing, second_access, second_sharing;
    platform::ErrorCode expected;  // 0 when the second open succeeds
};

const SharingCase sharing_cases[] = {
    {R, 0, R, SR | SW, 32},
    {R, SR, R, SR | SW, 0},
    {R, SR, W, SR | SW, 32},
    {R, SR, R, SR, 0},
    {R | W, SR | SW, R | W, SR | SW, 0},
    {R | W, SR | SW, R, SR, 32},
    {W, SR, R, SR | SW, 0},
    {W, SR, R, SR, 32},
    {W, 0, W, SR | SW, 32},
    {0, 0, R | W, 0, 0},
};

// The file of case `index` in a directory.
std::string case_file(const std::string& dir, std::size_t index) {
    std::string path = dir;
    path += dir.find('\\') != std::string::npos ? "\\s" : "/s";
    path += std::to_string(index);
    return path;
}

// Opens the second handle of every case on files s0, s1, ... of `dir`, and answers the
// outcomes separated by blanks.
std::string second_opens(const std::string& dir) {
    std::string outcomes;
    for (std::size_t i = 0; i < std::size(sharing_cases); ++i) {
        const SharingCase& c = sharing_cases[i];
        FileHandle second = open(case_file(dir, i), c.second_access, c.second_sharing);
        outcomes += std::to_string(second == platform::NO_FILE ? platform::last_error() : 0) + " ";
        if (second != platform::NO_FILE) platform::close_file(second);
    }
    return outcomes;
}

std::string expected_outcomes() {
    std::string outcomes;
    for (const SharingCase& c : sharing_cases) outcomes += std::to_string(c.expected) + " ";
    return outcomes;
}

// Holds the first handle of every case open while it lives.
class FirstHandles {
public:
    explicit FirstHandles(const ScratchDirectory& dir) {
        for (std::size_t i = 0; i < std::size(sharing_cases); ++i) {
            handles_[i] = open(case_file(dir.path(), i), sharing_cases[i].first_access, sharing_cases[i].first_sharing,
                               platform::DISPOSITION_OPEN_OR_CREATE);
            EXPECT_NE(platform::NO_FILE, handles_[i]) << i;
        }
    }
    ~FirstHandles() {
        for (FileHandle handle : handles_) platform::close_file(handle);
    }

private:
    FileHandle handles_[std::size(sharing_cases)];
};

TEST(FileHandle, SharingDecidesWhoElseMayOpen) {
    ScratchDirectory dir;
    {
        FirstHandles first(dir);
        EXPECT_EQ(expected_outcomes(), second_opens(dir.path()));
    }
    std::string all_free;
    for (std::size_t i = 0; i < std::size(sharing_cases); ++i) all_free += "0 ";
    EXPECT_EQ(all_free, second_opens(dir.path()));  // closing gave every file free
}

// Every case again, and a locked region, from a second process: the parent holds the
// first handles and the region, the child reports what it may do.
RUBO_CHILD(sharing_from_another_process) {
    std::string dir;
    std::getline(std::cin, dir);
    std::string report = second_opens(dir);
    std::string region_file = dir + (dir.find('\\') != std::string::npos ? "\\region" : "/region");
    FileHandle file = open(region_file, R | W);
    report += platform::lock_file_region(file, 5, 10) ? "locked " : std::to_string(platform::last_error()) + " ";
    report += platform::lock_file_region(file, 10, 10) ? "locked" : std::to_string(platform::last_error());
    platform::close_file(file);
    platform::write_standard_output(report.data(), report.size());
    return 0;
}

TEST(FileHandle, SharingHoldsAcrossProcesses) {
    ScratchDirectory dir;
    dir.write_file("region", "some bytes");
    FirstHandles first(dir);
    FileHandle region = open(dir / "region", R | W);
    ASSERT_TRUE(platform::lock_file_region(region, 0, 10));
    rubo::test::ChildResult child = rubo::test::run_child("sharing_from_another_process", dir.path() + "\n");
    platform::close_file(region);
    EXPECT_EQ(0, child.exit_code);
    EXPECT_EQ(expected_outcomes() + "33 locked", child.output);
}

TEST(FileHandle, ReplacingAFileInUseLeavesItsContent) {
    ScratchDirectory dir;
    dir.write_file("busy", "keep me");
    FileHandle holder = open(dir / "busy", R, 0);
    ASSERT_NE(platform::NO_FILE, holder);
    EXPECT_EQ(platform::NO_FILE, open(dir / "busy", W, SR | SW, platform::DISPOSITION_CREATE_OR_REPLACE));
    EXPECT_EQ(platform::SYSTEM_ERROR_SHARING_VIOLATION, platform::last_error());
    // Windows keeps the content too; Wine empties the file before it notices the violation.
    if (!running_under_wine()) {
        EXPECT_EQ("keep me", read_all(dir / "busy"));
    }
    platform::close_file(holder);
}

TEST(FileHandle, DeletingAnOpenFile) {
    ScratchDirectory dir;
    dir.write_file("open", "still here");
    FileHandle file = open(dir / "open", R, SR | SW);
    ASSERT_NE(platform::NO_FILE, file);
#ifdef _WIN32
    EXPECT_FALSE(platform::delete_file((dir / "open").c_str()));  // no handle shares deletion
    EXPECT_EQ(platform::SYSTEM_ERROR_SHARING_VIOLATION, platform::last_error());
#else
    EXPECT_TRUE(platform::delete_file((dir / "open").c_str()));
    EXPECT_FALSE(fs::exists(dir / "open"));
    EXPECT_EQ("still here", read_text(file, 100));
#endif
    platform::close_file(file);
}

TEST(FileHandle, RegionLocksKeepOtherHandlesOut) {
    ScratchDirectory dir;
    dir.write_file("file", "0123456789abcdefghij");
    FileHandle one = open(dir / "file", R | W), two = open(dir / "file", R | W);
    ASSERT_TRUE(platform::lock_file_region(one, 0, 10));
    EXPECT_FALSE(platform::lock_file_region(two, 5, 10));
    EXPECT_EQ(platform::SYSTEM_ERROR_LOCK_VIOLATION, platform::last_error());
    EXPECT_TRUE(platform::lock_file_region(two, 10, 10));
    EXPECT_TRUE(platform::unlock_file_region(one, 0, 10));
    EXPECT_TRUE(platform::lock_file_region(two, 0, 10));
    EXPECT_FALSE(platform::lock_file_region(one, 30, 0));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
#ifndef _WIN32
    // The far end of the offsets belongs to the sharing emulation.
    EXPECT_FALSE(platform::lock_file_region(one, 0x7FFFFFFFFFFFFFF0ull, 1));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
    EXPECT_FALSE(platform::lock_file_region(one, 0, 0xFFFFFFFFFFFFFFFFull));
    EXPECT_TRUE(platform::lock_file_region(one, 1ull << 40, 1ull << 40));
#endif
    platform::close_file(one);
    platform::close_file(two);
}

}  // namespace
