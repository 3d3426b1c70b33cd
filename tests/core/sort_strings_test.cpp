#include "core/sort_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rubo;

namespace {

std::vector<std::string> sorted(std::initializer_list<const char*> items, bool descending) {
    BoxedVector<String> v;
    for (const char* item : items) v.append(String(item));
    sort_strings(v, descending);
    std::vector<std::string> out;
    for (int i = 0; i < v.count; ++i) out.push_back(v.at(i)->text());
    return out;
}

TEST(SortStrings, IgnoresCaseEitherWay) {
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma"}), sorted({"beta", "Alpha", "gamma"}, false));
    EXPECT_EQ((std::vector<std::string>{"gamma", "beta", "Alpha"}), sorted({"beta", "Alpha", "gamma"}, true));
    EXPECT_EQ((std::vector<std::string>{"a.o", "a.obj", "B.o"}), sorted({"B.o", "a.obj", "a.o"}, false));
    EXPECT_EQ((std::vector<std::string>{}), sorted({}, false));
}

}  // namespace
