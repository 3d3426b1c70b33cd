#include "platform/key_queue.h"

#include "platform/platform.h"

namespace rubo::platform {

namespace {
constexpr int CTRL_C = 3;
constexpr int ESCAPE = 27;
}  // namespace

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

bool KeyQueue::abort_pressed() {
    if (interrupted_.exchange(false)) return true;
    if (!typed_) return false;
    while (pending()) {
        const int key = read();
        if (key == CTRL_C || key == ESCAPE) return true;
    }
    return false;
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

void take_console() { console_keys(); }

bool key_pending() { return console_keys().pending(); }

int read_key() { return console_keys().read(); }

bool abort_key_pressed() { return console_keys().abort_pressed(); }

}  // namespace rubo::platform
