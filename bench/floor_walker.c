/* The floor of a recursive deletion by pattern: the least a program must do to delete
 * every file whose name ends in a suffix below a directory, on one or more threads.
 *
 *     floor_walker DIRECTORY SUFFIX THREADS
 *
 * Each thread takes a directory from a shared queue, reads it with readdir, puts each
 * subdirectory on the queue, and for each matching file takes its size (fstatat, as a
 * tool that tells the total must) and removes it (unlinkat), both relative to the open
 * directory. It prints the count of files deleted and their total size. No identity is
 * checked, nothing is told per file and no order is kept: the benchmark's measure of
 * what the system itself costs. */

#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct queue {
    pthread_mutex_t lock;
    pthread_cond_t more;
    char **paths;
    size_t count, capacity;
    int busy; /* threads reading a directory, which may add to the queue */
};

static struct queue queue = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, NULL, 0, 0, 0};
static const char *suffix;
static size_t suffix_length;
static long long deleted, total_size;

static void push(char *path) {
    if (queue.count == queue.capacity) {
        queue.capacity = queue.capacity ? 2 * queue.capacity : 1024;
        queue.paths = realloc(queue.paths, queue.capacity * sizeof *queue.paths);
        if (queue.paths == NULL) abort();
    }
    queue.paths[queue.count++] = path;
}

static void walk(const char *path, long long *files, long long *size) {
    DIR *directory = opendir(path);
    if (directory == NULL) return;
    const int descriptor = dirfd(directory);
    const size_t length = strlen(path);
    struct dirent *entry;
    while ((entry = readdir(directory)) != NULL) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (entry->d_type == DT_DIR) {
            char *below = malloc(length + strlen(name) + 2);
            if (below == NULL) abort();
            sprintf(below, "%s/%s", path, name);
            pthread_mutex_lock(&queue.lock);
            push(below);
            pthread_cond_signal(&queue.more);
            pthread_mutex_unlock(&queue.lock);
            continue;
        }
        const size_t name_length = strlen(name);
        if (name_length < suffix_length || strcmp(name + name_length - suffix_length, suffix) != 0) continue;
        struct stat status;
        if (fstatat(descriptor, name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (unlinkat(descriptor, name, 0) == 0) {
            ++*files;
            *size += status.st_size;
        }
    }
    closedir(directory);
}

static void *work(void *unused) {
    (void)unused;
    long long files = 0, size = 0;
    pthread_mutex_lock(&queue.lock);
    for (;;) {
        while (queue.count == 0 && queue.busy > 0) pthread_cond_wait(&queue.more, &queue.lock);
        if (queue.count == 0) break;
        char *path = queue.paths[--queue.count];
        ++queue.busy;
        pthread_mutex_unlock(&queue.lock);
        walk(path, &files, &size);
        free(path);
        pthread_mutex_lock(&queue.lock);
        if (--queue.busy == 0 && queue.count == 0) pthread_cond_broadcast(&queue.more);
    }
    deleted += files;
    total_size += size;
    pthread_mutex_unlock(&queue.lock);
    return NULL;
}

int main(int argc, char **argv) {
    if (argc != 4 || atoi(argv[3]) < 1) {
        fprintf(stderr, "usage: floor_walker DIRECTORY SUFFIX THREADS\n");
        return 2;
    }
    suffix = argv[2];
    suffix_length = strlen(suffix);
    const int threads = atoi(argv[3]);
    push(strdup(argv[1]));
    pthread_t *started = calloc((size_t)threads, sizeof *started);
    if (started == NULL) abort();
    for (int i = 1; i < threads; ++i) pthread_create(&started[i], NULL, work, NULL);
    work(NULL);
    for (int i = 1; i < threads; ++i) pthread_join(started[i], NULL);
    printf("%lld files deleted, %lld bytes\n", deleted, total_size);
    return 0;
}
