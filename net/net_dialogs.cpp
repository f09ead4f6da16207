// net/net_dialogs.cpp
// The connection check, the firewall dialog, the saved setup view and the Scan-to-Folder
// wizard. Each dialog keeps its state in one record on the opener's stack (reached
// through GWLP_USERDATA), handles its messages in a thin hook and leaves every decision
// to net_dialog_logic. A dialog closes its mailbox when it is destroyed and frees what
// the workers had already queued, so no record is lost with the window.
#include "net/net_dialogs.h"

#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "net/connection_check.h"
#include "net/net_dialog_layout.h"
#include "net/net_dialog_logic.h"
#include "net/net_dialog_services.h"
#include "net/net_post.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

// ---- shared pieces

void free_connection_record(void* record) {
    connection_check_result_free(static_cast<ConnectionCheckResult*>(record));
}
void free_share_record(void* record) {
    share_setup_result_free(static_cast<ShareSetupResult*>(record));
}
void free_watch_record(void* record) {
    folder_watch_result_free(static_cast<FolderWatchResult*>(record));
}

// From here on no worker posts to the dialog; what is queued already is freed.
void close_mailbox(HWND dialog) {
    net_mailbox_close(dialog);
    net_mailbox_drain(dialog, WM_CONNECTION_CHECK_DONE, free_connection_record);
    net_mailbox_drain(dialog, WM_SHARE_SETUP_DONE, free_share_record);
    net_mailbox_drain(dialog, WM_FOLDER_WATCH_DONE, free_watch_record);
}

void set_view_text(HWND dialog, int id, const wchar_t* text) {
    WideString shown = net_view_text(text, interface_language());
    SetDlgItemTextW(dialog, id, text_of(shown));
    release(&shown);
}

HWND text_view(HWND dialog, int id, const RECT& r, const wchar_t* text) {
    HWND view = make_text_view(dialog, id, true, true);
    place_control(view, r);
    SendMessageW(view, EM_SETLIMITTEXT, 0, 0);
    if (text) set_view_text(dialog, id, text);
    return view;
}

// Labels get ids of their own (201 on) so each control of a dialog is told apart.
HWND label(HWND dialog, const RECT& r, const wchar_t* text, bool semibold, int id) {
    HWND control = make_label(dialog, id, text, SS_LEFT);
    place_control(control, r);
    if (semibold && control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_SEMIBOLD)), FALSE);
    return control;
}

