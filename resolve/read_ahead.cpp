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

// A directory to be read: its path, the patterns its entries are matched against and
// those its subdirectories are read for, what became of it, and, once read, the jobs of
// its subdirectories.
struct ReadJob {
    enum class State { PENDING, READING, DONE };

    String directory;
    platform::ReadIdentity identity = platform::ReadIdentity::SKIP;
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

// Reads the job's directory and the details of its matches, lets go of the directory,
// and lists its subdirectories as new jobs when they are to be read too.
void read_job(ReadJob& job) {
    DirectoryRead& read = job.read;
    if (!platform::read_directory(job.directory.text(), read.reading, job.identity)) {
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
        child->directory = join_path(job.directory.text(), reading.name(i));
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

// The jobs waiting for a worker (a stack: the last found is read first), the workers, and
// what they share, all under one lock.
struct ReadAhead::Pool {
    std::mutex lock;
    std::condition_variable work;  // a job is waiting, or the pool stops
    std::condition_variable done;  // a job has been read
    FlatVector<ReadJob*> waiting;
    BoxedVector<BoxedVector<String>> pattern_sets;  // what the jobs' patterns point to
    std::size_t entries_ahead = 0;                  // entries in results read but not taken
    bool stopping = false;
    std::int32_t wanted = 0;   // how many workers to start once there is work
    std::int32_t started = 0;  // how many did start
    std::int32_t idle = 0;     // how many of them are not reading
    std::unique_ptr<std::thread[]> workers;

    bool may_start() const { return waiting.count > 0 && entries_ahead < most_entries_ahead; }

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
    // read ahead below it.
    void discard(ReadJob* job) {
        if (job == nullptr) return;
        if (job->state == ReadJob::State::READING) {
            job->abandoned = true;  // the worker reading it frees it
            return;
        }
        if (job->state == ReadJob::State::PENDING) claim(job);
        if (job->state == ReadJob::State::DONE && !job->taken) entries_ahead -= job->read.reading.count();
        for (ReadJob* child : job->children) discard(child);
        delete job;
    }

    void run_worker() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            work.wait(held, [this] { return stopping || may_start(); });
            if (stopping) return;
            ReadJob* job = *waiting.at(waiting.count - 1);
            claim(job);
            --idle;
            held.unlock();
            read_job(*job);
            held.lock();
            ++idle;
            if (job->abandoned) {
                for (ReadJob* child : job->children) delete child;
                delete job;
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

ReadJob* ReadAhead::start(const String& directory, platform::ReadIdentity identity, const BoxedVector<String>& patterns,
                          const BoxedVector<String>& below) {
    ReadJob* job = new ReadJob;
    job->directory = directory;
    job->identity = identity;
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
        read_job(*job);
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
