#include "core/path_list.h"

#include <cstring>
#include <utility>

#include "core/heap.h"

namespace rubo {

namespace {

// Blocks grow with the list, from a few kilobytes for a handful of paths to a megabyte
// each; a path longer than that gets a block of its own size.
constexpr std::uint32_t smallest_block = 4096;
constexpr std::uint32_t largest_block = 1 << 20;

// Makes an array of `slots` elements room for one more, doubling it when it is full.
template <class T> void make_room(T*& items, std::uint32_t used, std::uint32_t& slots) {
    if (used < slots) return;
    slots = slots == 0 ? 8 : slots * 2;
    items = static_cast<T*>(heap_reallocate(items, static_cast<std::size_t>(slots) * sizeof(T)));
}

int text_length(const char* text) { return static_cast<int>(std::strlen(text)); }

}  // namespace

PathList& PathList::operator=(const PathList& other) {
    if (this != &other) {
        clear();
        append_all(other);
    }
    return *this;
}

PathList& PathList::operator=(PathList&& other) noexcept {
    if (this != &other) {
        clear();
        swap(other);
    }
    return *this;
}

void PathList::append(const char* path) {
    if (path == nullptr) path = "";
    append_parts(nullptr, 0, path, text_length(path));
}

void PathList::append(const String& prefix, const char* name) {
    if (name == nullptr) name = "";
    append_parts(prefix.text(), prefix.length(), name, text_length(name));
}

PathList::Parts PathList::parts_of(const Entry& entry) const {
    const char* bytes = blocks_[entry.block].bytes;
    const char* prefix = entry.prefix == no_prefix ? shared_empty_text : bytes + entry.prefix;
    const char* tail = bytes + entry.tail;
    return Parts{prefix, text_length(prefix), tail, text_length(tail)};
}

void PathList::read_entry(const Entry& entry, String& path) const {
    const Parts parts = parts_of(entry);
    path.assign(parts.prefix, parts.prefix_length);
    path.append(parts.tail, parts.tail_length);
}

void PathList::read(std::int32_t index, String& path) const { read_entry(entry(index), path); }

String PathList::at(std::int32_t index) const {
    String path;
    read(index, path);
    return path;
}

bool PathList::equals(std::int32_t index, const String& path, Case letter_case) const {
    const Parts parts = parts_of(entry(index));
    return parts.prefix_length + parts.tail_length == path.length() &&
           compare_bytes(parts.prefix, path.text(), parts.prefix_length, letter_case) == 0 &&
           compare_bytes(parts.tail, path.text() + parts.prefix_length, parts.tail_length, letter_case) == 0;
}

void PathList::keep_first(std::int32_t n) {
    if (n < 0) n = 0;
    if (n < count) count = n;
}

void PathList::clear() {
    for (std::int32_t i = 0; i < chunk_count_; ++i) heap_free(chunks_[i]);
    for (std::uint32_t i = 0; i < block_count_; ++i) heap_free(blocks_[i].bytes);
    heap_free(chunks_);
    heap_free(blocks_);
    chunks_ = nullptr;
    blocks_ = nullptr;
    count = chunk_count_ = chunk_slots_ = 0;
    block_count_ = block_slots_ = 0;
    block_bytes_ = 0;
    filling_ = -1;
    shared_prefix_ = no_prefix;
    shared_length_ = 0;
}

void PathList::take_all(PathList& other) {
    if (&other == this || other.count == 0) return;
    if (count == 0) {
        clear();
        swap(other);
        return;
    }
    const std::uint32_t first_block = adopt_blocks(other);
    for (std::int32_t i = 0; i < other.count; ++i) {
        Entry taken = other.entry(i);
        taken.block += first_block;
        add_entry(taken);
    }
    other.clear();
}

std::uint32_t PathList::adopt_blocks(PathList& other) {
    const std::uint32_t first = block_count_;
    for (std::uint32_t i = 0; i < other.block_count_; ++i) {
        make_room(blocks_, block_count_, block_slots_);
        blocks_[block_count_++] = other.blocks_[i];
        block_bytes_ += other.blocks_[i].size;
    }
    // The blocks are this list's now: the other one only lends its entries.
    heap_free(other.blocks_);
    other.blocks_ = nullptr;
    other.block_count_ = other.block_slots_ = 0;
    return first;
}

void PathList::add_entry(const Entry& added) {
    if (count == chunk_count_ * chunk_entries) {
        std::uint32_t slots = static_cast<std::uint32_t>(chunk_slots_);
        make_room(chunks_, static_cast<std::uint32_t>(chunk_count_), slots);
        chunk_slots_ = static_cast<std::int32_t>(slots);
        chunks_[chunk_count_++] = static_cast<Entry*>(heap_allocate(chunk_entries * sizeof(Entry)));
    }
    chunks_[count >> chunk_shift][count & (chunk_entries - 1)] = added;
    ++count;
}

void PathList::append_parts(const char* prefix, int prefix_length, const char* tail, int tail_length) {
    const bool prefixed = prefix_length > 0;
    bool shared = prefixed && shared_prefix_ != no_prefix && shared_length_ == prefix_length &&
                  std::memcmp(blocks_[filling_].bytes + shared_prefix_, prefix, prefix_length) == 0;
    const std::uint32_t needed = static_cast<std::uint32_t>(tail_length) + 1 +
                                 (prefixed && !shared ? static_cast<std::uint32_t>(prefix_length) + 1 : 0);
    if (filling_ < 0 || blocks_[filling_].size - blocks_[filling_].used < needed) {
        // A new block repeats the prefix, so that each path lies within one block.
        begin_block(static_cast<std::uint32_t>(tail_length) + 1 +
                    (prefixed ? static_cast<std::uint32_t>(prefix_length) + 1 : 0));
        shared = false;
    }
    if (prefixed && !shared) {
        shared_prefix_ = store(prefix, prefix_length);
        shared_length_ = prefix_length;
    }
    Entry added;
    added.block = static_cast<std::uint32_t>(filling_);
    added.prefix = prefixed ? shared_prefix_ : no_prefix;
    added.tail = store(tail, tail_length);
    add_entry(added);
}

void PathList::append_all(const PathList& other) {
    for (std::int32_t i = 0; i < other.count; ++i) {
        const Parts parts = other.parts_of(other.entry(i));
        append_parts(parts.prefix, parts.prefix_length, parts.tail, parts.tail_length);
    }
}

void PathList::begin_block(std::uint32_t needed) {
    std::uint32_t size = block_bytes_ < smallest_block  ? smallest_block
                         : block_bytes_ > largest_block ? largest_block
                                                        : static_cast<std::uint32_t>(block_bytes_);
    if (size < needed) size = needed;
    make_room(blocks_, block_count_, block_slots_);
    blocks_[block_count_] = Block{static_cast<char*>(heap_allocate(size)), size, 0};
    filling_ = static_cast<std::int32_t>(block_count_++);
    block_bytes_ += size;
    shared_prefix_ = no_prefix;
}

std::uint32_t PathList::store(const char* bytes, int length) {
    Block& block = blocks_[filling_];
    const std::uint32_t offset = block.used;
    std::memcpy(block.bytes + offset, bytes, static_cast<std::size_t>(length));
    block.bytes[offset + static_cast<std::uint32_t>(length)] = 0;
    block.used += static_cast<std::uint32_t>(length) + 1;
    return offset;
}

void PathList::swap(PathList& other) noexcept {
    std::swap(count, other.count);
    std::swap(chunks_, other.chunks_);
    std::swap(chunk_count_, other.chunk_count_);
    std::swap(chunk_slots_, other.chunk_slots_);
    std::swap(blocks_, other.blocks_);
    std::swap(block_count_, other.block_count_);
    std::swap(block_slots_, other.block_slots_);
    std::swap(block_bytes_, other.block_bytes_);
    std::swap(filling_, other.filling_);
    std::swap(shared_prefix_, other.shared_prefix_);
    std::swap(shared_length_, other.shared_length_);
}

}  // namespace rubo