HWND button(HWND dialog, int id, int text_id, int icon, int kind, const RECT& r) {
    return make_button(dialog, id, tr(text_id), icon, kind, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

HWND edit(HWND dialog, int id, const RECT& r, const wchar_t* text, int limit) {
    HWND control = make_edit(dialog, id, false);
    place_control(control, r);
    SendMessageW(control, EM_LIMITTEXT, limit, 0);
    SetWindowTextW(control, text);
    return control;
}

WideString item_text(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    WideString text = {};
    reserve(&text, length + 1);
    if (text.data) {
        GetWindowTextW(control, text.data, length + 1);
        text.length = (int)text_length(text.data);
    }
    return text;
}

void enable(HWND dialog, int id, bool on) {
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}

void open_machine_page(HWND owner, const wchar_t* address, const NetDialogServices* s) {
    if (!is_valid_ipv4(address)) {
        message_box(owner, tr(219), true);
        return;
    }
    WideString url = {};
    assign(&url, L"http://");
    append(&url, address);
    s->shell_open(s->context, text_of(url));
    release(&url);
}

// Opens a folder that exists; a refusing shell gives id 268.
void open_folder(HWND owner, const wchar_t* folder, const NetDialogServices* s) {
    if (!s->share->folder_exists(s->share->context, folder)) {
        message_box(owner, tr(270), true);
        return;
    }
    if (!s->shell_open(s->context, folder)) message_box(owner, tr(268), true);
}

// ---- machine connection check

enum { ID_ADDRESS = 101, ID_RESULTS = 102, ID_TIP = 103, ID_CHECK = 31, ID_OPEN_PAGE = 32 };

struct ConnectionState {
    const NetDialogServices* services;
    ConnectionDialogLayout layout;
    bool running;
};

void connection_paint(HWND dialog, const ConnectionState* state) {
    PaintBuffer buffer;
    HDC dc = dialog_paint_begin(dialog, &buffer);
    const ConnectionDialogLayout& l = state->layout;
    fill_solid(dc, l.band, COLOR_TINT_HOVER);
    draw_icon(dc, ICON_NETWORK, l.icon.left, l.icon.top, l.icon.right - l.icon.left, COLOR_ACCENT);
    draw_text(dc, tr(207), l.title, ui_font(FONT_HEADING), COLOR_INK, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    paint_end(&buffer);
}

void connection_check_now(HWND dialog, ConnectionState* state) {
    if (state->running) return;
    WideString address = item_text(dialog, ID_ADDRESS);
    if (address.length == 0) {
        message_box(dialog, tr(219), true);
    } else {
        state->running = true;
        enable(dialog, ID_CHECK, false);
        set_view_text(dialog, ID_RESULTS, tr(212));
        state->services->connection_check_start(state->services->context, dialog, text_of(address));
    }
    release(&address);
}

bool connection_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    ConnectionState* state = reinterpret_cast<ConnectionState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!state) return false;
    *result = 0;
    switch (msg) {
    case WM_PAINT: connection_paint(dialog, state); return true;
    case WM_CONNECTION_CHECK_DONE: {
        ConnectionCheckResult* r = reinterpret_cast<ConnectionCheckResult*>(lp);
        state->running = false;
        enable(dialog, ID_CHECK, true);
        WideString text = {};
        if (r) connection_results_text(*r, interface_language(), &text);
        else assign(&text, tr(219));
        set_view_text(dialog, ID_RESULTS, text_of(text));
        release(&text);
        connection_check_result_free(r);
        return true;
    }
    case WM_DESTROY: close_mailbox(dialog); return false;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case ID_CHECK: connection_check_now(dialog, state); return true;
        case ID_OPEN_PAGE: {
            WideString address = item_text(dialog, ID_ADDRESS);
            open_machine_page(dialog, text_of(address), state->services);
            release(&address);
            return true;
        }
        case IDOK:
        case IDCANCEL:
            if (!state->running) dialog_end(dialog, 0);
            return true;
        }
        return false;
    }
    return false;
}

// ---- firewall

enum { ID_FW_STATUS = 101, ID_LOCK = 31, ID_RESTORE = 32, ID_RUN_AGAIN = 33 };

struct FirewallState {
    const NetDialogServices* services;
    FirewallDialogLayout layout;
    bool busy;
};

