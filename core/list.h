#pragma once
// List<T>: the doubly linked collection. Every element lives in a node of its own that
// never moves, so an element reference stays valid until that element is removed,
// whatever else is inserted, removed or rotated meanwhile. Values are copied in and
// destroyed when their node goes.

#include <cstdint>
#include <type_traits>
#include <utility>

#include "core/collection.h"

namespace rubo {

// Records that are copied bit for bit; lists of them can be copied as a whole.
template <class T>
concept PlainRecord = std::is_class_v<T> && std::is_trivially_copyable_v<T>;

template <class T> class List : public Collection<T> {
public:
    struct Node {
        Node* prev = nullptr;  // towards head
        Node* next = nullptr;  // towards tail
        T value{};
    };

    List() = default;
    ~List() override { clear(); }

    // Whole-list copies, for lists of plain records only: the target gets nodes of its
    // own holding the same values in the same order.
    List(const List& other) requires PlainRecord<T> : List() { copy_nodes(other); }
    List& operator=(const List& other) requires PlainRecord<T> {
        if (this != &other) {
            clear();
            copy_nodes(other);
        }
        return *this;
    }

    using Collection<T>::remove_first;
    using Collection<T>::remove_last;

    // ---- Walking
    bool begin_forward(Position& position) override {
        set(position, nullptr, head, nullptr);
        return this->count != 0;
    }
    bool begin_backward(Position& position) override {
        set(position, nullptr, nullptr, tail);
        return this->count != 0;
    }
    T* move_first(Position& position) override { return step_to(position, head); }
    T* move_next(Position& position) override { return step_to(position, node(position.following)); }
    T* move_last(Position& position) override { return step_to(position, tail); }
    T* move_prev(Position& position) override { return step_to(position, node(position.preceding)); }

    // ---- Reading
    T* first_element() override { return value_of(head); }
    T* last_element() override { return value_of(tail); }
    T* current_element(const Position& position) override { return value_of(node(position.current)); }
    T* next_element(const Position& position) override { return value_of(node(position.following)); }
    T* prev_element(const Position& position) override { return value_of(node(position.preceding)); }

    // ---- Adding
    T* append(T value) override { return store(link_last(new Node), std::move(value)); }
    T* append(const T* value) override { return copy_in(link_last(new Node), value); }
    T* prepend(T value) override { return store(link_first(new Node), std::move(value)); }
    T* prepend(const T* value) override { return copy_in(link_first(new Node), value); }

    // ---- Removing
    void clear() override {
        for (Node* at = head; at != nullptr;) {
            Node* next = at->next;
            delete at;
            at = next;
        }
        head = tail = nullptr;
        this->count = 0;
    }
    bool remove_at(Position& position) override {
        Node* at = node(position.current);
        if (at == nullptr) return false;
        unlink(at);
        position.current = 0;
        return true;
    }
    bool remove_first() override { return head != nullptr && (unlink(head), true); }
    bool remove_last() override { return tail != nullptr && (unlink(tail), true); }

    // ---- Taking
    T take_first() override { return take(head); }
    T take_last() override { return take(tail); }
    T take_at(Position& position) override {
        Node* at = node(position.current);
        if (at != nullptr) position.current = 0;
        return take(at);
    }

    // ---- Rotating: nodes are relinked, nothing is allocated or copied.
    bool rotate_left(std::int32_t n) override {
        if (this->count <= 1 || n == 0) return false;
        if (n < 0) return rotate_right(opposite_turn(n, this->count));
        splice_at(n % this->count);
        return true;
    }
    bool rotate_right(std::int32_t n) override {
        if (this->count <= 1 || n == 0) return false;
        if (n < 0) return rotate_left(opposite_turn(n, this->count));
        std::int32_t steps = n % this->count;
        if (steps != 0) splice_at(this->count - steps);
        return true;
    }

    Node* head = nullptr;
    Node* tail = nullptr;

private:
    using Walk = LinkedWalk<Node>;
    static Node* node(std::intptr_t slot) { return Walk::at(slot); }
    static T* value_of(Node* at) { return Walk::value_of(at); }
    static void set(Position& position, Node* current, Node* following, Node* preceding) {
        Walk::set(position, current, following, preceding);
    }
    static T* step_to(Position& position, Node* at) { return Walk::step_to(position, at); }

    static T* store(Node* at, T&& value) {
        at->value = std::move(value);
        return &at->value;
    }
    static T* copy_in(Node* at, const T* value) {
        if (value != nullptr) at->value = *value;
        return &at->value;
    }

    Node* link_last(Node* fresh) {
        fresh->prev = tail;
        if (tail != nullptr) tail->next = fresh;
        tail = fresh;
        if (++this->count == 1) head = fresh;
        return fresh;
    }
    Node* link_first(Node* fresh) {
        fresh->next = head;
        if (head != nullptr) head->prev = fresh;
        head = fresh;
        if (++this->count == 1) tail = fresh;
        return fresh;
    }
    void unlink(Node* at) {
        (at->prev != nullptr ? at->prev->next : head) = at->next;
        (at->next != nullptr ? at->next->prev : tail) = at->prev;
        --this->count;
        delete at;
    }
    T take(Node* at) {
        if (at == nullptr) return T();
        T value = std::move(at->value);
        unlink(at);
        return value;
    }

    // Makes the node `steps` places from the front the new head (0 < steps < count
    // changes the order, 0 leaves it): the list is closed into a ring and reopened.
    void splice_at(std::int32_t steps) {
        if (steps == 0) return;
        Node* new_head = head;
        while (steps-- > 0) new_head = new_head->next;
        tail->next = head;
        head->prev = tail;
        tail = new_head->prev;
        tail->next = nullptr;
        new_head->prev = nullptr;
        head = new_head;
    }

    void copy_nodes(const List& other) {
        for (Node* at = other.head; at != nullptr; at = at->next) append(&at->value);
    }
};

}  // namespace rubo
