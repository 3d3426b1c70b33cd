#include "core/block_file.h"

#include <algorithm>
#include <cstring>

#include "core/fatal.h"
#include "core/paths.h"
#include "core/working_paths.h"

namespace rubo {

namespace {

constexpr std::uint32_t RETRY_WAIT_MILLISECONDS = 100;
// Further attempts after a sharing violation, each after one wait.
constexpr int SHARING_RETRIES = 5;

// A file position as the 32-bit value the interface deals in; -1 for a failure or a
// position the interface cannot express.
std::int32_t as_position(std::int64_t position) {
    return position >= 0 && position <= INT32_MAX ? static_cast<std::int32_t>(position) : -1;
}

bool makes_temporary_file(std::uint32_t name_mode) {
    return name_mode == OPEN_TEMP_FILE || name_mode == OPEN_TEMP_FILE_IN_NAMED || name_mode == OPEN_TEMP_FILE_BESIDE;
}

}  // namespace

BlockFile::~BlockFile() { close(); }

// ---- Opening and closing

OpenResult BlockFile::open(const char* name, OpenFlags flags, std::uint32_t attributes) {
    close();
    const std::uint32_t name_mode = flags & OPEN_NAME_MODE_MASK;
    if ((name == nullptr || name[0] == '\0') && name_mode != OPEN_TEMP_FILE) {
        name_.release();  // a report must not show the previous file's name
        return fail_open(OPEN_INVALID_NAME, flags);
    }
    can_read_ = (flags & OPEN_NO_READ) == 0;
    can_write_ = (flags & OPEN_NO_WRITE) == 0;
    if (!resolve_name(name, name_mode)) return fail_open(open_result_from_error(platform::last_error()), flags);
    // The temporary file exists by now, empty; it is opened by replacing it.
    if (makes_temporary_file(name_mode)) flags = (flags & ~OPEN_CREATION_MASK) | OPEN_CREATE_EMPTY;

    OpenResult code = OPEN_OK;
    handle_ = attempt_open(flags, attributes, code);
    if (handle_ == platform::NO_FILE) return fail_open(code, flags);
    if ((flags & OPEN_LOAD_INTO_MEMORY) != 0 && !load_into_memory()) {
        close();
        return fail_open(OPEN_READ_FAILED, flags);
    }
    if ((flags & OPEN_AT_END) != 0) seek_from_end(0);
    if ((flags & OPEN_THEN_CLOSE) != 0) close();
    return OPEN_OK;
}

OpenResult BlockFile::fail_open(OpenResult code, OpenFlags flags) {
    last_error_ = open_result_text(code);
    if ((flags & OPEN_REQUIRED) != 0)
        fatal_error("Failed to open required file:\r\n%s\r\n\r\n%s", name_.text(), last_error_.text());
    return code;
}

// Sets the name field to the name the mode asks for, creating the temporary file where
// one is asked for. False when no temporary file could be made (the platform's last
// error says why); the name field then holds the directory it was to be made in.
bool BlockFile::resolve_name(const char* name, std::uint32_t name_mode) {
    switch (name_mode) {
        case OPEN_TEMP_FILE: name_ = temp_directory(); break;
        case OPEN_TEMP_FILE_IN_NAMED: name_ = name; break;
        case OPEN_TEMP_FILE_BESIDE: name_ = directory_part(name); break;
        case OPEN_IN_TEMP_DIRECTORY: name_ = join_path(temp_directory().text(), name); return true;
        default: name_ = name; return true;
    }
    String temporary = temp_file_name(name_.text());
    if (temporary.length() == 0) return false;
    name_ = std::move(temporary);
    return true;
}

platform::FileHandle BlockFile::attempt_open(OpenFlags flags, std::uint32_t attributes, OpenResult& code) {
    const std::uint32_t access =
        (can_read_ ? platform::ACCESS_READ_DATA : 0) | (can_write_ ? platform::ACCESS_WRITE_DATA : 0);
    std::uint32_t sharing = ((flags & OPEN_SHARE_READ) != 0 ? platform::SHARE_READERS : 0) |
                            ((flags & OPEN_SHARE_WRITE) != 0 ? platform::SHARE_WRITERS : 0);
    // Sharing what this handle does not do itself costs nothing, so it goes along.
    if (!can_write_ && (flags & OPEN_SHARE_READ) != 0) sharing |= platform::SHARE_WRITERS;
    if (!can_read_ && (flags & OPEN_SHARE_WRITE) != 0) sharing |= platform::SHARE_READERS;
    const auto disposition = static_cast<platform::Disposition>(flags & OPEN_CREATION_MASK);

    int attempts = 0;
    for (;;) {
        const platform::FileHandle file = platform::open_file(name_.text(), access, sharing, disposition, attributes);
        if (file != platform::NO_FILE) return file;
        const bool retry_once = (flags & OPEN_RETRY_ONCE) != 0 && attempts++ == 0;
        if (!retry_once) {
            const platform::ErrorCode error = platform::last_error();
            const bool sharing_retry = error == platform::SYSTEM_ERROR_SHARING_VIOLATION &&
                                       (flags & OPEN_NO_SHARING_RETRIES) == 0 && attempts++ < SHARING_RETRIES;
            if (!sharing_retry) {
                code = open_result_from_error(error);
                return platform::NO_FILE;
            }
        }
        platform::sleep_milliseconds(RETRY_WAIT_MILLISECONDS);
    }
}

bool BlockFile::close() {
    bool closed = write_back();
    unlock_all();
    if (handle_ != platform::NO_FILE && !platform::close_file(handle_)) closed = fail_with_os_error();
    handle_ = platform::NO_FILE;
    position_stack_.clear();
    can_read_ = false;
    can_write_ = false;
    return closed;
}

// Leaves memory mode, writing a changed image over the file, and releases the image.
bool BlockFile::write_back() {
    const bool changed = memory_mode_ && image_modified_ && handle_ != platform::NO_FILE;
    memory_mode_ = false;
    image_modified_ = false;
    const bool written = !changed || write_image();
    image_.reset();
    return written;
}

// Makes the file hold exactly the image. What the image adds beyond the file's end is
// written first: when the file cannot grow (a full disk, a size limit) it is cut back
// to its old size before any of its bytes were overwritten, so the failure leaves it as
// it was. Only then are the existing bytes overwritten, and a shorter image cuts the
// file last, once everything before the cut is written.
bool BlockFile::write_image() {
    const std::int64_t old_size = file_size();
    if (old_size < 0) return fail_with_os_error();
    const char* bytes = image_.text();
    const std::int32_t length = image_.length();
    const std::int32_t kept = static_cast<std::int32_t>(std::min<std::int64_t>(old_size, length));
    if (length > kept && !(seek_to(kept) && write_block(bytes + kept, length - kept))) {
        if (platform::seek_file(handle_, old_size, platform::SEEK_FROM_START) == old_size)
            platform::set_end_of_file(handle_);
        return false;
    }
    if (!seek_to(0) || !write_block(bytes, kept)) return false;
    return length >= old_size || (seek_to(length) && truncate());
}

bool BlockFile::load_into_memory() {
    // An image already in use is the file's current content, changes included.
    if (memory_mode_) return true;
    const std::int32_t position = tell();
    if (!read_all(image_)) {
        image_.reset();
        return false;
    }
    // An image cannot stand past its end, where the file may: there the file is kept.
    if (!image_.seek(position)) {
        image_.reset();
        return fail("Read past end of file");
    }
    memory_mode_ = true;
    image_modified_ = false;
    return true;
}

// ---- Positions

// The end of the file or image, -1 when there is neither.
std::int64_t BlockFile::end_position() {
    if (memory_mode_) return image_.length();
    if (handle_ == platform::NO_FILE) return -1;
    return file_size();
}

// The file's size, leaving the file position where it was; -1 on failure.
std::int64_t BlockFile::file_size() {
    const std::int64_t here = platform::seek_file(handle_, 0, platform::SEEK_FROM_CURRENT);
    if (here < 0) return -1;
    const std::int64_t end = platform::seek_file(handle_, 0, platform::SEEK_FROM_END);
    if (platform::seek_file(handle_, here, platform::SEEK_FROM_START) != here) return -1;
    return end;
}

// Moves to a position from the start. The image takes positions within 0..its length;
// the file takes any from 0 on, past its end as well.
bool BlockFile::seek_to(std::int64_t position) {
    if (memory_mode_) return position <= INT32_MAX && image_.seek(static_cast<std::int32_t>(position));
    if (handle_ == platform::NO_FILE || position < 0) return false;
    return platform::seek_file(handle_, position, platform::SEEK_FROM_START) == position;
}

std::int32_t BlockFile::size() { return as_position(end_position()); }

std::int32_t BlockFile::tell() {
    if (memory_mode_) return image_.position();
    if (handle_ == platform::NO_FILE) return -1;
    return as_position(platform::seek_file(handle_, 0, platform::SEEK_FROM_CURRENT));
}

bool BlockFile::seek_from_start(std::int32_t offset) { return seek_to(offset); }

bool BlockFile::seek_from_end(std::int32_t offset) {
    const std::int64_t end = end_position();
    return end >= 0 && seek_to(end + offset);
}

std::int32_t BlockFile::push_position() {
    const std::int32_t here = tell();
    position_stack_.push(here);
    return here;
}

std::int32_t BlockFile::push_position_and_seek(std::int32_t offset) {
    const std::int32_t here = push_position();
    seek_from_start(offset);
    return here;
}

std::int32_t BlockFile::pop_position() {
    if (position_stack_.count == 0) return NO_SAVED_POSITION;
    const std::int32_t back = position_stack_.pop();
    seek_from_start(back);
    return back;
}

// ---- Reading and writing

bool BlockFile::write_block(const void* bytes, std::int32_t count) {
    if (count == 0) return true;
    if (count < 0) return fail("Illegal block size");
    if (bytes == nullptr) return fail("NULL block pointer");
    if (!can_write_) return fail("Write access denied");
    if (memory_mode_) {
        image_.write(bytes, count);
        image_modified_ = true;
        return true;
    }
    if (handle_ == platform::NO_FILE) return fail("File not open");
    const char* next = static_cast<const char*>(bytes);
    for (std::int32_t left = count; left > 0;) {
        const std::int32_t piece = std::min(left, WRITE_PIECE_SIZE);
        std::uint32_t done = 0;
        if (!platform::write_file(handle_, next, static_cast<std::uint32_t>(piece), done)) return fail_with_os_error();
        if (done != static_cast<std::uint32_t>(piece)) return fail("Not all data could be written");
        next += piece;
        left -= piece;
    }
    return !flush_after_write_ || flush();
}

// The checks of every read: the count, the buffer and the access.
bool BlockFile::read_allowed(const void* buffer, std::int32_t count) {
    if (count < 0) return fail_count(count);
    if (buffer == nullptr) return fail("NULL block pointer");
    if (!can_read_) return fail("Read access denied");
    if (handle_ == platform::NO_FILE && !memory_mode_) return fail("File not open");
    return true;
}

bool BlockFile::read_block(void* buffer, std::int32_t count) {
    return count == 0 || (read_allowed(buffer, count) && read_here(buffer, count));
}

bool BlockFile::read_block_at(std::int32_t offset, void* buffer, std::int32_t count) {
    if (count == 0) return true;
    if (!read_allowed(buffer, count)) return false;
    push_position();
    // An offset that cannot be reached (before the start, or past the end of an image)
    // reads nothing, rather than reading elsewhere.
    const bool done = seek_from_start(offset) ? read_here(buffer, count) : read_past_end(buffer, 0, count);
    pop_position();
    return done;
}

// Reads at the current position once the checks have passed.
bool BlockFile::read_here(void* buffer, std::int32_t count) {
    if (memory_mode_) return image_.read(buffer, count) || fail("Read past end of file");
    std::uint32_t done = 0;
    if (!platform::read_file(handle_, buffer, static_cast<std::uint32_t>(count), done)) return fail_with_os_error();
    return done == static_cast<std::uint32_t>(count) || read_past_end(buffer, static_cast<std::int32_t>(done), count);
}

// A read that found only `done` of `count` bytes: the rest of the buffer is zeroed.
bool BlockFile::read_past_end(void* buffer, std::int32_t done, std::int32_t count) {
    std::memset(static_cast<char*>(buffer) + done, 0, static_cast<std::size_t>(count - done));
    return fail("Read past end of file");
}

bool BlockFile::read_all(String& target) {
    if (handle_ == platform::NO_FILE && !memory_mode_) return fail("File not open");
    const std::int32_t bytes = size();
    target.set_length(bytes);
    return bytes == 0 || read_block_at(0, target.buffer(), bytes);
}

bool BlockFile::truncate() {
    if (!can_write_) return fail("Write access denied");
    if (memory_mode_) {
        const std::int32_t before = image_.length();
        image_.truncate();
        // A shorter image is a change the file must get at close, like any write.
        if (image_.length() != before) image_modified_ = true;
        return true;
    }
    if (handle_ == platform::NO_FILE) return fail("File not open");
    return platform::set_end_of_file(handle_) || fail_with_os_error();
}

bool BlockFile::flush() {
    if (handle_ == platform::NO_FILE) return fail("File not open");
    return platform::flush_file(handle_) || fail_with_os_error();
}

// ---- Time and locks

bool BlockFile::last_write_time(DateTime* target) {
    if (target == nullptr) return false;
    if (handle_ == platform::NO_FILE) return fail("File not open");
    platform::FileTime time = 0;
    platform::LocalTime local;
    if (!platform::get_last_write_time(handle_, time) || !platform::file_time_to_local_time(time, local))
        return fail_with_os_error();
    *target = DateTime{local.year, local.month, local.day, local.hour, local.minute, local.second};
    return true;
}

bool BlockFile::lock_region(std::uint32_t offset, std::int32_t length) {
    if (length <= 0) return fail_count(length);
    if (handle_ == platform::NO_FILE) return fail("File not open");
    if (!platform::lock_file_region(handle_, offset, static_cast<std::uint64_t>(length))) return fail_with_os_error();
    lock_stack_.push(FileLock{offset, length});
    return true;
}

std::int32_t BlockFile::unlock_all() {
    std::int32_t released = 0;
    while (lock_stack_.count > 0) {
        const FileLock* lock = lock_stack_.top();
        if (handle_ != platform::NO_FILE && lock->length > 0)
            platform::unlock_file_region(handle_, lock->offset, static_cast<std::uint64_t>(lock->length));
        lock_stack_.discard_top();
        ++released;
    }
    return released;
}

// ---- Failures

bool BlockFile::fail(const char* message) {
    last_error_ = message;
    return false;
}

bool BlockFile::fail_count(std::int32_t count) {
    last_error_.format("Illegal block size %d", count);
    return false;
}

bool BlockFile::fail_with_os_error() { return fail(last_os_error_text()); }

}  // namespace rubo
