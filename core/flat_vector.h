#pragma once
// FlatVector<T>: a Vector that keeps the values themselves in its array, copied bit for
// bit and never destroyed, with free slots in front of element 0 as well as behind the
// last. Any operation that moves values or reallocates the array invalidates every
// element reference. The slot of a new element is zeroed.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "core/heap.h"
#include "core/vector.h"

namespace rubo {

template <class T> class FlatVector : public Vector<T> {
    static_assert(std::is_trivially_copyable_v<T>, "FlatVector moves its values bit for bit");

public:
    FlatVector() = default;
    ~FlatVector() override { clear(); }

    void clear() override {
        if (items == nullptr) return;
        heap_free(items);
        drop_storage();
    }

    // n < 0 rotates right by -n; a whole number of turns rotates nothing and answers
    // false; a single element answers true.
    bool rotate_left(std::int32_t n) override {
        if (this->count <= 1) return this->count == 1;
        if (n < 0) return rotate_right(opposite_turn(n, this->count));
        n %= this->count;
        if (n == 0) return false;
        if (n <= capacity - (start + this->count)) {
            move_values(start, start + this->count, n);
            start += n;
        } else {
            rebuild(capacity_for(this->count), this->count, n);
        }
        return true;
    }
    bool rotate_right(std::int32_t n) override {
        if (this->count <= 1) return this->count == 1;
        if (n < 0) return rotate_left(opposite_turn(n, this->count));
        n %= this->count;
        if (n == 0) return false;
        if (n <= start) {
            move_values(start + this->count - n, start - n, n);
            start -= n;
        } else {
            rebuild(this->slot_count(std::int64_t{this->count} * 2), this->count, this->count - n);
        }
        return true;
    }

    T* at(std::int32_t index) override {
        this->check_index(index);
        return items + start + index;
    }
    bool remove_range(std::int32_t first, std::int32_t last) override {
        if (first < 0) first = 0;
        if (last > this->count - 1) last = this->count - 1;
        std::int32_t n = last - first + 1;
        if (n <= 0) return false;
        if (n >= this->count) {
            clear();
            return true;
        }
        if (first == 0) {
            start += n;
        } else if (last < this->count - 1) {
            // The shorter side moves: the values in front of the range or those after it.
            if (first <= this->count - last) {
                move_values(start, start + n, first);
                start += n;
            } else {
                move_values(start + last + 1, start + first, this->count - last - 1);
            }
        }
        this->count -= n;
        return true;
    }
    void drop_storage() override {
        this->count = start = capacity = 0;
        items = nullptr;
    }
    T* insert_new(std::int32_t index) override {
        if (this->count >= capacity) {
            std::int32_t new_capacity = capacity_for(this->count + 1);
            if (items == nullptr) start = (new_capacity - this->count - 1) / 4;
            reallocate(new_capacity);
        }
        if (index >= this->count) {
            index = this->count;
            if (start + this->count >= capacity) shift_values(spare_place((capacity - this->count) / 4 / 2));
        } else if (index <= 0) {
            index = 0;
            if (start > 0) {
                --start;
            } else {
                std::int32_t place = spare_place((capacity - this->count - 1) / 4);
                move_values(start, place + 1, this->count);
                start = place;
            }
        } else if (start > 0 && (index < this->count / 2 || start + this->count >= capacity)) {
            move_values(start, start - 1, index);
            --start;
        } else {
            move_values(start + index, start + index + 1, this->count - index);
        }
        ++this->count;
        return &(items[start + index] = T());
    }
    void resize(std::int32_t n) override {
        if (n <= 0) {
            clear();
            return;
        }
        std::int32_t wanted = capacity_for(n);
        if (n > capacity) {
            reallocate(wanted);
        } else if (capacity - wanted >= 2048 || wanted > capacity) {
            rebuild(wanted, n, 0);
            zero_from(n < this->count ? n : this->count, n);
            this->count = n;
            return;
        }
        if (start + n > capacity) shift_values((capacity - n) / 4);
        zero_from(this->count, n);
        this->count = n;
    }
    // Range moves take element indices as they are: nothing happens unless both lie
    // inside the elements.
    void rotate_range_left(std::int32_t first, std::int32_t last) override {
        if (!valid_range(first, last)) return;
        T saved = items[start + first];
        move_values(start + first + 1, start + first, last - first);
        items[start + last] = saved;
    }
    void rotate_range_right(std::int32_t first, std::int32_t last) override {
        if (!valid_range(first, last)) return;
        T saved = items[start + last];
        move_values(start + first, start + first + 1, last - first);
        items[start + first] = saved;
    }
    // n zeroed elements, centred in the array (which grows to twice n when too small).
    void clear_resize(std::int32_t n) override {
        if (n <= 0) {
            clear();
            return;
        }
        if (n <= capacity) {
            start = (capacity - n) / 2;
        } else {
            reallocate(this->slot_count(n > 3 ? std::int64_t{n} * 2 : 6));
            start = capacity / 4;
        }
        zero_from(0, n);
        this->count = n;
    }
    // The routine receives the addresses of two slots, each holding a value.
    void sort(typename Vector<T>::Compare compare) override {
        if (this->count > 1) std::qsort(items + start, static_cast<std::size_t>(this->count), sizeof(T), compare);
    }
    bool swap(std::int32_t i, std::int32_t j) override {
        if (!this->inside(i) || !this->inside(j)) return false;
        T kept = items[start + i];
        items[start + i] = items[start + j];
        items[start + j] = kept;
        return true;
    }

    // Slots for n elements: half as many again, at least 6; once the array would exceed
    // 8192 bytes, 2048 more than n.
    static std::int32_t capacity_for(std::int32_t n) {
        std::int64_t grown = std::int64_t{n} * 3 / 2;
        if (grown <= 6) return 6;
        if (grown * static_cast<std::int64_t>(sizeof(T)) > 8192) return Vector<T>::slot_count(std::int64_t{n} + 2048);
        return static_cast<std::int32_t>(grown);
    }

    T* items = nullptr;
    std::int32_t start = 0;     // slot of element 0
    std::int32_t capacity = 0;  // slots in items

private:
    void move_values(std::int32_t from, std::int32_t to, std::int32_t n) {
        if (n > 0 && from != to) std::memmove(items + to, items + from, static_cast<std::size_t>(n) * sizeof(T));
    }
    // Moves the elements so that element 0 sits at slot `place`.
    void shift_values(std::int32_t place) {
        move_values(start, place, this->count);
        start = place;
    }
    // A slot for element 0 that leaves room for one more element behind the others.
    std::int32_t spare_place(std::int32_t place) const {
        std::int32_t highest = capacity - this->count - 1;
        if (place > highest) place = highest;
        return place < 0 ? 0 : place;
    }
    bool valid_range(std::int32_t first, std::int32_t last) const {
        return this->count > 1 && 0 <= first && first < last && last < this->count;
    }
    void zero_from(std::int32_t first, std::int32_t end) {
        for (std::int32_t i = first; i < end; ++i) items[start + i] = T();
    }

    // The array grows or shrinks in place where the heap allows; values and start stay.
    void reallocate(std::int32_t new_capacity) {
        items = static_cast<T*>(heap_reallocate(items, static_cast<std::size_t>(new_capacity) * sizeof(T)));
        capacity = new_capacity;
    }
    // A new array of new_capacity slots holding `kept` values, element `first` first and
    // wrapping round, centred a quarter of the spare room from the front.
    void rebuild(std::int32_t new_capacity, std::int32_t kept, std::int32_t first) {
        T* fresh = static_cast<T*>(heap_allocate(static_cast<std::size_t>(new_capacity) * sizeof(T)));
        std::int32_t new_start = (new_capacity - kept) / 4;
        std::int32_t copied = kept < this->count ? kept : this->count;
        this->copy_wrapped(fresh + new_start, items + start, first, copied);
        heap_free(items);
        items = fresh;
        start = new_start;
        capacity = new_capacity;
    }
};

}  // namespace rubo
