#pragma once
// Key presses on their way to key_pending and read_key, shared by both backends: the
// bytes already taken from the input, whether the input has ended, and a Ctrl+C that
// arrived as a signal or a console event instead of as a byte.

#include <atomic>

namespace platform {

class KeyQueue {
public:
    // Takes what input there is into `buffer` and answers how many bytes arrived; 0
    // when none is there now (with `wait`, after waiting a while or being
    // interrupted), INPUT_ENDED when no more will ever come.
    using Fill = int (*)(unsigned char* buffer, int size, bool wait);
    static constexpr int INPUT_ENDED = -1;

    constexpr explicit KeyQueue(Fill fill) : fill_(fill) {}

    // Whether a key can be read at once. Once the input has ended only an
    // interruption can make a key pending, and the input is not asked again.
    bool pending();

    // The next key, waiting for one: 3 for an interruption (ahead of queued bytes),
    // else the next byte, 0 once the input has ended.
    int read();

    // Notes a Ctrl+C; safe in a signal handler and from another thread.
    void interrupt() { interrupted_.store(true); }
    bool interrupted() const { return interrupted_.load(); }

private:
    void fill(bool wait);

    Fill fill_;
    std::atomic<bool> interrupted_{false};
    unsigned char bytes_[64] = {};
    int count_ = 0;
    int next_ = 0;
    bool ended_ = false;
};

// The backend's queue for the console, made ready for use on the first call.
// key_pending and read_key are served from it.
KeyQueue& console_keys();

}  // namespace platform
