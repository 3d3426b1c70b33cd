#include "platform/posix/escape_sequences.h"

namespace rubo::platform::posix {

namespace {
constexpr unsigned char ESCAPE = 27;
}

int EscapeSequences::take(unsigned char byte) {
    switch (state_) {
        case State::PLAIN:
            if (byte != ESCAPE) return byte;
            state_ = State::ESCAPE;
            break;
        case State::ESCAPE:
            // A second Escape begins the sequence that the first one prefixes (Alt with an
            // arrow key); any byte but '[' and 'O' is the key that went with Alt.
            if (byte == '[') {
                state_ = State::CONTROL_SEQUENCE;
            } else if (byte == 'O') {
                state_ = State::SINGLE_SHIFT;
            } else if (byte != ESCAPE) {
                state_ = State::PLAIN;
            }
            break;
        case State::CONTROL_SEQUENCE:
            // Parameter and intermediate bytes go on; the final byte, or any byte that has no
            // place in a sequence, ends it.
            if (byte < 0x20 || byte > 0x3F) state_ = State::PLAIN;
            break;
        case State::SINGLE_SHIFT: state_ = State::PLAIN; break;
    }
    return NO_KEY;
}

int EscapeSequences::end() {
    const int key = state_ == State::ESCAPE ? ESCAPE : NO_KEY;
    state_ = State::PLAIN;
    return key;
}

}  // namespace rubo::platform::posix
