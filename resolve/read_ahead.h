#pragma once
// Worker threads that read the directories of a walk ahead of it: they read each
// directory the walk is about to enter and take the details of its entries that match
// the walk's file-name patterns, and the walk takes their results in its own order.
// Workers never print and never delete; they only read.
//
// Only the directory a walk starts from is opened by its path. Every directory below is
// opened relative to the directory its parent was when it was read, without following a
// link, and must be the very directory the parent's reading found under that name; so
// nothing outside the tree is ever read, and there is no depth too deep. A directory is
// held open while subdirectories of it wait to be opened, but only so many are held at
// once (platform::directories_to_hold): one let go of is opened again from the nearest
// directory above it that is held, each on the way checked to be the directory it was.
// When the process runs out of descriptors the held directories are let go of, and a
// worker that still finds none gives its directory back to be read later and reads no
// more at once than the workers that are reading then, so that a low limit slows the
// walk down but never makes a directory unsearchable.
//
// The directories below one the walk has read form a tree of jobs. A job is read by
// whoever comes first: a worker, or the walk itself when it needs the job before any
// worker has started on it. Workers take the most recently found job first, which is the
// walk's own depth-first order, and stop while the results nobody has taken yet hold
// more than a set number of entries, so the memory read ahead stays bounded. With no
// workers the walk reads every job itself, in its order.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/boxed_vector.h"
#include "core/flat_vector.h"
#include "core/string.h"
#include "platform/platform.h"

namespace rubo {

// How many worker threads a walk starts: the count last set with set_read_ahead_workers,
// else RUBO_THREADS from the environment less one (it counts the walk's own thread, so 1
// gives a one-thread run), else one for each core, at most 8.
std::int32_t read_ahead_workers();
// Sets the count for the walks to come; a negative count goes back to the default.
void set_read_ahead_workers(std::int32_t count);

// The details of an entry of a reading that matched a pattern, or why they could not be
// had (a system error number; 0 when they were).
struct MatchDetails {
    std::size_t entry = 0;  // the entry's index in the reading
    platform::ErrorCode error = 0;
    platform::EntryDetails details;
};

template <> struct TypeName<MatchDetails> {
    static const char* name() { return "struct MatchDetails"; }
};

// One directory as read for the walk: its reading (which takes no further details), why
// it could not be read (0 when it could), which directory it was, and the details of
// every entry that matched one of the job's patterns, in the reading's order.
struct DirectoryRead {
    platform::DirectoryReading reading;
    platform::ErrorCode error = 0;
    platform::DirectoryIdentity identity;
    FlatVector<MatchDetails> matches;

    // The details of the entry at `index`, one of the matches: 0, or the system error
    // number (2 when the entry has gone since the reading).
    platform::ErrorCode details(std::size_t index, platform::EntryDetails& found);
};

// Whether a name is "." or "..".
bool is_dot_name(const char* name);
// Whether the entry at `index` is a subdirectory the walk goes down: a directory (no
// link or mount point), "." and ".." excepted.
bool is_subdirectory(const platform::DirectoryReading& reading, std::size_t index);

struct ReadJob;  // a directory to be read, and what was read

class ReadAhead {
public:
    explicit ReadAhead(std::int32_t workers = read_ahead_workers());
    ~ReadAhead();  // waits for the workers to stop
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // A directory, opened by its path, that the walk is about to read itself (with take):
    // its entries are matched against `patterns`, and, when `below` holds any, its
    // subdirectories are read ahead for those, all the way down. The patterns are copied.
    ReadJob* start(const String& directory, const BoxedVector<String>& patterns, const BoxedVector<String>& below);
    // The job of the `index`-th subdirectory of a job's directory, counted as the walk
    // goes down them: every entry of the reading that is a directory, "." and ".."
    // excepted, in the reading's order. The walk takes each one once.
    static ReadJob* child(ReadJob* job, std::int32_t index);
    // The job's result, kept until the job is finished: waits while a worker reads it,
    // or reads it now when nobody has started on it.
    DirectoryRead& take(ReadJob* job);
    // Ends a job the walk is done with, whether it took the job or not (a subdirectory
    // whose pattern turned out to name no file is never read): drops whatever was read
    // ahead below it and was not taken, and frees it.
    void finish(ReadJob* job);

private:
    struct Pool;
    std::unique_ptr<Pool> pool_;
};

}  // namespace rubo
