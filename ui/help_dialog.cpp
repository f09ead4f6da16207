// ui/help_dialog.cpp
#include "ui/help_dialog.h"

#include "ui/gdiplus_calls.h"

#include "app/deployment.h"
#include "app/strings.h"
#include "app/version.h"
#include "core/file.h"
#include "core/text.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_layout.h"
#include "ui/dialog_texts.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

using namespace Gdiplus;

namespace {

enum { ID_TEXT = 101, ID_SERVICE = 31, ID_WEB = 32, ID_DRIVERS = 33 };

struct HelpState {
    HelpLayout layout;
    GpBitmap* logo;
};

void help_paint(HWND dialog, const HelpState* state) {
    PaintBuffer buffer;
    HDC dc = dialog_paint_begin(dialog, &buffer);
    const HelpLayout& l = state->layout;
    RECT band = {0, 0, buffer.client.right, l.band_bottom};
    fill_solid(dc, band, COLOR_TINT_HOVER);
    draw_logo(dc, state->logo, l.logo);
    draw_text(dc, kProductName, l.name, ui_font(FONT_HEADING), COLOR_INK, DT_SINGLELINE | DT_VCENTER);
    WideString version = {};
    append(&version, tr(185));
    append(&version, kVersionText);
    draw_text(dc, text_of(version), l.version, ui_font(FONT_NORMAL), COLOR_MUTED, DT_SINGLELINE | DT_VCENTER);
    release(&version);
    draw_separator(dc, dialog, l.separator_y);
    paint_end(&buffer);
}

// The web address of the deployment is written without a scheme; the shell needs one.
void open_web_address(const wchar_t* address) {
    if (contains_no_case(address, L"://")) {
        shell_open(address);
        return;
    }
    WideString url = {};
    append(&url, L"https://");
    append(&url, address);
    shell_open(text_of(url));
    release(&url);
}

bool help_hook(HWND dialog, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    HelpState* state = reinterpret_cast<HelpState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!state) return false;
    if (msg == WM_PAINT) {
        help_paint(dialog, state);
        *result = 0;
        return true;
    }
    if (msg != WM_COMMAND) return false;
    switch (LOWORD(wp)) {
    case ID_SERVICE: open_web_address(kMessagingAddress); break;
    case ID_WEB: open_web_address(kServiceWebAddress); break;
    case ID_DRIVERS: open_web_address(kDriverDownloadPage); break;
    default: return false;
    }
    *result = 0;
    return true;
}

}  // namespace

WideString help_view_text(const wchar_t* text, int language) {
    WideString out = {};
    if (language != LANGUAGE_ARABIC) {
        assign(&out, text);
        return out;
    }
    // Each line becomes a right-to-left embedding (RLE ... PDF), so a line that starts with
    // a number or ends with a full stop keeps them at its right-to-left ends in an edit
    // control whatever paragraph direction the control assumes. A line that is already a
    // left-to-right embedding (LRE at its start) stays as it is.
    const wchar_t kRle = 0x202B, kLre = 0x202A, kPdf = 0x202C;
    const wchar_t* line = text;
    while (*line) {
        const wchar_t* end = line;
        while (*end && *end != L'\r' && *end != L'\n') ++end;
        const bool wrap = *line != kLre && end > line;
        if (wrap) append_char(&out, kRle);
        append(&out, line, (int)(end - line));
        if (wrap) append_char(&out, kPdf);
        while (*end == L'\r' || *end == L'\n') append_char(&out, *end++);
        line = end;
    }
    return out;
}

void help_dialog(HWND owner) {
    const RowButton buttons[4] = {row_button_of(IDOK, 109, ICON_CLOSE, BUTTON_PRIMARY),
                                  row_button_of(ID_SERVICE, 73, ICON_CHAT, BUTTON_SUCCESS),
                                  {ID_WEB, {kServiceWebAddress, kServiceWebAddress}, ICON_WEB, BUTTON_SECONDARY},
                                  row_button_of(ID_DRIVERS, 5, ICON_DOWNLOAD, BUTTON_SECONDARY)};
    int needed[4];
    row_needed_widths(buttons, 4, needed);
    // The dialog grows beyond its 640 when the captions of its buttons need it.
    int width = scaled(640);
    const int row_width = button_row_width(kHelpButtons, 4, needed, ui_dpi());
    if (row_width > width) width = row_width;
    HWND dialog = dialog_create(owner, tr(134), width, scaled(600));
    if (!dialog) return;
    RECT client;
    GetClientRect(dialog, &client);
    HelpState state = {help_layout(client.right, client.bottom, needed, ui_dpi(), interface_language()),
                       static_cast<GpBitmap*>(load_logo())};
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    dialog_set_hook(dialog, help_hook);
    HWND text = make_text_view(dialog, ID_TEXT, true, true);
    place_control(text, state.layout.text);
    WideString shown = help_view_text(help_text(), interface_language());
    SetWindowTextW(text, text_of(shown));
    release(&shown);
    SendMessageW(text, EM_SETSEL, 0, 0);
    const RECT rects[4] = {state.layout.close, state.layout.service, state.layout.web, state.layout.drivers};
    HWND made[4] = {};
    make_row_buttons(dialog, buttons, 4, rects, made);
    apply_default_font(dialog);
    dialog_set_initial_focus(dialog, made[0]);
    dialog_run(dialog, owner);
    if (state.logo) gdiplus_calls()->GdipDisposeImage(state.logo);
}
