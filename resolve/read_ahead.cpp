#include "resolve/read_ahead.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/paths.h"

namespace rubo {

namespace {

// A directory of the walk's tree: how it is reached (the directory above it and its name
// there; for the directory a walk starts from, its path), which directory it is, and,
// while it is held, the open directory. Nodes are shared: each job refers to its own, and
// each node to the one above it, so that a directory above stays known as long as
// anything below it is.
struct DirectoryNode {
    DirectoryNode* parent = nullptr;
    String name;
    // The directory the parent's reading found under the name, then the one opened there.
    platform::DirectoryIdentity identity;
    platform::Directory* open = nullptr;
    std::int32_t references = 1;
    std::int32_t users = 0;     // threads opening a directory below it right now
    std::int32_t unopened = 0;  // subdirectories of it that wait to be opened
    // In the list of held directories nobody uses, the one let go of first at its front.
    DirectoryNode* older = nullptr;
    DirectoryNode* newer = nullptr;
    bool listed = false;
};

}  // namespace

// A directory to be read: its node, the patterns its entries are matched against and
// those its subdirectories are read for, what became of it, and, once read, the jobs of
// its subdirectories.
struct ReadJob {
    enum class State { PENDING, READING, DONE };

    DirectoryNode* node = nullptr;
    const BoxedVector<String>* patterns = nullptr;
    const BoxedVector<String>* below = nullptr;
    State state = State::PENDING;
    bool waiting = false;    // on the stack of jobs waiting for a worker
    bool abandoned = false;  // dropped by the walk while a worker read it
    bool taken = false;      // its result handed to the walk
    DirectoryRead read;
    FlatVector<ReadJob*> children;
};

template <> struct TypeName<ReadJob*> {
    static const char* name() { return "struct ReadJob *"; }
};
template <> struct TypeName<DirectoryNode*> {
    static const char* name() { return "struct DirectoryNode *"; }
};
template <> struct TypeName<BoxedVector<String>> {
    static const char* name() { return "class BoxedVector<class String>"; }
};

namespace {

constexpr std::int32_t most_workers = 8;
std::int32_t chosen_workers = -1;

// Workers start no further job while the results not yet taken hold this many entries.
constexpr std::size_t most_entries_ahead = 32768;

std::int32_t default_workers() {
    if (const char* setting = std::getenv("RUBO_THREADS")) {
        const long threads = std::strtol(setting, nullptr, 10);
        if (threads >= 1) return static_cast<std::int32_t>(threads > most_workers ? most_workers : threads - 1);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<std::int32_t>(cores > most_workers ? most_workers : cores);
}

bool matches_any(const BoxedVector<String>& patterns, const char* name) {
    for (const String& pattern : patterns)
        if (platform::wildcard_match(pattern.text(), name, path_case)) return true;
    return false;
}

bool out_of_descriptors() { return platform::last_error() == platform::SYSTEM_ERROR_TOO_MANY_OPEN_FILES; }

// The directory a walk starts from, opened by its path: the first time as it stands, after
// that only when it is still the directory it was.
platform::Directory* open_start(DirectoryNode& node) {
    platform::Directory* opened = platform::open_directory(node.name.text());
    if (opened == nullptr || !node.identity.known || node.identity.same_as(platform::directory_identity(opened)))
        return opened;
    platform::close_directory(opened);
    platform::set_last_error(platform::SYSTEM_ERROR_PATH_NOT_FOUND);
    return nullptr;
}

// Matches the reading's entries against the job's patterns and takes the details of those
// that match, then lists the subdirectories as new jobs when they are to be read too.
void read_entries(ReadJob& job, platform::Directory* directory) {
    DirectoryRead& read = job.read;
    if (!platform::read_directory(directory, read.reading)) {
        read.error = platform::last_error();
        return;
    }
    platform::DirectoryReading& reading = read.reading;
    platform::DirectoryEntry found;
    for (std::size_t i = 0; i < reading.count(); ++i) {
        if (!matches_any(*job.patterns, reading.name(i))) continue;
        MatchDetails* match = read.matches.append_new();
        match->entry = i;
        if (reading.details(i, found))
            match->details = found;
        else
            match->error = platform::last_error();
    }
    reading.release();
    if (job.below->count == 0) return;
    for (std::size_t i = 0; i < reading.count(); ++i) {
        if (!is_subdirectory(reading, i)) continue;
        ReadJob* child = *job.children.append(new ReadJob);
        child->node = new DirectoryNode;
        child->node->parent = job.node;
        child->node->name = reading.name(i);
        child->node->identity = reading.identity(i);
        child->patterns = job.below;
        child->below = job.below;
    }
}

}  // namespace

bool is_dot_name(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

bool is_subdirectory(const platform::DirectoryReading& reading, std::size_t index) {
    return reading.kind(index) == platform::EntryKind::DIRECTORY && !is_dot_name(reading.name(index));
}

std::int32_t read_ahead_workers() { return chosen_workers >= 0 ? chosen_workers : default_workers(); }

void set_read_ahead_workers(std::int32_t count) { chosen_workers = count; }

platform::ErrorCode DirectoryRead::details(std::size_t index, platform::EntryDetails& found) {
    // The matches are in the reading's order: a binary search finds the entry's.
    std::int32_t low = 0;
    std::int32_t high = matches.count;
    while (low < high) {
        const std::int32_t middle = low + (high - low) / 2;
        if (matches.at(middle)->entry < index)
            low = middle + 1;
        else
            high = middle;
    }
    const MatchDetails& match = *matches.at(low);
    found = match.details;
    return match.error;
}

// The jobs waiting for a worker (a stack: the last found is read first), the workers, the
// directories held open, and what they share, all under one lock.
struct ReadAhead::Pool {
    std::mutex lock;
    std::condition_variable work;  // a job is waiting, or the pool stops
    std::condition_variable done;  // a job has been read, or given back
    FlatVector<ReadJob*> waiting;
    BoxedVector<BoxedVector<String>> pattern_sets;  // what the jobs' patterns point to
    std::size_t entries_ahead = 0;                  // entries in results read but not taken
    bool stopping = false;
    std::int32_t wanted = 0;   // how many workers to start once there is work
    std::int32_t started = 0;  // how many did start
    std::int32_t idle = 0;     // how many of them are not reading
    std::int32_t allowed = 0;  // how many of them may read at once
    std::unique_ptr<std::thread[]> workers;
    // The held directories that nobody uses, the one let go of first at the front.
    DirectoryNode* oldest = nullptr;
    DirectoryNode* newest = nullptr;
    std::uint32_t held = 0;
    std::uint32_t most_held = platform::directories_to_hold();

    bool may_start() const {
        return waiting.count > 0 && entries_ahead < most_entries_ahead && started - idle < allowed;
    }

    // ---- Held directories (all under the lock)

    void unlist(DirectoryNode& node) {
        if (!node.listed) return;
        (node.older != nullptr ? node.older->newer : oldest) = node.newer;
        (node.newer != nullptr ? node.newer->older : newest) = node.older;
        node.older = node.newer = nullptr;
        node.listed = false;
        --held;
    }

    void close_held(DirectoryNode& node) {
        unlist(node);
        platform::close_directory(std::exchange(node.open, nullptr));
    }

    // Lets go of the held directories nobody uses, the oldest first, until at most `most`
    // are held.
    void let_go(std::uint32_t most) {
        while (held > most && oldest != nullptr) close_held(*oldest);
    }

    // A directory nobody uses any more: held while subdirectories of it wait to be opened
    // (within the limit), else closed.
    void settle(DirectoryNode& node) {
        if (node.users > 0 || node.open == nullptr) return;
        if (node.unopened == 0) return close_held(node);
        if (node.listed) return;
        node.older = newest;
        (newest != nullptr ? newest->newer : oldest) = &node;
        newest = &node;
        node.listed = true;
        ++held;
        let_go(most_held);
    }

    // The node's open directory, marked as used; null when it is not held.
    platform::Directory* use(DirectoryNode& node) {
        if (node.open == nullptr) return nullptr;
        unlist(node);
        ++node.users;
        return node.open;
    }

    void stop_using(DirectoryNode& node) {
        --node.users;
        settle(node);
    }

    // One subdirectory of the node no longer waits to be opened.
    void child_opened(DirectoryNode& node) {
        --node.unopened;
        settle(node);
    }

    // Drops a reference to a node, and frees it and those above it that nothing refers to
    // any more.
    void release(DirectoryNode* node) {
        while (node != nullptr && --node->references == 0) {
            if (node->open != nullptr) close_held(*node);
            DirectoryNode* parent = node->parent;
            delete node;
            node = parent;
        }
    }

    // The node's directory, held open and marked as used: opened again, when it was let
    // go of, one level at a time from the nearest directory above it that is held, each
    // checked to be the directory it was. Null with the last error set when that fails.
    platform::Directory* hold(DirectoryNode& node) {
        std::unique_lock<std::mutex> held_lock(lock);
        for (;;) {
            if (platform::Directory* open = use(node)) return open;
            DirectoryNode* step = &node;
            while (step->parent != nullptr && step->parent->open == nullptr) step = step->parent;
            platform::Directory* above = step->parent != nullptr ? use(*step->parent) : nullptr;
            held_lock.unlock();
            platform::Directory* opened = above != nullptr
                                              ? platform::open_directory_below(above, step->name.text(), step->identity)
                                              : open_start(*step);
            const platform::ErrorCode error = platform::last_error();
            held_lock.lock();
            if (above != nullptr) stop_using(*step->parent);
            if (opened == nullptr) {
                platform::set_last_error(error);
                return nullptr;
            }
            // Kept unlisted: the next round uses it at once, and settles it when done.
            if (step->open != nullptr)
                platform::close_directory(opened);  // another thread was faster
            else
                step->open = opened;
        }
    }

    // Opens the job's directory: by its path for the directory a walk starts from,
    // otherwise relative to its parent, which must be held for that.
    platform::Directory* open_job(ReadJob& job) {
        DirectoryNode& node = *job.node;
        if (node.parent == nullptr) return open_start(node);
        platform::Directory* parent = hold(*node.parent);
        if (parent == nullptr) return nullptr;
        platform::Directory* opened = platform::open_directory_below(parent, node.name.text(), node.identity);
        const platform::ErrorCode error = platform::last_error();
        {
            std::lock_guard<std::mutex> held_lock(lock);
            stop_using(*node.parent);
        }
        platform::set_last_error(error);
        return opened;
    }

    // Opens the job's directory, letting go of the held directories when the process
    // runs out of descriptors. A worker that still finds none answers null with
    // `given_back` set; the walk itself waits for the workers that are reading to finish
    // and tries once more.
    platform::Directory* open_with_descriptors(ReadJob& job, bool worker, bool& given_back) {
        platform::Directory* opened = open_job(job);
        for (int attempt = 0; opened == nullptr && out_of_descriptors() && attempt < 2; ++attempt) {
            {
                std::unique_lock<std::mutex> held_lock(lock);
                if (attempt == 1 && worker) {
                    given_back = true;
                    return nullptr;
                }
                if (attempt == 1) done.wait(held_lock, [this] { return started - idle == 0; });
                let_go(0);
                most_held /= 2;
            }
            opened = open_job(job);
        }
        return opened;
    }

    // Reads the job's directory; false when a worker gives it back for want of
    // descriptors. The directory stays open, held, while subdirectories of it wait.
    bool read_job(ReadJob& job, bool worker) {
        bool given_back = false;
        platform::Directory* directory = open_with_descriptors(job, worker, given_back);
        if (given_back) return false;
        if (directory == nullptr)
            job.read.error = platform::last_error();
        else
            read_entries(job, directory);
        if (directory != nullptr) job.node->identity = job.read.identity = platform::directory_identity(directory);
        std::lock_guard<std::mutex> held_lock(lock);
        if (job.node->parent != nullptr) child_opened(*job.node->parent);
        job.node->unopened = job.children.count;
        job.node->references += job.children.count;
        job.node->open = directory;
        settle(*job.node);
        return true;
    }

    // Puts a job's children on the stack, the first on top, and starts the workers with
    // the first work there is for them.
    void push_children(ReadJob& job) {
        if (job.children.count == 0) return;
        for (std::int32_t i = job.children.count - 1; i >= 0; --i) {
            ReadJob* child = *job.children.at(i);
            child->waiting = true;
            waiting.append(child);
        }
        if (workers == nullptr && wanted > 0) start_workers();
        work.notify_all();
    }

    // Starts the workers. Where the system lets fewer threads start, the walk reads with
    // those it has: with none, it reads every directory itself.
    void start_workers() {
        workers = std::make_unique<std::thread[]>(static_cast<std::size_t>(wanted));
        try {
            for (; started < wanted; ++started, ++idle) workers[started] = std::thread([this] { run_worker(); });
        } catch (const std::system_error&) {
        }
        allowed = started;
    }

    // Claims a waiting job for whoever is to read it.
    void claim(ReadJob* job) {
        job->state = ReadJob::State::READING;
        if (!job->waiting) return;
        job->waiting = false;
        for (std::int32_t i = waiting.count - 1; i >= 0; --i)
            if (*waiting.at(i) == job) {
                waiting.remove_index(i);
                return;
            }
    }

    // Drops a job the walk will not take (or has taken and is done with), and everything
    // read ahead below it. A job a worker is reading is left for the worker to drop.
    void discard(ReadJob* first) {
        FlatVector<ReadJob*> jobs;
        jobs.append(first);
        while (jobs.count > 0) {
            ReadJob* job = *jobs.at(jobs.count - 1);
            jobs.remove_last();
            if (job == nullptr) continue;
            if (job->state == ReadJob::State::READING) {
                job->abandoned = true;
                continue;
            }
            if (job->state == ReadJob::State::PENDING) {
                claim(job);
                if (job->node->parent != nullptr) child_opened(*job->node->parent);
            }
            if (job->state == ReadJob::State::DONE && !job->taken) entries_ahead -= job->read.reading.count();
            for (ReadJob* child : job->children) jobs.append(child);
            release(job->node);
            delete job;
        }
    }

    void run_worker() {
        std::unique_lock<std::mutex> held_lock(lock);
        for (;;) {
            work.wait(held_lock, [this] { return stopping || may_start(); });
            if (stopping) return;
            ReadJob* job = *waiting.at(waiting.count - 1);
            claim(job);
            --idle;
            held_lock.unlock();
            const bool read = read_job(*job, true);
            held_lock.lock();
            ++idle;
            if (!read) {
                // Given back: it waits again (unless the walk dropped it meanwhile), and no
                // more workers read at once than do now.
                job->state = ReadJob::State::PENDING;
                allowed = started - idle;
                if (job->abandoned) {
                    discard(job);
                } else {
                    job->waiting = true;
                    waiting.append(job);
                }
            } else if (job->abandoned) {
                job->state = ReadJob::State::DONE;
                job->taken = true;
                discard(job);
            } else {
                job->state = ReadJob::State::DONE;
                entries_ahead += job->read.reading.count();
                push_children(*job);
            }
            done.notify_all();
        }
    }
};

ReadAhead::ReadAhead(std::int32_t workers) : pool_(std::make_unique<Pool>()) { pool_->wanted = workers; }

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> held(pool_->lock);
        pool_->stopping = true;
    }
    pool_->work.notify_all();
    for (std::int32_t i = 0; i < pool_->started; ++i) pool_->workers[i].join();
}

ReadJob* ReadAhead::start(const String& directory, const BoxedVector<String>& patterns,
                          const BoxedVector<String>& below) {
    ReadJob* job = new ReadJob;
    job->node = new DirectoryNode;
    job->node->name = directory;
    job->patterns = pool_->pattern_sets.append(&patterns);
    job->below = pool_->pattern_sets.append(&below);
    return job;
}

ReadJob* ReadAhead::child(ReadJob* job, std::int32_t index) { return std::exchange(*job->children.at(index), nullptr); }

DirectoryRead& ReadAhead::take(ReadJob* job) {
    Pool& pool = *pool_;
    std::unique_lock<std::mutex> held(pool.lock);
    // While a worker is free to start on the job, it is left to the workers; the walk
    // reads a job itself when none would (all are busy, or the read-ahead is full).
    pool.done.wait(held, [&pool, job] {
        return job->state == ReadJob::State::DONE ||
               (job->state == ReadJob::State::PENDING && !(job->waiting && pool.idle > 0 && pool.may_start()));
    });
    if (job->state == ReadJob::State::PENDING) {
        pool.claim(job);
        held.unlock();
        pool.read_job(*job, false);
        held.lock();
        job->state = ReadJob::State::DONE;
        pool.push_children(*job);
    } else {
        const bool was_full = pool.entries_ahead >= most_entries_ahead;
        pool.entries_ahead -= job->read.reading.count();
        if (was_full && pool.may_start()) pool.work.notify_all();
    }
    job->taken = true;
    return job->read;
}

void ReadAhead::finish(ReadJob* job) {
    std::lock_guard<std::mutex> held(pool_->lock);
    pool_->discard(job);
}

}  // namespace rubo
