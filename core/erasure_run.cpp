#include "core/erasure_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/fatal.h"
#include "core/startup_objects.h"

namespace rubo {
namespace {

// Where a handed-out file stands. A slot is resolved once it is DONE, ABANDONED (its
// worker raised a fatal report) or DROPPED (the run stopped before a worker took it).
enum class SlotState : std::uint8_t { WAITING, TAKEN, DONE, ABANDONED, DROPPED };

struct Slot {
    ErasureJob job;
    SlotState state = SlotState::WAITING;
};

bool resolved(SlotState state) { return state != SlotState::WAITING && state != SlotState::TAKEN; }

// How long a worker's fatal report waits for the account before it goes out anyway.
constexpr auto ACCOUNT_WAIT = std::chrono::seconds(10);

// The files a worker takes at once: consecutive files of one directory, of which the
// first `erased` are erased.
struct Batch {
    Slot* slots[ERASURE_WINDOW / 2];
    std::int32_t count = 0;
    std::int32_t erased = 0;
};

class ErasureRun;
thread_local ErasureRun* served_run = nullptr;  // the run a worker thread serves
thread_local Batch* batch_in_hand = nullptr;    // that worker's files, while it erases them
std::atomic<ErasureRun*> owned_run{nullptr};    // the run a calling thread drives
std::atomic<std::thread::id> owner_thread{};    // that thread

class ErasureRun {
public:
    ErasureRun(ErasureClient& client, std::int32_t workers, std::int32_t window)
        : client_(client),
          window_(window),
          slots_(std::make_unique<Slot[]>(static_cast<std::size_t>(window))),
          worker_runs_(static_cast<std::size_t>(workers), -1) {}

    void run();

    // A fatal report in a worker: the run stops, and the report waits for the account.
    void worker_failed(Batch* batch);
    // A fatal report on the calling thread: the files in hand finish and are told.
    void owner_failed();

private:
    Slot& slot(std::int64_t index) { return slots_[static_cast<std::size_t>(index % window_)]; }

    void work(std::size_t self);
    // The index of the file a worker takes next: the first waiting one of its own
    // directory, else of one no other worker keeps to, else the first waiting; -1 for none.
    std::int64_t job_for(std::size_t self);
    // Takes the file at `first` and the waiting files of its directory after it.
    void take_batch(std::size_t self, std::int64_t first, Batch& batch);
    // Resolves a batch: erased files are done, the one that was being erased is
    // abandoned, the others are dropped.
    void settle_batch(Batch& batch, SlotState interrupted);
    // Fills free slots with the client's next files and hands them out; false once the
    // client has none left.
    bool hand_out();
    // Tells the files in order, waiting for each as long as it is in flight, until all
    // handed out are told, or, while the run goes on, half a window is free again.
    void tell_resolved(std::unique_lock<std::mutex>& lock);
    // Stops the run: nothing more is handed out, and the files no worker has taken yet
    // are dropped.
    void stop();
    bool wake_owner() const;

    ErasureClient& client_;
    const std::int32_t window_;
    std::unique_ptr<Slot[]> slots_;
    std::vector<std::int32_t> worker_runs_;  // the run each worker keeps to; -1 for none

