#include "core/erasure_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace rubo {
namespace {

// Files in runs of 1 to 9 of one directory; erasing one only marks it, and every
// seventh fails. The client checks the window as it goes and stops the run at the tell
// of `stop_at` (or never).
class CountingClient final : public ErasureClient {
public:
    CountingClient(std::int32_t files, std::int32_t window, std::int32_t stop_at)
        : erased(static_cast<std::size_t>(files)), files_(files), window_(window), stop_at_(stop_at) {}

    bool next(ErasureJob& job) override {
        if (handed_ == files_) return false;
        EXPECT_LT(handed_ - static_cast<std::int32_t>(told.size()), window_);
        job.index = handed_++;
        job.run = job.index / (1 + job.index % 9);
        return true;
    }
    bool erase(FileEraser&, ErasureJob& job) override {
        erased[static_cast<std::size_t>(job.index)].fetch_add(1);
        return job.index % 7 != 0;
    }
    bool announce(const ErasureJob& job) override {
        announced.push_back(job.index);
        return true;
    }
    bool tell(const ErasureJob& job) override {
        EXPECT_EQ(job.index % 7 != 0, job.ok);
        told.push_back(job.index);
        return job.index != stop_at_;
    }

    std::vector<std::atomic<int>> erased;
    std::vector<std::int32_t> announced;
    std::vector<std::int32_t> told;

private:
    const std::int32_t files_;
    const std::int32_t window_;
    const std::int32_t stop_at_;
    std::int32_t handed_ = 0;
};

// Whatever the workers and the window: the files are told in the run's order, each
// erased file exactly once and no other; a stop leaves every file beyond the window
// untouched; without workers each file is announced before it is erased.
TEST(ErasureRun, EveryErasedFileIsToldInOrderWithinTheWindow) {
    constexpr std::int32_t files = 2000;
    for (const std::int32_t workers : {0, 1, 3}) {
        for (const std::int32_t window : {1, 7, ERASURE_WINDOW}) {
            for (const std::int32_t stop_at : {-1, 0, 900}) {
                CountingClient client(files, window, stop_at);
                erase_in_order(client, workers, window);
                const auto context = ::testing::Message()
                                     << workers << " workers, window " << window << ", stop at " << stop_at;
                for (std::size_t at = 1; at < client.told.size(); ++at)
                    ASSERT_LT(client.told[at - 1], client.told[at]) << context;
                std::vector<bool> told(files, false);
                for (const std::int32_t index : client.told) told[static_cast<std::size_t>(index)] = true;
                for (std::int32_t index = 0; index < files; ++index) {
                    const int erasures = client.erased[static_cast<std::size_t>(index)].load();
                    ASSERT_EQ(told[static_cast<std::size_t>(index)] ? 1 : 0, erasures) << context << ", " << index;
                    if (stop_at >= 0 && index > stop_at + window) {
                        ASSERT_EQ(0, erasures) << context;
                    }
                }
                if (stop_at < 0) {
                    EXPECT_EQ(static_cast<std::size_t>(files), client.told.size()) << context;
                }
                if (workers == 0) {
                    EXPECT_EQ(client.told, client.announced) << context;
                }
            }
        }
    }
}

}  // namespace
}  // namespace rubo
