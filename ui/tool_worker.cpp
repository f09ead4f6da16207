// ui/tool_worker.cpp
#include "ui/tool_worker.h"

#include "output/pdf_writer.h"

namespace {

// The PDF tools report progress and ask about cancelling through plain functions; each
// worker thread finds its own record here.
thread_local ToolWorker* t_worker = nullptr;

void report(int index, int count) {
    if (t_worker) PostMessageW(t_worker->window, TOOL_WORKER_PROGRESS, (WPARAM)index, (LPARAM)count);
}

bool cancel_requested() {
    return t_worker && InterlockedCompareExchange(&t_worker->cancel, 0, 0) != 0;
}

DWORD WINAPI worker_main(void* parameter) {
    ToolWorker* worker = static_cast<ToolWorker*>(parameter);
    t_worker = worker;
    pdf_set_progress_callback(report);
    pdf_set_cancel_check(cancel_requested);
    worker->run(worker->job);
    pdf_set_cancel_check(nullptr);
    pdf_set_progress_callback(nullptr);
    t_worker = nullptr;
    PostMessageW(worker->window, TOOL_WORKER_DONE, 0, 0);
    return 0;
}

}  // namespace

bool tool_worker_start(ToolWorker* worker, HWND window, ToolJob run, void* job) {
    if (!worker || !run || worker->thread) return false;
    worker->window = window;
    worker->run = run;
    worker->job = job;
    InterlockedExchange(&worker->cancel, 0);
    worker->thread = CreateThread(nullptr, 0, worker_main, worker, 0, nullptr);
    return worker->thread != nullptr;
}

bool tool_worker_busy(const ToolWorker* worker) {
    return worker && worker->thread && WaitForSingleObject(worker->thread, 0) == WAIT_TIMEOUT;
}

void tool_worker_cancel(ToolWorker* worker) {
    if (worker) InterlockedExchange(&worker->cancel, 1);
}

bool tool_worker_cancelled(const ToolWorker* worker) {
    return worker && InterlockedCompareExchange(const_cast<volatile LONG*>(&worker->cancel), 0, 0) != 0;
}

void tool_worker_join(ToolWorker* worker) {
    if (!worker || !worker->thread) return;
    WaitForSingleObject(worker->thread, INFINITE);
    CloseHandle(worker->thread);
    worker->thread = nullptr;
}
