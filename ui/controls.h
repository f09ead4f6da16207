// ui/controls.h
// The program's own controls and the creation helpers for the standard ones.
//  - ZanBtn: a flat owner-drawn button in seven kinds, with hover, pressed, focus and
//    disabled states; a click sends WM_COMMAND (notification 0) to the parent.
//  - ZanScroll: a vertically scrolling panel that forwards its children's notifications
//    to a notify window and may paint its background through a callback.
// Each control keeps its state record for exactly as long as its window lives.
#ifndef ZAN_UI_CONTROLS_H
#define ZAN_UI_CONTROLS_H

#include <windows.h>

// Registers ZanBtn, ZanScroll and ZanDlg; false if any registration fails.
bool register_control_classes(HINSTANCE instance);

// ---- buttons
enum ButtonKind {
    BUTTON_PRIMARY = 1, BUTTON_SECONDARY = 2, BUTTON_LINK = 3, BUTTON_ICON = 4,
    BUTTON_OUTLINE = 5, BUTTON_DANGER = 6, BUTTON_SUCCESS = 7
};
// The colours a kind shows in a state (pure; COLOR_NONE where nothing is drawn).
struct ButtonLook {
    COLORREF fill;
    COLORREF border;
    COLORREF text;
    COLORREF icon;
    bool semibold;
    bool underline;
};
ButtonLook button_look(int kind, bool enabled, bool hover, bool pressed);

// Where a button of client size w x h puts its icon and caption (pure). caption_width is
// text_width() of the caption; icon < 0 means no icon.
struct ButtonLayout {
    RECT icon;        // empty when no icon is drawn
    RECT caption;     // empty when no caption is drawn
    int icon_size;
};
ButtonLayout button_layout(int kind, int icon, bool has_caption, int caption_width, int w, int h, int dpi,
                           int language);

HWND make_button(HWND parent, int id, const wchar_t* caption, int icon, int kind, int x, int y, int w, int h);
// The width a button needs to show its icon and whole caption at the current DPI.
int button_needed_width(int kind, int icon, const wchar_t* caption);
// icon <= -2 keeps the old icon; updates the tooltip of icon-only buttons.
void button_set_caption(HWND button, const wchar_t* text, int icon);
void button_set_kind(HWND button, int kind);
// The colour painted around the rounded shape (the surface the button sits on).
void button_set_back(HWND button, COLORREF colour);

// Everything a button's picture depends on; the window paints its own state with it.
struct ButtonFace {
    const wchar_t* caption;
    int icon;           // -1: none
    int kind;
    bool enabled, hover, pressed, focused;
    COLORREF back;
};
// Paints a w x h button at the origin of dc.
void button_paint(HDC dc, int w, int h, const ButtonFace* face);

// ---- panels
typedef void (*PanelPainter)(HWND panel, HDC dc, int scroll_position, const RECT* client);
HWND make_panel(HWND parent, int id, HWND notify_window);
void panel_set_content_height(HWND panel, int height);
void panel_scroll_to(HWND panel, int position);
void panel_reset(HWND panel);
void panel_set_painter(HWND panel, PanelPainter painter);
int panel_position(HWND panel);
// The largest scroll position: max(0, content - client).
int panel_clamp(int position, int content_height, int client_height);

// ---- standard controls (visible children at a placeholder place, normal font; in Arabic
// right-aligned with right-to-left reading, the slider mirrored)
HWND make_label(HWND parent, int id, const wchar_t* text, DWORD extra_style);
HWND make_list(HWND parent, int id);
HWND make_check(HWND parent, int id, const wchar_t* text);
// An auto radio button; first starts its group.
HWND make_radio(HWND parent, int id, const wchar_t* text, bool first);
HWND make_edit(HWND parent, int id, bool password);
HWND make_slider(HWND parent, int id, int min, int max, int pos);
// A read-only multi-line edit with a vertical scroll bar; without wrapping it also
// scrolls horizontally. follows_language false keeps it left to right in Arabic too
// (technical English text such as the diagnostics report).
HWND make_text_view(HWND parent, int id, bool wrap, bool follows_language);
void set_font_all(HWND window, HFONT font);

// ---- combo box lists
void list_add(HWND list, const wchar_t* text);
int list_selection(HWND list);
void list_select(HWND list, int index);

// ---- the colours of labels, check boxes, edits and lists on a white surface
// Answers WM_CTLCOLOR* for a panel or dialog: white, text in accent (id 4990), muted
// (ids 5000..5999) or ink.
LRESULT control_colours(HDC dc, HWND control);
COLORREF control_text_colour(int control_id);

#endif
