// output/watermark_win32.cpp
// The stamp's text through GDI: DrawTextW shapes Arabic and honours right-to-left
// reading, which GDI+'s string drawing does not do everywhere. The text is drawn level,
// white on black, anti-aliased, into a 32-bit surface just large enough for it; the
// green channel becomes the coverage mask that watermark_blend turns onto the page.
#include "output/watermark.h"

#include <windows.h>

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
    return CreateFontW(-size, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, right_to_left ? ARABIC_CHARSET : DEFAULT_CHARSET,
                       OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
}

const UINT kSingleLine = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;

// Width of the text in the font selected into dc.
int measure(HDC dc, const wchar_t* text, UINT direction) {
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text, -1, &r, kSingleLine | DT_CALCRECT | direction);
    return r.right - r.left;
}

}  // namespace

uint8_t* watermark_render_text(const wchar_t* text, int size, int max_width, bool right_to_left, int* width,
                               int* height) {
    *width = *height = 0;
    if (!text || !text[0] || size < 1) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    const wchar_t* face = choose_face(dc);
    const UINT direction = right_to_left ? DT_RTLREADING : 0;
    HFONT font = make_font(face, size, right_to_left);
    if (!font) {
        DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ old_font = SelectObject(dc, font);
    int text_width = measure(dc, text, direction);
    if (text_width > max_width && max_width > 0) {
        const int smaller = (int)((double)size * max_width / text_width);
        HFONT resized = make_font(face, smaller > 1 ? smaller : 1, right_to_left);
        if (resized) {
            SelectObject(dc, resized);
            DeleteObject(font);
            font = resized;
            size = smaller > 1 ? smaller : 1;
            text_width = measure(dc, text, direction);
        }
    }
    // Room for overhanging bold strokes on both sides; the layout box of 4 x size rows.
    const int mask_width = text_width + 2 * size;
    const int mask_height = 4 * size;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = mask_width;
    info.bmiHeader.biHeight = -mask_height;   // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    uint8_t* mask = nullptr;
    if (surface && bits) {
        HGDIOBJ old_bitmap = SelectObject(dc, surface);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        RECT layout = {0, 0, mask_width, mask_height};
        const bool drawn = DrawTextW(dc, text, -1, &layout, kSingleLine | DT_CENTER | DT_VCENTER | direction) != 0;
        GdiFlush();
        mask = drawn ? static_cast<uint8_t*>(mem_alloc_array((size_t)mask_width, (size_t)mask_height)) : nullptr;
        if (mask) {
            const uint8_t* src = static_cast<const uint8_t*>(bits);
            const int64_t count = (int64_t)mask_width * mask_height;
            for (int64_t k = 0; k < count; ++k) mask[k] = src[4 * k + 1];
            *width = mask_width;
            *height = mask_height;
        }
        SelectObject(dc, old_bitmap);
    }
    if (surface) DeleteObject(surface);
    SelectObject(dc, old_font);
    DeleteObject(font);
    DeleteDC(dc);
    return mask;
}
