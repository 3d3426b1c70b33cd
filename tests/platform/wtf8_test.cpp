#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wtf8.h"

using namespace rubo;

namespace {

using Units = std::vector<std::uint16_t>;

Units units_of(const platform::WideText& wide) { return Units(wide.begin(), wide.end()); }

// Every kind of name converts both ways and comes back as it was: lone surrogates are
// kept as their own sequences, never replaced.
TEST(Wtf8, NamesRoundTripExactly) {
    const struct {
        std::string bytes;
        Units units;
    } cases[] = {
        {"", {}},
        {"a.obj", {'a', '.', 'o', 'b', 'j'}},
        {"caf\xC3\xA9", {'c', 'a', 'f', 0xE9}},                          // two bytes
        {"\xE6\x96\x87\xE4\xBB\xB6", {0x6587, 0x4EF6}},                  // three bytes
        {"\xF0\x9F\x98\x80.obj", {0xD83D, 0xDE00, '.', 'o', 'b', 'j'}},  // four bytes, a pair
        {"\xED\xA0\xBD", {0xD83D}},                                      // a high surrogate alone
        {"a\xED\xB8\x80"
         "b",
         {'a', 0xDE00, 'b'}},                                        // a low one alone
        {"\xED\xB8\x80\xED\xA0\xBD", {0xDE00, 0xD83D}},              // the pair the wrong way round
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", {0xFFFF, 0xDBFF, 0xDFFF}},  // the last code points
    };
    for (const auto& c : cases) {
        const platform::WideText wide(c.units.begin(), c.units.end());
        EXPECT_EQ(c.bytes, platform::wtf8_from_wide(wide.data(), wide.size())) << c.bytes;
        platform::WideText back;
        ASSERT_TRUE(platform::wide_from_wtf8(c.bytes.data(), c.bytes.size(), back)) << c.bytes;
        EXPECT_EQ(c.units, units_of(back)) << c.bytes;
    }
}

// Bytes that are no WTF-8 are refused rather than guessed at.
TEST(Wtf8, RefusesWhatIsNoWtf8) {
    for (const std::string bytes : {"\x80",
                                    "a\xFF"
                                    "b",
                                    "\xC3",
                                    "\xC3"
                                    "a",
                                    "\xC0\xAF", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80",
                                    "\xF8\x88\x80\x80\x80", "\xED\xA0\xBD\xED\xB8\x80"}) {
        platform::WideText wide;
        EXPECT_FALSE(platform::wide_from_wtf8(bytes.data(), bytes.size(), wide)) << bytes;
    }
    // A sequence cut off by the end of what is given is no sequence.
    std::uint32_t code_point = 0;
    EXPECT_EQ(0u, platform::decode_wtf8("\xE6\x96\x87", 2, code_point));
    EXPECT_EQ(3u, platform::decode_wtf8("\xE6\x96\x87", 3, code_point));
    EXPECT_EQ(0x6587u, code_point);
}

}  // namespace
