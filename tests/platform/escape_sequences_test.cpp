#ifndef _WIN32
#include "platform/posix/escape_sequences.h"

#include <gtest/gtest.h>

#include <string>

using namespace rubo;

namespace {

using platform::posix::EscapeSequences;

// The keys that bytes typed at once stand for, once nothing more comes.
std::string keys_of(const std::string& bytes) {
    EscapeSequences sequences;
    std::string keys;
    auto keep = [&](int key) {
        if (key != EscapeSequences::NO_KEY) keys += static_cast<char>(key);
    };
    for (char byte : bytes) keep(sequences.take(static_cast<unsigned char>(byte)));
    keep(sequences.end());
    EXPECT_FALSE(sequences.in_sequence());
    return keys;
}

TEST(EscapeSequences, SequencesAreDroppedAndALoneEscapeStays) {
    const struct {
        const char* bytes;
        const char* keys;
    } cases[] = {
        {"ay\r", "ay\r"},
        {"\x1b", "\x1b"},
        {"\x1b\x1b", "\x1b"},          // Escape pressed twice at once is still Escape
        {"\x1b[A", ""},                // an arrow key
        {"x\x1b[1;5Cy", "xy"},         // with parameters, between other keys
        {"\x1b[15~\x1b[A\x1b[B", ""},  // a function key and two arrows in one reading
        {"\x1bOP", ""},                // F1 in the other form
        {"\x1bx", ""},                 // Alt+x
        {"\x1b\x1b[D", ""},            // Alt with an arrow key
        {"\x1b[12", ""},               // unfinished
        {"\x1b[\x7f"
         "b",
         "b"},                   // a byte with no place in a sequence ends it
        {"\x1b[A\x1b", "\x1b"},  // an Escape after a sequence
    };
    for (const auto& c : cases) EXPECT_EQ(c.keys, keys_of(c.bytes)) << testing::PrintToString(std::string(c.bytes));
}

}  // namespace
#endif