void firewall_paint(HWND dialog, const FirewallState* state) {
    PaintBuffer buffer;
    HDC dc = dialog_paint_begin(dialog, &buffer);
    const FirewallDialogLayout& l = state->layout;
    draw_icon(dc, ICON_SHIELD, l.icon.left, l.icon.top, l.icon.right - l.icon.left, COLOR_ACCENT);
    draw_text(dc, tr(223), l.title, ui_font(FONT_HEADING), COLOR_INK, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    paint_end(&buffer);
}

void firewall_refresh(HWND dialog, const FirewallState* state) {
    WideString text = {};
    firewall_status_view(state->services->firewall, interface_language(), &text);
    set_view_text(dialog, ID_FW_STATUS, text_of(text));
    release(&text);
}

void firewall_act(HWND dialog, FirewallState* state, FirewallAction action) {
    if (state->busy) return;
    const bool confirmed = confirm_box(dialog, tr(action == FIREWALL_LOCK ? 225 : 226));
    state->busy = true;
    enable(dialog, ID_LOCK, false);
    enable(dialog, ID_RESTORE, false);
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    NetReport report = {};
    const bool ok =
        firewall_dialog_action(action, confirmed, state->services->firewall, state->services->elevation, &report);
    SetCursor(old);
    state->busy = false;
    enable(dialog, ID_LOCK, true);
    enable(dialog, ID_RESTORE, true);
    firewall_refresh(dialog, state);
    NetMessage message = {};
    firewall_outcome_message(action, ok, report, interface_language(), &message);
    if (message.kind != NET_MESSAGE_NONE) message_box(dialog, text_of(message.text), message.kind == NET_MESSAGE_WARNING);
    net_message_release(&message);
    report_release(&report);
}

bool firewall_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    FirewallState* state = reinterpret_cast<FirewallState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!state) return false;
    *result = 0;
    if (msg == WM_PAINT) {
        firewall_paint(dialog, state);
        return true;
    }
    if (msg != WM_COMMAND) return false;
    switch (LOWORD(wp)) {
    case ID_LOCK: firewall_act(dialog, state, FIREWALL_LOCK); return true;
    case ID_RESTORE: firewall_act(dialog, state, FIREWALL_RESTORE); return true;
    case ID_RUN_AGAIN: firewall_refresh(dialog, state); return true;
    case IDOK:
    case IDCANCEL: dialog_end(dialog, 0); return true;
    }
    return false;
}

// ---- saved setup

enum { ID_DETAILS = 104, ID_SAVED_OPEN = 35, ID_RESETUP = 37 };

struct SavedState {
    const NetDialogServices* services;
    const SavedScanFolder* saved;
};

bool saved_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    SavedState* state = reinterpret_cast<SavedState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!state || msg != WM_COMMAND) return false;
    *result = 0;
    switch (LOWORD(wp)) {
    case ID_SAVED_OPEN: open_folder(dialog, text_of(state->saved->folder), state->services); return true;
    case ID_RESETUP: dialog_end(dialog, 1); return true;
    case IDOK:
    case IDCANCEL: dialog_end(dialog, 0); return true;
    }
    return false;
}

int saved_setup_dialog(HWND owner, const SavedScanFolder& saved, const NetDialogServices* services) {
    HWND dialog = dialog_create(owner, tr(236), scaled(SAVED_SETUP_DIALOG_W), scaled(SAVED_SETUP_DIALOG_H));
    if (!dialog) return 0;
    RECT client;
    GetClientRect(dialog, &client);
    const SavedSetupLayout l = saved_setup_layout(client.right, client.bottom, ui_dpi(), interface_language());
    SavedState state = {services, &saved};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, saved_hook);
    label(dialog, l.title, tr(236), true, 201);
    label(dialog, l.note, tr(277), false, 202);
    WideString details = {};
    share_details_text(text_of(saved.folder), text_of(saved.computer), text_of(saved.ip), text_of(saved.unc),
                       text_of(saved.user), text_of(saved.password), saved.everyone, false, interface_language(), &details);
    text_view(dialog, ID_DETAILS, l.details, text_of(details));
    release(&details);
    button(dialog, ID_SAVED_OPEN, 263, ICON_FOLDER, BUTTON_SECONDARY, l.open_folder);
    button(dialog, ID_RESETUP, 276, ICON_REFRESH, BUTTON_SECONDARY, l.resetup);
    HWND close = button(dialog, IDOK, 109, ICON_CLOSE, BUTTON_PRIMARY, l.close);
    dialog_set_initial_focus(dialog, close);
    return dialog_run(dialog, owner);
}

// ---- Scan-to-Folder wizard

enum {
    ID_LOCATION = 101, ID_SHARE = 102, ID_MACHINE_IP = 103, ID_EXPLANATION = 104, ID_STATUS = 105, ID_PASSWORD = 106,
    ID_PREVIEW = 107, ID_HINT = 108, ID_BROWSE = 31, ID_CREATE = 32, ID_COPY = 33, ID_WIZARD_PAGE = 34,
    ID_OPEN_FOLDER = 35, ID_WATCH = 36, ID_DEDICATED = 41, ID_EVERYONE = 42
};

