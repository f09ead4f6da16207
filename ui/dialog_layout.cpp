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

const RowButtonSpec kBoxButtons[2] = {{18, 120}, {148, 110}};
const RowButtonSpec kHelpButtons[4] = {{18, 110}, {138, 150}, {298, 150}, {458, 150}};
const RowButtonSpec kDiagnosticsButtons[4] = {{16, 110}, {136, 150}, {296, 170}, {476, 140}};

// Walks the row left to right in English terms; calls out for each button's x and width.
template <typename Visit>
static int walk_row(const RowButtonSpec* specs, int count, const int* needed, int dpi, Visit visit) {
    int x = scaled_at(specs[0].x, dpi);
    for (int i = 0; i < count; ++i) {
        int w = scaled_at(specs[i].w, dpi);
        if (needed && needed[i] > w) w = needed[i];
        visit(i, x, w);
        x += w;
        if (i + 1 < count) x += scaled_at(specs[i + 1].x - specs[i].x - specs[i].w, dpi);
    }
    return x;
}

int button_row_width(const RowButtonSpec* specs, int count, const int* needed, int dpi) {
    return walk_row(specs, count, needed, dpi, [](int, int, int) {}) + scaled_at(specs[0].x, dpi);
}

void layout_button_row(const RowButtonSpec* specs, int count, const int* needed, int client_w, int client_h, int dpi,
                       int language, RECT* out) {
    const int top = client_h - scaled_at(36, dpi) - scaled_at(14, dpi);
    const int height = scaled_at(36, dpi);
    walk_row(specs, count, needed, dpi, [&](int i, int x, int w) {
        const int left = language == LANGUAGE_ARABIC ? client_w - x - w : x;
        out[i] = {left, top, left + w, top + height};
    });
}

// ---- message box: 460 wide; icon 36, padding 22, gap 14 leave 366 for the text.
static const int kBoxWidth = 460;
static const int kBoxIcon = 36;
static const int kBoxPadding = 22;

int message_box_text_width(int dpi) {
    return scaled_at(kBoxWidth - kBoxIcon - 2 * kBoxPadding - 14, dpi);
}

MessageBoxLayout message_box_layout(int text_height, const int* needed, int dpi, int language) {
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
    RECT row[2];
    layout_button_row(kBoxButtons, 2, needed, l.client_w, l.client_h, dpi, language, row);
    l.ok = row[0];
    l.no = row[1];
    l.separator_y = l.client_h - scaled_at(64, dpi);
    return l;
}

TextInputLayout text_input_layout(const int* needed, int dpi, int language) {
    TextInputLayout l = {};
    l.client_w = scaled_at(440, dpi);
    l.client_h = scaled_at(190, dpi);
    const int inner = 440 - 40;
    l.label = layout_rect(20, 18, inner, 22, l.client_w, dpi, language);
    l.edit = layout_rect(20, 46, inner, 30, l.client_w, dpi, language);
    RECT row[2];
    layout_button_row(kBoxButtons, 2, needed, l.client_w, l.client_h, dpi, language, row);
    l.ok = row[0];
    l.cancel = row[1];
    return l;
}

HelpLayout help_layout(int client_w, int client_h, const int* needed, int dpi, int language) {
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
    RECT row[4];
    layout_button_row(kHelpButtons, 4, needed, client_w, client_h, dpi, language, row);
    l.close = row[0];
    l.service = row[1];
    l.web = row[2];
    l.drivers = row[3];
    l.separator_y = client_h - scaled_at(66, dpi);
    return l;
}

DiagnosticsLayout diagnostics_layout(int client_w, int client_h, const int* needed, int dpi, int language) {
    DiagnosticsLayout l = {};
    l.report = {scaled_at(16, dpi), scaled_at(14, dpi), client_w - scaled_at(16, dpi), client_h - scaled_at(70, dpi)};
    RECT row[4];
    layout_button_row(kDiagnosticsButtons, 4, needed, client_w, client_h, dpi, language, row);
    l.close = row[0];
    l.copy = row[1];
    l.open_log = row[2];
    l.run_again = row[3];
    return l;
}

SettingsLayout settings_layout(int client_w, int client_h, const int* needed, int dpi, int language) {
    SettingsLayout l = {};
    l.panel = {0, 0, client_w, client_h - scaled_at(68, dpi)};
    RECT row[2];
    layout_button_row(kBoxButtons, 2, needed, client_w, client_h, dpi, language, row);
    l.ok = row[0];
    l.cancel = row[1];
    return l;
}
