// ui/settings_dialog.cpp
// The controls sit in a scrolling panel, built top to bottom from one row table so the
// tab order follows the reading order. Labels of lists and edits carry the control's id
// plus 1000; muted notes have ids in the 5000 range, which the panel colours muted.
#include "ui/settings_dialog.h"

#include <commctrl.h>

#include "app/settings.h"
#include "app/strings.h"
#include "core/text.h"
#include "output/ocr.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_layout.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

enum {
    ID_PANEL = 200, ID_AUTO_CROP = 101, ID_DESKEW = 102, ID_REMOVE_BLANK = 103, ID_OCR = 104, ID_OCR_LANG = 105,
    ID_COMPRESSION = 107, ID_WATERMARK = 108, ID_OPACITY = 109, ID_PROTECT = 110, ID_PASSWORD = 111,
    ID_CIPHER = 112, ID_NAMING = 114, ID_PREFIX = 115, ID_FIXED_FOLDER = 116,
    ID_OPACITY_VALUE = 2109, ID_OCR_NOTE = 5001, ID_PASSWORD_NOTE = 5002, LABEL_OFFSET = 1000
};

enum RowKind { ROW_HEADING, ROW_CHECK, ROW_NOTE, ROW_SMALL_NOTE, ROW_LIST, ROW_BARE_LIST, ROW_EDIT, ROW_PASSWORD, ROW_SLIDER };

struct SettingsRow {
    RowKind kind;
    int id;
    int text_id;
};

const SettingsRow kRows[] = {
    {ROW_HEADING, 150, 77},        {ROW_CHECK, ID_AUTO_CROP, 78},   {ROW_CHECK, ID_DESKEW, 79},
    {ROW_CHECK, ID_REMOVE_BLANK, 80}, {ROW_HEADING, 151, 81},       {ROW_CHECK, ID_OCR, 82},
    {ROW_NOTE, ID_OCR_NOTE, 87},   {ROW_LIST, ID_OCR_LANG, 83},     {ROW_LIST, ID_COMPRESSION, 88},
    {ROW_EDIT, ID_WATERMARK, 92},  {ROW_SLIDER, ID_OPACITY, 93},    {ROW_CHECK, ID_PROTECT, 94},
    {ROW_PASSWORD, ID_PASSWORD, 95}, {ROW_LIST, ID_CIPHER, 96},     {ROW_SMALL_NOTE, ID_PASSWORD_NOTE, 99},
    {ROW_HEADING, 152, 100},       {ROW_BARE_LIST, ID_NAMING, 0},   {ROW_EDIT, ID_PREFIX, 104},
    {ROW_CHECK, ID_FIXED_FOLDER, 105},
};

const int kHeadingCount = 3;
const int kWatermarkLimit = 80;
const int kPasswordLimit = 32;
const int kPrefixLimit = 40;

struct SettingsState {
    HWND panel;
    int heading_top[kHeadingCount];  // content coordinates
    bool ocr_available;
};

SettingsState* state_of(HWND dialog) {
    return reinterpret_cast<SettingsState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

int measure_height(const wchar_t* text, HFONT font, int width) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, width, 0};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteDC(dc);
    return r.bottom;
}

// Places a control at (x, y, w, h) pixels of the panel's content, mirrored in Arabic.
void put(HWND control, int x, int y, int w, int h, int client_w) {
    const int left = interface_language() == LANGUAGE_ARABIC ? client_w - x - w : x;
    RECT r = {left, y, left + w, y + h};
    place_control(control, r);
}

void set_list_field_height(HWND list) {
    SendMessageW(list, CB_SETITEMHEIGHT, (WPARAM)-1, scaled(30) - 6);
}

void fill_list(HWND list, const int* text_ids, int count, int selected) {
    for (int i = 0; i < count; ++i) list_add(list, tr(text_ids[i]));
    list_select(list, selected < 0 || selected >= count ? 0 : selected);
}