// The buttons a successful setup enables.
const int kAfterSetup[] = {ID_COPY, ID_OPEN_FOLDER, ID_WATCH};

struct WizardState {
    const NetDialogServices* services;
    bool last_success;
    bool everyone;
    bool busy;
    bool watching;
    unsigned watch_number;
    ShareSetupResult result;   // a copy of the last successful setup
};

void wizard_set_status(HWND dialog, const wchar_t* text) {
    set_view_text(dialog, ID_STATUS, text);
}

void wizard_update_preview(HWND dialog) {
    WideString location = item_text(dialog, ID_LOCATION), preview = {};
    wizard_preview_text(text_of(location), interface_language(), &preview);
    set_view_text(dialog, ID_PREVIEW, text_of(preview));
    release(&preview);
    release(&location);
}

void wizard_mode_changed(HWND dialog) {
    const bool everyone = IsDlgButtonChecked(dialog, ID_EVERYONE) == BST_CHECKED;
    set_view_text(dialog, ID_EXPLANATION, tr(everyone ? 243 : 264));
    enable(dialog, ID_PASSWORD, !everyone);
    enable(dialog, ID_HINT, !everyone);
}

void wizard_show_watch(HWND dialog, WizardState* state, bool on) {
    state->watching = on;
    button_set_caption(GetDlgItem(dialog, ID_WATCH), tr(on ? 259 : 257), on ? ICON_CLOSE : ICON_DONE);
    if (on) wizard_set_status(dialog, tr(258));
}

void wizard_details(const WizardState* state, WideString* out) {
    const ShareSetupResult& r = state->result;
    share_details_text(text_of(r.folder), text_of(r.computer), text_of(r.ip), text_of(r.unc), text_of(r.user),
                       text_of(r.password), r.everyone != 0, r.existing_account != 0, interface_language(), out);
}

void wizard_create(HWND dialog, WizardState* state) {
    if (state->busy) return;
    WideString location = item_text(dialog, ID_LOCATION), share = item_text(dialog, ID_SHARE),
               password = item_text(dialog, ID_PASSWORD);
    const bool everyone = IsDlgButtonChecked(dialog, ID_EVERYONE) == BST_CHECKED;
    const int problem = wizard_input_problem(text_of(location), text_of(share), everyone, text_of(password));
    const NetDialogServices* s = state->services;
    WideString folder = wizard_full_folder(text_of(location));
    bool go = problem == 0;
    if (!go) message_box(dialog, tr(problem), true);
    if (go && everyone) go = confirm_box(dialog, tr(243));
    if (go) {
        const unsigned error = s->share->ensure_folder(s->share->context, text_of(folder));
        if (error != 0) {
            WideString text = {}, code = {};
            format(&code, L"Error %u", error);
            assign(&text, tr(268));
            append(&text, L"\r\n");
            append(&text, text_of(folder));
            append(&text, L"\r\n");
            append(&text, text_of(code));
            message_box(dialog, text_of(text), true);
            release(&code);
            release(&text);
            go = false;
        }
    }
    if (go) {
        state->busy = true;
        state->last_success = false;
        share_setup_result_clear(&state->result);
        const int locked[] = {ID_CREATE, ID_COPY, ID_OPEN_FOLDER, ID_WATCH};
        for (int id : locked) enable(dialog, id, false);
        wizard_set_status(dialog, tr(245));
        s->share_setup_start(s->context, dialog, text_of(folder), text_of(share), everyone,
                             everyone ? L"" : text_of(password));
    }
    WideString* all[] = {&location, &share, &password, &folder};
    for (WideString* w : all) release(w);
}

