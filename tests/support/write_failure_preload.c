// A library for LD_PRELOAD (Linux) that makes standard output a pipe whose reader goes
// away part way: once RUBO_FAIL_OUTPUT_AFTER bytes have been written to descriptor 1,
// every further write there raises SIGPIPE and fails with EPIPE, as a write to a pipe
// with no reader does. The bytes before that point go through, a write that reaches it
// in part. So a test knows exactly what the program got out before the reader went.

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

static ssize_t (*real_write)(int, const void*, size_t);
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static long long left = -1;  // bytes that may still go out; -1 for no limit

__attribute__((constructor)) static void find_real_write(void) {
    real_write = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    const char* limit = getenv("RUBO_FAIL_OUTPUT_AFTER");
    if (limit != NULL) left = atoll(limit);
}

ssize_t write(int descriptor, const void* bytes, size_t size) {
    if (descriptor != STDOUT_FILENO || left < 0) return real_write(descriptor, bytes, size);
    pthread_mutex_lock(&lock);
    const size_t allowed = (size_t)left < size ? (size_t)left : size;
    ssize_t written = -1;
    if (allowed > 0 || size == 0) {
        written = real_write(descriptor, bytes, allowed);
        if (written > 0) left -= written;
    }
    pthread_mutex_unlock(&lock);
    if (written >= 0) return written;
    raise(SIGPIPE);
    errno = EPIPE;
    return -1;
}
