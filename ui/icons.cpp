// ui/icons.cpp
// Each icon is a recipe of a few primitives in design units (0..24); IconPen maps them
// to pixels. One pen and one brush serve a whole icon and are released with it.
#include "ui/icons.h"

#include "ui/gdiplus_calls.h"
#include <math.h>

#include "ui/paint.h"

using namespace Gdiplus;

namespace {

struct IconPen {
    GpGraphics* graphics;
    GpPen* pen;
    GpSolidFill* brush;
    float s, ox, oy, stroke;
    unsigned argb;
};

struct P {
    float u, v;
};

GpPointF at(const IconPen& c, P p) {
    GpPointF q;
    q.X = p.u * c.s + c.ox;
    q.Y = p.v * c.s + c.oy;
    return q;
}

const int kMaxPoints = 12;

enum PolyMode { OPEN, CLOSED, FILLED_CLOSED };

void poly(IconPen& c, const P* pts, int n, PolyMode mode) {
    GpPointF q[kMaxPoints];
    if (n > kMaxPoints) n = kMaxPoints;
    for (int i = 0; i < n; ++i) q[i] = at(c, pts[i]);
    if (mode == FILLED_CLOSED) gdiplus_calls()->GdipFillPolygon(c.graphics, c.brush, q, n, FillModeAlternate);
    if (mode == OPEN) {
        gdiplus_calls()->GdipDrawLines(c.graphics, c.pen, q, n);
    } else {
        gdiplus_calls()->GdipDrawPolygon(c.graphics, c.pen, q, n);
    }
}

template <int N>
void poly(IconPen& c, const P (&pts)[N], PolyMode mode) {
    poly(c, pts, N, mode);
}

void line(IconPen& c, float x1, float y1, float x2, float y2) {
    const GpPointF a = at(c, {x1, y1}), b = at(c, {x2, y2});
    gdiplus_calls()->GdipDrawLine(c.graphics, c.pen, a.X, a.Y, b.X, b.Y);
}

void circle(IconPen& c, float cx, float cy, float r, bool filled) {
    const GpPointF tl = at(c, {cx - r, cy - r});
    const float d = 2 * r * c.s;
    if (filled) {
        gdiplus_calls()->GdipFillEllipse(c.graphics, c.brush, tl.X, tl.Y, d, d);
    } else {
        gdiplus_calls()->GdipDrawEllipse(c.graphics, c.pen, tl.X, tl.Y, d, d);
    }
}

// Arcs are always centred on x = 12.
void arc(IconPen& c, float cy, float r, float start, float sweep) {
    const GpPointF tl = at(c, {12 - r, cy - r});
    const float d = 2 * r * c.s;
    gdiplus_calls()->GdipDrawArc(c.graphics, c.pen, tl.X, tl.Y, d, d, start, sweep);
}

void round_rect(IconPen& c, float x, float y, float w, float h, float r) {
    GpPath* path = nullptr;
    if (gdiplus_calls()->GdipCreatePath(FillModeAlternate, &path) != Ok) return;
    const GpPointF tl = at(c, {x, y});
    const float W = w * c.s, H = h * c.s, D = 2 * r * c.s;
    gdiplus_calls()->GdipAddPathArc(path, tl.X, tl.Y, D, D, 180, 90);
    gdiplus_calls()->GdipAddPathArc(path, tl.X + W - D, tl.Y, D, D, 270, 90);
    gdiplus_calls()->GdipAddPathArc(path, tl.X + W - D, tl.Y + H - D, D, D, 0, 90);
    gdiplus_calls()->GdipAddPathArc(path, tl.X, tl.Y + H - D, D, D, 90, 90);
    gdiplus_calls()->GdipClosePathFigure(path);
    gdiplus_calls()->GdipDrawPath(c.graphics, c.pen, path);
    gdiplus_calls()->GdipDeletePath(path);
}

void bezier(IconPen& c, GpPen* pen, P a, P b, P d, P e) {
    const GpPointF p1 = at(c, a), p2 = at(c, b), p3 = at(c, d), p4 = at(c, e);
    gdiplus_calls()->GdipDrawBezier(c.graphics, pen, p1.X, p1.Y, p2.X, p2.Y, p3.X, p3.Y, p4.X, p4.Y);
}

void document_outline(IconPen& c) {
    const P page[] = {{5.5f, 3}, {14, 3}, {18.5f, 7.5f}, {18.5f, 21}, {5.5f, 21}};
    const P fold[] = {{14, 3}, {14, 7.5f}, {18.5f, 7.5f}};
    poly(c, page, CLOSED);
    poly(c, fold, OPEN);
}

void bin(IconPen& c) {
    const P lid[] = {{9, 6}, {9, 3.5f}, {15, 3.5f}, {15, 6}};
    const P body[] = {{6, 6}, {7, 20.5f}, {17, 20.5f}, {18, 6}};
    line(c, 4, 6, 20, 6);
    poly(c, lid, OPEN);
    poly(c, body, OPEN);
}

void scanner(IconPen& c) {
    const P lid[] = {{5, 10}, {19, 10}, {21.5f, 14}, {2.5f, 14}};
    poly(c, lid, CLOSED);
    round_rect(c, 2.5f, 14, 19, 5.5f, 1.5f);
    circle(c, 17.5f, 16.8f, 0.9f, true);
    line(c, 4, 6.5f, 20, 6.5f);
    line(c, 7, 3.5f, 17, 3.5f);
}

void chat(IconPen& c) {
    circle(c, 12, 12, 10, true);
    const P tail[] = {{4.2f, 19.8f}, {4.8f, 15.6f}, {8.2f, 19.2f}};
    poly(c, tail, FILLED_CLOSED);
    GpPen* white = nullptr;
    if (gdiplus_calls()->GdipCreatePen1(0xFFFFFFFFu, 1.15f * c.stroke, UnitPixel, &white) != Ok) return;
    gdiplus_calls()->GdipSetPenStartCap(white, LineCapRound);
    gdiplus_calls()->GdipSetPenEndCap(white, LineCapRound);
    bezier(c, white, {8.6f, 8.2f}, {8.4f, 12.6f}, {11.4f, 15.6f}, {15.8f, 15.4f});
    gdiplus_calls()->GdipDeletePen(white);
}

void globe(IconPen& c) {
    circle(c, 12, 12, 9, false);
    line(c, 3, 12, 21, 12);
    line(c, 12, 3, 12, 21);
    const GpPointF tl = at(c, {7.2f, 3});
    gdiplus_calls()->GdipDrawEllipse(c.graphics, c.pen, tl.X, tl.Y, 9.6f * c.s, 18 * c.s);
}

void star(IconPen& c) {
    P pts[10];
    for (int i = 0; i < 10; ++i) {
        const float angle = (float)((i * 36 - 90) * 3.14159265358979 / 180.0);
        const float r = (i % 2 == 0) ? 10.0f : 4.6f;
        pts[i] = {12 + r * cosf(angle), 12.6f + r * sinf(angle)};
    }
    poly(c, pts, 10, FILLED_CLOSED);
}

void settings_gear(IconPen& c) {
    circle(c, 12, 12, 3, false);
    circle(c, 12, 12, 7, false);
    for (int k = 0; k < 8; ++k) {
        const float a = (float)(k * 45 * 3.14159265358979 / 180.0);
        line(c, 12 + 7 * cosf(a), 12 + 7 * sinf(a), 12 + 10 * cosf(a), 12 + 10 * sinf(a));
    }
}

void draw_recipe(IconPen& c, unsigned id) {
    switch (id) {
    case ICON_SCANNER:
    case ICON_PREVIEW_EMPTY: scanner(c); break;
    case ICON_REFRESH: {
        arc(c, 12, 8, -40, 290);
        const P head[] = {{19.6f, 7.2f}, {14.5f, 5.91f}, {19.49f, 1.94f}};
        poly(c, head, FILLED_CLOSED);
        break;
    }
    case ICON_ROTATE: {
        arc(c, 12, 8, 30, 270);
        const P head[] = {{19.2f, 14.3f}, {18.24f, 9.12f}, {23.94f, 12}};
        poly(c, head, FILLED_CLOSED);
        round_rect(c, 9, 9, 6, 6, 1);
        break;
    }
    case ICON_DELETE:
        bin(c);
        line(c, 10.5f, 10, 10.5f, 17);
        line(c, 13.5f, 10, 13.5f, 17);
        break;
    case ICON_DELETE_ALL:
        bin(c);
        line(c, 9.8f, 10, 14.2f, 16.5f);
        line(c, 14.2f, 10, 9.8f, 16.5f);
        break;
    case ICON_FOLDER: {
        const P folder[] = {{3, 6}, {9, 6}, {11, 8.5f}, {21, 8.5f}, {21, 19}, {3, 19}};
        poly(c, folder, CLOSED);
        break;
    }
    case ICON_SAVE: {
        round_rect(c, 4, 4, 16, 16, 2);
        const P shutter[] = {{8, 4}, {8, 9}, {16, 9}, {16, 4}};
        const P label[] = {{7, 20}, {7, 13}, {17, 13}, {17, 20}};
        poly(c, shutter, OPEN);
        poly(c, label, OPEN);
        break;
    }
    case ICON_SETTINGS: settings_gear(c); break;
    case ICON_HELP:
        circle(c, 12, 12, 9.5f, false);
        arc(c, 9.6f, 2.8f, 180, 230);
        line(c, 12, 12.9f, 12, 14.4f);
        circle(c, 12, 17.4f, 0.9f, true);
        break;
    case ICON_GLOBE:
    case ICON_WEB: globe(c); break;
    case ICON_CHAT: chat(c); break;
    case ICON_DOWNLOAD: {
        line(c, 12, 4, 12, 14.5f);
        const P head[] = {{7, 10.5f}, {12, 15.5f}, {17, 10.5f}};
        const P tray[] = {{4, 16}, {4, 20}, {20, 20}, {20, 16}};
        poly(c, head, OPEN);
        poly(c, tray, OPEN);
        break;
    }
    case ICON_WINDOWS: {
        const P corners[] = {{3, 3.5f}, {12.8f, 3.5f}, {3, 12.3f}, {12.8f, 12.3f}};
        for (const P& p : corners) {
            const GpPointF tl = at(c, p);
            gdiplus_calls()->GdipFillRectangle(c.graphics, c.brush, tl.X, tl.Y, 8.2f * c.s, 8.2f * c.s);
        }
        break;
    }
    case ICON_MAIL: {
        round_rect(c, 3, 5.5f, 18, 13, 2);
        const P flap[] = {{3.5f, 7}, {12, 13.5f}, {20.5f, 7}};
        poly(c, flap, OPEN);
        break;
    }
    case ICON_CROP: {
        const P a[] = {{7, 3}, {7, 17}, {21, 17}};
        const P b[] = {{3, 7}, {17, 7}, {17, 21}};
        poly(c, a, OPEN);
        poly(c, b, OPEN);
        break;
    }
    case ICON_DESKEW: {
        const P sheet[] = {{6.5f, 5}, {17.5f, 3}, {19.5f, 15}, {8.5f, 17}};
        poly(c, sheet, CLOSED);
        line(c, 8, 8, 16, 6.7f);
        line(c, 8.4f, 11, 16.4f, 9.7f);
        arc(c, 12, 10, 100, 70);
        break;
    }
    case ICON_REMOVE_PAGE:
        document_outline(c);
        line(c, 3.5f, 21.5f, 21, 3);
        break;
    case ICON_MERGE: {
        round_rect(c, 2.5f, 3, 7.5f, 6, 1);
        round_rect(c, 14, 3, 7.5f, 6, 1);
        const P left[] = {{6.2f, 9}, {6.2f, 12}, {12, 15}};
        const P right[] = {{17.8f, 9}, {17.8f, 12}, {12, 15}};
        const P head[] = {{12, 21.3f}, {8.8f, 17.1f}, {15.2f, 17.1f}};
        poly(c, left, OPEN);
        poly(c, right, OPEN);
        line(c, 12, 15, 12, 20);
        poly(c, head, FILLED_CLOSED);
        break;
    }
    case ICON_SPLIT: {
        round_rect(c, 7, 2.5f, 10, 6.5f, 1);
        line(c, 12, 9, 12, 12.5f);
        const P branch[] = {{6.2f, 16}, {12, 12.5f}, {17.8f, 16}};
        poly(c, branch, OPEN);
        round_rect(c, 2.5f, 16, 7.5f, 5.5f, 1);
        round_rect(c, 14, 16, 7.5f, 5.5f, 1);
        break;
    }
    case ICON_PHONE:
        bezier(c, c.pen, {5.5f, 3.8f}, {3.8f, 12.5f}, {11.5f, 20.2f}, {20.2f, 18.5f});
        line(c, 5.5f, 3.8f, 9, 4.2f);
        line(c, 9, 4.2f, 10, 8);
        line(c, 20.2f, 18.5f, 19.8f, 15);
        line(c, 19.8f, 15, 16, 14);
        break;
    case ICON_ADD:
        line(c, 12, 5, 12, 19);
        line(c, 5, 12, 19, 12);
        break;
    case ICON_DIAGNOSTICS: {
        circle(c, 10.5f, 10.5f, 6.5f, false);
        line(c, 15.3f, 15.3f, 20.5f, 20.5f);
        const P tick[] = {{7.6f, 10.6f}, {9.8f, 12.8f}, {13.6f, 8.4f}};
        poly(c, tick, OPEN);
        break;
    }
    case ICON_DOCUMENT:
        document_outline(c);
        line(c, 8.5f, 12, 15.5f, 12);
        line(c, 8.5f, 15, 15.5f, 15);
        line(c, 8.5f, 18, 12.5f, 18);
        break;
    case ICON_PICTURE: {
        round_rect(c, 3, 4.5f, 18, 15, 2);
        const P hills[] = {{4, 17.5f}, {9, 11.5f}, {12.5f, 15}, {15, 12.5f}, {20, 17.5f}};
        poly(c, hills, OPEN);
        circle(c, 8, 9, 1.5f, true);
        break;
    }
    case ICON_DONE: {
        const P tick[] = {{4.5f, 12.5f}, {9.8f, 17.8f}, {19.5f, 6.5f}};
        poly(c, tick, OPEN);
        break;
    }
    case ICON_WARNING: {
        const P triangle[] = {{12, 3.5f}, {22, 20.5f}, {2, 20.5f}};
        poly(c, triangle, CLOSED);
        line(c, 12, 10, 12, 15);
        circle(c, 12, 17.8f, 0.9f, true);
        break;
    }
    case ICON_PRINT: {
        round_rect(c, 3, 9, 18, 8.5f, 2);
        const P top[] = {{7, 9}, {7, 3.5f}, {17, 3.5f}, {17, 9}};
        const P bottom[] = {{7, 14}, {7, 20.5f}, {17, 20.5f}, {17, 14}};
        poly(c, top, OPEN);
        poly(c, bottom, CLOSED);
        circle(c, 17.5f, 12, 0.8f, true);
        break;
    }
    case ICON_CLOSE:
        line(c, 5.5f, 5.5f, 18.5f, 18.5f);
        line(c, 18.5f, 5.5f, 5.5f, 18.5f);
        break;
    case ICON_LIGHTNING: {
        const P bolt[] = {{13.5f, 2.5f}, {5, 13.5f}, {11, 13.5f}, {10, 21.5f}, {19, 10}, {13, 10}};
        poly(c, bolt, FILLED_CLOSED);
        break;
    }
    case ICON_UP: {
        const P chevron[] = {{6, 15}, {12, 9}, {18, 15}};
        poly(c, chevron, OPEN);
        break;
    }
    case ICON_DOWN: {
        const P chevron[] = {{6, 9}, {12, 15}, {18, 9}};
        poly(c, chevron, OPEN);
        break;
    }
    case ICON_COPY: {
        round_rect(c, 8.5f, 8.5f, 12, 12, 2);
        const P back[] = {{15.5f, 5.5f}, {15.5f, 3.5f}, {3.5f, 3.5f}, {3.5f, 15.5f}, {5.5f, 15.5f}};
        poly(c, back, OPEN);
        break;
    }
    case ICON_TEXT:
        document_outline(c);
        line(c, 9, 11, 15, 11);
        line(c, 12, 11, 12, 18);
        break;
    case ICON_PRESET: star(c); break;
    case ICON_NETWORK:
        circle(c, 12, 4.5f, 2.4f, false);
        circle(c, 5, 18, 2.4f, false);
        circle(c, 19, 18, 2.4f, false);
        line(c, 12, 7, 12, 11);
        line(c, 12, 11, 5, 15.5f);
        line(c, 12, 11, 19, 15.5f);
        line(c, 7.5f, 18, 16.5f, 18);
        break;
    case ICON_SHIELD: {
        const P shield[] = {{12, 2.5f}, {20, 5.5f}, {19, 13.5f}, {16.5f, 18}, {12, 21.5f}, {7.5f, 18}, {5, 13.5f}};
        const P tick[] = {{8, 12}, {11, 15}, {16.5f, 8.5f}};
        poly(c, shield, CLOSED);
        poly(c, tick, OPEN);
        break;
    }
    default: break;
    }
}

}  // namespace

