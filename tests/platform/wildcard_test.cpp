#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

using namespace rubo;

namespace {

struct MatchCase {
    const char* pattern;
    const char* name;
    bool exact;          // case-sensitive result
    bool ignoring_case;  // result without regard to case
};

TEST(Wildcard, FollowsTheMatchingRules) {
    const MatchCase cases[] = {
        {"*.obj", "a.obj", true, true},
        {"*.obj", "a.OBJ", false, true},
        {"*.obj", ".obj", true, true},
        {"*.obj", "a.obj.bak", false, false},
        {"*.obj", "x.objx", false, false},
        {"*.*", "Makefile", true, true},  // the one pattern that also takes names without a dot
        {"*.*", ".", true, true},
        {"a.*", "a", false, false},  // no other pattern gets that treatment
        {"*", "", true, true},
        {"", "", true, true},
        {"", "a", false, false},
        {"?.c", "a.c", true, true},
        {"?.c", "ab.c", false, false},
        {"?.c", ".c", false, false},
        {"a*b*c", "abc", true, true},
        {"a*b*c", "aXbYc", true, true},
        {"a*b*c", "ab.c", true, true},
        {"a*b*c", "abbcc", true, true},
        {"a*b*c", "abcb", false, false},
        {"a*b*c", "acb", false, false},
        {"a*b*c", "ABC", false, true},
        {"*a*", "bab", true, true},
        {"**a", "a", true, true},
        {"*?", "", false, false},
        {"[ab].c", "a.c", false, false},  // brackets are plain characters
        {"[ab].c", "[ab].c", true, true},
        {"a\\b", "a\\b", true, true},  // and so is the backslash
        {"a\\*", "a\\xyz", true, true},
        {"\xC4*", "\xE4x", false, false},  // only ASCII letters fold
        {"caf\xC3\x89", "caf\xC3\xA9", false, false},
        // '?' and the star take whole UTF-8 sequences; a byte that begins none is one.
        {"caf?.obj", "caf\xC3\xA9.obj", true, true},
        {"caf?.obj", "cafe.obj", true, true},
        {"????.obj", "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.obj", true, true},
        {"??.obj", "\xE6\x96\x87\xE4\xBB\xB6.obj", true, true},
        {"?.obj", "\xE6\x96\x87\xE4\xBB\xB6.obj", false, false},
        {"?.obj", "\xF0\x9F\x98\x80.obj", true, true},
        {"?.obj", "\xED\xA0\xBD.obj", true, true},  // a lone surrogate
        {"??.obj", "\xFF\xFE.obj", true, true},
        {"*??", "\xC3\xA9", false, false},
        {"*\xA9", "\xC3\xA9", false, false},
    };
    for (const MatchCase& c : cases) {
        EXPECT_EQ(c.exact, platform::wildcard_match(c.pattern, c.name, platform::Case::SENSITIVE))
            << c.pattern << " vs " << c.name;
        EXPECT_EQ(c.ignoring_case, platform::wildcard_match(c.pattern, c.name, platform::Case::INSENSITIVE))
            << c.pattern << " vs " << c.name;
    }
    EXPECT_FALSE(platform::wildcard_match(nullptr, "a", platform::Case::SENSITIVE));
    EXPECT_FALSE(platform::wildcard_match("*", nullptr, platform::Case::SENSITIVE));
}

TEST(Wildcard, ManyStarsStayFast) {
    std::string name(20000, 'a');
    EXPECT_FALSE(platform::wildcard_match("*a*a*a*a*a*a*a*a*a*a*b", name.c_str(), platform::Case::SENSITIVE));
    name += 'b';
    EXPECT_TRUE(platform::wildcard_match("*a*a*a*a*a*a*a*a*a*a*b", name.c_str(), platform::Case::SENSITIVE));
}

}  // namespace
