// ui/common_dialogs.cpp
#include "ui/common_dialogs.h"

#include <objbase.h>
#include <shlobj.h>

#include "app/strings.h"
#include "app/version.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_layout.h"
#include "ui/dialog_texts.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

enum BoxStyle { BOX_INFORMATION, BOX_WARNING, BOX_CONFIRM };

struct BoxState {
    BoxStyle style;
    MessageBoxLayout layout;
};

const int kTextInputLimit = 60;

BoxState* box_of(HWND dialog) {
    return reinterpret_cast<BoxState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

bool box_hook(HWND dialog, UINT msg, WPARAM, LPARAM, LRESULT* result) {
    if (msg != WM_PAINT) return false;
    const BoxState* box = box_of(dialog);
    if (!box) return false;
    PaintBuffer buffer;
    HDC dc = dialog_paint_begin(dialog, &buffer);
    const int icon = box->style == BOX_WARNING ? ICON_WARNING : box->style == BOX_CONFIRM ? ICON_HELP : ICON_DONE;
    const COLORREF colour = box->style == BOX_WARNING ? COLOR_WARNING : COLOR_ACCENT;
    const RECT& r = box->layout.icon;
    draw_icon(dc, (unsigned)icon, r.left, r.top, r.right - r.left, colour);
    draw_separator(dc, dialog, box->layout.separator_y);
    paint_end(&buffer);
    *result = 0;
    return true;
}

int measure_wrapped(const wchar_t* text, int width) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, ui_font(FONT_NORMAL));
    RECT r = {0, 0, width, 0};
    UINT flags = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX;
    if (interface_language() == LANGUAGE_ARABIC) flags |= DT_RTLREADING;
    DrawTextW(dc, text, -1, &r, flags);
    SelectObject(dc, old);
    DeleteDC(dc);
    return r.bottom - r.top;
}

bool run_box(HWND owner, const wchar_t* text, BoxStyle style) {
    const int dpi = ui_dpi(), language = interface_language();
    const bool confirm = style == BOX_CONFIRM;
    RowButton buttons[2] = {row_button_of(IDOK, 107, ICON_DONE, BUTTON_PRIMARY),
                            {IDCANCEL, {no_text_in(LANGUAGE_ARABIC), no_text_in(LANGUAGE_ENGLISH)}, ICON_CLOSE,
                             BUTTON_SECONDARY}};
    if (confirm) {
        buttons[0].captions[0] = yes_text_in(LANGUAGE_ARABIC);
        buttons[0].captions[1] = yes_text_in(LANGUAGE_ENGLISH);
    }
    int needed[2];
    row_needed_widths(buttons, 2, needed);
    BoxState box = {style, message_box_layout(measure_wrapped(text, message_box_text_width(dpi)), needed, dpi, language)};
    const wchar_t* title = style == BOX_CONFIRM ? confirm_title_text() : kProductName;
    HWND dialog = dialog_create(owner, title, box.layout.client_w, box.layout.client_h);
    if (!dialog) return false;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
    dialog_set_hook(dialog, box_hook);
    place_control(make_label(dialog, 100, text, SS_LEFT), box.layout.text);
    const RECT rects[2] = {box.layout.ok, box.layout.no};
    HWND made[2] = {};
    make_row_buttons(dialog, buttons, confirm ? 2 : 1, rects, made);
    apply_default_font(dialog);
    dialog_set_initial_focus(dialog, made[0]);
    return dialog_run(dialog, owner) == 1;
}

struct TextInputState {
    WideString* text;
};

bool text_input_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    if (msg != WM_COMMAND || LOWORD(wp) != IDOK) return false;
    TextInputState* state = reinterpret_cast<TextInputState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    HWND edit = GetDlgItem(dialog, 101);
    wchar_t buffer[kTextInputLimit + 1] = {};
    GetWindowTextW(edit, buffer, kTextInputLimit + 1);
    assign(state->text, buffer);
    dialog_end(dialog, 1);
    *result = 0;
    return true;
}

int CALLBACK folder_dialog_callback(HWND window, UINT msg, LPARAM, LPARAM start) {
    if (msg == BFFM_INITIALIZED && start && reinterpret_cast<const wchar_t*>(start)[0]) {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, start);
    }
    return 0;
}

}  // namespace

