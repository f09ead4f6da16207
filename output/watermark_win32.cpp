// output/watermark_win32.cpp
// The stamp's text through GDI: DrawTextW shapes Arabic and honours right-to-left
// reading, which GDI+'s string drawing does not do everywhere. The text is drawn white
// on black into a 32-bit surface the size of the page under a world transform (centre,
// then rotation), anti-aliased, and the green channel becomes the coverage.
#include "output/watermark.h"

#include <windows.h>

#include <math.h>

#include "core/heap.h"

namespace {

int CALLBACK note_family(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The interface's face: "Segoe UI", else "Tahoma", else "Arial".
const wchar_t* choose_face(HDC dc) {
    static const wchar_t* const kFaces[] = {L"Segoe UI", L"Tahoma", L"Arial"};
    for (const wchar_t* face : kFaces) {
        LOGFONTW query = {};
        query.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExW(dc, &query, note_family, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return face;
    }
    return kFaces[2];
}

HFONT make_font(const wchar_t* face, int size, bool right_to_left) {
    return CreateFontW(-size, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                       right_to_left ? ARABIC_CHARSET : DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
}

const UINT kSingleLine = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;

}  // namespace

bool watermark_render_coverage(const wchar_t* text, int width, int height, double angle_degrees,
                               bool right_to_left, uint8_t* coverage) {
    if (!text || !coverage || width < 1 || height < 1) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!surface || !bits) {
        if (surface) DeleteObject(surface);
        DeleteDC(dc);
        return false;
    }
    HGDIOBJ old_bitmap = SelectObject(dc, surface);
    const wchar_t* face = choose_face(dc);
    const UINT direction = right_to_left ? DT_RTLREADING : 0;

    int size = watermark_font_size(width, height);
    if (size < 1) size = 1;
    const double diagonal = sqrt((double)width * width + (double)height * height);
    HFONT font = make_font(face, size, right_to_left);
    bool ok = font != nullptr;
    HGDIOBJ old_font = ok ? SelectObject(dc, font) : nullptr;
    if (ok) {
        // A text wider than 0.8 of the diagonal is drawn smaller so it stays on the page.
        RECT measure = {0, 0, 0, 0};
        DrawTextW(dc, text, -1, &measure, kSingleLine | DT_CALCRECT | direction);
        const int measured = measure.right - measure.left;
        if (measured > 0.8 * diagonal) {
            const int smaller = (int)(size * 0.8 * diagonal / measured);
            HFONT resized = make_font(face, smaller > 1 ? smaller : 1, right_to_left);
            if (resized) {
                SelectObject(dc, resized);
                DeleteObject(font);
                font = resized;
                size = smaller;
            }
        }
    }
    if (ok) {
        SetGraphicsMode(dc, GM_ADVANCED);
        const double radians = angle_degrees * 3.14159265358979323846 / 180.0;
        XFORM turn = {};
        turn.eM11 = (FLOAT)cos(radians);
        turn.eM12 = (FLOAT)sin(radians);
        turn.eM21 = (FLOAT)-sin(radians);
        turn.eM22 = (FLOAT)cos(radians);
        turn.eDx = (FLOAT)(width * 0.5);
        turn.eDy = (FLOAT)(height * 0.5);
        ok = SetWorldTransform(dc, &turn) != 0;
    }
    if (ok) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        const int d = (int)ceil(diagonal);
        RECT layout = {-d, -2 * size, d, 2 * size};
        ok = DrawTextW(dc, text, -1, &layout, kSingleLine | DT_CENTER | DT_VCENTER | direction) != 0;
        GdiFlush();
    }
    if (ok) {
        const uint8_t* src = static_cast<const uint8_t*>(bits);
        const int64_t count = (int64_t)width * height;
        for (int64_t k = 0; k < count; ++k) coverage[k] = src[4 * k + 1];
    }
    if (old_font) SelectObject(dc, old_font);
    if (font) DeleteObject(font);
    SelectObject(dc, old_bitmap);
    DeleteObject(surface);
    DeleteDC(dc);
    return ok;
}
