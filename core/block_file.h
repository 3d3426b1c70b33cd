#pragma once
// BlockFile: a file read and written in blocks of bytes at a current position.
//
// One `open` call folds creation, access, sharing, temporary naming and retries into a
// flag word and answers an OpenResult. A file can be loaded whole into a memory image;
// reads, writes, seeks and truncation then work on the image, which is written back
// over the file when it is closed. Saved positions are kept on a stack, locked regions
// on another, and every lock still held is released at close.
//
// Reads and writes report failure by false and leave a message in last_error(); the
// message is replaced by each failure, never appended to.

#include <cstdint>

#include "core/date_time.h"
#include "core/file_lock.h"
#include "core/open_result.h"
#include "core/stack.h"
#include "core/string.h"
#include "core/string_buffer.h"
#include "platform/platform.h"

namespace rubo {

// ---- Open flags

// Creation (the two lowest bits as one value).
// A set of the OPEN_ bits below.
using OpenFlags = std::uint32_t;

inline constexpr OpenFlags OPEN_CREATION_MASK = 0x0003;
inline constexpr OpenFlags OPEN_OR_CREATE = 0x0000;     // open, creating the file when missing
inline constexpr OpenFlags OPEN_MUST_EXIST = 0x0001;    // open an existing file only
inline constexpr OpenFlags OPEN_CREATE_NEW = 0x0002;    // create, failing when the file exists
inline constexpr OpenFlags OPEN_CREATE_EMPTY = 0x0003;  // create, replacing an existing file

inline constexpr OpenFlags OPEN_NO_READ = 0x0008;
inline constexpr OpenFlags OPEN_NO_WRITE = 0x0010;
// A failed open ends the process with a fatal report naming the file.
inline constexpr OpenFlags OPEN_REQUIRED = 0x0020;
// After the first failed attempt, whatever the error, wait 100 ms and try once more.
inline constexpr OpenFlags OPEN_RETRY_ONCE = 0x0040;
inline constexpr OpenFlags OPEN_LOAD_INTO_MEMORY = 0x0080;
// Let others read / write the file while it is open. Without write access sharing
// reading shares writing too; without read access sharing writing shares reading too.
inline constexpr OpenFlags OPEN_SHARE_READ = 0x0100;
inline constexpr OpenFlags OPEN_SHARE_WRITE = 0x0200;
inline constexpr OpenFlags OPEN_AT_END = 0x0400;
inline constexpr OpenFlags OPEN_THEN_CLOSE = 0x0800;
// A sharing violation is answered at once instead of after five more attempts.
inline constexpr OpenFlags OPEN_NO_SHARING_RETRIES = 0x1000;

// Name mode (the three top bits as one value). The temporary-file modes create a new
// empty file with a unique "KWB" name first and then open it, replacing it.
inline constexpr OpenFlags OPEN_NAME_MODE_MASK = 0xE0000000;
inline constexpr OpenFlags OPEN_TEMP_FILE = 0x20000000;           // in the temporary directory; name unused
inline constexpr OpenFlags OPEN_TEMP_FILE_IN_NAMED = 0x40000000;  // in the directory the name gives
inline constexpr OpenFlags OPEN_TEMP_FILE_BESIDE = 0x80000000;    // in the directory of the named file
inline constexpr OpenFlags OPEN_IN_TEMP_DIRECTORY = 0xC0000000;   // the name inside the temporary directory

// The attribute for an ordinary file, passed through to the platform.
inline constexpr std::uint32_t OPEN_ATTRIBUTE_NORMAL = platform::ATTRIBUTE_NORMAL;

// What pop_position answers when no position is saved.
inline constexpr std::int32_t NO_SAVED_POSITION = INT32_MIN;

// The largest piece handed to the platform by one write.
inline constexpr std::int32_t WRITE_PIECE_SIZE = 0x100000;

class BlockFile {
public:
    BlockFile() = default;
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;
    ~BlockFile();

    // Closes whatever is open and opens `name` as the flags say. On failure the code's
    // message becomes the last error, and with OPEN_REQUIRED the process ends.
    OpenResult open(const char* name, OpenFlags flags, std::uint32_t attributes = OPEN_ATTRIBUTE_NORMAL);
    // Writes a changed memory image back, releases the locks and the handle. False
    // when the write-back failed (the last error says why); the object is closed in
    // every case.
    bool close();
    bool flush();

    // Size and current position; -1 when closed. Files beyond 2^31 - 1 bytes answer -1.
    std::int32_t size();
    std::int32_t tell();
    // A position below 0 is refused and leaves the position alone. The file may be
    // positioned past its end: a write there grows it, the gap reading as zeros, and a
    // read there finds no bytes. A memory image takes positions within 0..size only.
    bool seek_from_start(std::int32_t offset);
    bool seek_from_end(std::int32_t offset);

    // Save the position on the stack (and move to offset); answer the saved position.
    std::int32_t push_position();
    std::int32_t push_position_and_seek(std::int32_t offset);
    // Moves back to the latest saved position and answers it; NO_SAVED_POSITION,
    // without moving, when none is saved.
    std::int32_t pop_position();

    bool write_block(const void* bytes, std::int32_t count);
    // A read past the end answers false; from a memory image the missing bytes read as
    // zeros and the position still moves by the full count.
    bool read_block(void* buffer, std::int32_t count);
    bool read_block_at(std::int32_t offset, void* buffer, std::int32_t count);
    // The whole file (or image) into target.
    bool read_all(String& target);
    bool load_into_memory();
    // Cuts the file (or image) at the current position.
    bool truncate();

    // The file's last-write time in local time.
    bool last_write_time(DateTime* target);

    // Locks a region against other handles and keeps it on the lock stack until
    // unlock_all or close.
    bool lock_region(std::uint32_t offset, std::int32_t length);
    // Releases every region on the lock stack; answers how many records were taken.
    std::int32_t unlock_all();

    // When on, every complete write to the file is followed by a flush of the
    // platform's buffers. Off for a new object.
    void set_flush_after_write(bool on) { flush_after_write_ = on; }

    bool is_open() const { return handle_ != platform::NO_FILE; }
    bool in_memory() const { return memory_mode_; }
    // The name used by the last open, after temporary naming.
    const String& name() const { return name_; }
    const char* last_error() const { return last_error_.text(); }

private:
    OpenResult fail_open(OpenResult code, OpenFlags flags);
    bool resolve_name(const char* name, OpenFlags flags);
    platform::FileHandle attempt_open(OpenFlags flags, std::uint32_t attributes, OpenResult& code);
    bool write_back();
    bool write_image();
    std::int64_t end_position();
    std::int64_t file_size();
    bool seek_to(std::int64_t position);
    bool read_allowed(const void* buffer, std::int32_t count);
    bool read_here(void* buffer, std::int32_t count);
    bool read_past_end(void* buffer, std::int32_t done, std::int32_t count);
    bool fail(const char* message);
    bool fail_count(std::int32_t count);
    bool fail_with_os_error();

    platform::FileHandle handle_ = platform::NO_FILE;
    String name_;
    Stack<std::int32_t> position_stack_;
    StringBuffer image_;
    bool memory_mode_ = false;
    bool image_modified_ = false;
    bool flush_after_write_ = false;
    bool can_read_ = false;
    bool can_write_ = false;
    String last_error_;
    Stack<FileLock> lock_stack_;
};

}  // namespace rubo
