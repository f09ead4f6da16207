// ui/tool_dialog.h
// What the merge and split dialogs share while their worker runs: the progress bar, the
// Close button that reads Cancel (then Cancelling...) and stops the work, the busy cursor,
// and the warning that words a PdfMessage in the interface language.
#ifndef ZAN_UI_TOOL_DIALOG_H
#define ZAN_UI_TOOL_DIALOG_H

#include <windows.h>

#include "output/pdf_message.h"
#include "ui/common_dialogs.h"
#include "ui/tool_worker.h"

const int TOOL_PROGRESS_ID = 4100;

// The width the Close button needs in either language for Close, Cancel and Cancelling...
int tool_close_needed_width(const RowButton& close);
// A hidden progress bar (TOOL_PROGRESS_ID) at r.
void tool_make_progress(HWND dialog, const RECT& r);
// Shows the progress bar and Cancel while busy; the bar hidden and Close otherwise.
void tool_show_busy(HWND dialog, bool busy);
// The worker's messages and the busy cursor: true when msg was one of them (result set).
// done is called for TOOL_WORKER_DONE.
bool tool_handle_worker_message(HWND dialog, bool busy, UINT msg, WPARAM wp, LPARAM lp, void (*done)(HWND),
                                LRESULT* result);
// Close or Escape while busy: asks the worker to stop (once) and says so on the button.
void tool_request_cancel(HWND dialog, ToolWorker* worker);
// A warning with the message in the interface language, or "This PDF could not be read."
// when it has no text.
void tool_warn(HWND dialog, const PdfMessage& message);

#endif
