// net/folder_watch.h
// Watches the scan folder for the first new file after the share setup: a worker reports
// the file's name, five quiet minutes, a stop, or an error with one WM_APP+62. One watch
// is current at a time; starting another stops the previous one.
#ifndef ZAN_NET_FOLDER_WATCH_H
#define ZAN_NET_FOLDER_WATCH_H

#include <windows.h>

#include "core/wide_string.h"

const UINT WM_FOLDER_WATCH_DONE = WM_APP + 62;

enum FolderWatchStatus { WATCH_ERROR = -1, WATCH_TIMED_OUT = 0, WATCH_FILE_ARRIVED = 1, WATCH_STOPPED = 2 };

// Posted with WM_APP+62: wParam the watch number, lParam this record, which the receiver
// frees with folder_watch_result_free.
struct FolderWatchResult {
    int status;
    WideString text;      // the file name (arrived), the system message (error), else empty
    unsigned error;       // the system error code of an error
};
void folder_watch_result_free(FolderWatchResult* result);

// Returns the number of the new watch. `timeout_ms` is five minutes in the program.
const unsigned FOLDER_WATCH_TIMEOUT_MS = 300000;
unsigned folder_watch_start(HWND owner, const wchar_t* folder, unsigned timeout_ms = FOLDER_WATCH_TIMEOUT_MS);
void folder_watch_stop();
// Stops the current watch, waits briefly for it to end and removes its pending results
// from the owner's queue (freeing them). For the wizard's Stop and Close.
void folder_watch_stop_and_drain(HWND owner);
// The number of the current watch, 0 when none: a result whose number differs is stale.
unsigned folder_watch_current();

// True for a notification name that counts as a new file: not empty, no leading dot.
bool folder_watch_name_counts(const wchar_t* name, int length);

#endif
