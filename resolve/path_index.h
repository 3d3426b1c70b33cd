#pragma once
// PathIndex: the set of paths already listed by one resolution, for its duplicate
// test. It refers to paths of a PathList by their positions and finds an equal one in
// constant time on average, so that testing n paths costs in the order of n, not n
// squared.
//
// It keeps its own open-addressing table rather than a HashTable: a HashTable has as
// many buckets as it was reset to and never grows, and it allocates a list node per
// entry. The number of listed paths is not known before the walks end, and even given
// a bucket for each of a million paths in advance it takes about twice as long.

#include <cstdint>

#include "core/path_list.h"
#include "core/paths.h"
#include "core/string.h"

namespace rubo {

class PathIndex {
public:
    // Paths are equal when their bytes are (Case::SENSITIVE), or when they differ only
    // in the case of ASCII letters.
    explicit PathIndex(const PathList& paths, Case letter_case = path_case)
        : paths_(paths), letter_case_(letter_case) {}
    ~PathIndex() { delete[] slots_; }
    PathIndex(const PathIndex&) = delete;
    PathIndex& operator=(const PathIndex&) = delete;

    // The position of the indexed path equal to `path`, or -1.
    std::int32_t find(const String& path) const { return find(path, hash_of(path)); }
    // Indexes the list's path at `position`, which is `path` (or is about to be), unless an
    // equal path is indexed already. The list must keep it there while the index is in use.
    void add(const String& path, std::int32_t position) { add(path, position, hash_of(path)); }
    std::uint32_t count() const { return count_; }
    Case letter_case() const { return letter_case_; }

    // The same with the path's hash worked out once, for a lookup and the addition of an
    // equal path that may follow it.
    std::uint32_t hash_of(const String& path) const;
    std::int32_t find(const String& path, std::uint32_t hash) const {
        return find_where(hash, [&](std::int32_t position) { return paths_.equals(position, path, letter_case_); });
    }
    void add(const String& path, std::int32_t position, std::uint32_t hash) {
        add_where(position, hash, [&](std::int32_t at) { return paths_.equals(at, path, letter_case_); });
    }

    // The same for an index whose caller tells equal entries apart itself: `hash` is the
    // entry's, and same(position) whether the entry indexed at a position is the one meant.
    template <class Same> std::int32_t find_where(std::uint32_t hash, Same same) const {
        return count_ == 0 ? -1 : slot_for(hash, same).position;
    }
    template <class Same> void add_where(std::int32_t position, std::uint32_t hash, Same same) {
        // At most half full, so that every probe meets an empty slot soon.
        if ((count_ + 1) * 2 > capacity_) grow();
        Slot& slot = slot_for(hash, same);
        if (slot.position >= 0) return;
        slot.position = position;
        slot.hash = hash;
        ++count_;
    }

private:
    struct Slot {
        std::int32_t position = -1;  // -1 for an empty slot
        std::uint32_t hash = 0;
    };

    // The slot holding the entry with this hash that same() accepts, or the empty slot
    // where it would go.
    template <class Same> Slot& slot_for(std::uint32_t hash, Same same) const {
        const std::uint32_t mask = capacity_ - 1;
        for (std::uint32_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.position < 0 || (slot.hash == hash && same(slot.position))) return slot;
        }
    }
    // The first empty slot for this hash, for a path known to be absent.
    Slot& empty_slot(std::uint32_t hash);
    void grow();

    const PathList& paths_;
    Case letter_case_;
    Slot* slots_ = nullptr;
    std::uint32_t capacity_ = 0;  // a power of two, or 0
    std::uint32_t count_ = 0;
};

}  // namespace rubo
