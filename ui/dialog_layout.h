// ui/dialog_layout.h
// Where the controls of the secondary dialogs go: pure functions of the client size, the
// DPI and the language, so every size, both reading directions and both DPIs can be
// tested without a window. Positions are given at 96 DPI for English; in Arabic a
// control at x with width w moves to client width - x - w (in pixels, after scaling).
#ifndef ZAN_UI_DIALOG_LAYOUT_H
#define ZAN_UI_DIALOG_LAYOUT_H

#include <windows.h>

// ---- the rule
// The pixel rectangle of (x, y, w, h) at 96 DPI inside a client client_w pixels wide.
RECT layout_rect(int x, int y, int w, int h, int client_w, int dpi, int language);
// ---- the bottom row of buttons: 36 high, 14 above the bottom edge
// Each button is given at 96 DPI (x, w); needed[i] is the pixel width its icon and caption
// need (0 when unknown). A button grows to what it needs and the buttons after it move on,
// keeping the gaps between them, so no caption is cut where the row has room.
struct RowButtonSpec {
    int x, w;
};
const int ROW_MAX_BUTTONS = 4;
// The client width the row needs: its start margin on both sides of the buttons.
int button_row_width(const RowButtonSpec* specs, int count, const int* needed, int dpi);
void layout_button_row(const RowButtonSpec* specs, int count, const int* needed, int client_w, int client_h, int dpi,
                       int language, RECT* out);
// The English rectangle's mirror inside a client client_w pixels wide.
RECT mirror_rect(const RECT& r, int client_w);

// ---- message box and confirmation
struct MessageBoxLayout {
    int client_w, client_h;
    int text_width;          // the width the text is measured and wrapped at
    RECT icon, text, ok, no; // `no` only for a confirmation
    int separator_y;
};
// text_height: the measured height of the text at text_width (see message_box_text_width).
// needed: the widths the OK/Yes and No buttons need (see layout_button_row).
MessageBoxLayout message_box_layout(int text_height, const int* needed, int dpi, int language);
extern const RowButtonSpec kBoxButtons[2];
int message_box_text_width(int dpi);

// ---- text input
struct TextInputLayout {
    int client_w, client_h;
    RECT label, edit, ok, cancel;
};
TextInputLayout text_input_layout(const int* needed, int dpi, int language);

// ---- help
struct HelpLayout {
    int client_w, client_h;
    int band_bottom;
    RECT logo, name, version, text;
    RECT close, service, web, drivers;
    int separator_y;
};
// client_w, client_h: the client the dialog actually got (the work area may cut it).
// needed: Close, Request service, web address, Download drivers.
HelpLayout help_layout(int client_w, int client_h, const int* needed, int dpi, int language);
extern const RowButtonSpec kHelpButtons[4];

// ---- driver diagnostics
struct DiagnosticsLayout {
    RECT report, close, copy, open_log, run_again;
};
// needed: Close, Copy report, Open log file, Run again.
DiagnosticsLayout diagnostics_layout(int client_w, int client_h, const int* needed, int dpi, int language);
extern const RowButtonSpec kDiagnosticsButtons[4];

// ---- advanced settings
struct SettingsLayout {
    RECT panel, ok, cancel;
};
SettingsLayout settings_layout(int client_w, int client_h, const int* needed, int dpi, int language);

#endif
