#pragma once
// Erasing the listed files of a run on worker threads while the calling thread keeps the
// account. Files are handed out in the run's order, never more than a window ahead of
// the last one told, and every result is told on the calling thread in the run's order;
// so the account runs at most a window behind the file system, and no file beyond the
// window is touched before the account has caught up with it.
//
// A worker keeps to the directory of its last file while another file of it waits, so
// that two workers seldom remove entries of one directory at once (the system locks a
// directory for each removal). Each worker has its own FileEraser and holds its own
// directories.
//
// A tell that answers false stops the run: no further file is handed out, files handed
// out that no worker has taken yet are dropped (neither erased nor told), and those a
// worker has in hand finish and are told. A fatal report raised by a worker waits until
// the calling thread has told every file the workers finished, so that the report comes
// after the lines of every file known to be gone; the file the failing worker had in
// hand is not told.

#include <cstdint>

#include "core/file_system.h"
#include "core/flat_vector.h"
#include "core/string.h"
#include "platform/platform.h"

namespace rubo {

// One listed file on its way: its place in the run's list, where it is, the directories
// from the one searched down to its own as the search found them, the run of files of its
// directory it belongs to, whether it went, and the system's error number when not.
struct ErasureJob {
    std::int32_t index = 0;
    String path;
    std::int32_t base_length = 0;
    FlatVector<platform::DirectoryIdentity> levels;
    std::int32_t run = 0;
    bool ok = false;
    std::uint32_t error = 0;
};

// What a run of erasures asks of whoever drives it.
class ErasureClient {
public:
    // Fills `job` with the next file in the run's order; false when none is left.
    virtual bool next(ErasureJob& job) = 0;
    // Erases the file (on a worker thread, or on the calling thread without workers).
    virtual bool erase(FileEraser& eraser, ErasureJob& job) = 0;
    // Without workers only, before each file is erased: false stops the run before it.
    virtual bool announce(const ErasureJob& job) = 0;
    // Each result, in the run's order, on the calling thread: false stops the run.
    virtual bool tell(const ErasureJob& job) = 0;

protected:
    ~ErasureClient() = default;
};

// The most files a run hands out ahead of the account.
constexpr std::int32_t ERASURE_WINDOW = 64;

// How many of `wanted` workers a run may start: each holds directories of its own, so
// a process allowed few descriptors gets fewer (none at the fewest).
std::int32_t erasure_workers(std::int32_t wanted);

// Runs the client's files through `workers` worker threads, at most `window` (1 to
// ERASURE_WINDOW) ahead of the last one told. Without workers every file is announced,
// erased and told on the calling thread, one after another.
void erase_in_order(ErasureClient& client, std::int32_t workers, std::int32_t window = ERASURE_WINDOW);

}  // namespace rubo
