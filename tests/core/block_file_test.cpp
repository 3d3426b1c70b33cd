#include "core/block_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

#include "core/working_paths.h"
#include "tests/core/local_write_time.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

using namespace std::chrono_literals;

void put_file_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The file's bytes; empty for a missing file.
std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Child routines take the path they work on as the first line of their input.
std::string path_from_input() {
    std::string path;
    std::getline(std::cin, path);
    return path;
}

bool wait_for_file(const std::string& path) {
    for (int waited = 0; waited < 3000; ++waited) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Whether a file lies directly in a folder, which may be given with a final separator.
bool lies_in(const std::filesystem::path& file, std::filesystem::path folder) {
    if (!folder.has_filename()) folder = folder.parent_path();
    return std::filesystem::equivalent(folder, file.parent_path());
}

// A scratch directory with one file in it, and the object under test (closed before
// the directory goes).
class BlockFileTest : public ::testing::Test {
protected:
    // Writes the file and opens it with the flags, which must succeed.
    void open_with(const std::string& bytes, std::uint32_t flags) {
        put_file_bytes(path, bytes);
        ASSERT_EQ(OPEN_OK, file.open(path.c_str(), flags));
    }

    rubo::test::ScratchDirectory scratch;
    const std::string path = scratch / "data.dat";
    BlockFile file;
};

using BlockFileOpen = BlockFileTest;
using BlockFileSharing = BlockFileTest;
using BlockFileBlocks = BlockFileTest;
using BlockFileMemory = BlockFileTest;

// ---- Opening

TEST_F(BlockFileOpen, FailuresAnswerTheirCodeAndMessage) {
    EXPECT_EQ(OPEN_NOT_FOUND, file.open(path.c_str(), OPEN_MUST_EXIST));
    EXPECT_STREQ("The file was not found.", file.last_error());
    EXPECT_FALSE(file.is_open());
    EXPECT_FALSE(std::filesystem::exists(path));

    EXPECT_EQ(OPEN_NO_DIRECTORY, file.open((scratch / "no_such_folder/x.dat").c_str(), OPEN_OR_CREATE));
    EXPECT_STREQ("The directory does not exist.", file.last_error());

    put_file_bytes(path, "keep");
    EXPECT_EQ(OPEN_ALREADY_EXISTS, file.open(path.c_str(), OPEN_CREATE_NEW));
    EXPECT_STREQ("The file already exists.", file.last_error());
    EXPECT_EQ("keep", file_bytes(path));

    // A failed open leaves the object closed: reads find no file.
    char byte = 0;
    EXPECT_FALSE(file.read_block(&byte, 1));
    EXPECT_STREQ("File not open", file.last_error());
    EXPECT_EQ(-1, file.size());
    EXPECT_EQ(-1, file.tell());
}

TEST_F(BlockFileOpen, EmptyNameIsInvalidUnlessATemporaryFileIsAsked) {
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_OR_CREATE));
    EXPECT_EQ(OPEN_INVALID_NAME, file.open("", OPEN_OR_CREATE));
    EXPECT_STREQ("The filename is invalid.", file.last_error());
    // The earlier file's name is not taken for the failed one.
    EXPECT_EQ(0, file.name().length());
    EXPECT_EQ(OPEN_INVALID_NAME, file.open(nullptr, OPEN_MUST_EXIST));
    // These modes take the name as a directory or a file to put the temporary file
    // beside, so they need one.
    EXPECT_EQ(OPEN_INVALID_NAME, file.open("", OPEN_TEMP_FILE_IN_NAMED));
    EXPECT_EQ(OPEN_INVALID_NAME, file.open("", OPEN_TEMP_FILE_BESIDE));
    EXPECT_EQ(OPEN_INVALID_NAME, file.open("", 0xA0000000));
}

