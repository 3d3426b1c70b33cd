#include "resolve/path_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rubo;

namespace {

TEST(PathIndex, ExactStyleTellsCaseApart) {
    PathIndex index(Case::SENSITIVE);
    const String lower("/w/a.o"), upper("/w/A.o");
    EXPECT_EQ(nullptr, index.find(lower));
    index.add(lower);
    EXPECT_EQ(&lower, index.find(String("/w/a.o")));
    EXPECT_EQ(nullptr, index.find(upper));
    EXPECT_EQ(nullptr, index.find(String("/w/a.o ")));
    EXPECT_EQ(nullptr, index.find(String("/w/a.")));
    index.add(upper);
    EXPECT_EQ(&upper, index.find(String("/w/A.o")));
    EXPECT_EQ(2u, index.count());
}

TEST(PathIndex, FoldingStyleFoldsAsciiLettersOnly) {
    PathIndex index(Case::INSENSITIVE);
    const String path("C:\\Work\\A.OBJ"), accented("C:\\\xc9.obj");
    index.add(path);
    index.add(accented);
    EXPECT_EQ(&path, index.find(String("c:\\work\\a.obj")));
    EXPECT_EQ(&accented, index.find(String("c:\\\xc9.OBJ")));
    EXPECT_EQ(nullptr, index.find(String("c:\\\xe9.obj")));  // no case rule beyond ASCII
    // Adding an equal path keeps the first.
    const String again("c:\\work\\a.obj");
    index.add(again);
    EXPECT_EQ(&path, index.find(again));
    EXPECT_EQ(2u, index.count());
}

// Paths are hashed several bytes at a time: a letter in the other case is the same path
// in the folding style wherever it stands in a word, and the bytes next to the letters
// in the code table are never taken for letters.
TEST(PathIndex, EveryByteCountsAndOnlyLettersFold) {
    const std::string base = "/abcdefghijklmnopqrstuvwxyz";
    PathIndex exact(Case::SENSITIVE), folding(Case::INSENSITIVE);
    const String path(base.c_str());
    exact.add(path);
    folding.add(path);
    for (std::size_t i = 1; i < base.size(); ++i) {
        std::string other = base;
        other[i] = static_cast<char>(other[i] - 32);
        EXPECT_EQ(nullptr, exact.find(String(other.c_str()))) << other;
        EXPECT_EQ(&path, folding.find(String(other.c_str()))) << other;
        for (const char neighbour : {'@', '[', '`', '{', '\xc1', '\xe1'}) {
            other[i] = neighbour;
            EXPECT_EQ(nullptr, exact.find(String(other.c_str()))) << other;
            EXPECT_EQ(nullptr, folding.find(String(other.c_str()))) << other;
        }
    }
    const String upper("/ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(&path, folding.find(upper, folding.hash_of(upper)));
    EXPECT_EQ(nullptr, folding.find(String((base + "/").c_str())));
    EXPECT_EQ(nullptr, folding.find(String(base.substr(0, 16).c_str())));
}

TEST(PathIndex, FindsEveryPathAfterGrowing) {
    PathIndex index(Case::SENSITIVE);
    std::vector<String> paths;
    paths.reserve(5000);
    for (int i = 0; i < 5000; ++i)
        paths.emplace_back(("/tree/d" + std::to_string(i % 7) + "/f" + std::to_string(i)).c_str());
    for (const String& path : paths) index.add(path);
    EXPECT_EQ(5000u, index.count());
    for (const String& path : paths) EXPECT_EQ(&path, index.find(String(path.text())));
    EXPECT_EQ(nullptr, index.find(String("/tree/d0/f5000")));
    EXPECT_EQ(nullptr, index.find(String("")));
}

}  // namespace
