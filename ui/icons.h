// ui/icons.h
// The interface's symbols, drawn at run time as anti-aliased vector strokes on a 24 x 24
// design grid (so they stay sharp at any scale and take any colour), and the two pictures
// kept as resources: the application icon and the logo.
#ifndef ZAN_UI_ICONS_H
#define ZAN_UI_ICONS_H

#include <windows.h>

// ---- icon ids (the buttons that carry them are named in the interface code)
enum IconId {
    ICON_SCANNER = 0, ICON_REFRESH = 1, ICON_ROTATE = 2, ICON_DELETE = 3, ICON_DELETE_ALL = 4,
    ICON_FOLDER = 5, ICON_SAVE = 6, ICON_SETTINGS = 7, ICON_HELP = 8, ICON_GLOBE = 9, ICON_CHAT = 10,
    ICON_DOWNLOAD = 11, ICON_WINDOWS = 12, ICON_MAIL = 13, ICON_CROP = 14, ICON_DESKEW = 15,
    ICON_REMOVE_PAGE = 16, ICON_MERGE = 17, ICON_SPLIT = 18, ICON_PHONE = 19, ICON_WEB = 20,
    ICON_ADD = 21, ICON_DIAGNOSTICS = 22, ICON_DOCUMENT = 23, ICON_PICTURE = 24, ICON_DONE = 25,
    ICON_WARNING = 26, ICON_PREVIEW_EMPTY = 27, ICON_PRINT = 28, ICON_CLOSE = 29, ICON_LIGHTNING = 30,
    ICON_UP = 31, ICON_DOWN = 32, ICON_COPY = 33, ICON_TEXT = 34, ICON_PRESET = 35, ICON_NETWORK = 36,
    ICON_SHIELD = 37
};
const int ICON_COUNT = 38;

// Draws icon `id` into the square (x, y, size, size) in `colour` (made opaque). An id
// above 37 draws nothing. Nothing is drawn when GDI+ is not running.
void draw_icon(HDC dc, unsigned id, int x, int y, int size, COLORREF colour);
// Stroke width of an icon of `size` pixels: max(1.4, 0.085 * size).
float icon_stroke_width(int size);

// ---- resource pictures
// The application icon (resource 1) at size x size; the caller destroys it with DestroyIcon.
HICON load_app_icon(int size);
// The "LOGO" resource as a new 32-bit premultiplied-ARGB GDI+ bitmap (GpBitmap*), or null.
// The caller disposes it with GdipDisposeImage.
void* load_logo();
// Draws the logo bitmap into r with high-quality bicubic interpolation (nothing when null).
void draw_logo(HDC dc, void* logo, const RECT& r);

#endif
