#pragma once
// What a PathList holds, as plain strings, for comparisons in tests.

#include <string>
#include <vector>

#include "core/path_list.h"

namespace rubo::test {

inline std::vector<std::string> contents(const PathList& list) {
    std::vector<std::string> out;
    for (const String& path : list) out.emplace_back(path.text());
    return out;
}

}  // namespace rubo::test
