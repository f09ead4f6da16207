// ui/tool_dialog.cpp
#include "ui/tool_dialog.h"

#include <commctrl.h>

#include "app/strings.h"
#include "ui/controls.h"
#include "ui/icons.h"

int tool_close_needed_width(const RowButton& close) {
    const RowButton captions[3] = {close, row_button_of(close.id, 108, close.icon, close.kind),
                                   row_button_of(close.id, 192, close.icon, close.kind)};
    int needed[3];
    row_needed_widths(captions, 3, needed);
    int widest = 0;
    for (int w : needed) widest = w > widest ? w : widest;
    return widest;
}

void tool_make_progress(HWND dialog, const RECT& r) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 10, 10, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(TOOL_PROGRESS_ID)),
                               GetModuleHandleW(nullptr), nullptr);
    place_control(bar, r);
}

void tool_show_busy(HWND dialog, bool busy) {
    HWND progress = GetDlgItem(dialog, TOOL_PROGRESS_ID);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    ShowWindow(progress, busy ? SW_SHOW : SW_HIDE);
    button_set_caption(GetDlgItem(dialog, IDCANCEL), tr(busy ? 108 : 109), -2);
    SetFocus(GetDlgItem(dialog, busy ? IDCANCEL : IDOK));
}

bool tool_handle_worker_message(HWND dialog, bool busy, UINT msg, WPARAM wp, LPARAM lp, void (*done)(HWND),
                                LRESULT* result) {
    switch (msg) {
    case TOOL_WORKER_PROGRESS: {
        HWND progress = GetDlgItem(dialog, TOOL_PROGRESS_ID);
        SendMessageW(progress, PBM_SETRANGE32, 0, lp > 0 ? lp : 1);
        SendMessageW(progress, PBM_SETPOS, wp, 0);
        *result = 0;
        return true;
    }
    case TOOL_WORKER_DONE:
        done(dialog);
        *result = 0;
        return true;
    case WM_SETCURSOR:
        if (!busy) return false;
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        *result = TRUE;
        return true;
    default: return false;
    }
}

void tool_request_cancel(HWND dialog, ToolWorker* worker) {
    if (tool_worker_cancelled(worker)) return;
    tool_worker_cancel(worker);
    button_set_caption(GetDlgItem(dialog, IDCANCEL), tr(192), -2);
}

void tool_warn(HWND dialog, const PdfMessage& message) {
    WideString text = {};
    pdf_message_text(&message, interface_language(), tr_in, &text);
    message_box(dialog, text.length > 0 ? text_of(text) : tr(129), true);
    release(&text);
}
