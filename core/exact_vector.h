#pragma once
// ExactVector<T>: a Vector whose array holds exactly `count` element objects and no
// spare places. Every change of size builds a new array, copies the elements that stay
// into it with T's own assignment and releases the old one (destroying its elements
// from the last to the first); an element reference lasts until the next such change or
// assignment into its place.

#include <cstdint>
#include <cstdlib>

#include "core/vector.h"

namespace rubo {

template <class T> class ExactVector : public Vector<T> {
public:
    ExactVector() = default;
    ~ExactVector() override { clear(); }

    void append_all(Collection<T>& other) override { this->append_resized(other); }
    void prepend_all(Collection<T>& other) override {
        std::int32_t added = other.count;
        if (added <= 0) return;
        T* fresh = new T[static_cast<std::size_t>(this->count) + static_cast<std::size_t>(added)]();
        Position position;
        std::int32_t i = 0;
        for (T* element = other.move_first(position); element != nullptr && i < added;
             element = other.move_next(position), ++i)
            fresh[i] = *element;
        copy_into(fresh + added, 0, this->count);
        replace_items(fresh, this->count + added);
    }

    void clear() override {
        delete[] items;
        drop_storage();
    }

    // Element n becomes element 0. A negative n or a whole number of turns rotates
    // nothing and answers false.
    bool rotate_left(std::int32_t n) override { return rebuild_rotated(n); }
    // Element count - n becomes element 0.
    bool rotate_right(std::int32_t n) override {
        if (this->count <= 1) return false;
        n %= this->count;
        return n > 0 && rebuild_rotated(this->count - n);
    }

    T* at(std::int32_t index) override {
        this->check_index(index);
        return items + index;
    }
    bool remove_range(std::int32_t first, std::int32_t last) override {
        if (first < 0) first = 0;
        if (last > this->count - 1) last = this->count - 1;
        if (first > last) return false;
        std::int32_t remaining = this->count - (last - first + 1);
        if (remaining <= 0) {
            clear();
            return true;
        }
        T* fresh = new T[static_cast<std::size_t>(remaining)]();
        copy_into(fresh, 0, first);
        copy_into(fresh + first, last + 1, this->count);
        replace_items(fresh, remaining);
        return true;
    }
    T* append_new() override {
        resize(this->count + 1);
        return items + this->count - 1;
    }
    void drop_storage() override {
        this->count = 0;
        items = nullptr;
    }
    T* insert_new(std::int32_t index) override {
        if (index < 0) index = 0;
        if (index > this->count) index = this->count;
        T* fresh = append_new();
        T empty = *fresh;
        for (std::int32_t i = this->count - 1; i > index; --i) items[i] = items[i - 1];
        items[index] = empty;
        return items + index;
    }
    void resize(std::int32_t n) override {
        if (n == this->count) return;
        if (n <= 0) {
            clear();
            return;
        }
        T* fresh = new T[static_cast<std::size_t>(n)]();
        copy_into(fresh, 0, n < this->count ? n : this->count);
        replace_items(fresh, n);
    }
    void rotate_range_left(std::int32_t first, std::int32_t last) override {
        if (!this->clamp_range(first, last)) return;
        T saved = items[first];
        for (std::int32_t i = first; i < last; ++i) items[i] = items[i + 1];
        items[last] = saved;
    }
    void rotate_range_right(std::int32_t first, std::int32_t last) override {
        if (!this->clamp_range(first, last)) return;
        T saved = items[last];
        for (std::int32_t i = last; i > first; --i) items[i] = items[i - 1];
        items[first] = saved;
    }
    void clear_resize(std::int32_t n) override {
        clear();
        if (n <= 0) return;
        items = new T[static_cast<std::size_t>(n)]();
        this->count = n;
    }
    // The routine receives the addresses of two places. Elements are moved bit for bit,
    // so each keeps what it owns (a List keeps its own nodes).
    void sort(typename Vector<T>::Compare compare) override {
        if (this->count > 1)
            std::qsort(static_cast<void*>(items), static_cast<std::size_t>(this->count), sizeof(T), compare);
    }
    bool swap(std::int32_t i, std::int32_t j) override {
        if (!this->inside(i) || !this->inside(j)) return false;
        if (i == j) return true;
        T kept = items[i];
        items[i] = items[j];
        items[j] = kept;
        return true;
    }

    T* items = nullptr;

private:
    // Assigns elements from..end-1 of the current array into `to` onwards.
    void copy_into(T* to, std::int32_t from, std::int32_t end) const {
        for (std::int32_t i = from; i < end; ++i) *to++ = items[i];
    }
    void replace_items(T* fresh, std::int32_t n) {
        delete[] items;
        items = fresh;
        this->count = n;
    }
    // Rebuilds the array beginning with element n (0 < n < count); anything else,
    // after reducing n by whole turns, answers false.
    bool rebuild_rotated(std::int32_t n) {
        if (this->count <= 1) return false;
        n %= this->count;
        if (n <= 0) return false;
        T* fresh = new T[static_cast<std::size_t>(this->count)]();
        for (std::int32_t i = 0; i < this->count; ++i) fresh[i] = items[(n + i) % this->count];
        replace_items(fresh, this->count);
        return true;
    }
};

}  // namespace rubo
