// ui/dialog_frame.h
// The frame of every modal dialog (class ZanDlg) and the modal loop. A dialog carries
// two window properties: "zanctx", its result and done flag (owned by the frame), and
// "zanhook", the dialog's own message handler. Escape and the close box reach that
// handler as WM_COMMAND IDCANCEL, so a busy dialog can refuse to close.
#ifndef ZAN_UI_DIALOG_FRAME_H
#define ZAN_UI_DIALOG_FRAME_H

#include <windows.h>

// The dialog's own handler: sees every message first; returning true supplies *result.
typedef bool (*DialogHook)(HWND dialog, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

bool register_dialog_class(HINSTANCE instance);

// ---- placement (pure)
// The window rectangle of a dialog: the window (client plus what the frame adds, frame_w
// and frame_h) limited to the work area less the margin, centred on the owner (or the work
// area when there is none) and kept inside the work area.
RECT dialog_placement(const RECT& work_area, const RECT* owner_rect, int client_w, int client_h, int frame_w,
                      int frame_h, int margin);

// ---- the dialog's life
// A hidden ZanDlg with the given title and client size in pixels, with a fresh context
// (result 0, not done); null on failure.
HWND dialog_create(HWND owner, const wchar_t* title, int client_w, int client_h);
void dialog_set_hook(HWND dialog, DialogHook hook);
// The control that gets the keyboard focus when the dialog appears.
void dialog_set_initial_focus(HWND dialog, HWND control);
// Stores the result, sets the done flag and wakes the loop.
void dialog_end(HWND dialog, int result);
// Shows the dialog modally over a disabled owner, runs until dialog_end, destroys the
// dialog and returns its result. A quit message ends the loop and is posted again.
int dialog_run(HWND dialog, HWND owner);
// True while the dialog runs and has not been ended.
bool dialog_is_open(HWND dialog);

// Every dialog's fallback for WM_COMMAND: OK (1) ends the dialog with 1, Cancel (2) with 0.
bool dialog_command_default(HWND dialog, UINT msg, WPARAM wp);

#endif