float icon_stroke_width(int size) {
    const float w = 0.085f * (float)size;
    return w > 1.4f ? w : 1.4f;
}

void draw_icon(HDC dc, unsigned id, int x, int y, int size, COLORREF colour) {
    IconPen c = {};
    if (!gdiplus_calls() || gdiplus_calls()->GdipCreateFromHDC(dc, &c.graphics) != Ok) return;
    gdiplus_calls()->GdipSetSmoothingMode(c.graphics, SmoothingModeAntiAlias);
    gdiplus_calls()->GdipSetPixelOffsetMode(c.graphics, PixelOffsetModeHalf);
    c.s = (float)size / 24.0f;
    c.ox = (float)x;
    c.oy = (float)y;
    c.stroke = icon_stroke_width(size);
    c.argb = opaque_argb(colour);
    const bool have_pen = gdiplus_calls()->GdipCreatePen1(c.argb, c.stroke, UnitPixel, &c.pen) == Ok;
    const bool have_brush = gdiplus_calls()->GdipCreateSolidFill(c.argb, &c.brush) == Ok;
    if (have_pen && have_brush) {
        gdiplus_calls()->GdipSetPenLineJoin(c.pen, LineJoinRound);
        gdiplus_calls()->GdipSetPenStartCap(c.pen, LineCapRound);
        gdiplus_calls()->GdipSetPenEndCap(c.pen, LineCapRound);
        draw_recipe(c, id);
    }
    if (have_pen) gdiplus_calls()->GdipDeletePen(c.pen);
    if (have_brush) gdiplus_calls()->GdipDeleteBrush(c.brush);
    gdiplus_calls()->GdipDeleteGraphics(c.graphics);
}

