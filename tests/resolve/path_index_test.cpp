#include "resolve/path_index.h"

#include <gtest/gtest.h>

#include <string>

using namespace rubo;

namespace {

// Appends a path to the list and indexes it at its position there.
void list(PathList& paths, PathIndex& index, const String& path) {
    paths.append(path);
    index.add(path, paths.count - 1);
}

TEST(PathIndex, ExactStyleTellsCaseApart) {
    PathList paths;
    PathIndex index(paths, Case::SENSITIVE);
    const String lower("/w/a.o"), upper("/w/A.o");
    EXPECT_EQ(-1, index.find(lower));
    list(paths, index, lower);
    EXPECT_EQ(0, index.find(String("/w/a.o")));
    EXPECT_EQ(-1, index.find(upper));
    EXPECT_EQ(-1, index.find(String("/w/a.o ")));
    EXPECT_EQ(-1, index.find(String("/w/a.")));
    list(paths, index, upper);
    EXPECT_EQ(1, index.find(String("/w/A.o")));
    EXPECT_EQ(2u, index.count());
}

TEST(PathIndex, FoldingStyleFoldsAsciiLettersOnly) {
    PathList paths;
    PathIndex index(paths, Case::INSENSITIVE);
    const String path("C:\\Work\\A.OBJ"), accented("C:\\\xc9.obj");
    list(paths, index, path);
    list(paths, index, accented);
    EXPECT_EQ(0, index.find(String("c:\\work\\a.obj")));
    EXPECT_EQ(1, index.find(String("c:\\\xc9.OBJ")));
    EXPECT_EQ(-1, index.find(String("c:\\\xe9.obj")));  // no case rule beyond ASCII
    // Adding an equal path keeps the first.
    const String again("c:\\work\\a.obj");
    list(paths, index, again);
    EXPECT_EQ(0, index.find(again));
    EXPECT_EQ(2u, index.count());
}

// Paths are hashed several bytes at a time: a letter in the other case is the same path
// in the folding style wherever it stands in a word, and the bytes next to the letters
// in the code table are never taken for letters.
TEST(PathIndex, EveryByteCountsAndOnlyLettersFold) {
    const std::string base = "/abcdefghijklmnopqrstuvwxyz";
    PathList paths;
    PathIndex exact(paths, Case::SENSITIVE), folding(paths, Case::INSENSITIVE);
    const String path(base.c_str());
    paths.append(path);
    exact.add(path, 0);
    folding.add(path, 0);
    for (std::size_t i = 1; i < base.size(); ++i) {
        std::string other = base;
        other[i] = static_cast<char>(other[i] - 32);
        EXPECT_EQ(-1, exact.find(String(other.c_str()))) << other;
        EXPECT_EQ(0, folding.find(String(other.c_str()))) << other;
        for (const char neighbour : {'@', '[', '`', '{', '\xc1', '\xe1'}) {
            other[i] = neighbour;
            EXPECT_EQ(-1, exact.find(String(other.c_str()))) << other;
            EXPECT_EQ(-1, folding.find(String(other.c_str()))) << other;
        }
    }
    const String upper("/ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(0, folding.find(upper, folding.hash_of(upper)));
    EXPECT_EQ(-1, folding.find(String((base + "/").c_str())));
    EXPECT_EQ(-1, folding.find(String(base.substr(0, 16).c_str())));
}

// Growing moves every slot; paths that share their directory part are found apart.
TEST(PathIndex, FindsEveryPathAfterGrowing) {
    PathList paths;
    PathIndex index(paths, Case::SENSITIVE);
    for (int i = 0; i < 5000; ++i) {
        std::string directory = "/tree/d", name = "f";
        directory += std::to_string(i % 7) + "/";
        name += std::to_string(i);
        paths.append(String(directory.c_str()), name.c_str());
        index.add(paths.at(i), i);
    }
    EXPECT_EQ(5000u, index.count());
    for (int i = 0; i < 5000; ++i) EXPECT_EQ(i, index.find(paths.at(i)));
    EXPECT_EQ(-1, index.find(String("/tree/d0/f5000")));
    EXPECT_EQ(-1, index.find(String("")));
}

}  // namespace