void update_opacity_label(HWND dialog) {
    const SettingsState* state = state_of(dialog);
    if (!state) return;
    const int value = (int)SendDlgItemMessageW(state->panel, ID_OPACITY, TBM_GETPOS, 0, 0);
    WideString text = {};
    append_int(&text, value);
    append(&text, L"%");
    SetDlgItemTextW(state->panel, ID_OPACITY_VALUE, text_of(text));
    release(&text);
}

void update_password_controls(HWND panel) {
    const bool on = IsDlgButtonChecked(panel, ID_PROTECT) == BST_CHECKED;
    EnableWindow(GetDlgItem(panel, ID_PASSWORD), on);
    EnableWindow(GetDlgItem(panel, ID_CIPHER), on);
}

// Builds the rows; returns the content height.
int build_rows(SettingsState* state) {
    HWND panel = state->panel;
    // The column leaves room for the scroll bar whether or not it shows yet.
    RECT client;
    GetWindowRect(panel, &client);
    client.right = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    const int x = scaled(18);
    const int column = client.right - 2 * scaled(18);
    const int label_h = scaled(24), field_h = scaled(30), row_step = scaled(30);
    int y = scaled(18);
    int heading = 0;
    for (const SettingsRow& row : kRows) {
        if (row.kind == ROW_NOTE && state->ocr_available) continue;
        const wchar_t* text = tr(row.text_id);
        switch (row.kind) {
        case ROW_HEADING: {
            if (heading > 0) y += scaled(10);
            // A blank before the Arabic heading keeps the overhang of its bold first letter
            // inside the label, which is right-aligned.
            WideString heading_text = {};
            if (interface_language() == LANGUAGE_ARABIC) append(&heading_text, L" ");
            append(&heading_text, text);
            HWND label = make_label(panel, row.id, text_of(heading_text), SS_LEFT);
            release(&heading_text);
            SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(FONT_SEMIBOLD)), FALSE);
            put(label, x, y, column, label_h, client.right);
            if (heading < kHeadingCount) state->heading_top[heading++] = y;
            y += scaled(40);
            break;
        }
        case ROW_CHECK:
            put(make_check(panel, row.id, text), x, y, column, label_h, client.right);
            y += row_step;
            break;
        case ROW_NOTE:
        case ROW_SMALL_NOTE: {
            HFONT font = ui_font(row.kind == ROW_NOTE ? FONT_NORMAL : FONT_SMALL);
            HWND note = make_label(panel, row.id, text, SS_LEFT);
            SendMessageW(note, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            int h = measure_height(text, font, column) + scaled(2);
            if (h < scaled(20)) h = scaled(20);
            put(note, x, y, column, h, client.right);
            y += h + scaled(8);
            break;
        }
        case ROW_LIST:
        case ROW_EDIT:
        case ROW_PASSWORD:
        case ROW_SLIDER: {
            const int value_w = row.kind == ROW_SLIDER ? scaled(60) : 0;
            put(make_label(panel, row.id + LABEL_OFFSET, text, SS_LEFT), x, y, column - value_w, label_h, client.right);
            if (row.kind == ROW_SLIDER) {
                put(make_label(panel, ID_OPACITY_VALUE, L"", SS_RIGHT), x + column - value_w, y, value_w, label_h,
                    client.right);
            }
            y += scaled(26);
            HWND control = nullptr;
            if (row.kind == ROW_LIST) {
                control = make_list(panel, row.id);
                set_list_field_height(control);
                put(control, x, y, column, scaled(300), client.right);
            } else if (row.kind == ROW_SLIDER) {
                control = make_slider(panel, row.id, 5, 100, app_settings()->WatermarkOpacity);
                put(control, x, y, column, field_h, client.right);
            } else {
                control = make_edit(panel, row.id, row.kind == ROW_PASSWORD);
                put(control, x, y, column, field_h, client.right);
            }
            y += field_h + scaled(10);
            break;
        }
        case ROW_BARE_LIST: {
            HWND list = make_list(panel, row.id);
            set_list_field_height(list);
            put(list, x, y, column, scaled(300), client.right);
            y += field_h + scaled(10);
            break;
        }
        }
    }
    return y + scaled(18);
}

