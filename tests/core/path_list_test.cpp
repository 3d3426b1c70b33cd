#include "core/path_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/core/path_list_checks.h"

using namespace rubo;

namespace {

using Paths = std::vector<std::string>;
using rubo::test::contents;

// Appends runs of paths that share a directory, whole paths between them, and one path
// longer than the largest block, so that runs straddle blocks; `expected` gets the same.
void fill(PathList& list, Paths& expected, int runs) {
    for (int run = 0; run < runs; ++run) {
        const std::string directory = "/tree/" + std::string(static_cast<std::size_t>(run % 5) * 40, 'd') + "/";
        for (int i = 0; i < 30; ++i) {
            std::string name = "f";
            name += std::to_string(run * 30 + i);
            if (i != 7) name += ".obj";
            list.append(String(directory.c_str()), name.c_str());
            expected.push_back(directory + name);
        }
        const std::string whole = run == 3 ? std::string(3 << 20, 'x') : "/whole/" + std::to_string(run);
        list.append(whole.c_str());
        expected.push_back(whole);
    }
}

TEST(PathList, ReadsBackEveryPathInOrder) {
    PathList list;
    Paths expected;
    fill(list, expected, 200);
    list.append("");
    expected.emplace_back("");
    ASSERT_EQ(static_cast<std::int32_t>(expected.size()), list.count);
    EXPECT_EQ(expected, contents(list));
    for (const std::int32_t i : {0, 29, 30, 124, 5000}) EXPECT_EQ(expected[i], list.at(i).text()) << i;
    const String same("/tree/dddddddddddddddddddddddddddddddddddddddd/f31.obj");
    const String other_case("/TREE/dddddddddddddddddddddddddddddddddddddddd/F31.OBJ");
    EXPECT_TRUE(list.equals(32, same, Case::SENSITIVE));
    EXPECT_FALSE(list.equals(32, other_case, Case::SENSITIVE));
    EXPECT_TRUE(list.equals(32, other_case, Case::INSENSITIVE));
    EXPECT_FALSE(list.equals(32, String("/tree/dddddddddddddddddddddddddddddddddddddddd/f31.ob"), Case::SENSITIVE));
    EXPECT_FALSE(list.equals(30, same, Case::SENSITIVE));
}

TEST(PathList, KeepFirstThenAppendAgain) {
    for (const std::int32_t kept : {-1, 0, 12, 31, 500}) {
        PathList list;
        Paths expected;
        fill(list, expected, 2);
        list.keep_first(kept);
        expected.resize(static_cast<std::size_t>(std::max(0, std::min(kept, 62))));
        list.append(String("/tree/"), "again");  // the prefix of the last run, still shared
        expected.emplace_back("/tree/again");
        EXPECT_EQ(expected, contents(list)) << kept;
    }
}

// Taking moves the other list's paths, all or those kept, into an empty list or behind
// what the list holds; the other list ends empty and both go on taking new paths.
TEST(PathList, TakeAllMovesPathsAndLeavesTheOtherEmpty) {
    for (const int held_runs : {0, 3}) {
        for (const bool filtered : {false, true}) {
            PathList list, other;
            Paths expected, taken;
            fill(list, expected, held_runs);
            fill(other, taken, 4);
            if (!filtered) {
                list.take_all(other);
                expected.insert(expected.end(), taken.begin(), taken.end());
            } else {
                std::size_t asked = 0;
                list.take_all(other, [&](const String& path) {
                    EXPECT_EQ(taken[asked++], path.text());
                    if (path.length() % 2 == 0) return false;
                    EXPECT_EQ(static_cast<std::int32_t>(expected.size()), list.count);
                    expected.emplace_back(path.text());
                    return true;
                });
                EXPECT_EQ(taken.size(), asked);
            }
            EXPECT_EQ(0, other.count);
            list.append(String("/tree/"), "late");
            expected.emplace_back("/tree/late");
            EXPECT_EQ(expected, contents(list)) << held_runs << filtered;
            other.append("/fresh");
            EXPECT_EQ(Paths{"/fresh"}, contents(other));
        }
    }
}

TEST(PathList, CopiesAreDeepAndMovesEmptyTheSource) {
    PathList list;
    Paths expected;
    fill(list, expected, 2);
    PathList copy(list);
    list.clear();
    EXPECT_EQ(Paths{}, contents(list));
    EXPECT_EQ(expected, contents(copy));
    list = copy;
    PathList moved(std::move(copy));
    EXPECT_EQ(0, copy.count);
    EXPECT_EQ(expected, contents(moved));
    copy = std::move(list);
    EXPECT_EQ(expected, contents(copy));
}

}  // namespace
