// net/folder_watch.cpp
// The folder-watch worker on ReadDirectoryChangesW.
#include "net/folder_watch.h"

#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/system.h"
#include "net/net_post.h"
#include "net/net_report.h"

// The current watch: its stop event and number. Setting and closing an event happen
// under the lock, so the worker cannot close the event while the interface sets it.
static Lock* g_lock = nullptr;
static HANDLE g_stop = nullptr;
static unsigned g_current = 0;
static unsigned g_counter = 0;
static int g_running = 0;   // workers that have not posted yet

static BOOL CALLBACK create_watch_lock(PINIT_ONCE, PVOID, PVOID*) {
    g_lock = lock_create();
    return g_lock != nullptr;
}

static Lock* watch_lock() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, create_watch_lock, nullptr, nullptr);
    return g_lock;
}

struct FolderWatchJob {
    HWND owner;
    WideString folder;
    HANDLE stop;
    unsigned number;
    unsigned timeout_ms;
};

void folder_watch_result_free(FolderWatchResult* result) {
    if (!result) return;
    release(&result->text);
    mem_free(result);
}

bool folder_watch_name_counts(const wchar_t* name, int length) {
    return length > 0 && name[0] != L'.';
}

static void set_error(FolderWatchResult* result, unsigned error) {
    result->status = WATCH_ERROR;
    result->error = error;
    release(&result->text);
    result->text = system_error_text(error);
}

// The first counting name of one buffer of notifications, into result; false when none.
static bool first_new_file(const uint8_t* buffer, DWORD size, const wchar_t* folder, FolderWatchResult* result) {
    DWORD offset = 0;
    while (offset + sizeof(FILE_NOTIFY_INFORMATION) <= size + sizeof(WCHAR)) {
        const FILE_NOTIFY_INFORMATION* n = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
        const int length = (int)(n->FileNameLength / sizeof(WCHAR));
        if ((n->Action == FILE_ACTION_ADDED || n->Action == FILE_ACTION_RENAMED_NEW_NAME) &&
            folder_watch_name_counts(n->FileName, length)) {
            WideString name = wide_copy(n->FileName, length);
            WideString path = path_join(folder, text_of(name));
            const bool is_file = file_exists(text_of(path));
            release(&path);
            if (is_file) {
                result->status = WATCH_FILE_ARRIVED;
                release(&result->text);
                result->text = name;
                return true;
            }
            release(&name);
        }
        if (n->NextEntryOffset == 0) break;
        offset += n->NextEntryOffset;
    }
    return false;
}

static void watch(const FolderWatchJob* job, FolderWatchResult* result) {
    HANDLE folder = CreateFileW(text_of(job->folder), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        set_error(result, GetLastError());
        return;
    }
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD* buffer = static_cast<DWORD*>(mem_alloc(16384));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = done;
    const DWORD filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
    const DWORD start = GetTickCount();
    bool reading = done && buffer && ReadDirectoryChangesW(folder, buffer, 16384, FALSE, filter, nullptr, &overlapped, nullptr);
    if (!reading) set_error(result, done && buffer ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY);
    while (reading) {
        HANDLE events[2] = {job->stop, done};
        const DWORD signalled = WaitForMultipleObjects(2, events, FALSE, 1000);
        if (signalled == WAIT_OBJECT_0) {
            result->status = WATCH_STOPPED;
            break;
        }
        if (signalled != WAIT_OBJECT_0 + 1) {
            if (GetTickCount() - start > job->timeout_ms) {
                result->status = WATCH_TIMED_OUT;
                break;
            }
            continue;
        }
        DWORD size = 0;
        GetOverlappedResult(folder, &overlapped, &size, FALSE);
        if (size > 0 && first_new_file(reinterpret_cast<uint8_t*>(buffer), size, text_of(job->folder), result)) {
            reading = false;
            break;
        }
        ResetEvent(done);
        if (!ReadDirectoryChangesW(folder, buffer, 16384, FALSE, filter, nullptr, &overlapped, nullptr)) {
            set_error(result, GetLastError());
            reading = false;
        }
    }
    CancelIo(folder);
    if (done) {
        DWORD ignored = 0;
        GetOverlappedResult(folder, &overlapped, &ignored, TRUE);
        CloseHandle(done);
    }
    mem_free(buffer);
    CloseHandle(folder);
}