TEST_F(BlockFileOpen, TemporaryNameModes) {
    const String& temp_folder = temp_directory();
    ASSERT_EQ(OPEN_OK, file.open("", OPEN_TEMP_FILE | OPEN_MUST_EXIST));
    const std::string created = file.name().text();
    const std::string name = std::filesystem::path(created).filename().string();
    EXPECT_EQ("KWB", name.substr(0, 3)) << name;
    EXPECT_EQ(".tmp", name.substr(name.size() - 4)) << name;
    EXPECT_TRUE(lies_in(created, temp_folder.text()));
    EXPECT_EQ(0, file.size());
    EXPECT_TRUE(file.write_block("x", 1));
    file.close();
    EXPECT_EQ("x", file_bytes(created));
    std::filesystem::remove(created);

    ASSERT_EQ(OPEN_OK, file.open(scratch.path().c_str(), OPEN_TEMP_FILE_IN_NAMED));
    EXPECT_TRUE(lies_in(file.name().text(), scratch.path()));
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_TEMP_FILE_BESIDE));
    EXPECT_TRUE(lies_in(file.name().text(), scratch.path()));
    file.close();
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(scratch.path()), {}));

    const std::string joined_name =
        "rubo_block_file_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    ASSERT_EQ(OPEN_OK, file.open(joined_name.c_str(), OPEN_IN_TEMP_DIRECTORY | OPEN_CREATE_NEW | OPEN_THEN_CLOSE));
    EXPECT_FALSE(file.is_open());
    const std::filesystem::path joined = file.name().text();
    EXPECT_EQ(joined_name, joined.filename().string());
    EXPECT_TRUE(lies_in(joined, temp_folder.text()));
    std::filesystem::remove(joined);

    // No temporary file can be made in a missing folder (the code is the platform's).
    EXPECT_NE(OPEN_OK, file.open((scratch / "gone").c_str(), OPEN_TEMP_FILE_IN_NAMED));
    EXPECT_FALSE(file.is_open());
}

TEST_F(BlockFileOpen, CreationAndPlacementFlags) {
    open_with("old content", OPEN_MUST_EXIST | OPEN_AT_END);
    EXPECT_EQ(11, file.tell());
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_OR_CREATE));
    EXPECT_EQ(0, file.tell());
    EXPECT_EQ(11, file.size());
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_CREATE_EMPTY));
    EXPECT_EQ(0, file.size());
    file.close();
    EXPECT_EQ("", file_bytes(path));

    ASSERT_EQ(OPEN_OK, file.open((scratch / "fresh.dat").c_str(), OPEN_CREATE_NEW | OPEN_THEN_CLOSE));
    EXPECT_FALSE(file.is_open());
    EXPECT_TRUE(std::filesystem::exists(scratch / "fresh.dat"));
}

RUBO_CHILD(open_required_missing) {
    BlockFile file;
    file.open(path_from_input().c_str(), OPEN_MUST_EXIST | OPEN_REQUIRED);
    return 0;
}

TEST_F(BlockFileOpen, RequiredFileThatCannotBeOpenedEndsTheProcess) {
    const rubo::test::ChildResult result = rubo::test::run_child("open_required_missing", path + "\n");
    EXPECT_EQ(1, result.exit_code);
    EXPECT_EQ("Failed to open required file:\r\n" + path + "\r\n\r\nThe file was not found.\r\n", result.output);
}

// ---- Sharing

RUBO_CHILD(hold_file_unshared) {
    const std::string path = path_from_input();
    BlockFile file;
    if (file.open(path.c_str(), OPEN_MUST_EXIST) != OPEN_OK) return 2;
    put_file_bytes(path + ".held", "");
    return wait_for_file(path + ".release") ? 0 : 3;
}

TEST_F(BlockFileSharing, FileHeldElsewhereWithoutSharingIsLocked) {
    put_file_bytes(path, "data");
    rubo::test::ChildResult holder;
    std::thread child([&] { holder = rubo::test::run_child("hold_file_unshared", path + "\n"); });
    if (wait_for_file(path + ".held")) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(OPEN_LOCKED, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_WRITE | OPEN_SHARE_READ));
        const auto with_retries = std::chrono::steady_clock::now() - start;
        EXPECT_STREQ("The file is locked by another application.", file.last_error());

        start = std::chrono::steady_clock::now();
        EXPECT_EQ(OPEN_LOCKED, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_SHARING_RETRIES));
        const auto at_once = std::chrono::steady_clock::now() - start;
        // Five waits of 100 ms, loosely; without retries, far less than that.
        EXPECT_GE(with_retries, 400ms);
        EXPECT_LT(at_once, with_retries);
    } else {
        ADD_FAILURE() << "the child never held the file";
    }
    put_file_bytes(path + ".release", "");
    child.join();
    EXPECT_EQ(0, holder.exit_code);
}