void copy_result(ShareSetupResult* to, const ShareSetupResult& from) {
    to->success = from.success;
    to->everyone = from.everyone;
    to->existing_account = from.existing_account;
    to->error = from.error;
    const WideString* src[] = {&from.folder, &from.share, &from.computer, &from.ip, &from.unc, &from.user, &from.password};
    WideString* dst[] = {&to->folder, &to->share, &to->computer, &to->ip, &to->unc, &to->user, &to->password};
    for (int i = 0; i < 7; ++i) assign(dst[i], text_of(*src[i]));
}

void wizard_share_done(HWND dialog, WizardState* state, ShareSetupResult* r) {
    const NetDialogServices* s = state->services;
    wizard_settle_result(r, s->share);
    state->busy = false;
    state->last_success = r->success != 0;
    state->everyone = r->everyone != 0;
    enable(dialog, ID_CREATE, true);
    for (int id : kAfterSetup) enable(dialog, id, state->last_success);
    WideString text = {};
    if (r->success) {
        copy_result(&state->result, *r);
        wizard_details(state, &text);
        set_view_text(dialog, ID_EXPLANATION, text_of(text));
        s->save_setup(s->context, *r);
        wizard_success_status(text_of(r->folder), interface_language(), &text);
        wizard_set_status(dialog, text_of(text));
        if (!s->shell_open(s->context, text_of(r->folder))) message_box(dialog, tr(268), true);
    } else {
        wizard_failure_explanation(*r, interface_language(), &text);
        set_view_text(dialog, ID_EXPLANATION, text_of(text));
        wizard_set_status(dialog, tr(260));
        if (password_rejected_by_policy(r->error)) message_box(dialog, tr(274), true);
    }
    release(&text);
    share_setup_result_free(r);
}

void wizard_watch(HWND dialog, WizardState* state) {
    const NetDialogServices* s = state->services;
    if (state->watching) {
        s->folder_watch_stop_and_drain(s->context, dialog);
        wizard_show_watch(dialog, state, false);
        wizard_set_status(dialog, tr(260));
        return;
    }
    wizard_show_watch(dialog, state, true);
    state->watch_number = s->folder_watch_start(s->context, dialog, text_of(state->result.folder));
}

void wizard_watch_done(HWND dialog, WizardState* state, unsigned number, FolderWatchResult* r) {
    // A result of an earlier watch (stopped, replaced) says nothing about the current one.
    if (r && state->watching && number == state->watch_number) {
        wizard_show_watch(dialog, state, false);
        WideString text = {};
        wizard_watch_status(*r, interface_language(), &text);
        wizard_set_status(dialog, text_of(text));
        release(&text);
    }
    folder_watch_result_free(r);
}

void wizard_browse(HWND dialog) {
    WideString location = item_text(dialog, ID_LOCATION);
    if (choose_folder(dialog, tr(237), &location)) {
        SetDlgItemTextW(dialog, ID_LOCATION, text_of(location));
        wizard_update_preview(dialog);
    }
    release(&location);
}

bool wizard_command(HWND dialog, WizardState* state, int id, int code) {
    const NetDialogServices* s = state->services;
    switch (id) {
    case ID_LOCATION:
        if (code == EN_CHANGE) wizard_update_preview(dialog);
        return code == EN_CHANGE;
    case ID_BROWSE: wizard_browse(dialog); return true;
    case ID_WIZARD_PAGE: {
        WideString address = item_text(dialog, ID_MACHINE_IP);
        open_machine_page(dialog, text_of(address), s);
        release(&address);
        return true;
    }
    case ID_DEDICATED:
    case ID_EVERYONE: wizard_mode_changed(dialog); return true;
    case ID_CREATE: wizard_create(dialog, state); return true;
    case ID_COPY: {
        WideString text = {};
        wizard_details(state, &text);
        s->copy_text(s->context, dialog, text_of(text));
        release(&text);
        wizard_set_status(dialog, tr(254));
        return true;
    }
    case ID_OPEN_FOLDER:
        if (state->last_success) open_folder(dialog, text_of(state->result.folder), s);
        else message_box(dialog, tr(270), true);
        return true;
    case ID_WATCH: wizard_watch(dialog, state); return true;
    case IDOK:
    case IDCANCEL:
        if (state->busy) return true;
        s->folder_watch_stop_and_drain(s->context, dialog);
        state->watching = false;
        dialog_end(dialog, 0);
        return true;
    }
    return false;
}

