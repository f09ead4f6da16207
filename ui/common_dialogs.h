// ui/common_dialogs.h
// The small modal dialogs every part of the interface calls instead of the system's:
// message box, Yes/No confirmation, one-line text input and the folder chooser; and the
// helpers all dialogs share. Each dialog owns nothing after it returns.
#ifndef ZAN_UI_COMMON_DIALOGS_H
#define ZAN_UI_COMMON_DIALOGS_H

#include <windows.h>

#include "core/wide_string.h"

// ---- boxes
// Information (warning false) or warning, with one OK button.
void message_box(HWND owner, const wchar_t* text, bool warning);
// True only when "Yes" was pressed; No, Escape and the close box give false.
bool confirm_box(HWND owner, const wchar_t* text);
// True when OK was pressed; *text is replaced only then (at most 60 characters).
bool text_input_dialog(HWND owner, const wchar_t* title, const wchar_t* label, WideString* text);
// The shell's folder dialog opened at *folder (when not empty). True, with *folder
// replaced, only when a file-system folder was chosen.
bool choose_folder(HWND owner, const wchar_t* title, WideString* folder);

// ---- the bottom row of buttons
struct RowButton {
    int id;
    const wchar_t* captions[2];  // Arabic, English
    int icon;
    int kind;
};
// A row button captioned with a string-table id.
RowButton row_button_of(int id, int text_id, int icon, int kind);
// The pixel width each button needs for its icon and caption in either language, so the
// Arabic dialog keeps the English one's geometry and is its exact mirror.
void row_needed_widths(const RowButton* buttons, int count, int* needed);
// Creates the buttons at the given rectangles (in reading order, so Tab follows it).
// out may be null; otherwise it receives the windows.
void make_row_buttons(HWND dialog, const RowButton* buttons, int count, const RECT* rects, HWND* out);

// ---- helpers shared by the dialogs
// A 1-pixel line in the line colour across the client at y.
void draw_separator(HDC dc, HWND dialog, int y);
// Gives the normal font to every child window that has none yet.
void apply_default_font(HWND dialog);
void place_control(HWND control, const RECT& r);
// Starts a dialog's own WM_PAINT: a panel-white double buffer to draw into.
HDC dialog_paint_begin(HWND dialog, struct PaintBuffer* buffer);

#endif