TEST_F(BlockFileSharing, SharingWidensToWhatTheHandleDoesNotDo) {
    // The reader shares only reading and the writer only writing; each also shares
    // the access it does not have itself, so the two fit together.
    open_with("data", OPEN_MUST_EXIST | OPEN_NO_WRITE | OPEN_SHARE_READ);
    BlockFile writer;
    EXPECT_EQ(OPEN_OK,
              writer.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_READ | OPEN_SHARE_WRITE | OPEN_NO_SHARING_RETRIES));
    // A second reader that shares nothing does not fit.
    BlockFile exclusive;
    EXPECT_EQ(OPEN_LOCKED, exclusive.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_WRITE | OPEN_NO_SHARING_RETRIES));
}

TEST_F(BlockFileSharing, LockedRegionsAreReleasedByUnlockAllAndClose) {
    const std::uint32_t shared = OPEN_MUST_EXIST | OPEN_SHARE_READ | OPEN_SHARE_WRITE;
    open_with(std::string(100, 'x'), shared);
    BlockFile second;
    ASSERT_EQ(OPEN_OK, second.open(path.c_str(), shared));

    EXPECT_TRUE(file.lock_region(0, 10));
    EXPECT_TRUE(file.lock_region(50, 10));
    EXPECT_FALSE(second.lock_region(5, 10));
    EXPECT_NE('\0', second.last_error()[0]);
    EXPECT_FALSE(file.lock_region(20, 0));
    EXPECT_STREQ("Illegal block size 0", file.last_error());

    EXPECT_EQ(2, file.unlock_all());
    EXPECT_EQ(0, file.unlock_all());
    EXPECT_TRUE(second.lock_region(5, 10));
    EXPECT_FALSE(file.lock_region(0, 10));
    second.close();
    EXPECT_TRUE(file.lock_region(0, 10));
}

// ---- Reading, writing and positions

TEST_F(BlockFileBlocks, WritesReadsAndSavedPositions) {
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_CREATE_NEW));
    EXPECT_TRUE(file.write_block("hello world", 11));
    EXPECT_EQ(11, file.tell());
    EXPECT_EQ(11, file.size());

    char word[5];
    EXPECT_TRUE(file.read_block_at(6, word, 5));
    EXPECT_EQ("world", std::string(word, 5));
    EXPECT_EQ(11, file.tell());  // read_block_at comes back to where it was

    EXPECT_EQ(11, file.push_position_and_seek(2));
    EXPECT_EQ(2, file.push_position());
    EXPECT_TRUE(file.seek_from_end(-5));
    EXPECT_TRUE(file.write_block("WORLD", 5));
    EXPECT_EQ(2, file.pop_position());
    EXPECT_EQ(2, file.tell());
    EXPECT_EQ(11, file.pop_position());
    EXPECT_EQ(11, file.tell());
    EXPECT_EQ(NO_SAVED_POSITION, file.pop_position());
    EXPECT_EQ(11, file.tell());

    EXPECT_TRUE(file.seek_from_start(5));
    EXPECT_TRUE(file.truncate());
    EXPECT_EQ(5, file.size());
    String all;
    EXPECT_TRUE(file.read_all(all));
    EXPECT_STREQ("hello", all.text());
    EXPECT_TRUE(file.flush());
    file.close();
    EXPECT_EQ("hello", file_bytes(path));
    EXPECT_FALSE(file.flush());
}

TEST_F(BlockFileBlocks, SeeksPastTheEndReachOnlyTheFile) {
    for (const std::uint32_t memory : {0u, OPEN_LOAD_INTO_MEMORY}) {
        open_with("0123456789", OPEN_MUST_EXIST | memory);
        const bool past_end = memory == 0;  // an image ends where its bytes do
        EXPECT_TRUE(file.seek_from_start(10));
        EXPECT_TRUE(file.seek_from_end(-10));
        EXPECT_EQ(past_end, file.seek_from_start(11));
        EXPECT_EQ(past_end, file.seek_from_end(1));
        EXPECT_TRUE(file.seek_from_start(4));
        EXPECT_FALSE(file.seek_from_start(-1));
        EXPECT_FALSE(file.seek_from_end(-11));
        EXPECT_EQ(4, file.tell());
        EXPECT_EQ(10, file.size());
        file.close();
        EXPECT_EQ("0123456789", file_bytes(path));
    }
}

