#pragma once
// PathList: a list of paths kept compactly, for the hundreds of thousands of paths one
// search may list. There is no heap block per path: the bytes live in blocks of up to a
// megabyte, each filled to its end before the next is begun and never moved, and every
// path has one entry of twelve bytes, in chunks of entries.
//
// A path is stored in two parts: a prefix, which a run of paths appended with the same
// prefix (the directory they lie in) shares, once in each block, and its own tail. A
// path is text up to its first zero byte. Paths are read back whole into a String, by
// position or in order (range-for hands out each path in turn, in one String of the
// walk's own).

#include <cstdint>
#include <iterator>

#include "core/character.h"
#include "core/string.h"

namespace rubo {

class PathList {
public:
    PathList() = default;
    ~PathList() { clear(); }
    // Copies are deep; a list moved from ends empty.
    PathList(const PathList& other) { append_all(other); }
    PathList& operator=(const PathList& other);
    PathList(PathList&& other) noexcept { swap(other); }
    PathList& operator=(PathList&& other) noexcept;

    // Appends a path.
    void append(const char* path);
    void append(const String& path) { append(path.text()); }
    // Appends the path that is the prefix followed by the name; consecutive paths with an
    // equal prefix store it once.
    void append(const String& prefix, const char* name);

    // The path at index, which must lie in 0..count-1, into `path`.
    void read(std::int32_t index, String& path) const;
    String at(std::int32_t index) const;
    // Whether the path at index (in 0..count-1) is `path`, case-insensitively as `letter_case` says.
    bool equals(std::int32_t index, const String& path, Case letter_case) const;

    // Keeps the first n paths (all when n is at least count, none for n <= 0). The bytes
    // of those removed stay in their blocks until the list is cleared.
    void keep_first(std::int32_t n);
    // Removes every path and frees all storage.
    void clear();

    // Moves the other list's paths to the end of this one, in order, without copying
    // their bytes: the other's blocks become this list's. The other list ends empty.
    void take_all(PathList& other);
    // The same for the paths that keep(const String& path) answers true for; it is asked
    // about each path in order, just before the path would be added, so that count is
    // then the position the path is to take.
    template <class Keep> void take_all(PathList& other, Keep keep) {
        if (&other == this) return;
        const std::uint32_t first_block = adopt_blocks(other);
        String path;
        for (std::int32_t i = 0; i < other.count; ++i) {
            Entry entry = other.entry(i);
            entry.block += first_block;
            read_entry(entry, path);
            if (keep(static_cast<const String&>(path))) add_entry(entry);
        }
        other.clear();
    }

    // ---- Range-for, front to back: for (const String& path : files).
    class Walk {
    public:
        explicit Walk(const PathList& list) : list_(&list) { load(); }
        const String& operator*() const { return path_; }
        Walk& operator++() {
            ++index_;
            load();
            return *this;
        }
        bool operator==(std::default_sentinel_t) const { return index_ >= list_->count; }

    private:
        void load() {
            if (index_ < list_->count) list_->read(index_, path_);
        }
        const PathList* list_;
        std::int32_t index_ = 0;
        String path_;
    };
    Walk begin() const { return Walk(*this); }
    std::default_sentinel_t end() const { return std::default_sentinel; }

    std::int32_t count = 0;  // read by users, changed only by the list

private:
    static constexpr std::uint32_t no_prefix = UINT32_MAX;

    // Where a path's parts lie: a block and two offsets in it.
    struct Entry {
        std::uint32_t block = 0;
        std::uint32_t prefix = no_prefix;
        std::uint32_t tail = 0;
    };
    struct Block {
        char* bytes = nullptr;
        std::uint32_t size = 0;
        std::uint32_t used = 0;
    };
    struct Parts {
        const char* prefix;
        int prefix_length;
        const char* tail;
        int tail_length;
    };

    static constexpr int chunk_shift = 10;  // entries per chunk: 1024
    static constexpr std::int32_t chunk_entries = std::int32_t{1} << chunk_shift;

    const Entry& entry(std::int32_t index) const { return chunks_[index >> chunk_shift][index & (chunk_entries - 1)]; }
    Parts parts_of(const Entry& entry) const;
    void read_entry(const Entry& entry, String& path) const;
    void add_entry(const Entry& entry);
    void append_parts(const char* prefix, int prefix_length, const char* tail, int tail_length);
    void append_all(const PathList& other);
    // Begins a block that holds at least `needed` bytes and makes it the one filled.
    void begin_block(std::uint32_t needed);
    // Copies bytes and a terminator to the block being filled; answers their offset.
    std::uint32_t store(const char* bytes, int length);
    // Places the other list's blocks behind this list's and answers the index the first
    // of them got; the other list keeps its entries for the caller to take.
    std::uint32_t adopt_blocks(PathList& other);
    void swap(PathList& other) noexcept;

    Entry** chunks_ = nullptr;
    std::int32_t chunk_count_ = 0;  // chunks allocated
    std::int32_t chunk_slots_ = 0;  // places in chunks_
    Block* blocks_ = nullptr;
    std::uint32_t block_count_ = 0;
    std::uint32_t block_slots_ = 0;
    std::uint64_t block_bytes_ = 0;  // the sizes of all blocks, for the size of the next one
    std::int32_t filling_ = -1;      // the block appends go to; -1 before the first
    // The prefix last stored in the block being filled, for the paths that follow with it.
    std::uint32_t shared_prefix_ = no_prefix;
    int shared_length_ = 0;
};

}  // namespace rubo
