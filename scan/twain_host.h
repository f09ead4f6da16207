// scan/twain_host.h
// Loading, opening and closing a TWAIN source manager (twain_32.dll or TWAINDSM.dll), the
// hidden host window of a worker thread, and the start of the enumeration and scan
// threads. A DsmConnection lives on its worker's stack and never outlives that thread.
#ifndef ZAN_SCAN_TWAIN_HOST_H
#define ZAN_SCAN_TWAIN_HOST_H

#include <windows.h>

#include "app/settings.h"
#include "core/wide_string.h"
#include "image/page_image.h"
#include "scan/device_list.h"
#include "scan/twain.h"

// ---- private window messages (WM_APP + n); lParam objects belong to the receiver
const UINT WM_SCAN_PAGE = WM_APP + 10;       // lParam: new PageImage
const UINT WM_SCAN_DONE = WM_APP + 11;       // wParam: 1 success; lParam: new WideString
const UINT WM_DEVICE_LIST = WM_APP + 12;     // wParam: enumeration mode; lParam: DeviceList
const UINT WM_SCAN_STATUS = WM_APP + 13;     // lParam: new WideString
const UINT WM_TWAIN_EVENT = WM_APP + 100;    // to the scan host window; wParam: TWAIN message
const UINT WM_SCAN_CANCEL = WM_APP + 101;    // to the scan host window

const int DSM_TWAIN32 = 1;
const int DSM_TWAINDSM = 2;

struct DsmConnection {
    HMODULE module;
    DsmEntryProc entry;
    int dsm_number;
    TW_IDENTITY app_identity;
    bool is_open;
    WideString path;
    HWND parent;
    // A 2.x manager's entry points (DAT_ENTRYPOINT, asked for after MSG_OPENDSM); all null
    // for a 1.x manager, whose memory is global memory.
    TW_ENTRYPOINT entry_points;
};

// ---- one manager
// Loads manager 1 (twain_32.dll) or 2 (TWAINDSM.dll) by the search order and fills the
// application identity. On failure the connection is left unloaded.
bool dsm_load(int dsm_number, DsmConnection* dsm, WideString* error);
// MSG_OPENDSM against parent; logs the outcome. A 2.x manager is then asked for its
// entry points (DAT_ENTRYPOINT).
bool dsm_open(DsmConnection* dsm, HWND parent, WideString* error);
// MSG_CLOSEDSM when open, then unloads; frees the path. Safe on an unloaded connection.
void dsm_close(DsmConnection* dsm);
// DSM_Entry through the connection (false-safe: TWRC_FAILURE when nothing is loaded).
TW_UINT16 dsm_call(DsmConnection* dsm, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                   TW_MEMREF data);
// The condition code of the manager (source null) or of a source; -1 when unreadable.
int dsm_status(DsmConnection* dsm, TW_IDENTITY* source);
// ---- memory handed to and received from sources (capability containers): the 2.x
// manager's functions when it gave them, global memory otherwise. The allocation is zeroed.
TW_HANDLE dsm_mem_alloc(const DsmConnection* dsm, TW_UINT32 size);
void dsm_mem_free(const DsmConnection* dsm, TW_HANDLE handle);
void* dsm_mem_lock(const DsmConnection* dsm, TW_HANDLE handle);
void dsm_mem_unlock(const DsmConnection* dsm, TW_HANDLE handle);

// "twain_32.dll" or "TWAINDSM.dll".
const wchar_t* dsm_file_name(int dsm_number);
// The text of a LoadLibrary failure of path with the system's error code.
void dsm_load_error_text(const wchar_t* path, unsigned error_code, WideString* out);

// ---- worker plumbing
// Registers the "ZanTwainHost" class once per process; callers that arrive together wait
// for the first. The worker starts call it before their thread exists.
bool twain_host_class_register();
// A hidden "ZanTwainHost" window owned by the calling thread, or null.
HWND twain_host_window_create();
// The window that receives the workers' messages (the main window, or zancli's).
void twain_set_report_window(HWND window);
HWND twain_report_window();
// Posts a message whose lParam object changes owner; when the post fails the object is
// freed here (free_object), so it never leaks.
bool post_owned(UINT message, WPARAM wparam, void* object, void (*free_object)(void*));
// Frees a posted heap WideString (a result or status text).
void free_posted_text(void* object);
// Posts a copy of text as a status line (WM_SCAN_STATUS).
void post_scan_status(const wchar_t* text);
// Posts page number `number` (WM_SCAN_PAGE; the page changes owner, or is freed when the
// post fails) and its status line "Scanning... page" (id 143) with the number. False when
// the page could not be posted.
bool post_scan_page(PageImage* page, int number);

// ---- the two worker threads (Parts of enumeration and scanning)
// Starts an enumeration (mode 0 refresh, 1 TWAIN selection, 2 WIA selection). False when
// the thread could not start.
bool start_enumeration(bool show_all_wia, int mode);
// Starts a scan of a copy of device with a copy of settings unless one runs. True only
// when the thread started; the caller then waits for exactly one WM_SCAN_DONE.
bool start_scan(const DeviceEntry& device, const ScanSettings& settings);
// Cancels the running scan (the flag and a WM_SCAN_CANCEL to the scan host window).
void scan_cancel();
// True while a scan thread runs.
bool scan_is_running();

#endif
