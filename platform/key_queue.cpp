#include "platform/key_queue.h"

#include "platform/platform.h"

namespace platform {

namespace {
constexpr int CTRL_C = 3;
}

bool KeyQueue::pending() {
    if (interrupted()) return true;
    if (next_ < count_) return true;
    if (ended_) return false;
    fill(false);
    return next_ < count_;
}

int KeyQueue::read() {
    for (;;) {
        if (interrupted_.exchange(false)) return CTRL_C;
        if (next_ < count_) return bytes_[next_++];
        if (ended_) return 0;
        fill(true);
    }
}

void KeyQueue::fill(bool wait) {
    int arrived = fill_(bytes_, static_cast<int>(sizeof bytes_), wait);
    if (arrived == INPUT_ENDED) {
        ended_ = true;
    } else if (arrived > 0) {
        count_ = arrived;
        next_ = 0;
    }
}

bool key_pending() { return console_keys().pending(); }

int read_key() { return console_keys().read(); }

}  // namespace platform