static void post_result(HWND owner, unsigned number, FolderWatchResult* result) {
    if (!net_post_record(owner, WM_FOLDER_WATCH_DONE, number, result)) folder_watch_result_free(result);
}

static DWORD WINAPI folder_watch_worker(void* parameter) {
    FolderWatchJob* job = static_cast<FolderWatchJob*>(parameter);
    FolderWatchResult* result = static_cast<FolderWatchResult*>(mem_alloc(sizeof(FolderWatchResult)));
    if (result) watch(job, result);
    // The slot forgets this watch and its event is closed under the lock: a stop from the
    // interface either sets it before this point or finds the slot empty.
    Lock* lock = watch_lock();
    lock_enter(lock);
    if (g_stop == job->stop) {
        g_stop = nullptr;
        g_current = 0;
    }
    CloseHandle(job->stop);
    lock_leave(lock);
    if (result) post_result(job->owner, job->number, result);
    release(&job->folder);
    mem_free(job);
    lock_enter(lock);
    --g_running;
    lock_leave(lock);
    return 0;
}

// Sets the current stop event and forgets it; false when no watch was current.
static bool stop_current() {
    Lock* lock = watch_lock();
    lock_enter(lock);
    const bool had = g_stop != nullptr;
    if (had) SetEvent(g_stop);
    g_stop = nullptr;
    g_current = 0;
    lock_leave(lock);
    return had;
}

void folder_watch_stop() {
    stop_current();
}

unsigned folder_watch_current() {
    Lock* lock = watch_lock();
    lock_enter(lock);
    const unsigned current = g_current;
    lock_leave(lock);
    return current;
}

unsigned folder_watch_start(HWND owner, const wchar_t* folder, unsigned timeout_ms) {
    folder_watch_stop();
    FolderWatchJob* job = static_cast<FolderWatchJob*>(mem_alloc(sizeof(FolderWatchJob)));
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Lock* lock = watch_lock();
    lock_enter(lock);
    const unsigned number = ++g_counter;
    lock_leave(lock);
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (job && stop) {
        job->owner = owner;
        job->folder = wide_copy(folder);
        job->stop = stop;
        job->number = number;
        job->timeout_ms = timeout_ms;
        lock_enter(lock);
        g_stop = stop;
        g_current = number;
        ++g_running;
        lock_leave(lock);
        HANDLE thread = CreateThread(nullptr, 0, folder_watch_worker, job, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            return number;
        }
        error = GetLastError();
        lock_enter(lock);
        if (g_stop == stop) {
            g_stop = nullptr;
            g_current = 0;
        }
        --g_running;
        lock_leave(lock);
        release(&job->folder);
    } else if (!stop) {
        error = GetLastError();
    }
    if (stop) CloseHandle(stop);
    mem_free(job);
    FolderWatchResult* result = static_cast<FolderWatchResult*>(mem_alloc(sizeof(FolderWatchResult)));
    if (result) {
        set_error(result, error);
        post_result(owner, number, result);
    }
    return number;
}

void folder_watch_stop_and_drain(HWND owner) {
    stop_current();
    // A stopped worker posts its last result within a wait step; up to two seconds.
    Lock* lock = watch_lock();
    for (int i = 0; i < 100; ++i) {
        lock_enter(lock);
        const int running = g_running;
        lock_leave(lock);
        if (running == 0) break;
        Sleep(20);
    }
    MSG msg;
    while (PeekMessageW(&msg, owner, WM_FOLDER_WATCH_DONE, WM_FOLDER_WATCH_DONE, PM_REMOVE))
        folder_watch_result_free(reinterpret_cast<FolderWatchResult*>(msg.lParam));
}
