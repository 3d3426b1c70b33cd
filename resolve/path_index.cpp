#include "resolve/path_index.h"

#include <cstring>

namespace rubo {

namespace {

constexpr std::uint64_t every_byte = 0x0101010101010101u;

// The eight bytes of a word with the letters A-Z made lower case; other bytes, those
// above 127 included, stay as they are.
std::uint64_t lower_case_letters(std::uint64_t word) {
    const std::uint64_t low_bits = word & (0x7F * every_byte);
    const std::uint64_t from_a = low_bits + (0x80 - 'A') * every_byte;        // top bit set from 'A' on
    const std::uint64_t beyond_z = low_bits + (0x80 - 'Z' - 1) * every_byte;  // top bit set after 'Z'
    const std::uint64_t capitals = from_a & ~beyond_z & ~word & (0x80 * every_byte);
    return word | (capitals >> 2);  // the top bit moved to 0x20 of the same byte
}

}  // namespace

std::uint32_t PathIndex::hash_of(const String& path) const {
    // Eight bytes at a time, each word mixed in by a multiplication; letters folded to
    // lower case where case does not count.
    const char* text = path.text();
    std::size_t left = static_cast<std::size_t>(path.length());
    std::uint64_t hash = left * 0x9E3779B97F4A7C15u;
    while (left > 0) {
        std::uint64_t word = 0;
        const std::size_t taken = left < sizeof word ? left : sizeof word;
        std::memcpy(&word, text, taken);
        if (letter_case_ == Case::INSENSITIVE) word = lower_case_letters(word);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
        hash ^= hash >> 32;
        text += taken;
        left -= taken;
    }
    return static_cast<std::uint32_t>(hash);
}

PathIndex::Slot& PathIndex::empty_slot(std::uint32_t hash) {
    const std::uint32_t mask = capacity_ - 1;
    std::uint32_t at = hash & mask;
    while (slots_[at].position >= 0) at = (at + 1) & mask;
    return slots_[at];
}

void PathIndex::grow() {
    Slot* old = slots_;
    const std::uint32_t old_capacity = capacity_;
    capacity_ = capacity_ == 0 ? 64 : capacity_ * 2;
    slots_ = new Slot[capacity_];
    for (std::uint32_t i = 0; i < old_capacity; ++i)
        if (old[i].position >= 0) empty_slot(old[i].hash) = old[i];
    delete[] old;
}

}  // namespace rubo
