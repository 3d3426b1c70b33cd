#include "resolve/path_index.h"

#include "core/character.h"

std::uint32_t PathIndex::hash_of(const String& path) const {
    // FNV-1a over the bytes, letters folded to lower case where case does not count.
    std::uint32_t hash = 2166136261u;
    const char* text = path.text();
    for (int i = 0; i < path.length(); ++i) {
        const char c = case_sensitive_ ? text[i] : to_lower(text[i]);
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

PathIndex::Slot& PathIndex::slot_for(const String& path, std::uint32_t hash) const {
    const std::uint32_t mask = capacity_ - 1;
    for (std::uint32_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.path == nullptr) return slot;
        if (slot.hash == hash && slot.path->compare(path, case_sensitive_) == 0) return slot;
    }
}

const String* PathIndex::find(const String& path) const {
    if (count_ == 0) return nullptr;
    return slot_for(path, hash_of(path)).path;
}

void PathIndex::add(const String& path) {
    // At most half full, so that every probe meets an empty slot soon.
    if ((count_ + 1) * 2 > capacity_) grow();
    const std::uint32_t hash = hash_of(path);
    Slot& slot = slot_for(path, hash);
    if (slot.path != nullptr) return;
    slot.path = &path;
    slot.hash = hash;
    ++count_;
}

void PathIndex::grow() {
    Slot* old = slots_;
    const std::uint32_t old_capacity = capacity_;
    capacity_ = capacity_ == 0 ? 64 : capacity_ * 2;
    slots_ = new Slot[capacity_];
    for (std::uint32_t i = 0; i < old_capacity; ++i)
        if (old[i].path != nullptr) slot_for(*old[i].path, old[i].hash) = old[i];
    delete[] old;
}