TEST_F(BlockFileBlocks, WritingPastTheEndGrowsTheFile) {
    open_with("abc", OPEN_MUST_EXIST);
    char buffer[2];
    for (const std::int32_t offset : {3, 5}) {  // at the end and past it no bytes are found
        std::memset(buffer, '?', sizeof buffer);
        EXPECT_TRUE(file.seek_from_start(offset));
        EXPECT_FALSE(file.read_block(buffer, 2));
        EXPECT_EQ(std::string(2, '\0'), std::string(buffer, 2));
    }
    EXPECT_EQ(3, file.size());
    EXPECT_TRUE(file.write_block("XY", 2));
    EXPECT_EQ(7, file.size());
    // An image cannot stand past its end: loading there keeps the file.
    EXPECT_TRUE(file.seek_from_end(1));
    EXPECT_FALSE(file.load_into_memory());
    EXPECT_FALSE(file.in_memory());
    file.close();
    EXPECT_EQ(std::string("abc\0\0XY", 7), file_bytes(path));
}

TEST_F(BlockFileBlocks, BadRequestsFailWithTheirMessage) {
    open_with("abcdef", OPEN_MUST_EXIST);
    char buffer[8] = {};
    EXPECT_TRUE(file.write_block(nullptr, 0));
    EXPECT_TRUE(file.read_block(nullptr, 0));
    EXPECT_FALSE(file.write_block("x", -1));
    EXPECT_STREQ("Illegal block size", file.last_error());
    EXPECT_FALSE(file.write_block(nullptr, 3));
    EXPECT_STREQ("NULL block pointer", file.last_error());
    EXPECT_FALSE(file.read_block(buffer, -2));
    EXPECT_STREQ("Illegal block size -2", file.last_error());
    EXPECT_FALSE(file.read_block_at(0, buffer, -3));
    EXPECT_STREQ("Illegal block size -3", file.last_error());
    EXPECT_FALSE(file.read_block(nullptr, 3));
    EXPECT_STREQ("NULL block pointer", file.last_error());
    EXPECT_EQ(0, file.tell());

    // Past the end: what there is arrives, the rest of the buffer is zeroed.
    EXPECT_TRUE(file.seek_from_start(4));
    std::memset(buffer, '?', sizeof buffer);
    EXPECT_FALSE(file.read_block(buffer, 4));
    EXPECT_STREQ("Read past end of file", file.last_error());
    EXPECT_EQ(std::string("ef\0\0", 4), std::string(buffer, 4));
    // An offset outside the file reads nothing from anywhere else.
    std::memset(buffer, '?', sizeof buffer);
    EXPECT_FALSE(file.read_block_at(7, buffer, 2));
    EXPECT_EQ(std::string(2, '\0'), std::string(buffer, 2));
    EXPECT_STREQ("Read past end of file", file.last_error());
    EXPECT_EQ(6, file.tell());

    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_WRITE));
    EXPECT_FALSE(file.write_block("xyz", 3));
    EXPECT_STREQ("Write access denied", file.last_error());
    EXPECT_FALSE(file.truncate());
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_READ));
    EXPECT_FALSE(file.read_block(buffer, 2));
    EXPECT_STREQ("Read access denied", file.last_error());
    file.close();
    EXPECT_EQ("abcdef", file_bytes(path));
}

TEST_F(BlockFileBlocks, LargeWritesArriveWhole) {
    std::string bytes(2 * WRITE_PIECE_SIZE + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 4099);
    file.set_flush_after_write(true);
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_CREATE_NEW));
    EXPECT_TRUE(file.write_block(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    String back;
    EXPECT_TRUE(file.read_all(back));
    file.close();
    EXPECT_EQ(bytes, std::string(back.text(), back.length()));
    EXPECT_EQ(bytes, file_bytes(path));
}

TEST_F(BlockFileBlocks, LastWriteTimeInLocalTime) {
    put_file_bytes(path, "x");
    rubo::test::set_local_write_time(path, 2021, 1, 15, 10, 20, 30);
    DateTime time;
    EXPECT_FALSE(file.last_write_time(&time));
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_WRITE));
    EXPECT_FALSE(file.last_write_time(nullptr));
    ASSERT_TRUE(file.last_write_time(&time));
    EXPECT_EQ(0, compare_date_times(DateTime{2021, 1, 15, 10, 20, 30}, time))
        << time.year << '-' << time.month << '-' << time.day << ' ' << time.hour << ':' << time.minute << ':'
        << time.second;
}

// ---- Memory image

