#pragma once
// HashTable<Element, Key>: an associative container. Every entry is a Bucket record held
// in a node of one of the bucket Lists, chosen from its key; all entries are in addition
// threaded into one table order across the buckets, and the Collection interface walks,
// reads, removes and takes along that order. Adding at either end and rotating have no
// meaning for the table and end the process with an internal fatal error.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/collection.h"
#include "core/exact_vector.h"
#include "core/fatal.h"
#include "core/list.h"

namespace rubo {

template <class Element, class Key> struct Bucket {
    Key key;
    List<Bucket>* list;  // the bucket List whose node holds this record
    Bucket* next;        // table order
    Bucket* prev;
    Element value;
};

template <class Element, class Key> class HashTable : public Collection<Element> {
public:
    using Entry = Bucket<Element, Key>;
    using BucketList = List<Entry>;

    HashTable() = default;
    // Releasing the bucket array frees every entry.
    ~HashTable() override = default;

    using Collection<Element>::remove_first;
    using Collection<Element>::remove_last;

    // ---- Walking, along table order
    bool begin_forward(Position& position) override {
        set(position, nullptr, first, nullptr);
        return this->count != 0;
    }
    bool begin_backward(Position& position) override {
        set(position, nullptr, nullptr, last);
        return this->count != 0;
    }
    Element* move_first(Position& position) override {
        begin_forward(position);
        return move_next(position);
    }
    Element* move_next(Position& position) override { return step_to(position, entry(position.following)); }
    Element* move_last(Position& position) override {
        begin_backward(position);
        return move_prev(position);
    }
    Element* move_prev(Position& position) override { return step_to(position, entry(position.preceding)); }

    // ---- Reading
    Element* first_element() override { return value_of(first); }
    Element* last_element() override { return value_of(last); }
    Element* current_element(const Position& position) override { return value_of(entry(position.current)); }
    Element* next_element(const Position& position) override { return value_of(entry(position.following)); }
    Element* prev_element(const Position& position) override { return value_of(entry(position.preceding)); }

    // ---- Refused: entries are added by key only, and the table order is not rotated.
    Element* append(Element) override { internal_fatal_error("core", 5330); }
    Element* append(const Element*) override { internal_fatal_error("core", 5329); }
    void append_all(Collection<Element>&) override { internal_fatal_error("core", 5331); }
    Element* prepend(Element) override { internal_fatal_error("core", 5333); }
    Element* prepend(const Element*) override { internal_fatal_error("core", 5332); }
    void prepend_all(Collection<Element>&) override { internal_fatal_error("core", 5334); }

    // ---- Removing
    // Releases the bucket array with every entry; the table has no buckets afterwards.
    void clear() override {
        buckets.clear();
        bucket_count = 0;
        forget_entries();
    }
    // Removes the entry the walk stands on. The walk may go on stepping either way; it
    // stands on no entry until the next step.
    bool remove_at(Position& position) override {
        Entry* removed = entry(position.current);
        position.current = 0;
        return remove_entry(removed);
    }
    bool remove_first() override { return remove_entry(first); }
    bool remove_last() override { return remove_entry(last); }
    // n > 0: removes entries from the front of table order until at most n remain.
    // n <= 0: empties the table but keeps its number of buckets; answers how many went.
    std::int32_t keep_first(std::int32_t n) override {
        if (n > 0) return remove_first(this->surplus(n));
        std::int32_t removed = this->count;
        reset(bucket_count);
        return removed;
    }

    // ---- Taking: a zero value when there is no entry.
    Element take_first() override { return take(first); }
    Element take_last() override { return take(last); }
    Element take_at(Position& position) override {
        Entry* taken = entry(position.current);
        position.current = 0;
        return take(taken);
    }

    bool rotate_left(std::int32_t) override { internal_fatal_error("core", 5335); }
    bool rotate_right(std::int32_t) override { internal_fatal_error("core", 5336); }

    // ---- The table's own operations, kept in its interface with fixed answers; the
    // system gives them no further use.
    virtual std::int32_t reserved_a() const { return 4; }
    virtual std::int32_t reserved_b() const { return 4; }
    virtual bool reserved_c(const Key&) const { return true; }

    // ---- Buckets and keys
    // Empties the table and gives it n empty buckets (n below 0 counts as 0).
    void reset(std::int32_t n) {
        if (n < 0) n = 0;
        buckets.clear_resize(n);
        bucket_count = n;
        forget_entries();
    }
    // Sets the value for a key: a new entry at the end of table order, or the existing
    // entry's value replaced. Answers the stored value; null (nothing stored) while the
    // table has no buckets, which a reset gives it.
    Element* insert(const Key& key, Element value) {
        if (bucket_count <= 0) return nullptr;
        if (Entry* found = find_entry(key)) {
            found->value = value;
            return &found->value;
        }
        BucketList& list = buckets.items[bucket_of(key)];
        Entry* added = list.append(Entry{key, &list, nullptr, last, value});
        (last != nullptr ? last->next : first) = added;
        last = added;
        ++this->count;
        return &added->value;
    }
    // The value stored for a key, or null.
    Element* find(const Key& key) { return value_of(find_entry(key)); }
    // Unlinks an entry from table order and frees it; false for none.
    bool remove_entry(Entry* removed) {
        if (removed == nullptr) return false;
        (removed->prev != nullptr ? removed->prev->next : first) = removed->next;
        (removed->next != nullptr ? removed->next->prev : last) = removed->prev;
        BucketList& list = *removed->list;
        Position position;
        for (Entry* at = list.move_first(position); at != nullptr; at = list.move_next(position)) {
            if (at == removed) {
                list.remove_at(position);
                break;
            }
        }
        --this->count;
        return true;
    }

    std::int32_t bucket_count = 0;    // buckets the array was last built with
    ExactVector<BucketList> buckets;  // one List of entries per bucket
    Entry* first = nullptr;           // table order
    Entry* last = nullptr;

private:
    using Walk = LinkedWalk<Entry>;
    static Entry* entry(std::intptr_t slot) { return Walk::at(slot); }
    static Element* value_of(Entry* at) { return Walk::value_of(at); }
    static void set(Position& position, Entry* current, Entry* following, Entry* preceding) {
        Walk::set(position, current, following, preceding);
    }
    static Element* step_to(Position& position, Entry* at) { return Walk::step_to(position, at); }

    void forget_entries() {
        this->count = 0;
        first = last = nullptr;
    }
    Element take(Entry* taken) {
        if (taken == nullptr) return Element{};
        Element value = taken->value;
        remove_entry(taken);
        return value;
    }

    std::int32_t bucket_of(const Key& key) const {
        return static_cast<std::int32_t>(std::hash<Key>{}(key) % static_cast<std::size_t>(bucket_count));
    }
    Entry* find_entry(const Key& key) {
        if (bucket_count <= 0) return nullptr;
        BucketList& list = buckets.items[bucket_of(key)];
        Position position;
        for (Entry* at = list.move_first(position); at != nullptr; at = list.move_next(position))
            if (at->key == key) return at;
        return nullptr;
    }
};

}  // namespace rubo
