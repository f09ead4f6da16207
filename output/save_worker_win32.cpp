// output/save_worker_win32.cpp
// The worker thread and its messages to the main window. The save-running flag changes
// only by atomic exchange; it is cleared before the final message is posted, so the
// window may start the next save as soon as it hears that this one ended.
#include "output/save_worker.h"

#include <windows.h>

#include "core/heap.h"
#include "image/codec.h"
#include "output/save_naming.h"

bool save_encode_image(const PageImage* page, int format, int quality, ByteBuffer* out) {
    return codec_startup() && codec_encode_page(page, format == SAVE_FORMAT_JPG ? CODEC_FORMAT_JPEG : CODEC_FORMAT_PNG,
                                               quality, out);
}

namespace {

volatile LONG g_running = 0;

struct ThreadJob {
    SaveJob job;
    HWND owner;
    const wchar_t* (*text)(int id);
    void (*log)(const wchar_t* line);
    unsigned done_wparam;
    WideString* done_text;   // held back until the flag is clear
};

void post_to_window(HWND owner, unsigned message, unsigned wparam, WideString* text) {
    // A window that is gone cannot take the text over; it is freed here instead.
    if (!PostMessageW(owner, message, wparam, reinterpret_cast<LPARAM>(text))) save_message_text_free(text);
}

void thread_post(void* context, unsigned message, unsigned wparam, WideString* text) {
    ThreadJob* t = static_cast<ThreadJob*>(context);
    if (message == SAVE_MESSAGE_DONE) {
        save_message_text_free(t->done_text);
        t->done_wparam = wparam;
        t->done_text = text;
        return;
    }
    post_to_window(t->owner, message, wparam, text);
}

void thread_log(void* context, const wchar_t* line) {
    ThreadJob* t = static_cast<ThreadJob*>(context);
    if (t->log) t->log(line);
}

const wchar_t* thread_text(void* context, int id) {
    ThreadJob* t = static_cast<ThreadJob*>(context);
    return t->text ? t->text(id) : L"";
}

void free_thread_job(ThreadJob* t) {
    release(&t->job.target);
    save_settings_release(&t->job.settings);
    mem_free(t);
}

DWORD WINAPI save_thread(void* parameter) {
    ThreadJob* t = static_cast<ThreadJob*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    save_run(&t->job);
    if (SUCCEEDED(com)) CoUninitialize();
    const HWND owner = t->owner;
    const unsigned wparam = t->done_wparam;
    WideString* text = t->done_text;
    free_thread_job(t);
    InterlockedExchange(&g_running, 0);
    post_to_window(owner, SAVE_MESSAGE_DONE, wparam, text);
    return 0;
}

WideString* new_text(const wchar_t* text) {
    WideString* s = static_cast<WideString*>(mem_alloc(sizeof(WideString)));
    if (s) *s = wide_copy(text);
    return s;
}

}  // namespace

bool save_is_running() {
    return InterlockedCompareExchange(&g_running, 0, 0) != 0;
}

bool save_start(HWND__* owner, const SavePages& pages, const SaveSettings& settings, const wchar_t* target,
                const wchar_t* (*text)(int id), void (*log)(const wchar_t* line)) {
    if (InterlockedExchange(&g_running, 1) != 0) return false;
    ThreadJob* t = static_cast<ThreadJob*>(mem_alloc(sizeof(ThreadJob)));
    bool ok = t != nullptr;
    if (ok) {
        t->owner = owner;
        t->text = text;
        t->log = log;
        t->job.receiver = SaveReceiver{t, thread_post, thread_log, thread_text};
        t->job.pages = pages;
        t->job.ocr = save_default_ocr();
        t->job.target = wide_copy(target);
        ok = t->job.target.data && save_settings_copy(settings, &t->job.settings);
    }
    HANDLE thread = ok ? CreateThread(nullptr, 0, save_thread, t, 0, nullptr) : nullptr;
    if (thread) {
        CloseHandle(thread);
        return true;
    }
    if (t) free_thread_job(t);
    InterlockedExchange(&g_running, 0);
    post_to_window(owner, SAVE_MESSAGE_DONE, 0, new_text(L"CreateThread failed"));
    return true;
}
