#include "core/type_name.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "core/hash_table.h"

using namespace rubo;

namespace {

TEST(TypeName, SpelledAlikeOnEveryCompiler) {
    EXPECT_STREQ("int", type_name<int>());
    EXPECT_STREQ("void *", type_name<void*>());
    EXPECT_STREQ("class String", type_name<String>());
    EXPECT_STREQ("struct FileLock", type_name<FileLock>());
    EXPECT_STREQ("unsigned int", type_name<std::uint32_t>());
    EXPECT_STREQ("class List<struct Bucket<void (*)(unsigned int),unsigned int> >",
                 (type_name<HashTable<void (*)(std::uint32_t), std::uint32_t>::BucketList>()));
    EXPECT_STREQ("class List<int>", type_name<List<int>>());
}

}  // namespace
