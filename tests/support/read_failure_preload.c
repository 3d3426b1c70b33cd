// A library for LD_PRELOAD (Linux) that makes the reading of one directory fail part
// way, as a failing disk does: the directory whose full path RUBO_FAIL_READING names
// gives its first three entries, then readdir answers null with errno EIO, and goes on
// failing until the directory is closed. Every other directory reads as usual.
//
// Both readdir and readdir64 are wrapped: the C library gives both names, and which of
// them a program calls depends on how it was compiled (64-bit file offsets call the
// second). closedir is wrapped so that a reading that starts again counts from zero.

#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { ENTRIES_BEFORE_FAILURE = 3, MOST_HELD = 64 };

static struct dirent* (*real_readdir)(DIR*);
static struct dirent64* (*real_readdir64)(DIR*);
static int (*real_closedir)(DIR*);

__attribute__((constructor)) static void find_real_calls(void) {
    real_readdir = (struct dirent * (*)(DIR*)) dlsym(RTLD_NEXT, "readdir");
    real_readdir64 = (struct dirent64 * (*)(DIR*)) dlsym(RTLD_NEXT, "readdir64");
    real_closedir = (int (*)(DIR*))dlsym(RTLD_NEXT, "closedir");
}

// The open streams of the chosen directory, each with how many entries it has given.
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct {
    DIR* stream;
    int given;
} held[MOST_HELD];

// Whether `stream` reads the chosen directory. Leaves errno as it was, which the caller
// of readdir looks at to tell the end of a directory from a failure.
static int chosen(DIR* stream) {
    const char* wanted = getenv("RUBO_FAIL_READING");
    if (wanted == NULL) return 0;
    const int saved = errno;
    char link[64], path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd(stream));
    const ssize_t length = readlink(link, path, sizeof path - 1);
    errno = saved;
    if (length < 0) return 0;
    path[length] = '\0';
    return strcmp(path, wanted) == 0;
}

// Counts one more entry read from `stream`; whether the reading is to fail instead.
static int fails_now(DIR* stream) {
    if (!chosen(stream)) return 0;
    pthread_mutex_lock(&lock);
    int slot = 0, free_slot = -1;
    while (slot < MOST_HELD && held[slot].stream != stream) {
        if (held[slot].stream == NULL && free_slot < 0) free_slot = slot;
        ++slot;
    }
    if (slot == MOST_HELD) {
        if (free_slot < 0) abort();  // more streams of one directory than a test opens
        slot = free_slot;
        held[slot].stream = stream;
        held[slot].given = 0;
    }
    const int fails = held[slot].given >= ENTRIES_BEFORE_FAILURE;
    if (!fails) ++held[slot].given;
    pthread_mutex_unlock(&lock);
    if (fails) errno = EIO;
    return fails;
}

struct dirent* readdir(DIR* stream) {
    return fails_now(stream) ? NULL : real_readdir(stream);
}

struct dirent64* readdir64(DIR* stream) {
    return fails_now(stream) ? NULL : real_readdir64(stream);
}

int closedir(DIR* stream) {
    pthread_mutex_lock(&lock);
    for (int slot = 0; slot < MOST_HELD; ++slot)
        if (held[slot].stream == stream) held[slot].stream = NULL;
    pthread_mutex_unlock(&lock);
    return real_closedir(stream);
}
