#pragma once
// BoxedVector<T>: a Vector whose elements each live in a heap block of their own, with an
// array of pointers to them. Only the pointers move, so an element reference stays valid
// until that element is removed. Free slots are kept in front of element 0 as well as
// behind the last, so adding at either end is cheap.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/vector.h"

namespace rubo {

template <class T> class BoxedVector : public Vector<T> {
public:
    BoxedVector() = default;
    ~BoxedVector() override { clear(); }
    // Whole-vector copies: the target gets elements of its own, copies of the other's,
    // so that records holding a vector can be kept in any container. Copying only reads
    // the other vector.
    BoxedVector(const BoxedVector& other) : Vector<T>() { copy_from(const_cast<BoxedVector&>(other)); }
    BoxedVector& operator=(const BoxedVector& other) {
        copy_from(const_cast<BoxedVector&>(other));
        return *this;
    }

    void append_all(Collection<T>& other) override { this->append_resized(other); }
    // Moves the other vector's elements to the end of this one, in their order, without
    // copying them: each keeps its heap block and address. The other vector ends empty.
    void take_all(BoxedVector& other) {
        if (&other == this || other.count == 0) return;
        const std::int32_t added = other.count;
        reserve(this->count + added);
        std::memcpy(items + start + this->count, other.items + other.start,
                    static_cast<std::size_t>(added) * sizeof(T*));
        this->count += added;
        other.count = 0;  // its slots no longer own the elements
        other.clear();
    }
    void prepend_all(Collection<T>& other) override {
        std::int32_t added = other.count;
        append_all(other);
        rotate_right(added);
    }

    void clear() override {
        if (items == nullptr) return;
        for (std::int32_t i = 0; i < this->count; ++i) delete items[start + i];
        delete[] items;
        drop_storage();
    }

    // Element n becomes element 0. A new pointer array is built every time, also for a
    // whole number of turns; n <= 0 rotates nothing.
    bool rotate_left(std::int32_t n) override { return n > 0 && rebuild_rotated(n % nonzero_count()); }
    // Element count - n becomes element 0.
    bool rotate_right(std::int32_t n) override {
        return n > 0 && rebuild_rotated((this->count - n % nonzero_count()) % nonzero_count());
    }

    T* at(std::int32_t index) override {
        this->check_index(index);
        return items[start + index];
    }
    bool remove_range(std::int32_t first, std::int32_t last) override {
        if (first < 0) first = 0;
        if (last > this->count - 1) last = this->count - 1;
        std::int32_t n = last - first + 1;
        if (n <= 0) return false;
        for (std::int32_t i = first; i <= last; ++i) delete items[start + i];
        move_slots(start + last + 1, start + first, this->count - last - 1);
        this->count -= n;
        return true;
    }
    T* append_new() override {
        resize(this->count + 1);
        return items[start + this->count - 1];
    }
    void drop_storage() override {
        this->count = start = capacity = 0;
        items = nullptr;
    }
    T* insert_new(std::int32_t index) override {
        if (index < 0) index = 0;
        if (index > this->count) index = this->count;
        if (this->count >= capacity) {
            std::int32_t behind = this->count - index;
            T* fresh = append_new();
            move_slots(start + index, start + index + 1, behind);
            items[start + index] = fresh;
            return fresh;
        }
        if (start > (capacity - this->count) / 2) {
            move_slots(start, start - 1, index);
            --start;
        } else {
            move_slots(start + index, start + index + 1, this->count - index);
        }
        ++this->count;
        return items[start + index] = new T();
    }
    void resize(std::int32_t n) override {
        if (n <= 0) {
            clear();
        } else if (n <= this->count) {
            for (std::int32_t i = n; i < this->count; ++i) delete items[start + i];
            this->count = n;
        } else {
            reserve(n);
            for (; this->count < n; ++this->count) items[start + this->count] = new T();
        }
    }
    void rotate_range_left(std::int32_t first, std::int32_t last) override {
        if (!this->clamp_range(first, last)) return;
        T* saved = items[start + first];
        move_slots(start + first + 1, start + first, last - first);
        items[start + last] = saved;
    }
    void rotate_range_right(std::int32_t first, std::int32_t last) override {
        if (!this->clamp_range(first, last)) return;
        T* saved = items[start + last];
        move_slots(start + first, start + first + 1, last - first);
        items[start + first] = saved;
    }
    void clear_resize(std::int32_t n) override {
        clear();
        resize(n);
    }
    // The routine receives the addresses of two slots, each holding a pointer to an
    // element.
    void sort(typename Vector<T>::Compare compare) override {
        if (this->count > 1) std::qsort(items + start, static_cast<std::size_t>(this->count), sizeof(T*), compare);
    }
    bool swap(std::int32_t i, std::int32_t j) override {
        if (!this->inside(i) || !this->inside(j)) return false;
        T* kept = items[start + i];
        items[start + i] = items[start + j];
        items[start + j] = kept;
        return true;
    }

    // Makes this vector a copy of the other, element by element (what it held before is
    // released first).
    virtual void copy_from(Vector<T>& other) {
        if (&other == this) return;
        clear();
        if (other.count <= 0) return;
        capacity = this->slot_count(std::int64_t{other.count} + other.count / 2);
        start = other.count / 2 / 2;
        items = new T*[static_cast<std::size_t>(capacity)];
        for (; this->count < other.count; ++this->count) items[start + this->count] = new T(*other.at(this->count));
    }

    std::int32_t start = 0;     // slot of element 0
    std::int32_t capacity = 0;  // slots in items
    T** items = nullptr;

private:
    std::int32_t nonzero_count() const { return this->count > 0 ? this->count : 1; }

    void move_slots(std::int32_t from, std::int32_t to, std::int32_t n) {
        if (n > 0) std::memmove(items + to, items + from, static_cast<std::size_t>(n) * sizeof(T*));
    }

    // Room for n elements: a new array of one and a half times n when n does not fit
    // (or when a large n would use less than a quarter of it), else the elements are
    // centred when they would run past the end.
    void reserve(std::int32_t n) {
        if (n > capacity || (n > 500 && n < capacity / 4)) {
            std::int32_t half = n / 2;
            std::int32_t kept = n < this->count ? n : this->count;
            replace_array(this->slot_count(std::int64_t{n} + half), half / 2, 0, kept);
        } else if (start + n > capacity) {
            std::int32_t new_start = (capacity - n) / 2;
            move_slots(start, new_start, this->count);
            start = new_start;
        }
    }

    // Rebuilds the pointer array with element `first` at the front; count <= 1 refuses.
    bool rebuild_rotated(std::int32_t first) {
        if (this->count <= 1) return false;
        replace_array(this->slot_count(std::int64_t{this->count} + this->count / 2), this->count / 4, first,
                      this->count);
        return true;
    }

    // Moves `kept` element pointers into a new array of new_capacity slots, element
    // `first` (of the old order) first and wrapping round, element 0 at new_start.
    void replace_array(std::int32_t new_capacity, std::int32_t new_start, std::int32_t first, std::int32_t kept) {
        T** fresh = new T*[static_cast<std::size_t>(new_capacity)];
        if (items != nullptr) this->copy_wrapped(fresh + new_start, items + start, first, kept);
        delete[] items;
        items = fresh;
        start = new_start;
        capacity = new_capacity;
    }
};

}  // namespace rubo
