#pragma once
// Key presses on their way to key_pending and read_key, shared by both backends: the
// bytes already taken from the input, whether the input has ended, and a Ctrl+C that
// arrived as a signal or a console event instead of as a byte.

#include <atomic>

namespace rubo::platform {

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

    // Whether an abort key was pressed and waits: a Ctrl+C, or an Escape among keys
    // typed at a keyboard, which are read up to it (and all of them when there is
    // none). Keys that do not come from a keyboard are left waiting.
    bool abort_pressed();

    // Notes a Ctrl+C; safe in a signal handler and from another thread.
    void interrupt() { interrupted_.store(true); }
    bool interrupted() const { return interrupted_.load(); }

    // Tells that the keys are typed at a keyboard (a terminal or a console), not taken
    // from a pipe or a file.
    void set_typed() { typed_ = true; }

private:
    void fill(bool wait);

    Fill fill_;
    std::atomic<bool> interrupted_{false};
    unsigned char bytes_[64] = {};
    int count_ = 0;
    int next_ = 0;
    bool ended_ = false;
    bool typed_ = false;
};

// The backend's queue for the console, made ready for use on the first call.
// take_console, key_pending, read_key and abort_key_pressed are served from it.
KeyQueue& console_keys();

}  // namespace rubo::platform
