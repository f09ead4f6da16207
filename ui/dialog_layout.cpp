// ui/dialog_layout.cpp
#include "ui/dialog_layout.h"

#include "app/strings.h"
#include "ui/theme.h"

RECT mirror_rect(const RECT& r, int client_w) {
    RECT m = {client_w - r.right, r.top, client_w - r.left, r.bottom};
    return m;
}

RECT layout_rect(int x, int y, int w, int h, int client_w, int dpi, int language) {
    const int px = scaled_at(x, dpi), pw = scaled_at(w, dpi);
    const int left = language == LANGUAGE_ARABIC ? client_w - px - pw : px;
    RECT r = {left, scaled_at(y, dpi), left + pw, scaled_at(y, dpi) + scaled_at(h, dpi)};
    return r;
}

RECT layout_row_button(int x, int w, int client_w, int client_h, int dpi, int language) {
    RECT r = layout_rect(x, 0, w, 36, client_w, dpi, language);
    r.top = client_h - scaled_at(36, dpi) - scaled_at(14, dpi);
    r.bottom = r.top + scaled_at(36, dpi);
    return r;
}

// ---- message box: 460 wide; icon 36, padding 22, gap 14 leave 366 for the text.
static const int kBoxWidth = 460;
static const int kBoxIcon = 36;
static const int kBoxPadding = 22;

int message_box_text_width(int dpi) {
    return scaled_at(kBoxWidth - kBoxIcon - 2 * kBoxPadding - 14, dpi);
}

MessageBoxLayout message_box_layout(int text_height, int dpi, int language) {
    MessageBoxLayout l = {};
    l.client_w = scaled_at(kBoxWidth, dpi);
    l.text_width = message_box_text_width(dpi);
    const int block = text_height > scaled_at(kBoxIcon, dpi) ? text_height : scaled_at(kBoxIcon, dpi);
    const int area = block + 2 * scaled_at(kBoxPadding, dpi);
    l.client_h = scaled_at(14 + kBoxIcon + 14, dpi) + area;
    l.icon = layout_rect(kBoxPadding, kBoxPadding, kBoxIcon, kBoxIcon, l.client_w, dpi, language);
    // The text sits at x 72 in English and at the left margin 22 in Arabic.
    const int text_x = language == LANGUAGE_ARABIC ? scaled_at(kBoxPadding, dpi) : scaled_at(72, dpi);
    const int text_y = scaled_at(kBoxPadding, dpi) + (block - text_height) / 2;
    l.text = {text_x, text_y, text_x + l.text_width, text_y + text_height};
    l.ok = layout_row_button(18, 120, l.client_w, l.client_h, dpi, language);
    l.no = layout_row_button(148, 110, l.client_w, l.client_h, dpi, language);
    l.separator_y = l.client_h - scaled_at(64, dpi);
    return l;
}

TextInputLayout text_input_layout(int dpi, int language) {
    TextInputLayout l = {};
    l.client_w = scaled_at(440, dpi);
    l.client_h = scaled_at(190, dpi);
    const int inner = 440 - 40;
    l.label = layout_rect(20, 18, inner, 22, l.client_w, dpi, language);
    l.edit = layout_rect(20, 46, inner, 30, l.client_w, dpi, language);
    l.ok = layout_row_button(18, 120, l.client_w, l.client_h, dpi, language);
    l.cancel = layout_row_button(148, 110, l.client_w, l.client_h, dpi, language);
    return l;
}

HelpLayout help_layout(int client_w, int client_h, int dpi, int language) {
    HelpLayout l = {};
    l.client_w = client_w;
    l.client_h = client_h;
    l.band_bottom = scaled_at(84, dpi);
    l.logo = layout_rect(20, 12, 120, 60, client_w, dpi, language);
    // The name and version start at x 154 in English and at 20 in Arabic and run to the far
    // margin; the name fills y 16..46 and the version y 48..72, both inside the band.
    const int text_left = language == LANGUAGE_ARABIC ? scaled_at(20, dpi) : scaled_at(154, dpi);
    const int text_right = language == LANGUAGE_ARABIC ? client_w - scaled_at(154, dpi) : client_w - scaled_at(20, dpi);
    l.name = {text_left, scaled_at(16, dpi), text_right, scaled_at(46, dpi)};
    l.version = {text_left, scaled_at(48, dpi), text_right, scaled_at(72, dpi)};
    l.text = {scaled_at(20, dpi), scaled_at(98, dpi), client_w - scaled_at(20, dpi), client_h - scaled_at(84, dpi)};
    l.close = layout_row_button(18, 110, client_w, client_h, dpi, language);
    l.service = layout_row_button(138, 150, client_w, client_h, dpi, language);
    l.web = layout_row_button(298, 150, client_w, client_h, dpi, language);
    l.drivers = layout_row_button(458, 150, client_w, client_h, dpi, language);
    l.separator_y = client_h - scaled_at(66, dpi);
    return l;
}

DiagnosticsLayout diagnostics_layout(int client_w, int client_h, int dpi, int language) {
    DiagnosticsLayout l = {};
    l.report = {scaled_at(16, dpi), scaled_at(14, dpi), client_w - scaled_at(16, dpi), client_h - scaled_at(70, dpi)};
    l.close = layout_row_button(16, 110, client_w, client_h, dpi, language);
    l.copy = layout_row_button(136, 150, client_w, client_h, dpi, language);
    l.open_log = layout_row_button(296, 170, client_w, client_h, dpi, language);
    l.run_again = layout_row_button(476, 140, client_w, client_h, dpi, language);
    return l;
}

SettingsLayout settings_layout(int client_w, int client_h, int dpi, int language) {
    SettingsLayout l = {};
    l.panel = {0, 0, client_w, client_h - scaled_at(68, dpi)};
    l.ok = layout_row_button(18, 120, client_w, client_h, dpi, language);
    l.cancel = layout_row_button(148, 110, client_w, client_h, dpi, language);
    return l;
}
