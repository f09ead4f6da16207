// core/system.h
// Clock, random source, thread id and a lock: the remaining platform services that the
// document code needs, so it never includes a platform header itself.
#ifndef ZAN_CORE_SYSTEM_H
#define ZAN_CORE_SYSTEM_H

#include <stdint.h>

struct LocalTime {
    int year, month, day, hour, minute, second;
    // Local time minus UTC in minutes (east of Greenwich positive), daylight saving included.
    int utc_offset_minutes;
};
void local_time_now(LocalTime* out);

// Milliseconds from an arbitrary fixed point; for measuring durations.
uint64_t clock_milliseconds();

// Fills count bytes from the system's cryptographic random generator. False if the
// generator is not available; the bytes are then unspecified.
bool random_fill(void* bytes, int count);

unsigned current_thread_id();

// Calls fn once, on a thread of its own, about ms milliseconds from now. False if no
// thread could be started (fn is then never called).
bool run_later(void (*fn)(), unsigned ms);

// A mutual-exclusion lock. lock_create returns null when out of memory.
struct Lock;
Lock* lock_create();
void lock_enter(Lock* lock);
void lock_leave(Lock* lock);
void lock_destroy(Lock* lock);

#endif
