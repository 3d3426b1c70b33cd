#include "resolve/walk_order.h"

#include <gtest/gtest.h>

#include <string>

#include "core/boxed_vector.h"
#include "core/string.h"
#include "tests/core/local_write_time.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

namespace {

using rubo::test::ScratchDirectory;

// The vector's paths, each reduced to the part after the scratch directory.
std::string order_of(BoxedVector<String>& paths, const std::string& folder) {
    std::string order;
    for (std::int32_t i = 0; i < paths.count; ++i)
        order += std::string(paths.at(i)->text()).substr(folder.size() + 1) + " ";
    return order;
}

TEST(WalkOrder, FileWriteTimeReadsLocalTime) {
    ScratchDirectory scratch;
    scratch.write_file("dated.txt", "x");
    const std::string path = scratch / "dated.txt";
    rubo::test::set_local_write_time(path, 2022, 3, 4, 5, 6, 7);
    DateTime time;
    EXPECT_FALSE(file_write_time(path.c_str(), nullptr));
    ASSERT_TRUE(file_write_time(path.c_str(), &time));
    EXPECT_EQ(0, compare_date_times(DateTime{2022, 3, 4, 5, 6, 7}, time));

    // A failed read leaves the target alone.
    EXPECT_FALSE(file_write_time((scratch / "missing.txt").c_str(), &time));
    EXPECT_FALSE(file_write_time(scratch.path().c_str(), &time));
    EXPECT_FALSE(file_write_time(nullptr, &time));
    EXPECT_EQ(2022, time.year);
}

TEST(WalkOrder, SortsNewestOrOldestFirstWithUnreadableTimesEarliest) {
    ScratchDirectory scratch;
    const struct {
        const char* name;
        int hour;
    } files[] = {{"ten.txt", 10}, {"twelve.txt", 12}, {"eleven.txt", 11}};
    BoxedVector<String> paths;
    for (const auto& file : files) {
        scratch.write_file(file.name, file.name);
        const std::string path = scratch / file.name;
        rubo::test::set_local_write_time(path, 2023, 6, 1, file.hour, 0, 0);
        paths.append(String(path.c_str()));
    }
    paths.append(String((scratch / "gone.txt").c_str()));

    paths.sort(compare_newest_first);
    EXPECT_EQ("twelve.txt eleven.txt ten.txt gone.txt ", order_of(paths, scratch.path()));
    paths.sort(compare_oldest_first);
    EXPECT_EQ("gone.txt ten.txt eleven.txt twelve.txt ", order_of(paths, scratch.path()));
}

}  // namespace
