// ui/theme.h
// The look every window shares: the process-wide DPI and the scaling rule, the named
// colours, the five interface fonts, the two shared brushes and the shared tooltip.
// This module owns the fonts, brushes and tooltip; callers borrow them and never delete them.
#ifndef ZAN_UI_THEME_H
#define ZAN_UI_THEME_H

#include <windows.h>

// ---- scaling: every interface length is given at 96 DPI
int ui_dpi();
// Sets the DPI (never below 96) without touching the fonts; ui_fonts_create follows it.
void ui_set_dpi(int dpi);
// MulDiv(v, dpi, 96), rounded.
int scaled(int v);
// The same rule for an explicit DPI (layout code that needs no global state).
int scaled_at(int v, int dpi);

// ---- colours (COLORREF)
const COLORREF COLOR_INK = RGB(0x23, 0x30, 0x42);
const COLORREF COLOR_ACCENT = RGB(0x00, 0x78, 0xD4);
const COLORREF COLOR_ACCENT_HOVER = RGB(0x00, 0x60, 0xB4);
const COLORREF COLOR_ACCENT_PRESSED = RGB(0x00, 0x4E, 0x96);
const COLORREF COLOR_LINE = RGB(0xD2, 0xDC, 0xE8);
const COLORREF COLOR_TINT_HOVER = RGB(0xE8, 0xF3, 0xFC);
const COLORREF COLOR_TINT_PRESSED = RGB(0xD2, 0xE6, 0xF7);
const COLORREF COLOR_DANGER = RGB(0xD6, 0x3C, 0x3C);
const COLORREF COLOR_SUCCESS = RGB(0x1E, 0xA0, 0x50);
const COLORREF COLOR_SUCCESS_HOVER = RGB(0x18, 0x8A, 0x46);
const COLORREF COLOR_SUCCESS_PRESSED = RGB(0x12, 0x78, 0x3C);
const COLORREF COLOR_SUCCESS_TEXT = RGB(0x22, 0x96, 0x50);
const COLORREF COLOR_MUTED = RGB(0x5C, 0x6C, 0x82);
const COLORREF COLOR_DISABLED_TEXT = RGB(0xA0, 0xAC, 0xBC);
const COLORREF COLOR_DISABLED_FILL = RGB(0xF0, 0xF4, 0xF8);
const COLORREF COLOR_CANVAS = RGB(0xEC, 0xF2, 0xF8);
const COLORREF COLOR_PANEL = RGB(0xFF, 0xFF, 0xFF);
const COLORREF COLOR_WHITE = RGB(0xFF, 0xFF, 0xFF);
const COLORREF COLOR_WARNING = RGB(0xD6, 0x8C, 0x14);
// "No colour": fill_round_rect skips a fill or border given this value.
const COLORREF COLOR_NONE = (COLORREF)-1;

// ---- fonts
enum UiFont { FONT_NORMAL, FONT_SEMIBOLD, FONT_SMALL, FONT_HEADING, FONT_TITLE, FONT_COUNT };
// "Segoe UI" when installed, else "Tahoma", else "Arial"; chosen once.
const wchar_t* ui_font_face();
// The font height for a size in tenths of a point: -MulDiv(tenths, dpi, 720).
int font_height_at(int tenths_of_point, int dpi);
// Creates the five fonts for the current DPI; the previous set is deleted afterwards.
bool ui_fonts_create();
HFONT ui_font(UiFont which);

// ---- shared objects, created once at start-up
// The canvas and panel brushes and the tooltip window. False when any is missing.
bool ui_shared_create(HINSTANCE instance);
HBRUSH canvas_brush();
HBRUSH panel_brush();
HWND ui_tooltip();
// Deletes the fonts, brushes and tooltip (end of the process, tests).
void ui_shared_destroy();

#endif
