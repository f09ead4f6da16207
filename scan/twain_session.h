// scan/twain_session.h
// One TWAIN scan session on the scan thread: finds and opens the chosen source through
// the managers that listed it, negotiates the settings in a fixed order, enables it, runs
// the transfer loop and reports one result. The thread owns and frees its ScanJob.
#ifndef ZAN_SCAN_TWAIN_SESSION_H
#define ZAN_SCAN_TWAIN_SESSION_H

#include <windows.h>

#include "app/settings.h"
#include "core/wide_string.h"
#include "scan/device_list.h"
#include "scan/twain.h"
#include "scan/twain_host.h"

// The scan thread's copy of the chosen device and the settings, and the text record of
// its result message, reserved with the job so that the result can always be posted.
struct ScanJob {
    DeviceEntry device;
    ScanSettings settings;
    WideString* result;
};

struct TwainSession {
    DsmConnection dsm;
    TW_IDENTITY source;
    ScanSettings settings;
    bool source_open;
    bool source_enabled;
    bool transfer_started;
    bool finished;
    bool cancelled;
    int pages;
    HWND main_window;
    HWND host_window;
    // The source's TWAIN state as the session knows it: 3 closed, 4 open, 5 enabled,
    // 6 transfer ready, 7 transferring.
    int source_state;
    // Above zero while the session's own sequence runs. A driver may pump this thread's
    // messages inside any call, so the host window then only records what arrives; the
    // session acts on it once the sequence has returned.
    int busy;
    bool cancel_request;
    TW_UINT16 close_request;  // MSG_CLOSEDSREQ or MSG_CLOSEDSOK, 0 for none
    bool ready_request;
    WideString* result;       // the job's reserved result text
};

// The most transfer rounds one loop runs (one more than a round 2000).
const int TWAIN_MAX_ROUNDS = 2001;
// The most identities read from one manager while looking for a device.
const int TWAIN_MAX_SOURCES = 512;

// The scan thread body; param is a ScanJob that the thread frees.
DWORD WINAPI scan_thread(void* param);
// The procedure of the "ZanTwainHost" windows: source events and cancel for the session.
LRESULT CALLBACK twain_session_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif
