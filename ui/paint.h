// ui/paint.h
// Drawing helpers shared by every window: double-buffered painting, text measured and
// drawn with the right-to-left rules of the interface language, and GDI+ rounded
// rectangles. Every GDI and GDI+ object a helper creates is released before it returns.
#ifndef ZAN_UI_PAINT_H
#define ZAN_UI_PAINT_H

#include <windows.h>

// ---- double buffering: draw into `dc`, which paint_end copies to the window in one BitBlt
struct PaintBuffer {
    HWND window;
    PAINTSTRUCT ps;
    HDC dc;          // the memory DC to draw into (the window's own DC when no bitmap could be made)
    HBITMAP bitmap;
    HGDIOBJ old_bitmap;
    RECT client;
};
HDC paint_begin(HWND window, PaintBuffer* buffer);
void paint_end(PaintBuffer* buffer);

// ---- text
// The larger of the text extent and the single-line DT_CALCRECT width (right-to-left
// reading in Arabic), plus 2 pixels.
int text_width(HFONT font, const wchar_t* text);
// Transparent background and DT_NOPREFIX; in Arabic adds DT_RTLREADING and swaps left
// and right alignment (centred stays centred).
void draw_text(HDC dc, const wchar_t* text, RECT rect, HFONT font, COLORREF colour, UINT flags);
// The alignment flags draw_text uses for a language (pure; tested).
UINT text_flags_for(UINT flags, int language);

// ---- shapes
// Anti-aliased rounded rectangle through pixel centres; fill or border skipped when its
// colour is COLOR_NONE; a plain rectangle when the corner diameter is below 1.
void fill_round_rect(HDC dc, RECT rect, int radius, COLORREF fill, COLORREF border, int border_width);
// The corner diameter fill_round_rect uses: min(2 * radius, width - 1, height - 1).
int round_rect_diameter(int radius, int width, int height);
void fill_solid(HDC dc, RECT rect, COLORREF colour);
// 0xAARRGGBB with full opacity for a COLORREF.
unsigned opaque_argb(COLORREF colour);

#endif