TEST_F(BlockFileMemory, ChangesReachTheFileAtClose) {
    open_with("0123456789", OPEN_MUST_EXIST | OPEN_LOAD_INTO_MEMORY | OPEN_SHARE_READ);
    EXPECT_TRUE(file.in_memory());
    EXPECT_TRUE(file.seek_from_start(2));
    EXPECT_TRUE(file.write_block("ab", 2));
    EXPECT_TRUE(file.seek_from_end(0));
    EXPECT_TRUE(file.write_block("XYZ", 3));
    EXPECT_EQ(13, file.size());
    EXPECT_EQ("0123456789", file_bytes(path));
    String image;
    EXPECT_TRUE(file.read_all(image));
    EXPECT_STREQ("01ab456789XYZ", image.text());
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.in_memory());
    EXPECT_EQ("01ab456789XYZ", file_bytes(path));

    // A shorter image leaves a shorter file.
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_LOAD_INTO_MEMORY));
    EXPECT_TRUE(file.seek_from_start(3));
    EXPECT_TRUE(file.write_block("-", 1));
    EXPECT_TRUE(file.truncate());
    EXPECT_TRUE(file.close());
    EXPECT_EQ("01a-", file_bytes(path));

    // A truncation alone is a change too.
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_LOAD_INTO_MEMORY));
    EXPECT_TRUE(file.seek_from_start(1));
    EXPECT_TRUE(file.truncate());
    // Opening again closes first, which writes the image back.
    ASSERT_EQ(OPEN_OK, file.open(path.c_str(), OPEN_MUST_EXIST));
    EXPECT_EQ(1, file.size());
    file.close();
    EXPECT_EQ("0", file_bytes(path));
}

TEST_F(BlockFileMemory, ReadPastTheEndOfTheImage) {
    open_with("abcdefghij", OPEN_MUST_EXIST | OPEN_LOAD_INTO_MEMORY | OPEN_NO_WRITE);
    EXPECT_TRUE(file.seek_from_end(-4));
    char buffer[10];
    std::memset(buffer, '?', sizeof buffer);
    EXPECT_FALSE(file.read_block(buffer, 10));
    EXPECT_STREQ("Read past end of file", file.last_error());
    EXPECT_EQ(std::string("ghij\0\0\0\0\0\0", 10), std::string(buffer, 10));
    EXPECT_EQ(16, file.tell());
    EXPECT_FALSE(file.write_block("x", 1));
    EXPECT_STREQ("Write access denied", file.last_error());
    EXPECT_TRUE(file.close());
    EXPECT_EQ("abcdefghij", file_bytes(path));
}

TEST_F(BlockFileMemory, LoadingAgainKeepsTheChangedImage) {
    open_with("abc", OPEN_MUST_EXIST);
    EXPECT_TRUE(file.seek_from_start(1));
    EXPECT_TRUE(file.load_into_memory());
    EXPECT_EQ(1, file.tell());  // the position carries over into the image
    EXPECT_TRUE(file.write_block("B", 1));
    EXPECT_TRUE(file.load_into_memory());
    file.close();
    EXPECT_EQ("aBc", file_bytes(path));

    // A file that cannot be read is not loaded.
    EXPECT_EQ(OPEN_READ_FAILED, file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_NO_READ | OPEN_LOAD_INTO_MEMORY));
    EXPECT_STREQ("Failed to read the file into memory.", file.last_error());
    EXPECT_FALSE(file.is_open());
    EXPECT_FALSE(file.in_memory());
}

#ifndef _WIN32
// Writes back an image that the file may not grow to: the process may write files of
// at most 150 bytes.
RUBO_CHILD(write_back_beyond_size_limit) {
    const std::string path = path_from_input();
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{150, 150};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    BlockFile file;
    if (file.open(path.c_str(), OPEN_MUST_EXIST | OPEN_LOAD_INTO_MEMORY) != OPEN_OK) return 3;
    const std::string bytes(300, 'B');
    file.write_block(bytes.data(), 300);
    std::cout << (file.close() ? "closed" : "failed") << std::flush;
    return 0;
}

TEST_F(BlockFileMemory, FailedWriteBackLeavesTheFileAsItWas) {
    const std::string original(100, 'A');
    put_file_bytes(path, original);
    const rubo::test::ChildResult result = rubo::test::run_child("write_back_beyond_size_limit", path + "\n");
    EXPECT_EQ(0, result.exit_code);
    EXPECT_EQ("failed", result.output);
    EXPECT_EQ(original, file_bytes(path));
}
#endif

}  // namespace
