#pragma once
// Texts that the platform answers into a caller's buffer (the text protocol of
// platform/platform.h), read into a String.

#include <cstdint>

#include "core/string.h"

namespace rubo {

// Asks with a buffer of `size` bytes and, while the platform needs more, again with the
// size it names. False, with `out` empty, when the platform fails.
template <class Ask> bool read_platform_text(String& out, std::uint32_t size, const Ask& ask) {
    // A text that keeps growing between two questions is given up after a few.
    for (int attempt = 0; attempt < 4; ++attempt) {
        out.set_length(static_cast<int>(size));
        const std::uint32_t needed = ask(out.buffer(), size);
        if (needed == 0) break;
        if (needed <= size) {
            out.update_length();
            return true;
        }
        size = needed;
    }
    out.release();
    return false;
}

}  // namespace rubo
