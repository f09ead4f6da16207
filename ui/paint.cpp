// ui/paint.cpp
#include "ui/paint.h"

#include "ui/gdiplus_calls.h"

#include "app/strings.h"
#include "ui/theme.h"

using namespace Gdiplus;

HDC paint_begin(HWND window, PaintBuffer* buffer) {
    buffer->window = window;
    HDC target = BeginPaint(window, &buffer->ps);
    GetClientRect(window, &buffer->client);
    const int w = buffer->client.right > 0 ? buffer->client.right : 1;
    const int h = buffer->client.bottom > 0 ? buffer->client.bottom : 1;
    buffer->dc = CreateCompatibleDC(target);
    buffer->bitmap = buffer->dc ? CreateCompatibleBitmap(target, w, h) : nullptr;
    if (!buffer->bitmap) {
        if (buffer->dc) DeleteDC(buffer->dc);
        buffer->dc = target;
        buffer->old_bitmap = nullptr;
        return target;
    }
    buffer->old_bitmap = SelectObject(buffer->dc, buffer->bitmap);
    return buffer->dc;
}

void paint_end(PaintBuffer* buffer) {
    if (buffer->bitmap) {
        BitBlt(buffer->ps.hdc, 0, 0, buffer->client.right, buffer->client.bottom, buffer->dc, 0, 0, SRCCOPY);
        SelectObject(buffer->dc, buffer->old_bitmap);
        DeleteObject(buffer->bitmap);
        DeleteDC(buffer->dc);
    }
    EndPaint(buffer->window, &buffer->ps);
    buffer->dc = nullptr;
    buffer->bitmap = nullptr;
}

UINT text_flags_for(UINT flags, int language) {
    flags |= DT_NOPREFIX;
    if (language != LANGUAGE_ARABIC) return flags;
    flags |= DT_RTLREADING;
    if (flags & DT_CENTER) return flags;
    if (flags & DT_RIGHT) return flags & ~(UINT)DT_RIGHT;
    return flags | DT_RIGHT;
}

int text_width(HFONT font, const wchar_t* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 2;
    HGDIOBJ old = SelectObject(dc, font);
    const int length = lstrlenW(text);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, length, &extent);
    RECT calc = {0, 0, 0, 0};
    UINT flags = DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX;
    if (interface_language() == LANGUAGE_ARABIC) flags |= DT_RTLREADING;
    DrawTextW(dc, text, length, &calc, flags);
    SelectObject(dc, old);
    DeleteDC(dc);
    const int width = calc.right - calc.left;
    return (extent.cx > width ? extent.cx : width) + 2;
}

void draw_text(HDC dc, const wchar_t* text, RECT rect, HFONT font, COLORREF colour, UINT flags) {
    const int old_mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF old_colour = SetTextColor(dc, colour);
    HGDIOBJ old_font = SelectObject(dc, font);
    DrawTextW(dc, text, -1, &rect, text_flags_for(flags, interface_language()));
    SelectObject(dc, old_font);
    SetTextColor(dc, old_colour);
    SetBkMode(dc, old_mode);
}

int round_rect_diameter(int radius, int width, int height) {
    int d = 2 * radius;
    if (width - 1 < d) d = width - 1;
    if (height - 1 < d) d = height - 1;
    return d;
}

unsigned opaque_argb(COLORREF colour) {
    return 0xFF000000u | ((unsigned)GetRValue(colour) << 16) | ((unsigned)GetGValue(colour) << 8) | GetBValue(colour);
}

void fill_solid(HDC dc, RECT rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void fill_round_rect(HDC dc, RECT rect, int radius, COLORREF fill, COLORREF border, int border_width) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || !gdiplus_calls()) return;
    GpGraphics* graphics = nullptr;
    if (gdiplus_calls()->GdipCreateFromHDC(dc, &graphics) != Ok) return;
    gdiplus_calls()->GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
    const REAL x = rect.left + 0.5f, y = rect.top + 0.5f;
    const REAL w = (REAL)(width - 1), h = (REAL)(height - 1);
    const int d = round_rect_diameter(radius, width, height);
    GpPath* path = nullptr;
    if (gdiplus_calls()->GdipCreatePath(FillModeAlternate, &path) == Ok) {
        if (d < 1) {
            gdiplus_calls()->GdipAddPathRectangle(path, x, y, w, h);
        } else {
            const REAL dd = (REAL)d;
            gdiplus_calls()->GdipAddPathArc(path, x, y, dd, dd, 180, 90);
            gdiplus_calls()->GdipAddPathArc(path, x + w - dd, y, dd, dd, 270, 90);
            gdiplus_calls()->GdipAddPathArc(path, x + w - dd, y + h - dd, dd, dd, 0, 90);
            gdiplus_calls()->GdipAddPathArc(path, x, y + h - dd, dd, dd, 90, 90);
            gdiplus_calls()->GdipClosePathFigure(path);
        }
        if (fill != COLOR_NONE) {
            GpSolidFill* brush = nullptr;
            if (gdiplus_calls()->GdipCreateSolidFill(opaque_argb(fill), &brush) == Ok) {
                gdiplus_calls()->GdipFillPath(graphics, brush, path);
                gdiplus_calls()->GdipDeleteBrush(brush);
            }
        }
        if (border != COLOR_NONE && border_width > 0) {
            GpPen* pen = nullptr;
            if (gdiplus_calls()->GdipCreatePen1(opaque_argb(border), (REAL)border_width, UnitPixel, &pen) == Ok) {
                gdiplus_calls()->GdipDrawPath(graphics, pen, path);
                gdiplus_calls()->GdipDeletePen(pen);
            }
        }
        gdiplus_calls()->GdipDeletePath(path);
    }
    gdiplus_calls()->GdipDeleteGraphics(graphics);
}
