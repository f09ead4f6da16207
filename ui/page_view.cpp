// ui/page_view.cpp
// The preview and the page strip. There is one of each at a time (the main window makes
// them again on a language switch), so their state lives here. The strip never mirrors
// itself: it lays the pages out right to left in Arabic by its own geometry.
#include "ui/page_view.h"

#include "app/strings.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/strip_geometry.h"
#include "ui/theme.h"

namespace {

const COLORREF PREVIEW_BACK = RGB(0x3A, 0x40, 0x48);
const COLORREF PREVIEW_SHADOW = RGB(0x28, 0x2C, 0x32);
const COLORREF PREVIEW_CAPTION = RGB(0xCD, 0xD6, 0xE2);
const COLORREF PREVIEW_EMPTY_ICON = RGB(0x96, 0xA2, 0xB2);
const COLORREF PREVIEW_EMPTY_TEXT = RGB(0xBE, 0xC8, 0xD4);
const COLORREF CELL_FILL = RGB(0xF7, 0xFA, 0xFD);
const COLORREF CELL_SELECTED_FILL = RGB(0xE8, 0xF3, 0xFC);

const int STRING_NO_PAGES = 34;
const int THUMB_BOX_W = 84;
const int THUMB_BOX_H = 104;
const int DRAG_THRESHOLD = 8;
const int AUTO_SCROLL_EDGE = 24;
const int AUTO_SCROLL_STEP = 12;

struct PreviewState {
    HWND window;
    const PageViewHost* host;
    HBITMAP cache;          // null also when the page could not be shown
    bool cache_made;        // the cache (or its failure) belongs to the key below
    StoredPage* key_page;
    int key_w;
    int key_h;
};

struct StripState {
    HWND window;
    const PageViewHost* host;
    int offset;
    int drag_source;        // -1: no press on a cell
    int drop_target;        // -1: none
    bool dragging;
    int press_x;
};

PreviewState g_preview = {};
StripState g_strip = {nullptr, nullptr, 0, -1, -1, false, 0};

bool arabic() {
    return interface_language() == LANGUAGE_ARABIC;
}

int client_width(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return r.right;
}

bool page_valid(const PageList* list, int index) {
    return list && index >= 0 && index < list->count;
}

// ---- preview

void drop_preview_cache() {
    if (g_preview.cache) DeleteObject(g_preview.cache);
    g_preview.cache = nullptr;
    g_preview.cache_made = false;
    g_preview.key_page = nullptr;
}

// The display bitmap of the page for a box, from the cache when page and box are unchanged.
HBITMAP preview_bitmap(PageList* list, StoredPage* page, int box_w, int box_h) {
    if (g_preview.cache_made && g_preview.key_page == page && g_preview.key_w == box_w && g_preview.key_h == box_h) {
        return g_preview.cache;
    }
    drop_preview_cache();
    int message_id = 0;
    const PageImage* image = page_store_pin(list->store, page, &message_id);
    if (image) {
        g_preview.cache = page_image_to_display_bitmap(image, box_w, box_h);
        page_store_unpin(list->store, page);
    }
    g_preview.cache_made = true;
    g_preview.key_page = page;
    g_preview.key_w = box_w;
    g_preview.key_h = box_h;
    return g_preview.cache;
}

SIZE bitmap_size(HBITMAP bitmap) {
    BITMAP info = {};
    SIZE size = {0, 0};
    if (bitmap && GetObjectW(bitmap, sizeof(info), &info)) {
        size.cx = info.bmWidth;
        size.cy = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    }
    return size;
}

void draw_bitmap(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int source_w, int source_h) {
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, bitmap);
    if (w == source_w && h == source_h) {
        BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
    } else {
        const int old_mode = SetStretchBltMode(dc, HALFTONE);
        POINT origin;
        SetBrushOrgEx(dc, 0, 0, &origin);
        StretchBlt(dc, x, y, w, h, source, 0, 0, source_w, source_h, SRCCOPY);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
        SetStretchBltMode(dc, old_mode);
    }
    SelectObject(source, old);
    DeleteDC(source);
}

