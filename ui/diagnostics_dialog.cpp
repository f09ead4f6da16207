// ui/diagnostics_dialog.cpp
#include "ui/diagnostics_dialog.h"

#include "app/log.h"
#include "app/strings.h"
#include "app/version.h"
#include "core/file.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_layout.h"
#include "ui/icons.h"
#include "ui/theme.h"

namespace {

enum { ID_REPORT = 101, ID_COPY = 31, ID_OPEN_LOG = 32, ID_RUN_AGAIN = 33 };

struct DiagnosticsState {
    DiagnosticsReportSource make_report;
};

void fill_report(HWND dialog, const DiagnosticsState* state) {
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    WideString report = state->make_report ? state->make_report() : WideString{};
    WideString text = diagnostics_view_text(text_of(report), log_path());
    SetDlgItemTextW(dialog, ID_REPORT, text_of(text));
    release(&text);
    release(&report);
    SetCursor(old);
}

void copy_to_clipboard(HWND dialog) {
    HWND edit = GetDlgItem(dialog, ID_REPORT);
    const int length = GetWindowTextLengthW(edit);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, ((size_t)length + 1) * sizeof(wchar_t));
    if (!block) return;
    wchar_t* text = static_cast<wchar_t*>(GlobalLock(block));
    if (!text) {
        GlobalFree(block);
        return;
    }
    GetWindowTextW(edit, text, length + 1);
    GlobalUnlock(block);
    if (!OpenClipboard(dialog)) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    // The clipboard owns the block once it is accepted.
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
    CloseClipboard();
}

bool diagnostics_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    if (msg != WM_COMMAND) return false;
    const DiagnosticsState* state = reinterpret_cast<DiagnosticsState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!state) return false;
    switch (LOWORD(wp)) {
    case ID_COPY: copy_to_clipboard(dialog); break;
    case ID_OPEN_LOG: shell_open(log_path()); break;
    case ID_RUN_AGAIN: fill_report(dialog, state); break;
    default: return false;
    }
    *result = 0;
    return true;
}

}  // namespace

WideString diagnostics_view_text(const wchar_t* report, const wchar_t* path) {
    WideString joined = {};
    append(&joined, report);
    append(&joined, L"\n\nLog: ");
    append(&joined, path);
    append(&joined, L"\n");
    WideString out = {};
    reserve(&out, joined.length + joined.length / 8 + 16);
    const wchar_t* p = text_of(joined);
    for (int i = 0; i < joined.length; ++i) {
        if (p[i] == L'\n' && (i == 0 || p[i - 1] != L'\r')) append_char(&out, L'\r');
        append_char(&out, p[i]);
    }
    release(&joined);
    return out;
}

WideString diagnostics_report_pending() {
    WideString report = {};
    append(&report, L"=== Zan Group Scanner ");
    append(&report, kVersionText);
    append(&report, L" diagnostics ===\r\nThe driver checks are not included in this build.\r\n");
    return report;
}

void diagnostics_dialog(HWND owner, DiagnosticsReportSource make_report) {
    const RowButton buttons[4] = {row_button_of(IDOK, 109, ICON_CLOSE, BUTTON_PRIMARY),
                                  row_button_of(ID_COPY, 131, ICON_COPY, BUTTON_SECONDARY),
                                  row_button_of(ID_OPEN_LOG, 132, ICON_FOLDER, BUTTON_SECONDARY),
                                  row_button_of(ID_RUN_AGAIN, 133, ICON_REFRESH, BUTTON_SECONDARY)};
    int needed[4];
    row_needed_widths(buttons, 4, needed);
    int width = scaled(760);
    const int row_width = button_row_width(kDiagnosticsButtons, 4, needed, ui_dpi());
    if (row_width > width) width = row_width;
    HWND dialog = dialog_create(owner, tr(130), width, scaled(560));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    const DiagnosticsLayout l = diagnostics_layout(client.right, client.bottom, needed, ui_dpi(), interface_language());
    DiagnosticsState state = {make_report};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, diagnostics_hook);
    HWND report = make_text_view(dialog, ID_REPORT, false, false);
    place_control(report, l.report);
    SendMessageW(report, EM_SETLIMITTEXT, 0, 0);
    const RECT rects[4] = {l.close, l.copy, l.open_log, l.run_again};
    HWND made[4] = {};
    make_row_buttons(dialog, buttons, 4, rects, made);
    apply_default_font(dialog);
    fill_report(dialog, &state);
    dialog_set_initial_focus(dialog, made[0]);
    dialog_run(dialog, owner);
}