bool wizard_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    WizardState* state = reinterpret_cast<WizardState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!state) return false;
    *result = 0;
    switch (msg) {
    case WM_COMMAND: return wizard_command(dialog, state, LOWORD(wp), HIWORD(wp));
    case WM_SHARE_SETUP_DONE: wizard_share_done(dialog, state, reinterpret_cast<ShareSetupResult*>(lp)); return true;
    case WM_FOLDER_WATCH_DONE:
        wizard_watch_done(dialog, state, (unsigned)wp, reinterpret_cast<FolderWatchResult*>(lp));
        return true;
    case WM_DESTROY:
        // Ended another way (a quit message) while watching: the watch goes with the dialog.
        if (state->watching) state->services->folder_watch_stop_and_drain(state->services->context, dialog);
        close_mailbox(dialog);
        return false;
    }
    return false;
}

HWND radio(HWND dialog, int id, int text_id, const RECT& r, bool first) {
    const bool arabic = interface_language() == LANGUAGE_ARABIC;
    WideString text = {};
    if (arabic) append_char(&text, 0x202B);
    append(&text, tr(text_id));
    if (arabic) append_char(&text, 0x202C);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (first ? WS_GROUP : 0) |
                        (arabic ? (DWORD)(BS_LEFTTEXT | BS_RIGHT) : 0);
    HWND control = CreateWindowExW(arabic ? WS_EX_RTLREADING | WS_EX_RIGHT : 0, L"BUTTON", text_of(text), style, r.left,
                                   r.top, r.right - r.left, r.bottom - r.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    release(&text);
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_NORMAL)), FALSE);
    return control;
}

