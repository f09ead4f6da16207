// ui/theme.cpp
#include "ui/theme.h"

#include <commctrl.h>

static int g_dpi = 96;
static HFONT g_fonts[FONT_COUNT] = {};
static HBRUSH g_canvas_brush = nullptr;
static HBRUSH g_panel_brush = nullptr;
static HWND g_tooltip = nullptr;
static wchar_t g_face[LF_FACESIZE] = {};

int ui_dpi() {
    return g_dpi;
}

void ui_set_dpi(int dpi) {
    g_dpi = dpi < 96 ? 96 : dpi;
}

int scaled_at(int v, int dpi) {
    return MulDiv(v, dpi, 96);
}

int scaled(int v) {
    return scaled_at(v, g_dpi);
}

static int CALLBACK note_family(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

static bool font_family_exists(HDC dc, const wchar_t* face) {
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &lf, note_family, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

const wchar_t* ui_font_face() {
    if (g_face[0]) return g_face;
    static const wchar_t* const kFaces[] = {L"Segoe UI", L"Tahoma"};
    const wchar_t* chosen = L"Arial";
    HDC screen = GetDC(nullptr);
    for (const wchar_t* face : kFaces) {
        if (screen && font_family_exists(screen, face)) {
            chosen = face;
            break;
        }
    }
    if (screen) ReleaseDC(nullptr, screen);
    lstrcpynW(g_face, chosen, LF_FACESIZE);
    return g_face;
}

int font_height_at(int tenths_of_point, int dpi) {
    return -MulDiv(tenths_of_point, dpi, 720);
}

bool ui_fonts_create() {
    struct FontSpec {
        int tenths;
        int weight;
    };
    static const FontSpec kSpecs[FONT_COUNT] = {{100, 400}, {100, 600}, {85, 400}, {150, 700}, {220, 700}};
    HFONT created[FONT_COUNT] = {};
    bool ok = true;
    for (int i = 0; i < FONT_COUNT; ++i) {
        LOGFONTW lf = {};
        lf.lfHeight = font_height_at(kSpecs[i].tenths, g_dpi);
        lf.lfWeight = kSpecs[i].weight;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(lf.lfFaceName, ui_font_face(), LF_FACESIZE);
        created[i] = CreateFontIndirectW(&lf);
        if (!created[i]) ok = false;
    }
    // Windows still using the old fonts get the new ones before the old ones go.
    for (int i = 0; i < FONT_COUNT; ++i) {
        HFONT old = g_fonts[i];
        g_fonts[i] = created[i];
        if (old) DeleteObject(old);
    }
    return ok;
}

HFONT ui_font(UiFont which) {
    if (which < 0 || which >= FONT_COUNT) which = FONT_NORMAL;
    return g_fonts[which] ? g_fonts[which] : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

bool ui_shared_create(HINSTANCE instance) {
    if (!g_canvas_brush) g_canvas_brush = CreateSolidBrush(COLOR_CANVAS);
    if (!g_panel_brush) g_panel_brush = CreateSolidBrush(COLOR_PANEL);
    if (!g_tooltip) {
        g_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    instance, nullptr);
        if (g_tooltip) SendMessageW(g_tooltip, TTM_SETMAXTIPWIDTH, 0, 360);
    }
    return g_canvas_brush && g_panel_brush && g_tooltip;
}

HBRUSH canvas_brush() {
    return g_canvas_brush;
}

HBRUSH panel_brush() {
    return g_panel_brush;
}

HWND ui_tooltip() {
    return g_tooltip;
}

void ui_shared_destroy() {
    for (HFONT& font : g_fonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
    if (g_canvas_brush) DeleteObject(g_canvas_brush);
    if (g_panel_brush) DeleteObject(g_panel_brush);
    if (g_tooltip) DestroyWindow(g_tooltip);
    g_canvas_brush = g_panel_brush = nullptr;
    g_tooltip = nullptr;
}
