#pragma once
// StringBuffer: a String with a read/write position, used as a file held in memory. Its
// content is bytes, zero bytes included. The position may lie beyond the length only
// after a read that ran past the end.

#include "core/string.h"

namespace rubo {

class StringBuffer : public String {
public:
    int position() const { return position_; }

    // Releases the bytes and sets the position to 0.
    void reset();
    // Accepts 0 <= new_position <= length; false (and no change) otherwise.
    bool seek(int new_position);
    // Copies count bytes from the position into destination and advances the position
    // by count. A read past the end fills the missing bytes with zeros and gives false.
    // Count 0 is true; a null destination or negative count is false and changes nothing.
    bool read(void* destination, int count);
    // Advances the position by count, lengthening the buffer to reach it, and returns
    // the count writable bytes at the old position (null for count <= 0).
    char* reserve_write(int count);
    // Writes count bytes at the position, overwriting and lengthening as needed. False
    // for a null source or count below 1.
    bool write(const void* source, int count);
    // Deletes everything from the position on; nothing when the position lies beyond
    // the end.
    void truncate();

private:
    int position_ = 0;
};

}  // namespace rubo
