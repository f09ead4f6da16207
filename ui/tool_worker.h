// ui/tool_worker.h
// Runs one long file operation of a dialog (a merge, a split) on a worker thread so the
// dialog keeps answering. The worker reports to the dialog's window: TOOL_WORKER_PROGRESS
// before each item (wParam index, lParam count) and one TOOL_WORKER_DONE when the job has
// returned. The dialog owns the job record and the ToolWorker; the worker only fills the
// job's results, which the dialog reads after tool_worker_join.
#ifndef ZAN_UI_TOOL_WORKER_H
#define ZAN_UI_TOOL_WORKER_H

#include <windows.h>

const UINT TOOL_WORKER_PROGRESS = WM_APP + 70;
const UINT TOOL_WORKER_DONE = WM_APP + 71;

typedef void (*ToolJob)(void* job);

struct ToolWorker {
    HANDLE thread;
    HWND window;
    ToolJob run;
    void* job;
    volatile LONG cancel;   // set by the dialog, read by the operation between items
};

// Starts run(job) on a new thread; false (nothing started) when one is still running or
// the thread cannot be made.
bool tool_worker_start(ToolWorker* worker, HWND window, ToolJob run, void* job);
bool tool_worker_busy(const ToolWorker* worker);
// Asks the running operation to stop before its next file or page.
void tool_worker_cancel(ToolWorker* worker);
bool tool_worker_cancelled(const ToolWorker* worker);
// Waits for the thread to end and forgets it (nothing when none runs).
void tool_worker_join(ToolWorker* worker);

#endif