void load_values(HWND panel, const SettingsState* state) {
    const AppSettings* s = app_settings();
    CheckDlgButton(panel, ID_AUTO_CROP, s->AutoCrop ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, ID_DESKEW, s->AutoDeskew ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, ID_REMOVE_BLANK, s->RemoveBlank ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(panel, ID_OCR, state->ocr_available && s->Ocr ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(panel, ID_OCR), state->ocr_available);
    static const int kOcrLanguages[] = {84, 85, 86};
    static const int kCompressions[] = {89, 90, 91};
    static const int kCiphers[] = {97, 98};
    static const int kNamings[] = {101, 102, 103};
    fill_list(GetDlgItem(panel, ID_OCR_LANG), kOcrLanguages, 3, settings_ocr_language_position(text_of(s->OcrLang)));
    EnableWindow(GetDlgItem(panel, ID_OCR_LANG), state->ocr_available);
    fill_list(GetDlgItem(panel, ID_COMPRESSION), kCompressions, 3, s->Compression);
    fill_list(GetDlgItem(panel, ID_CIPHER), kCiphers, 2, s->PdfCipher);
    fill_list(GetDlgItem(panel, ID_NAMING), kNamings, 3, s->NamingMode);
    SendDlgItemMessageW(panel, ID_WATERMARK, EM_LIMITTEXT, kWatermarkLimit, 0);
    SetDlgItemTextW(panel, ID_WATERMARK, text_of(s->Watermark));
    CheckDlgButton(panel, ID_PROTECT, s->PdfPasswordOn ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageW(panel, ID_PASSWORD, EM_LIMITTEXT, kPasswordLimit, 0);
    SetDlgItemTextW(panel, ID_PASSWORD, text_of(s->PdfPassword));
    SendDlgItemMessageW(panel, ID_PREFIX, EM_LIMITTEXT, kPrefixLimit, 0);
    SetDlgItemTextW(panel, ID_PREFIX, text_of(s->NamePrefix));
    CheckDlgButton(panel, ID_FIXED_FOLDER, s->FixedFolder ? BST_CHECKED : BST_UNCHECKED);
    update_password_controls(panel);
}

int clamp_index(int value, int last) {
    return value < 0 ? 0 : value > last ? last : value;
}

void read_text_of(HWND panel, int id, int limit, WideString* out) {
    wchar_t buffer[128] = {};
    GetDlgItemTextW(panel, id, buffer, limit + 1);
    assign(out, buffer);
}

bool checked(HWND panel, int id) {
    return IsDlgButtonChecked(panel, id) == BST_CHECKED;
}

// Validates the password; on success copies every control into AppSettings.
bool store_values(HWND dialog, const SettingsState* state) {
    HWND panel = state->panel;
    WideString password = {};
    read_text_of(panel, ID_PASSWORD, kPasswordLimit, &password);
    const int problem = settings_password_problem(checked(panel, ID_PROTECT), text_of(password));
    if (problem != 0) {
        release(&password);
        message_box(dialog, tr(problem), true);
        SetFocus(GetDlgItem(panel, ID_PASSWORD));
        return false;
    }
    AppSettings* s = app_settings();
    s->AutoCrop = checked(panel, ID_AUTO_CROP);
    s->AutoDeskew = checked(panel, ID_DESKEW);
    s->RemoveBlank = checked(panel, ID_REMOVE_BLANK);
    // Without an engine the box is off and disabled; the stored wish is kept for a system that has one.
    if (state->ocr_available) s->Ocr = checked(panel, ID_OCR);
    assign(&s->OcrLang, settings_ocr_language_key(list_selection(GetDlgItem(panel, ID_OCR_LANG))));
    s->Compression = clamp_index(list_selection(GetDlgItem(panel, ID_COMPRESSION)), 2);
    read_text_of(panel, ID_WATERMARK, kWatermarkLimit, &s->Watermark);
    s->WatermarkOpacity = (int)SendDlgItemMessageW(panel, ID_OPACITY, TBM_GETPOS, 0, 0);
    s->PdfPasswordOn = checked(panel, ID_PROTECT);
    WideString old = s->PdfPassword;
    s->PdfPassword = password;
    release(&old);
    s->PdfCipher = list_selection(GetDlgItem(panel, ID_CIPHER)) > 0 ? 1 : 0;
    s->NamingMode = clamp_index(list_selection(GetDlgItem(panel, ID_NAMING)), 2);
    read_text_of(panel, ID_PREFIX, kPrefixLimit, &s->NamePrefix);
    if (s->NamePrefix.length == 0) assign(&s->NamePrefix, L"Scan");
    s->FixedFolder = checked(panel, ID_FIXED_FOLDER);
    return true;
}

void paint_panel(HWND panel, HDC dc, int position, const RECT* client) {
    FillRect(dc, client, panel_brush());
    const SettingsState* state = state_of(GetParent(panel));
    if (!state) return;
    const int thickness = scaled(2) < 2 ? 1 : scaled(2);
    for (int top : state->heading_top) {
        const int y = top + scaled(28) - position;
        RECT line = {scaled(14), y, client->right - scaled(14), y + thickness};
        fill_solid(dc, line, COLOR_ACCENT);
    }
}

bool settings_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    const SettingsState* state = state_of(dialog);
    if (!state) return false;
    if (msg == WM_HSCROLL) {
        update_opacity_label(dialog);
        *result = 0;
        return true;
    }
    if (msg != WM_COMMAND) return false;
    if (LOWORD(wp) == ID_PROTECT && HIWORD(wp) == BN_CLICKED) {
        update_password_controls(state->panel);
        *result = 0;
        return true;
    }
    if (LOWORD(wp) == IDOK) {
        if (store_values(dialog, state)) dialog_end(dialog, 1);
        *result = 0;
        return true;
    }
    return false;
}

}  // namespace