void paint_preview_page(HDC dc, const RECT& client, PageList* list) {
    StoredPage* page = list->items[list->selected];
    const RECT box = {scaled(16), scaled(16), client.right - scaled(16), client.bottom - scaled(16) - scaled(26)};
    const int box_w = box.right - box.left;
    const int box_h = box.bottom - box.top;
    if (box_w > scaled(20) && box_h > scaled(20)) {
        HBITMAP bitmap = preview_bitmap(list, page, box_w, box_h);
        const SIZE size = bitmap_size(bitmap);
        if (size.cx > 0 && size.cy > 0) {
            const int x = box.left + (box_w - size.cx) / 2;
            const int y = box.top + (box_h - size.cy) / 2;
            const RECT shadow = {x + scaled(3), y + scaled(3), x + scaled(3) + size.cx, y + scaled(3) + size.cy};
            fill_solid(dc, shadow, PREVIEW_SHADOW);
            draw_bitmap(dc, bitmap, x, y, size.cx, size.cy, size.cx, size.cy);
        }
    }
    PreviewCaption caption = {};
    WideString text = {};
    if (preview_caption(list, &caption) && preview_caption_text(caption, tr(caption.format_id), &text)) {
        const RECT band = {scaled(10), client.bottom - scaled(26), client.right - scaled(10), client.bottom - scaled(4)};
        draw_text(dc, text_of(text), band, ui_font(FONT_SMALL), PREVIEW_CAPTION,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    release(&text);
}

void paint_preview_empty(HDC dc, const RECT& client) {
    const int middle = client.bottom / 2;
    const int icon = scaled(64);
    draw_icon(dc, ICON_PREVIEW_EMPTY, (client.right - icon) / 2, middle - scaled(4) - icon, icon, PREVIEW_EMPTY_ICON);
    const RECT text = {scaled(20), middle + scaled(10), client.right - scaled(20), middle + scaled(60)};
    draw_text(dc, tr(STRING_NO_PAGES), text, ui_font(FONT_NORMAL), PREVIEW_EMPTY_TEXT, DT_CENTER | DT_WORDBREAK);
}

void paint_preview(HWND window) {
    PaintBuffer buffer;
    HDC dc = paint_begin(window, &buffer);
    const RECT client = buffer.client;
    fill_solid(dc, client, PREVIEW_BACK);
    PageList* list = g_preview.host ? g_preview.host->pages : nullptr;
    if (list && page_valid(list, list->selected)) {
        paint_preview_page(dc, client, list);
    } else {
        paint_preview_empty(dc, client);
    }
    paint_end(&buffer);
}

LRESULT CALLBACK preview_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE:
        drop_preview_cache();
        g_preview.window = window;
        g_preview.host = static_cast<const PageViewHost*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paint_preview(window);
        return 0;
    case WM_SIZE:
        drop_preview_cache();
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_NCDESTROY:
        if (g_preview.window == window) {
            drop_preview_cache();
            g_preview.window = nullptr;
            g_preview.host = nullptr;
        }
        break;
    }
    return DefWindowProcW(window, msg, wp, lp);
}

// ---- strip

PageList* strip_pages() {
    return g_strip.host ? g_strip.host->pages : nullptr;
}

StripShape strip_shape(HWND window) {
    StripShape s;
    s.m.cell = scaled(92);
    s.m.pitch = scaled(100);
    s.m.margin = scaled(8);
    s.m.tail = scaled(4);
    s.m.marker = scaled(4);
    const PageList* list = strip_pages();
    s.count = list ? list->count : 0;
    s.client_width = client_width(window);
    s.rtl = arabic();
    return s;
}

void update_scroll_bar(HWND window, const StripShape& s) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = strip_content_width(s) - 1;
    info.nPage = (UINT)(s.client_width > 0 ? s.client_width : 0);
    info.nPos = g_strip.offset;
    SetScrollInfo(window, SB_HORZ, &info, TRUE);
}

void set_offset(HWND window, int offset) {
    const StripShape s = strip_shape(window);
    g_strip.offset = strip_clamp_offset(s, offset);
    update_scroll_bar(window, s);
    InvalidateRect(window, nullptr, FALSE);
}

void state_update() {
    if (g_strip.host && g_strip.host->state_update) g_strip.host->state_update(g_strip.host->context);
}

bool host_idle() {
    return g_strip.host && g_strip.host->is_idle && g_strip.host->is_idle(g_strip.host->context);
}

void reset_drag() {
    g_strip.drag_source = -1;
    g_strip.drop_target = -1;
    g_strip.dragging = false;
}