HICON load_app_icon(int size) {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void* load_logo() {
    if (!gdiplus_calls()) return nullptr;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, L"LOGO", MAKEINTRESOURCEW(10));
    if (!found) return nullptr;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return nullptr;
    void* target = GlobalLock(copy);
    if (!target) {
        GlobalFree(copy);
        return nullptr;
    }
    CopyMemory(target, bytes, size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    // The stream frees the memory block when it is released.
    if (CreateStreamOnHGlobal(copy, TRUE, &stream) != S_OK) {
        GlobalFree(copy);
        return nullptr;
    }
    GpBitmap* decoded = nullptr;
    GpBitmap* clone = nullptr;
    if (gdiplus_calls()->GdipCreateBitmapFromStream(stream, &decoded) == Ok) {
        UINT w = 0, h = 0;
        gdiplus_calls()->GdipGetImageWidth(decoded, &w);
        gdiplus_calls()->GdipGetImageHeight(decoded, &h);
        if (gdiplus_calls()->GdipCloneBitmapAreaI(0, 0, (INT)w, (INT)h, PixelFormat32bppPARGB, decoded, &clone) != Ok)
            clone = nullptr;
        gdiplus_calls()->GdipDisposeImage(decoded);
    }
    stream->Release();
    return clone;
}

void draw_logo(HDC dc, void* logo, const RECT& r) {
    GpGraphics* graphics = nullptr;
    if (!logo || !gdiplus_calls() || gdiplus_calls()->GdipCreateFromHDC(dc, &graphics) != Ok) return;
    gdiplus_calls()->GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
    gdiplus_calls()->GdipDrawImageRectI(graphics, static_cast<GpBitmap*>(logo), r.left, r.top, r.right - r.left,
                                        r.bottom - r.top);
    gdiplus_calls()->GdipDeleteGraphics(graphics);
}