int settings_password_problem(bool protection_on, const wchar_t* password) {
    if (!protection_on) return 0;
    if (!password || !password[0]) return 196;
    for (const wchar_t* p = password; *p; ++p) {
        if (*p < 32 || *p > 126) return 195;
    }
    return 0;
}

const wchar_t* settings_ocr_language_key(int position) {
    return position == 0 ? L"ar" : position == 1 ? L"en" : L"both";
}

int settings_ocr_language_position(const wchar_t* key) {
    if (text_equals(key, L"ar") == 0) return 0;
    if (text_equals(key, L"en") == 0) return 1;
    return 2;
}

int advanced_settings_dialog(HWND owner) {
    const RowButton buttons[2] = {row_button_of(IDOK, 107, ICON_DONE, BUTTON_PRIMARY),
                                  row_button_of(IDCANCEL, 108, ICON_CLOSE, BUTTON_SECONDARY)};
    int needed[2];
    row_needed_widths(buttons, 2, needed);
    HWND dialog = dialog_create(owner, tr(76), scaled(600), scaled(700));
    if (!dialog) return 0;
    RECT client;
    GetClientRect(dialog, &client);
    const SettingsLayout l = settings_layout(client.right, client.bottom, needed, ui_dpi(), interface_language());
    SettingsState state = {};
    state.ocr_available = ocr_is_available();
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    state.panel = make_panel(dialog, ID_PANEL, dialog);
    place_control(state.panel, l.panel);
    const int content = build_rows(&state);
    panel_set_content_height(state.panel, content);
    panel_set_painter(state.panel, paint_panel);
    load_values(state.panel, &state);
    update_opacity_label(dialog);
    dialog_set_hook(dialog, settings_hook);
    const RECT rects[2] = {l.ok, l.cancel};
    make_row_buttons(dialog, buttons, 2, rects, nullptr);
    apply_default_font(dialog);
    dialog_set_initial_focus(dialog, GetDlgItem(state.panel, ID_AUTO_CROP));
    return dialog_run(dialog, owner);
}
