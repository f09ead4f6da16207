// core/system_win32.cpp
// Clock, random source, thread id and locks on Win32.
#include "core/system.h"

#include <windows.h>

#include "core/heap.h"
#include "core/library.h"

void local_time_now(LocalTime* out) {
    SYSTEMTIME t = {};
    GetLocalTime(&t);
    out->year = t.wYear;
    out->month = t.wMonth;
    out->day = t.wDay;
    out->hour = t.wHour;
    out->minute = t.wMinute;
    out->second = t.wSecond;
    // Bias is UTC minus local time in minutes; daylight saving adds its own bias.
    TIME_ZONE_INFORMATION tz = {};
    const DWORD mode = GetTimeZoneInformation(&tz);
    LONG bias = tz.Bias;
    if (mode == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
    else if (mode == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
    out->utc_offset_minutes = mode == TIME_ZONE_ID_INVALID ? 0 : -(int)bias;
}

uint64_t clock_milliseconds() {
    LARGE_INTEGER frequency = {}, now = {};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    if (frequency.QuadPart == 0) return GetTickCount();
    return (uint64_t)(now.QuadPart / (frequency.QuadPart / 1000 ? frequency.QuadPart / 1000 : 1));
}

bool random_fill(void* bytes, int count) {
    // RtlGenRandom is exported by advapi32 under the name SystemFunction036.
    typedef BOOLEAN(WINAPI * GenRandom)(PVOID, ULONG);
    static GenRandom gen = nullptr;
    if (!gen) gen = reinterpret_cast<GenRandom>(system_library_function(L"advapi32.dll", "SystemFunction036"));
    if (count <= 0) return true;
    return gen && gen(bytes, (ULONG)count);
}

unsigned current_thread_id() {
    return GetCurrentThreadId();
}

struct Lock {
    CRITICAL_SECTION section;
};

Lock* lock_create() {
    Lock* lock = static_cast<Lock*>(mem_alloc(sizeof(Lock)));
    if (lock) InitializeCriticalSection(&lock->section);
    return lock;
}

void lock_enter(Lock* lock) {
    EnterCriticalSection(&lock->section);
}

void lock_leave(Lock* lock) {
    LeaveCriticalSection(&lock->section);
}

void lock_destroy(Lock* lock) {
    if (!lock) return;
    DeleteCriticalSection(&lock->section);
    mem_free(lock);
}

struct LaterCall {
    void (*fn)();
    unsigned ms;
};

static DWORD WINAPI later_thread(void* parameter) {
    const LaterCall call = *static_cast<LaterCall*>(parameter);
    mem_free(parameter);
    Sleep(call.ms);
    call.fn();
    return 0;
}

bool run_later(void (*fn)(), unsigned ms) {
    LaterCall* call = static_cast<LaterCall*>(mem_alloc(sizeof(LaterCall)));
    if (!call) return false;
    call->fn = fn;
    call->ms = ms;
    // It only sleeps and makes one call: a small stack keeps the 32-bit address space free.
    HANDLE thread = CreateThread(nullptr, 64 * 1024, later_thread, call, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        mem_free(call);
        return false;
    }
    CloseHandle(thread);
    return true;
}