void paint_cell(HDC dc, const StripShape& s, PageList* list, int index, int x, int height) {
    const bool selected = index == list->selected;
    const RECT cell = {x, scaled(6), x + s.m.cell, height - scaled(6)};
    if (selected) {
        fill_round_rect(dc, cell, scaled(6), CELL_SELECTED_FILL, COLOR_ACCENT, scaled(2));
    } else {
        fill_round_rect(dc, cell, scaled(6), CELL_FILL, COLOR_LINE, 1);
    }
    const PageThumbnail* thumb = page_store_thumbnail(list->items[index]);
    if (thumb && thumb->bitmap) {
        int w = 0, h = 0;
        fit_picture(thumb->width, thumb->height, scaled(THUMB_BOX_W), height - scaled(38), &w, &h);
        if (w > 0 && h > 0) {
            const int tx = x + (s.m.cell - w) / 2;
            const int ty = scaled(10) + (height - scaled(36) - h) / 2;
            const RECT frame = {tx - 1, ty - 1, tx + w + 1, ty + h + 1};
            HBRUSH line = CreateSolidBrush(COLOR_LINE);
            if (line) {
                FrameRect(dc, &frame, line);
                DeleteObject(line);
            }
            draw_bitmap(dc, static_cast<HBITMAP>(thumb->bitmap), tx, ty, w, h, thumb->width, thumb->height);
        }
    }
    wchar_t number[16];
    wsprintfW(number, L"%d", index + 1);
    const RECT label = {x, cell.bottom - scaled(20), x + s.m.cell, cell.bottom - scaled(3)};
    draw_text(dc, number, label, ui_font(FONT_SMALL), selected ? COLOR_ACCENT : COLOR_MUTED,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void paint_strip(HWND window) {
    PaintBuffer buffer;
    HDC dc = paint_begin(window, &buffer);
    const RECT client = buffer.client;
    fill_solid(dc, client, COLOR_CANVAS);
    fill_round_rect(dc, client, scaled(8), COLOR_WHITE, COLOR_LINE, 1);
    PageList* list = strip_pages();
    const StripShape s = strip_shape(window);
    if (!list || list->count == 0) {
        const RECT text = {scaled(12), 0, client.right - scaled(12), client.bottom};
        draw_text(dc, tr(STRING_NO_PAGES), text, ui_font(FONT_SMALL), COLOR_MUTED,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    } else {
        for (int i = 0; i < list->count; ++i) {
            const int x = strip_cell_x(s, i) - g_strip.offset;
            if (x + s.m.cell < 0 || x > client.right) continue;
            paint_cell(dc, s, list, i, x, client.bottom);
        }
    }
    if (g_strip.dragging && g_strip.drop_target >= 0) {
        const int x = strip_marker_x(s, g_strip.drop_target) - g_strip.offset;
        const RECT bar = {x - 1, scaled(6), x + 2, client.bottom - scaled(6)};
        fill_solid(dc, bar, COLOR_ACCENT);
    }
    paint_end(&buffer);
}

void select_page(int index) {
    PageList* list = strip_pages();
    list->selected = index;
    refresh_preview();
    state_update();
}

void on_press(HWND window, int x) {
    SetFocus(window);
    PageList* list = strip_pages();
    if (!list) return;
    const int index = strip_cell_at(strip_shape(window), x + g_strip.offset);
    if (index < 0) return;
    if (index != list->selected) {
        select_page(index);
        InvalidateRect(window, nullptr, FALSE);
    }
    g_strip.drag_source = index;
    g_strip.drop_target = -1;
    g_strip.press_x = x;
    g_strip.dragging = false;
    SetCapture(window);
}

void on_move(HWND window, int x, WPARAM keys) {
    if (!(keys & MK_LBUTTON) || g_strip.drag_source < 0) return;
    if (!g_strip.dragging) {
        const int moved = x > g_strip.press_x ? x - g_strip.press_x : g_strip.press_x - x;
        // A scan or save reads the page order: the pages cannot be dragged meanwhile.
        if (moved <= scaled(DRAG_THRESHOLD) || !host_idle()) return;
        g_strip.dragging = true;
    }
    const int step = strip_auto_scroll(x, client_width(window), scaled(AUTO_SCROLL_EDGE), scaled(AUTO_SCROLL_STEP));
    if (step) set_offset(window, g_strip.offset + step);
    g_strip.drop_target = strip_drop_target(strip_shape(window), x + g_strip.offset);
    SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
    InvalidateRect(window, nullptr, FALSE);
}

void on_release(HWND window) {
    const int source = g_strip.drag_source;
    const int target = g_strip.drop_target;
    const bool dragged = g_strip.dragging;
    reset_drag();
    if (GetCapture() == window) ReleaseCapture();
    if (source < 0) return;
    PageList* list = strip_pages();
    if (dragged && target >= 0 && list && host_idle()) {
        const int to = strip_drop_destination(source, target, list->count);
        if (to >= 0 && page_list_move(list, source, to)) refresh_preview();
    }
    refresh_strip(true);
    state_update();
}

void on_key(HWND window, WPARAM key) {
    PageList* list = strip_pages();
    if (!list) return;
    if (key == VK_DELETE) {
        if (page_valid(list, list->selected) && host_idle() && g_strip.host->delete_selected) {
            g_strip.host->delete_selected(g_strip.host->context);
        }
        return;
    }
    if (list->count == 0) return;
    const int next = strip_arrow_target(list->selected, list->count, key == VK_RIGHT, arabic());
    list->selected = next;
    set_offset(window, strip_ensure_visible(strip_shape(window), g_strip.offset, next));
    refresh_preview();
    state_update();
}

void on_scroll(HWND window, int code) {
    const StripShape s = strip_shape(window);
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    switch (code) {
    case SB_LINELEFT: set_offset(window, g_strip.offset - s.m.pitch); break;
    case SB_LINERIGHT: set_offset(window, g_strip.offset + s.m.pitch); break;
    case SB_PAGELEFT: set_offset(window, g_strip.offset - s.client_width); break;
    case SB_PAGERIGHT: set_offset(window, g_strip.offset + s.client_width); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        if (GetScrollInfo(window, SB_HORZ, &info)) set_offset(window, info.nTrackPos);
        break;
    }
}

LRESULT CALLBACK strip_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE:
        g_strip.window = window;
        g_strip.host = static_cast<const PageViewHost*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        g_strip.offset = 0;
        reset_drag();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paint_strip(window);
        return 0;
    case WM_SIZE:
        set_offset(window, g_strip.offset);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        on_press(window, (short)LOWORD(lp));
        return 0;
    case WM_MOUSEMOVE:
        on_move(window, (short)LOWORD(lp), wp);
        return 0;
    case WM_LBUTTONUP:
        on_release(window);
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (not our own release): the drag is off.
        if ((HWND)lp != window && g_strip.drag_source >= 0) {
            reset_drag();
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_SETCURSOR:
        if (g_strip.dragging) {
            SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
            return TRUE;
        }
        break;
    case WM_KEYDOWN:
        if (wp == VK_DELETE || wp == VK_LEFT || wp == VK_RIGHT) {
            on_key(window, wp);
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        set_offset(window, g_strip.offset + strip_wheel_scroll(strip_shape(window), (short)HIWORD(wp)));
        return 0;
    case WM_HSCROLL:
        on_scroll(window, LOWORD(wp));
        return 0;
    case WM_NCDESTROY:
        if (g_strip.window == window) {
            g_strip.window = nullptr;
            g_strip.host = nullptr;
            reset_drag();
        }
        break;
    }
    return DefWindowProcW(window, msg, wp, lp);
}

bool register_class(HINSTANCE instance, const wchar_t* name, WNDPROC proc, UINT style) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The windows draw their own direction: a mirrored parent must not mirror them again.
HWND create_view(HWND parent, int id, const PageViewHost* host, const wchar_t* cls, DWORD style) {
    HWND window = CreateWindowExW(0, cls, nullptr, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                  parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                  const_cast<PageViewHost*>(host));
    if (window && (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) {
        SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) & ~WS_EX_LAYOUTRTL);
    }
    return window;
}

}  // namespace

bool page_view_register(HINSTANCE instance) {
    return register_class(instance, L"ZanPreview", preview_proc, 0) &&
           register_class(instance, L"ZanStrip", strip_proc, CS_DBLCLKS);
}

HWND create_preview(HWND parent, int id, const PageViewHost* host) {
    return create_view(parent, id, host, L"ZanPreview", 0);
}

HWND create_strip(HWND parent, int id, const PageViewHost* host) {
    return create_view(parent, id, host, L"ZanStrip", WS_HSCROLL | WS_TABSTOP);
}

void refresh_preview() {
    drop_preview_cache();
    if (g_preview.window) InvalidateRect(g_preview.window, nullptr, FALSE);
}

void refresh_strip(bool ensure_visible) {
    HWND window = g_strip.window;
    if (!window) return;
    const PageList* list = strip_pages();
    int offset = g_strip.offset;
    if (ensure_visible && list && page_valid(list, list->selected)) {
        offset = strip_ensure_visible(strip_shape(window), offset, list->selected);
    }
    set_offset(window, offset);
}

void page_view_make_thumbnail(PageList* list, int index) {
    if (!page_valid(list, index)) return;
    StoredPage* page = list->items[index];
    PageThumbnail* thumb = page_store_thumbnail(page);
    if (thumb->bitmap) page_view_release_thumbnail(thumb->bitmap);
    thumb->bitmap = nullptr;
    thumb->width = 0;
    thumb->height = 0;
    int message_id = 0;
    const PageImage* image = page_store_pin(list->store, page, &message_id);
    if (!image) return;   // drawn as an empty cell with its number
    HBITMAP bitmap = page_image_to_display_bitmap(image, scaled(THUMB_BOX_W), scaled(THUMB_BOX_H));
    page_store_unpin(list->store, page);
    const SIZE size = bitmap_size(bitmap);
    if (size.cx <= 0 || size.cy <= 0) {
        if (bitmap) DeleteObject(bitmap);
        return;
    }
    thumb->bitmap = bitmap;
    thumb->width = size.cx;
    thumb->height = size.cy;
}

void page_view_release_thumbnail(void* bitmap) {
    if (bitmap) DeleteObject(static_cast<HBITMAP>(bitmap));
}
