// tools/ui_shot/gallery.cpp
#include "tools/ui_shot/gallery.h"

#include <windows.h>

#include "core/wide_string.h"
#include "ui/controls.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

const int kIconColumns = 4;
const int kIconCellW = 200, kIconCellH = 60;
const int kStateCount = 5;
const int kButtonCellW = 170, kButtonCellH = 50, kButtonLabelW = 110;
const int kMargin = 16, kHeading = 34;

void label(HDC dc, const wchar_t* text, int x, int y, int w, int h, UINT flags) {
    RECT r = {x, y, x + w, y + h};
    draw_text(dc, text, r, ui_font(FONT_NORMAL), COLOR_MUTED, flags | DT_SINGLELINE | DT_VCENTER);
}

void heading(HDC dc, const wchar_t* text, int y, int width) {
    RECT r = {kMargin, y, width - kMargin, y + kHeading};
    draw_text(dc, text, r, ui_font(FONT_HEADING), COLOR_INK, DT_SINGLELINE | DT_VCENTER);
}

int draw_icons(HDC dc, int top, int width) {
    heading(dc, L"Icons at 16, 24 and 48 px", top, width);
    top += kHeading + 6;
    static const int kSizes[] = {16, 24, 48};
    for (int id = 0; id < ICON_COUNT; ++id) {
        const int x = kMargin + (id % kIconColumns) * kIconCellW;
        const int y = top + (id / kIconColumns) * kIconCellH;
        WideString number = {};
        append_int(&number, id);
        label(dc, text_of(number), x, y, 28, 48, DT_RIGHT);
        release(&number);
        int ix = x + 36;
        for (int size : kSizes) {
            draw_icon(dc, (unsigned)id, ix, y + (48 - size) / 2, size, COLOR_ACCENT);
            ix += size + 12;
        }
    }
    return top + ((ICON_COUNT + kIconColumns - 1) / kIconColumns) * kIconCellH;
}

int draw_buttons(HDC dc, int top, int width) {
    heading(dc, L"Button kinds and states", top, width);
    top += kHeading + 4;
    static const wchar_t* const kStates[kStateCount] = {L"normal", L"hover", L"pressed", L"focused", L"disabled"};
    static const wchar_t* const kKinds[] = {L"1 primary", L"2 secondary", L"3 link", L"4 icon only",
                                             L"5 outline", L"6 danger", L"7 success"};
    static const int kIcons[] = {ICON_SCANNER, ICON_FOLDER, ICON_WEB, ICON_SETTINGS, ICON_MERGE, ICON_DELETE, ICON_CHAT};
    for (int s = 0; s < kStateCount; ++s) {
        label(dc, kStates[s], kMargin + kButtonLabelW + s * kButtonCellW, top, kButtonCellW - 10, 24, DT_CENTER);
    }
    top += 26;
    for (int k = 0; k < 7; ++k) {
        const int y = top + k * kButtonCellH;
        label(dc, kKinds[k], kMargin, y, kButtonLabelW, 40, DT_LEFT);
        for (int s = 0; s < kStateCount; ++s) {
            ButtonFace face = {L"Save file", kIcons[k], k + 1, s != 4, s == 1, s == 2, s == 3, COLOR_PANEL};
            const int x = kMargin + kButtonLabelW + s * kButtonCellW;
            // Buttons paint at their window's origin; the viewport puts each in its cell.
            POINT old;
            SetViewportOrgEx(dc, x, y, &old);
            button_paint(dc, kButtonCellW - 12, 40, &face);
            SetViewportOrgEx(dc, old.x, old.y, nullptr);
        }
    }
    return top + 7 * kButtonCellH;
}

}  // namespace

// Draws into a 24-bit DIB section, whose rows have the page's layout (top-down, padded to
// four bytes), and copies them.
PageImage* page_from_dc(HDC source, int x, int y, int w, int h) {
    PageImage* page = page_image_new();
    if (!page || !page_image_alloc(page, w, h, 24, 96)) {
        page_image_free(page);
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        page_image_free(page);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, w, h, source, x, y, SRCCOPY);
    GdiFlush();
    CopyMemory(page->pixels, bits, (size_t)page->stride * (size_t)h);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return page;
}

PageImage* gallery_draw() {
    const int width = 2 * kMargin + kButtonLabelW + kStateCount * kButtonCellW;
    const int height = 2 * kMargin + 2 * (kHeading + 6) + 26 +
                       ((ICON_COUNT + kIconColumns - 1) / kIconColumns) * kIconCellH + 7 * kButtonCellH + 20;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    if (!dc || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    fill_solid(dc, all, COLOR_PANEL);
    const int buttons_top = draw_icons(dc, kMargin, width) + 20;
    draw_buttons(dc, buttons_top, width);
    PageImage* page = page_from_dc(dc, 0, 0, width, height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return page;
}