void share_wizard(HWND owner, const NetDialogServices* s) {
    HWND dialog = dialog_create(owner, tr(236), scaled(WIZARD_DIALOG_W), scaled(WIZARD_DIALOG_H));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    // The watch button's caption changes: it needs the longer of its two.
    const RowButton grown[WIZARD_NEEDS + 1] = {row_button_of(ID_BROWSE, 110, ICON_FOLDER, BUTTON_SECONDARY),
                                               row_button_of(ID_COPY, 253, ICON_COPY, BUTTON_SECONDARY),
                                               row_button_of(ID_WATCH, 257, ICON_DONE, BUTTON_SUCCESS),
                                               row_button_of(ID_WATCH, 259, ICON_CLOSE, BUTTON_SUCCESS)};
    int needed[WIZARD_NEEDS + 1];
    row_needed_widths(grown, WIZARD_NEEDS + 1, needed);
    if (needed[WIZARD_NEEDS] > needed[WIZARD_NEED_WATCH]) needed[WIZARD_NEED_WATCH] = needed[WIZARD_NEEDS];
    const WizardLayout l = wizard_layout(client.right, client.bottom, ui_dpi(), interface_language(), needed);
    WizardState state = {};
    state.services = s;
    label(dialog, l.title, tr(236), true, 201);
    label(dialog, l.location_label, tr(237), false, 202);
    label(dialog, l.share_label, tr(238), false, 203);
    WideString documents = s->documents_folder(s->context), address = s->suggest_machine_address(s->context);
    HWND location = edit(dialog, ID_LOCATION, l.location, text_of(documents), MAX_PATH);
    button(dialog, ID_BROWSE, 110, ICON_FOLDER, BUTTON_SECONDARY, l.browse);
    edit(dialog, ID_SHARE, l.share, L"ZanScans", 32);
    text_view(dialog, ID_PREVIEW, l.preview, nullptr);
    label(dialog, l.ip_label, tr(239), false, 204);
    edit(dialog, ID_MACHINE_IP, l.ip, text_of(address), 64);
    button(dialog, ID_WIZARD_PAGE, 210, ICON_WEB, BUTTON_SECONDARY, l.open_page);
    label(dialog, l.mode_label, tr(240), true, 205);
    radio(dialog, ID_DEDICATED, 241, l.dedicated, true);
    radio(dialog, ID_EVERYONE, 242, l.everyone, false);
    CheckRadioButton(dialog, ID_DEDICATED, ID_EVERYONE, ID_DEDICATED);
    label(dialog, l.password_label, tr(272), false, 206);
    label(dialog, l.password_hint, tr(273), false, ID_HINT);
    edit(dialog, ID_PASSWORD, l.password, L"", 16);
    button(dialog, ID_CREATE, 244, ICON_SHIELD, BUTTON_PRIMARY, l.create);
    button(dialog, ID_COPY, 253, ICON_COPY, BUTTON_SECONDARY, l.copy);
    text_view(dialog, ID_EXPLANATION, l.explanation, tr(264));
    text_view(dialog, ID_STATUS, l.status, tr(260));
    button(dialog, ID_OPEN_FOLDER, 263, ICON_FOLDER, BUTTON_SECONDARY, l.open_folder);
    button(dialog, ID_WATCH, 257, ICON_DONE, BUTTON_SUCCESS, l.watch);
    button(dialog, IDOK, 109, ICON_CLOSE, BUTTON_PRIMARY, l.close);
    for (int id : kAfterSetup) enable(dialog, id, false);
    release(&documents);
    release(&address);
    wizard_update_preview(dialog);
    // The state is attached last, so the edits' first change notifications pass unseen.
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, wizard_hook);
    dialog_set_initial_focus(dialog, location);
    dialog_run(dialog, owner);
    share_setup_result_clear(&state.result);
}

// ---- the Windows services

WideString windows_suggest(void*) { return suggest_machine_address(); }
WideString windows_documents(void*) { return documents_folder(); }
void windows_check(void*, HWND owner, const wchar_t* address) {
    connection_check_start(owner, address, connection_plan_default());
}
void windows_share(void*, HWND owner, const wchar_t* folder, const wchar_t* share, bool everyone, const wchar_t* password) {
    share_setup_start(owner, folder, share, everyone, password);
}
unsigned windows_watch(void*, HWND owner, const wchar_t* folder) { return folder_watch_start(owner, folder); }
void windows_watch_stop(void*, HWND owner) { folder_watch_stop_and_drain(owner); }
bool windows_shell_open(void*, const wchar_t* target) { return shell_open(target); }
void windows_load(void*, SavedScanFolder* out) { scan_folder_load(out); }
bool windows_save(void*, const ShareSetupResult& r) { return scan_folder_save(r); }
void windows_copy(void*, HWND owner, const wchar_t* text) { copy_text_to_clipboard(owner, text); }

}  // namespace

const NetDialogServices* net_dialog_services_windows() {
    static const NetDialogServices services = {
        nullptr,         firewall_system_windows(), elevation_system_windows(), share_system_windows(),
        windows_suggest, windows_documents,         windows_check,              windows_share,
        windows_watch,   windows_watch_stop,        windows_shell_open,         windows_load,
        windows_save,    windows_copy};
    return &services;
}

void copy_text_to_clipboard(HWND owner, const wchar_t* text) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    const size_t units = text_length(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, units * sizeof(wchar_t));
    wchar_t* copy = block ? static_cast<wchar_t*>(GlobalLock(block)) : nullptr;
    if (copy) {
        for (size_t i = 0; i + 1 < units; ++i) copy[i] = text[i];
        copy[units - 1] = 0;
        GlobalUnlock(block);
        // The clipboard owns the block once it is accepted.
        if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
    } else if (block) {
        GlobalFree(block);
    }
    CloseClipboard();
}

