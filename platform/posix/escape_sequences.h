#pragma once
// Keys typed at a terminal, taken apart into key presses. A key such as an arrow or a
// function key arrives as an escape sequence, Escape followed at once by more bytes:
// '[', parameter bytes and a final byte from '@' to '~', or 'O' and one byte. Such a
// sequence is one key press that stands for no key here and is dropped, and so is Alt
// with a key, which arrives as Escape followed by that key. Only an Escape that nothing
// follows at once is the Escape key.

namespace rubo::platform::posix {

class EscapeSequences {
public:
    static constexpr int NO_KEY = -1;

    // Takes the next byte: answers the key it is, or NO_KEY when it belongs to a sequence.
    int take(unsigned char byte);

    // Whether the bytes so far end inside a sequence or with an Escape that may begin
    // one, so that a byte coming at once belongs to it.
    bool in_sequence() const { return state_ != State::PLAIN; }

    // Nothing more came at once: answers Escape when the bytes ended with a lone Escape,
    // else NO_KEY (an unfinished sequence is dropped).
    int end();

private:
    enum class State { PLAIN, ESCAPE, CONTROL_SEQUENCE, SINGLE_SHIFT };
    State state_ = State::PLAIN;
};

}  // namespace rubo::platform::posix
