#include "platform/key_queue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

using namespace rubo;

namespace {

// What the fake input hands out, call by call: a chunk of bytes, "" for nothing yet,
// and the end once the script has run out.
std::deque<std::string> script;
int fills = 0;
int waiting_fills = 0;

int scripted_fill(unsigned char* buffer, int size, bool wait) {
    ++fills;
    if (wait) ++waiting_fills;
    if (script.empty()) return platform::KeyQueue::INPUT_ENDED;
    std::string chunk = script.front();
    script.pop_front();
    int count = static_cast<int>(chunk.size()) < size ? static_cast<int>(chunk.size()) : size;
    std::memcpy(buffer, chunk.data(), static_cast<std::size_t>(count));
    return count;
}

class KeyQueueTest : public testing::Test {
protected:
    void SetUp() override {
        script.clear();
        fills = 0;
        waiting_fills = 0;
    }
    platform::KeyQueue keys{scripted_fill};
};

TEST_F(KeyQueueTest, ServesBytesInOrderAndWaitsOnlyWhenReading) {
    script = {"", "ab", "", "c"};
    EXPECT_FALSE(keys.pending());  // nothing yet, and the test did not wait
    EXPECT_EQ(0, waiting_fills);
    EXPECT_TRUE(keys.pending());
    EXPECT_EQ('a', keys.read());
    EXPECT_TRUE(keys.pending());
    EXPECT_EQ('b', keys.read());
    EXPECT_EQ('c', keys.read());  // read goes on asking until a key comes
    EXPECT_EQ(2, waiting_fills);
}

TEST_F(KeyQueueTest, RemembersTheEndOfInput) {
    script = {"\x1b"};
    EXPECT_EQ(27, keys.read());
    EXPECT_FALSE(keys.pending());
    int after_end = fills;
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(keys.pending());
    EXPECT_EQ(0, keys.read());  // not a letter, and no waiting either
    EXPECT_EQ(after_end, fills);
}

TEST_F(KeyQueueTest, InterruptionComesFirstAndOnlyOnce) {
    script = {"xy"};
    EXPECT_TRUE(keys.pending());
    keys.interrupt();
    EXPECT_EQ(3, keys.read());
    EXPECT_EQ('x', keys.read());
    EXPECT_EQ('y', keys.read());
    EXPECT_FALSE(keys.pending());
    keys.interrupt();  // also after the input has ended
    EXPECT_TRUE(keys.pending());
    EXPECT_EQ(3, keys.read());
    EXPECT_EQ(0, keys.read());
}

TEST_F(KeyQueueTest, AbortPressedTakesTypedKeysUpToEscapeAndLeavesOthersWaiting) {
    script = {"x\x1bz"};
    EXPECT_FALSE(keys.abort_pressed());  // bytes from a pipe or a file stay
    keys.interrupt();
    EXPECT_TRUE(keys.abort_pressed());
    EXPECT_EQ('x', keys.read());
    keys.set_typed();
    script = {"y"};
    EXPECT_TRUE(keys.abort_pressed());
    EXPECT_EQ('z', keys.read());
    EXPECT_FALSE(keys.abort_pressed());  // 'y' is read and dropped
    EXPECT_FALSE(keys.pending());
}

}  // namespace
