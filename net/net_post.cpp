// net/net_post.cpp
#include "net/net_post.h"

#include "core/system.h"

static const wchar_t kClosedProp[] = L"zanmailclosed";
static Lock* g_post_lock = nullptr;

static BOOL CALLBACK create_post_lock(PINIT_ONCE, PVOID, PVOID*) {
    g_post_lock = lock_create();
    return g_post_lock != nullptr;
}

static Lock* post_lock() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, create_post_lock, nullptr, nullptr);
    return g_post_lock;
}

bool net_post_record(HWND owner, UINT msg, WPARAM wp, void* record) {
    Lock* lock = post_lock();
    if (!lock) return false;
    lock_enter(lock);
    const bool posted = owner && IsWindow(owner) && !GetPropW(owner, kClosedProp) &&
                        PostMessageW(owner, msg, wp, reinterpret_cast<LPARAM>(record));
    lock_leave(lock);
    return posted;
}

void net_mailbox_close(HWND window) {
    Lock* lock = post_lock();
    if (lock) lock_enter(lock);
    SetPropW(window, kClosedProp, reinterpret_cast<HANDLE>(1));
    if (lock) lock_leave(lock);
}

int net_mailbox_drain(HWND window, UINT msg, void (*free_record)(void* record)) {
    int count = 0;
    MSG queued;
    while (PeekMessageW(&queued, window, msg, msg, PM_REMOVE)) {
        free_record(reinterpret_cast<void*>(queued.lParam));
        ++count;
    }
    return count;
}