void connection_check_dialog_with(HWND owner, const wchar_t* address, const NetDialogServices* s) {
    HWND dialog = dialog_create(owner, tr(207), scaled(CONNECTION_DIALOG_W), scaled(CONNECTION_DIALOG_H));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    ConnectionState state = {s, connection_dialog_layout(client.right, client.bottom, ui_dpi(), interface_language()),
                             false};
    const ConnectionDialogLayout& l = state.layout;
    label(dialog, l.label, tr(208), true, 201);
    WideString suggested = {};
    if (address && address[0]) assign(&suggested, address);
    else suggested = s->suggest_machine_address(s->context);
    HWND edit_control = edit(dialog, ID_ADDRESS, l.address, text_of(suggested), 64);
    release(&suggested);
    SendMessageW(edit_control, EM_SETSEL, 0, -1);
    button(dialog, ID_CHECK, 209, ICON_DIAGNOSTICS, BUTTON_PRIMARY, l.check);
    button(dialog, ID_OPEN_PAGE, 210, ICON_WEB, BUTTON_SECONDARY, l.open_page);
    text_view(dialog, ID_TIP, l.tip, tr(211));
    text_view(dialog, ID_RESULTS, l.results, tr(220));
    button(dialog, IDOK, 109, ICON_CLOSE, BUTTON_PRIMARY, l.close);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, connection_hook);
    dialog_set_initial_focus(dialog, edit_control);
    dialog_run(dialog, owner);
}

void firewall_dialog_with(HWND owner, const NetDialogServices* s) {
    HWND dialog = dialog_create(owner, tr(223), scaled(FIREWALL_DIALOG_W), scaled(FIREWALL_DIALOG_H));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    const RowButton grown[2] = {row_button_of(ID_LOCK, 222, ICON_WARNING, BUTTON_DANGER),
                                row_button_of(ID_RESTORE, 224, ICON_SHIELD, BUTTON_SUCCESS)};
    int needed[2];
    row_needed_widths(grown, 2, needed);
    FirewallState state = {s, firewall_dialog_layout(client.right, client.bottom, ui_dpi(), interface_language(), needed),
                           false};
    const FirewallDialogLayout& l = state.layout;
    text_view(dialog, ID_FW_STATUS, l.status, nullptr);
    button(dialog, ID_LOCK, 222, ICON_WARNING, BUTTON_DANGER, l.lock);
    button(dialog, ID_RESTORE, 224, ICON_SHIELD, BUTTON_SUCCESS, l.restore);
    button(dialog, ID_RUN_AGAIN, 133, ICON_REFRESH, BUTTON_SECONDARY, l.run_again);
    label(dialog, l.note, tr(233), false, 201);
    HWND close = button(dialog, IDOK, 109, ICON_CLOSE, BUTTON_PRIMARY, l.close);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, firewall_hook);
    firewall_refresh(dialog, &state);
    dialog_set_initial_focus(dialog, close);
    dialog_run(dialog, owner);
}

void share_wizard_entry_with(HWND owner, const NetDialogServices* s) {
    SavedScanFolder saved = {};
    s->load_saved(s->context, &saved);
    const bool show_saved = wizard_entry_shows_saved(saved, s->share);
    if (!show_saved || saved_setup_dialog(owner, saved, s) == 1) share_wizard(owner, s);
    saved_scan_folder_release(&saved);
}

void connection_check_dialog(HWND owner, const wchar_t* address) {
    connection_check_dialog_with(owner, address, net_dialog_services_windows());
}

void firewall_dialog(HWND owner) {
    firewall_dialog_with(owner, net_dialog_services_windows());
}

void share_wizard_entry(HWND owner) {
    share_wizard_entry_with(owner, net_dialog_services_windows());
}
