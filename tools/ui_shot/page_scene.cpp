// tools/ui_shot/page_scene.cpp
#include "tools/ui_shot/page_scene.h"

#include "app/strings.h"
#include "ui/page_view.h"
#include "ui/theme.h"

namespace {

PageList g_pages = {};
PageViewHost g_host = {};

bool always_idle(void*) {
    return true;
}

void nothing(void*) {}

// A page that looks like a scanned letter: white paper, a coloured heading band, grey
// lines of text and, on some pages, a picture block.
PageImage* letter(int width, int height, COLORREF band, bool picture) {
    PageImage* page = page_image_new();
    if (!page_image_alloc(page, width, height, 24, 150)) {
        page_image_free(page);
        return nullptr;
    }
    const int margin = width / 10;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = page->pixels + (size_t)y * page->stride;
        const bool band_row = y >= height / 12 && y < height / 12 + height / 16;
        const int line = (y - height / 5) % (height / 28);
        const bool text_row = y > height / 5 && y < height * 9 / 10 && line >= 0 && line < height / 80;
        for (int x = 0; x < width; ++x) {
            COLORREF c = RGB(250, 250, 248);
            const bool inside = x >= margin && x < width - margin;
            if (band_row && inside) c = band;
            if (text_row && inside && (x * 7 + y) % 97 > 6) c = RGB(90, 96, 104);
            if (picture && x >= width / 2 && x < width - margin && y > height / 2 && y < height * 3 / 4) {
                c = RGB(60 + x * 120 / width, 120, 200 - y * 100 / height);
            }
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return page;
}

LRESULT CALLBACK scene_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, canvas_brush());
        return 1;
    }
    return DefWindowProcW(window, msg, wp, lp);
}

}  // namespace

HWND page_scene_open(HINSTANCE instance) {
    if (!page_view_register(instance)) return nullptr;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = scene_proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"ZanShotPages";
    RegisterClassW(&wc);
    PageStoreOptions options = {};
    options.release_thumbnail = page_view_release_thumbnail;
    if (!page_list_init(&g_pages, &options)) return nullptr;
    static const COLORREF bands[] = {RGB(0, 120, 212), RGB(34, 150, 80), RGB(214, 60, 60), RGB(214, 140, 20),
                                     RGB(120, 80, 180), RGB(0, 150, 160)};
    for (int k = 0; k < 6; ++k) {
        const bool landscape = k == 2;
        PageImage* page = letter(landscape ? 1169 : 827, landscape ? 827 : 1169, bands[k], k % 2 == 1);
        if (!page || !page_list_append(&g_pages, page)) {
            page_image_free(page);
            return nullptr;
        }
        page_view_make_thumbnail(&g_pages, k);
    }
    g_host = {&g_pages, nullptr, always_idle, nothing, nothing};
    const DWORD layout = interface_language() == LANGUAGE_ARABIC ? WS_EX_LAYOUTRTL : 0;
    const int w = scaled(640), preview_h = scaled(380), strip_h = scaled(150), gap = scaled(8);
    HWND window = CreateWindowExW(WS_EX_TOPMOST | layout, L"ZanShotPages", L"pages", WS_POPUP | WS_VISIBLE, 0, 0,
                                  w + 2 * gap, preview_h + strip_h + 3 * gap, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    HWND preview = create_preview(window, 1, &g_host);
    HWND strip = create_strip(window, 2, &g_host);
    MoveWindow(preview, gap, gap, w, preview_h, TRUE);
    MoveWindow(strip, gap, preview_h + 2 * gap, w, strip_h, TRUE);
    refresh_strip(true);
    // Press on the fourth cell and drag it in front of the second one.
    const bool rtl = interface_language() == LANGUAGE_ARABIC;
    const int pitch = scaled(100), cell = scaled(92), margin = scaled(8);
    RECT client;
    GetClientRect(strip, &client);
    const int content = client.right > margin + scaled(4) + 6 * pitch ? client.right : margin + scaled(4) + 6 * pitch;
    const int cell3 = rtl ? content - margin - cell - 3 * pitch : margin + 3 * pitch;
    const int marker1 = rtl ? content - margin - pitch + scaled(4) : margin + pitch - scaled(4);
    SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cell3 + cell / 2, scaled(40)));
    SendMessageW(strip, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(cell3 + cell / 2 + (rtl ? 20 : -20), scaled(40)));
    SendMessageW(strip, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(marker1, scaled(40)));
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE | RDW_ALLCHILDREN);
    return window;
}

void page_scene_close(HWND window) {
    ReleaseCapture();
    DestroyWindow(window);
    page_list_free(&g_pages);
}