    std::mutex mutex_;
    std::condition_variable work_;     // a worker waits for a file
    std::condition_variable results_;  // the calling thread waits for results
    std::int64_t handed_ = 0;          // files handed out
    std::int64_t told_ = 0;            // of them, told or dropped
    std::int32_t in_flight_ = 0;       // handed out and not resolved
    std::int32_t idle_workers_ = 0;
    bool owner_waiting_ = false;
    bool finished_ = false;  // nothing more will be handed out: workers end when idle
    bool stopped_ = false;   // a tell stopped the run, or a fatal report did
    bool failed_ = false;    // a worker's fatal report waits for the account
    bool accounted_ = false;
};

// Wakes the calling thread when the oldest file is resolved and it has enough to tell:
// half a window, or everything in flight, or a stop.
bool ErasureRun::wake_owner() const {
    if (!owner_waiting_ || told_ == handed_) return false;
    const std::int64_t untold_resolved = handed_ - told_ - in_flight_;
    return failed_ || (resolved(slots_[static_cast<std::size_t>(told_ % window_)].state) &&
                       (in_flight_ == 0 || stopped_ || untold_resolved >= window_ / 2));
}

std::int64_t ErasureRun::job_for(std::size_t self) {
    std::int64_t other_run = -1;
    for (std::int64_t index = told_; index < handed_; ++index) {
        Slot& candidate = slot(index);
        if (candidate.state != SlotState::WAITING) continue;
        const std::int32_t run = candidate.job.run;
        if (run == worker_runs_[self]) return index;
        const bool kept_by_other = std::find(worker_runs_.begin(), worker_runs_.end(), run) != worker_runs_.end();
        if (!kept_by_other) return index;
        if (other_run < 0) other_run = index;
    }
    return other_run;
}

void ErasureRun::take_batch(std::size_t self, std::int64_t first, Batch& batch) {
    const std::int32_t run = slot(first).job.run;
    batch.count = 0;
    batch.erased = 0;
    for (std::int64_t index = first; index < handed_ && batch.count < ERASURE_WINDOW / 2; ++index) {
        Slot& next = slot(index);
        if (next.state != SlotState::WAITING || next.job.run != run) break;
        next.state = SlotState::TAKEN;
        batch.slots[batch.count++] = &next;
    }
    worker_runs_[self] = run;
}

void ErasureRun::settle_batch(Batch& batch, SlotState interrupted) {
    for (std::int32_t at = 0; at < batch.count; ++at)
        batch.slots[at]->state = at < batch.erased    ? SlotState::DONE
                                 : at == batch.erased ? interrupted
                                                      : SlotState::DROPPED;
    in_flight_ -= batch.count;
    batch.count = 0;
}

void ErasureRun::work(std::size_t self) {
    served_run = this;
    FileEraser eraser;
    Batch batch;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const std::int64_t first = stopped_ ? -1 : job_for(self);
        if (first < 0) {
            if (finished_ || stopped_) break;
            ++idle_workers_;
            work_.wait(lock);
            --idle_workers_;
            continue;
        }
        take_batch(self, first, batch);
        lock.unlock();
        batch_in_hand = &batch;
        for (; batch.erased < batch.count; ++batch.erased) {
            ErasureJob& job = batch.slots[batch.erased]->job;
            job.ok = client_.erase(eraser, job);
        }
        batch_in_hand = nullptr;
        lock.lock();
        settle_batch(batch, SlotState::DONE);
        if (wake_owner()) results_.notify_all();
    }
    worker_runs_[self] = -1;
}

bool ErasureRun::hand_out() {
    // The free slots are the calling thread's alone until handed_ moves past them.
    std::int64_t filled = handed_;
    bool more = true;
    while (filled - told_ < window_) {
        Slot& free = slot(filled);
        if (!client_.next(free.job)) {
            more = false;
            break;
        }
        free.state = SlotState::WAITING;
        ++filled;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    in_flight_ += static_cast<std::int32_t>(filled - handed_);
    handed_ = filled;
    finished_ = !more;
    if (idle_workers_ > 0) work_.notify_all();
    return more;
}

void ErasureRun::stop() {
    if (stopped_) return;
    stopped_ = true;
    for (std::int64_t index = told_; index < handed_; ++index) {
        Slot& waiting = slot(index);
        if (waiting.state != SlotState::WAITING) continue;
        waiting.state = SlotState::DROPPED;
        --in_flight_;
    }
}

void ErasureRun::tell_resolved(std::unique_lock<std::mutex>& lock) {
    while (told_ < handed_) {
        // A worker's fatal report stops the run; what is in hand is still told.
        if (failed_) stop();
        Slot& oldest = slot(told_);
        if (!resolved(oldest.state)) {
            owner_waiting_ = true;
            results_.wait(lock);
            owner_waiting_ = false;
            continue;
        }
        // Counted as told first: a fatal report raised by the tell must not tell it again.
        ++told_;
        if (oldest.state == SlotState::DONE) {
            lock.unlock();
            const bool go_on = client_.tell(oldest.job);
            lock.lock();
            if (!go_on && !stopped_) {
                stop();
                work_.notify_all();
            }
        }
        // Half a window told: the workers get more before the rest is told.
        if (!stopped_ && !finished_ && handed_ - told_ <= window_ / 2) return;
    }
}

void ErasureRun::run() {
    owner_thread = std::this_thread::get_id();
    owned_run = this;
    std::vector<std::thread> threads;
    threads.reserve(worker_runs_.size());
    for (std::size_t self = 0; self < worker_runs_.size(); ++self) threads.emplace_back([this, self] { work(self); });
    bool more = true;
    for (;;) {
        if (more) more = hand_out();
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopped_) finished_ = true;
        if (finished_) work_.notify_all();
        tell_resolved(lock);
        if (failed_) {
            accounted_ = true;
            results_.notify_all();
            lock.unlock();
            claim_fatal_report();  // the worker's report ends the process
        }
        if (finished_ && told_ == handed_) break;
        more = more && !stopped_;
    }
    for (std::thread& thread : threads) thread.join();
    owned_run = nullptr;
}

void ErasureRun::worker_failed(Batch* batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    failed_ = true;
    if (batch != nullptr) settle_batch(*batch, SlotState::ABANDONED);
    results_.notify_all();
    work_.notify_all();
    results_.wait_for(lock, ACCOUNT_WAIT, [this] { return accounted_; });
}

void ErasureRun::owner_failed() {
    std::unique_lock<std::mutex> lock(mutex_);
    stop();
    finished_ = true;
    work_.notify_all();
    // The files in hand finish; a worker that does not within the wait is left out.
    owner_waiting_ = true;
    results_.wait_for(lock, ACCOUNT_WAIT, [this] { return in_flight_ == 0; });
    owner_waiting_ = false;
    failed_ = false;
    while (told_ < handed_ && resolved(slot(told_).state)) {
        Slot& oldest = slot(told_++);
        if (oldest.state != SlotState::DONE) continue;
        lock.unlock();
        client_.tell(oldest.job);
        lock.lock();
    }
}

// Every fatal report passes here first: in a worker of a run, or on the thread that
// drives one, the account is settled before the report goes out.
void settle_account(const char*) {
    if (served_run != nullptr) {
        served_run->worker_failed(batch_in_hand);
        return;
    }
    if (owner_thread.load() != std::this_thread::get_id()) return;
    ErasureRun* owned = owned_run.exchange(nullptr);
    if (owned != nullptr) owned->owner_failed();
}

}  // namespace

std::int32_t erasure_workers(std::int32_t wanted) {
    // One worker for every sixteen directories the process may hold.
    return std::clamp<std::int32_t>(static_cast<std::int32_t>(platform::directories_to_hold() / 16), 0, wanted);
}

void erase_in_order(ErasureClient& client, std::int32_t workers, std::int32_t window) {
    if (workers <= 0) {
        FileEraser eraser;
        ErasureJob job;
        while (client.next(job) && client.announce(job)) {
            job.ok = client.erase(eraser, job);
            if (!client.tell(job)) break;
        }
        return;
    }
    static const bool hooked = [] {
        fatal_hook_list().append(settle_account);
        return true;
    }();
    (void)hooked;
    ErasureRun run(client, workers, std::clamp(window, 1, ERASURE_WINDOW));
    run.run();
}

}  // namespace rubo
