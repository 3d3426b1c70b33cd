#pragma once
// A walk over a collection: three slots that the collection's positional operations read
// and update. What a slot holds depends on the collection: the address of a node or an
// entry for the linked ones (0 for none), an element index for the indexed ones (any
// index outside the elements for none). The collection keeps no walking state of its
// own, so any number of walks over one collection can be under way at once.

#include <cstdint>

namespace rubo {

struct Position {
    std::intptr_t current = 0;    // the element the walk stands on
    std::intptr_t following = 0;  // where a forward step goes next
    std::intptr_t preceding = 0;  // where a backward step goes next
};

// Steps of a walk over linked records (a List's nodes, a hash table's entries): each
// record has `prev`, `next` and the element itself in `value`; a slot holds a record's
// address.
template <class Link> struct LinkedWalk {
    static Link* at(std::intptr_t slot) { return reinterpret_cast<Link*>(slot); }
    static auto* value_of(Link* link) { return link != nullptr ? &link->value : nullptr; }
    static void set(Position& position, Link* current, Link* following, Link* preceding) {
        position.current = reinterpret_cast<std::intptr_t>(current);
        position.following = reinterpret_cast<std::intptr_t>(following);
        position.preceding = reinterpret_cast<std::intptr_t>(preceding);
    }
    // Stands the position on `link`; for none the position stays as it was.
    static auto* step_to(Position& position, Link* link) {
        if (link != nullptr) set(position, link, link->next, link->prev);
        return value_of(link);
    }
};

}  // namespace rubo
