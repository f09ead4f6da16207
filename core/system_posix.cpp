// core/system_posix.cpp
// Clock, random source, thread id and locks for the native build.
#include "core/system.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "core/heap.h"

void local_time_now(LocalTime* out) {
    const time_t now = time(nullptr);
    struct tm t = {};
    localtime_r(&now, &t);
    out->year = t.tm_year + 1900;
    out->month = t.tm_mon + 1;
    out->day = t.tm_mday;
    out->hour = t.tm_hour;
    out->minute = t.tm_min;
    out->second = t.tm_sec;
    out->utc_offset_minutes = (int)(t.tm_gmtoff / 60);
}

uint64_t clock_milliseconds() {
    struct timespec ts = {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
}

bool random_fill(void* bytes, int count) {
    if (count <= 0) return true;
    const int fd = open("/dev/urandom", O_RDONLY);
    if (fd < 0) return false;
    char* p = static_cast<char*>(bytes);
    int done = 0;
    while (done < count) {
        const ssize_t n = read(fd, p + done, (size_t)(count - done));
        if (n <= 0) break;
        done += (int)n;
    }
    close(fd);
    return done == count;
}

unsigned current_thread_id() {
    return (unsigned)syscall(SYS_gettid);
}

struct Lock {
    pthread_mutex_t mutex;
};

Lock* lock_create() {
    Lock* lock = static_cast<Lock*>(mem_alloc(sizeof(Lock)));
    if (lock) pthread_mutex_init(&lock->mutex, nullptr);
    return lock;
}

void lock_enter(Lock* lock) {
    pthread_mutex_lock(&lock->mutex);
}

void lock_leave(Lock* lock) {
    pthread_mutex_unlock(&lock->mutex);
}

void lock_destroy(Lock* lock) {
    if (!lock) return;
    pthread_mutex_destroy(&lock->mutex);
    mem_free(lock);
}

struct LaterCall {
    void (*fn)();
    unsigned ms;
};

static void* later_thread(void* parameter) {
    const LaterCall call = *static_cast<LaterCall*>(parameter);
    mem_free(parameter);
    struct timespec wait = {(time_t)(call.ms / 1000), (long)(call.ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
    call.fn();
    return nullptr;
}

bool run_later(void (*fn)(), unsigned ms) {
    LaterCall* call = static_cast<LaterCall*>(mem_alloc(sizeof(LaterCall)));
    if (!call) return false;
    call->fn = fn;
    call->ms = ms;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, later_thread, call) != 0) {
        mem_free(call);
        return false;
    }
    pthread_detach(thread);
    return true;
}