RowButton row_button_of(int id, int text_id, int icon, int kind) {
    RowButton b = {id, {tr_in(LANGUAGE_ARABIC, text_id), tr_in(LANGUAGE_ENGLISH, text_id)}, icon, kind};
    return b;
}

void row_needed_widths(const RowButton* buttons, int count, int* needed) {
    for (int i = 0; i < count; ++i) {
        const int ar = button_needed_width(buttons[i].kind, buttons[i].icon, buttons[i].captions[0]);
        const int en = button_needed_width(buttons[i].kind, buttons[i].icon, buttons[i].captions[1]);
        needed[i] = ar > en ? ar : en;
    }
}

static const wchar_t* caption_of(const RowButton& b) {
    return b.captions[interface_language() == LANGUAGE_ARABIC ? 0 : 1];
}

void make_row_buttons(HWND dialog, const RowButton* buttons, int count, const RECT* rects, HWND* out) {
    for (int i = 0; i < count; ++i) {
        const RECT& r = rects[i];
        HWND button = make_button(dialog, buttons[i].id, caption_of(buttons[i]), buttons[i].icon, buttons[i].kind, r.left,
                                  r.top, r.right - r.left, r.bottom - r.top);
        if (out) out[i] = button;
    }
}

HDC dialog_paint_begin(HWND dialog, PaintBuffer* buffer) {
    HDC dc = paint_begin(dialog, buffer);
    FillRect(dc, &buffer->client, panel_brush());
    return dc;
}

void message_box(HWND owner, const wchar_t* text, bool warning) {
    run_box(owner, text, warning ? BOX_WARNING : BOX_INFORMATION);
}

bool confirm_box(HWND owner, const wchar_t* text) {
    return run_box(owner, text, BOX_CONFIRM);
}

bool text_input_dialog(HWND owner, const wchar_t* title, const wchar_t* label, WideString* text) {
    const RowButton buttons[2] = {row_button_of(IDOK, 107, ICON_DONE, BUTTON_PRIMARY),
                                  row_button_of(IDCANCEL, 108, ICON_CLOSE, BUTTON_SECONDARY)};
    int needed[2];
    row_needed_widths(buttons, 2, needed);
    const TextInputLayout l = text_input_layout(needed, ui_dpi(), interface_language());
    HWND dialog = dialog_create(owner, title, l.client_w, l.client_h);
    if (!dialog) return false;
    TextInputState state = {text};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, text_input_hook);
    place_control(make_label(dialog, 100, label, SS_LEFT), l.label);
    HWND edit = make_edit(dialog, 101, false);
    place_control(edit, l.edit);
    SendMessageW(edit, EM_LIMITTEXT, kTextInputLimit, 0);
    SetWindowTextW(edit, text_of(*text));
    SendMessageW(edit, EM_SETSEL, 0, -1);
    const RECT rects[2] = {l.ok, l.cancel};
    make_row_buttons(dialog, buttons, 2, rects, nullptr);
    apply_default_font(dialog);
    dialog_set_initial_focus(dialog, edit);
    return dialog_run(dialog, owner) == 1;
}

bool choose_folder(HWND owner, const wchar_t* title, WideString* folder) {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = folder_dialog_callback;
    info.lParam = reinterpret_cast<LPARAM>(text_of(*folder));
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return false;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, path) && path[0];
    CoTaskMemFree(item);
    if (ok) assign(folder, path);
    return ok;
}

void draw_separator(HDC dc, HWND dialog, int y) {
    RECT client;
    GetClientRect(dialog, &client);
    RECT line = {0, y, client.right, y + 1};
    fill_solid(dc, line, COLOR_LINE);
}

static BOOL CALLBACK give_default_font(HWND child, LPARAM) {
    if (!SendMessageW(child, WM_GETFONT, 0, 0)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_NORMAL)), FALSE);
    }
    return TRUE;
}

void apply_default_font(HWND dialog) {
    EnumChildWindows(dialog, give_default_font, 0);
}

void place_control(HWND control, const RECT& r) {
    if (control) MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}
