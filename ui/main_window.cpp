// ui/main_window.cpp
// The main window (class ZanMain): its controls, layout, painting and window events. The
// commands and the workers' messages are in main_commands.cpp; both share the one state
// record of main_window_state.h.
#include "ui/main_window.h"

#include <commctrl.h>

#include "app/deployment.h"
#include "app/log.h"
#include "app/presets.h"
#include "app/settings.h"
#include "app/strings.h"
#include "app/version.h"
#include "core/heap.h"
#include "scan/twain_host.h"
#include "ui/bidi_text.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/gdiplus_calls.h"
#include "ui/icons.h"
#include "ui/main_window_state.h"
#include "ui/paint.h"
#include "ui/theme.h"

static MainWindow g_state;
static HWND g_main_window = nullptr;

MainWindow* main_state() {
    return &g_state;
}

HWND main_window() {
    return g_main_window;
}

HWND main_child(int id) {
    HWND control = GetDlgItem(g_state.hwnd, id);
    if (!control && g_state.panel) control = GetDlgItem(g_state.panel, id);
    return control;
}

// ---- the control table

namespace {

enum ControlKind { KIND_BUTTON, KIND_LABEL, KIND_SMALL_LABEL, KIND_LIST, KIND_CHECK, KIND_SLIDER };
struct ControlSpec {
    int id;
    bool in_panel;
    ControlKind kind;
    int text_id;      // string-table id of the caption, -1 none
    int icon;         // button icon
    int button_kind;  // button kind
};
const ControlSpec kControls[] = {
    {ID_LANGUAGE, false, KIND_BUTTON, 72, ICON_GLOBE, BUTTON_SECONDARY},
    {ID_HELP, false, KIND_BUTTON, 70, ICON_HELP, BUTTON_SECONDARY},
    {ID_SERVICE, false, KIND_BUTTON, 73, ICON_CHAT, BUTTON_SUCCESS},
    {ID_PHONE, false, KIND_BUTTON, -1, ICON_PHONE, BUTTON_LINK},
    {ID_WEB, false, KIND_BUTTON, -1, ICON_WEB, BUTTON_LINK},
    {ID_DEVICES, true, KIND_LIST, -1, 0, 0},
    {ID_ADD_NETWORK_SCANNER, true, KIND_BUTTON, 314, ICON_ADD, BUTTON_ICON},
    {ID_DEVICE_STATE, true, KIND_SMALL_LABEL, -1, 0, 0},
    {ID_DEVICE_DETAILS, true, KIND_SMALL_LABEL, -1, 0, 0},
    {ID_REFRESH, true, KIND_BUTTON, 4, ICON_REFRESH, BUTTON_SECONDARY},
    {ID_SELECT_WINDOWS, true, KIND_BUTTON, 6, ICON_WINDOWS, BUTTON_SECONDARY},
    {ID_DIAGNOSTICS, true, KIND_BUTTON, 7, ICON_DIAGNOSTICS, BUTTON_SECONDARY},
    {ID_DOWNLOAD, true, KIND_BUTTON, 5, ICON_DOWNLOAD, BUTTON_SECONDARY},
    {ID_SHOW_ALL_WIA, true, KIND_CHECK, 8, 0, 0},
    {ID_CONNECTION, true, KIND_BUTTON, 206, ICON_NETWORK, BUTTON_SECONDARY},
    {ID_PRESETS, true, KIND_LIST, -1, 0, 0},
    {ID_PRESET_SAVE, true, KIND_BUTTON, 25, ICON_LIGHTNING, BUTTON_ICON},
    {ID_PRESET_DELETE, true, KIND_BUTTON, 26, ICON_DELETE, BUTTON_ICON},
    {ID_COLOR_LABEL, true, KIND_LABEL, 9, 0, 0},
    {ID_DPI_LABEL, true, KIND_LABEL, 13, 0, 0},
    {ID_COLOR, true, KIND_LIST, -1, 0, 0},
    {ID_DPI, true, KIND_LIST, -1, 0, 0},
    {ID_SOURCE_LABEL, true, KIND_LABEL, 14, 0, 0},
    {ID_PAPER_LABEL, true, KIND_LABEL, 18, 0, 0},
    {ID_SOURCE, true, KIND_LIST, -1, 0, 0},
    {ID_PAPER, true, KIND_LIST, -1, 0, 0},
    {ID_BRIGHTNESS_LABEL, true, KIND_LABEL, 19, 0, 0},
    {ID_BRIGHTNESS_VALUE, true, KIND_LABEL, -1, 0, 0},
    {ID_BRIGHTNESS, true, KIND_SLIDER, -1, 0, 0},
    {ID_CONTRAST_LABEL, true, KIND_LABEL, 20, 0, 0},
    {ID_CONTRAST_VALUE, true, KIND_LABEL, -1, 0, 0},
    {ID_CONTRAST, true, KIND_SLIDER, -1, 0, 0},
    {ID_THRESHOLD_LABEL, true, KIND_LABEL, 21, 0, 0},
    {ID_THRESHOLD_VALUE, true, KIND_LABEL, -1, 0, 0},
    {ID_THRESHOLD, true, KIND_SLIDER, -1, 0, 0},
    {ID_DRIVER_UI, true, KIND_CHECK, 22, 0, 0},
    {ID_APPEND, true, KIND_CHECK, 31, 0, 0},
    {ID_HINT, true, KIND_LABEL, 285, 0, 0},
    {ID_ADVANCED, true, KIND_BUTTON, 69, ICON_SETTINGS, BUTTON_SECONDARY},
    {ID_MERGE, true, KIND_BUTTON, 67, ICON_MERGE, BUTTON_SECONDARY},
    {ID_SPLIT, true, KIND_BUTTON, 68, ICON_SPLIT, BUTTON_SECONDARY},
    {ID_SHARE_WIZARD, true, KIND_BUTTON, 235, ICON_FOLDER, BUTTON_SECONDARY},
    {ID_FIREWALL, true, KIND_BUTTON, 222, ICON_SHIELD, BUTTON_DANGER},
    {ID_SCAN, false, KIND_BUTTON, 29, ICON_SCANNER, BUTTON_PRIMARY},
    {ID_ROTATE, false, KIND_BUTTON, 187, ICON_ROTATE, BUTTON_SECONDARY},
    {ID_DELETE_PAGE, false, KIND_BUTTON, 188, ICON_DELETE, BUTTON_SECONDARY},
    {ID_CLEAR_ALL, false, KIND_BUTTON, 37, ICON_DELETE_ALL, BUTTON_DANGER},
    {ID_AUTO_CROP, false, KIND_BUTTON, 39, ICON_CROP, BUTTON_SECONDARY},
    {ID_DESKEW, false, KIND_BUTTON, 40, ICON_DESKEW, BUTTON_SECONDARY},
    {ID_REMOVE_BLANKS, false, KIND_BUTTON, 189, ICON_REMOVE_PAGE, BUTTON_SECONDARY},
    {ID_FORMAT_LABEL, false, KIND_SMALL_LABEL, 43, 0, 0},
    {ID_FORMAT, false, KIND_LIST, -1, 0, 0},
    {ID_AFTER_SAVE_LABEL, false, KIND_SMALL_LABEL, 52, 0, 0},
    {ID_AFTER_SAVE, false, KIND_LIST, -1, 0, 0},
    {ID_SAVE, false, KIND_BUTTON, 42, ICON_SAVE, BUTTON_PRIMARY},
    {ID_FOLDER_LABEL, false, KIND_LABEL, -1, 0, 0},
    {ID_CHOOSE_FOLDER, false, KIND_BUTTON, 49, ICON_FOLDER, BUTTON_SECONDARY},
    {ID_OPEN_FOLDER, false, KIND_BUTTON, 50, ICON_FOLDER, BUTTON_SECONDARY},
};

const wchar_t* caption_of(const ControlSpec& spec) {
    if (spec.id == ID_PHONE) return main_state()->phone_caption.data ? text_of(main_state()->phone_caption) : L"";
    if (spec.id == ID_WEB) return kServiceWebAddress;
    return spec.text_id >= 0 ? tr(spec.text_id) : L"";
}

COLORREF button_back(int id) {
    return id == ID_SCAN || (id >= ID_ROTATE && id <= ID_REMOVE_BLANKS) ? COLOR_CANVAS : COLOR_WHITE;
}

void add_items(HWND list, const int* ids, int count) {
    for (int i = 0; i < count; ++i) list_add(list, tr(ids[i]));
}

void fill_lists() {
    static const int kColors[] = {10, 11, 12};
    static const int kSources[] = {15, 16, 17};
    static const int kFormats[] = {44, 45, 46, 47};
    static const int kAfterSave[] = {53, 54, 55};
    add_items(main_child(ID_COLOR), kColors, 3);
    add_items(main_child(ID_SOURCE), kSources, 3);
    add_items(main_child(ID_FORMAT), kFormats, 4);
    add_items(main_child(ID_AFTER_SAVE), kAfterSave, 3);
    static const wchar_t* const kPapers[] = {L"A4", L"A3", L"A5", L"Legal", L"Letter"};
    for (const wchar_t* paper : kPapers) list_add(main_child(ID_PAPER), paper);
    WideString number = {};
    for (int i = 0; i < DPI_CHOICE_COUNT; ++i) {
        format(&number, L"%d", kDpiChoices[i]);
        list_add(main_child(ID_DPI), text_of(number));
    }
    release(&number);
    main_fill_presets();
}

// The folder path is shortened in its middle. Wine's static control fails an assertion
// drawing a right-aligned path ellipsis, so the Arabic label (right-aligned) is cut instead.
DWORD folder_label_style() {
    return interface_language() == LANGUAGE_ARABIC ? SS_LEFT | SS_CENTERIMAGE : SS_LEFT | SS_PATHELLIPSIS | SS_CENTERIMAGE;
}

// A path reads left to right in both languages; in Arabic it stays at the right end.
void make_left_to_right(HWND label) {
    const LONG_PTR ex = GetWindowLongPtrW(label, GWL_EXSTYLE);
    SetWindowLongPtrW(label, GWL_EXSTYLE, ex & ~(LONG_PTR)(WS_EX_RTLREADING | WS_EX_LAYOUTRTL));
}

// Field and item heights of a combo box (its window height includes the drop-down).
void set_list_heights(HWND list, int field, int item) {
    SendMessageW(list, CB_SETITEMHEIGHT, (WPARAM)-1, scaled(field) - 6);
    SendMessageW(list, CB_SETITEMHEIGHT, 0, scaled(item) - 4);
}

}  // namespace

void main_fill_presets() {
    HWND list = main_child(ID_PRESETS);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    list_add(list, tr(24));
    for (int entry = 0;; ++entry) {
        const int key = preset_key_for_entry(entry);
        if (key < 0) break;
        ScanPreset preset = {};
        if (read_preset(key, &preset)) list_add(list, text_of(preset.name));
        release_preset(&preset);
    }
    list_select(list, 0);
}

void main_refresh_phone_caption() {
    release(&g_state.phone_caption);
    bidi_append_ltr(&g_state.phone_caption, kServicePhone, interface_language());
}

void main_create_controls() {
    MainWindow& st = g_state;
    main_refresh_phone_caption();
    st.panel = make_panel(st.hwnd, ID_PANEL, st.hwnd);
    panel_set_painter(st.panel, main_paint_panel);
    for (const ControlSpec& spec : kControls) {
        HWND parent = spec.in_panel ? st.panel : st.hwnd;
        const wchar_t* caption = caption_of(spec);
        HWND control = nullptr;
        switch (spec.kind) {
        case KIND_BUTTON:
            control = make_button(parent, spec.id, caption, spec.icon, spec.button_kind, 0, 0, 10, 10);
            button_set_back(control, button_back(spec.id));
            break;
        case KIND_LABEL:
        case KIND_SMALL_LABEL:
            control = make_label(parent, spec.id, caption,
                                 spec.id >= ID_BRIGHTNESS_VALUE && spec.id <= ID_THRESHOLD_VALUE ? SS_CENTER
                                 : spec.id == ID_FOLDER_LABEL ? folder_label_style()
                                                              : SS_LEFT);
            if (spec.kind == KIND_SMALL_LABEL) SendMessageW(control, WM_SETFONT, (WPARAM)ui_font(FONT_SMALL), 0);
            if (spec.id == ID_FOLDER_LABEL) make_left_to_right(control);
            break;
        case KIND_LIST:
            control = make_list(parent, spec.id);
            break;
        case KIND_CHECK:
            control = make_check(parent, spec.id, caption);
            break;
        case KIND_SLIDER:
            control = make_slider(parent, spec.id, spec.id == ID_THRESHOLD ? 0 : -100,
                                  spec.id == ID_THRESHOLD ? 255 : 100, 0);
            break;
        }
        (void)control;
    }
    st.preview = create_preview(st.hwnd, ID_PREVIEW, &st.view_host);
    st.strip = create_strip(st.hwnd, ID_STRIP, &st.view_host);
    st.progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 10, 10, st.hwnd,
                                  (HMENU)(INT_PTR)ID_PROGRESS, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(st.progress, PBM_SETRANGE32, 0, 100);
    fill_lists();
    main_set_controls_from_settings();
    main_refresh_device_area();
    main_refresh_folder_label();
}

// ---- layout

// A caption's width in the wider of the two languages, so the Arabic window keeps the
// English one's geometry and is its exact mirror.
static int width_of(HFONT font, int text_id) {
    const int arabic = text_width(font, tr_in(LANGUAGE_ARABIC, text_id));
    const int english = text_width(font, tr_in(LANGUAGE_ENGLISH, text_id));
    return arabic > english ? arabic : english;
}

static int wider(int a, int b) {
    return a > b ? a : b;
}

static void place(HWND control, const RECT& r, int scroll) {
    if (!control) return;
    wchar_t cls[16] = {};
    GetClassNameW(control, cls, 16);
    int h = r.bottom - r.top;
    if (cls[0] == L'C' || cls[0] == L'c') h = scaled(300);   // a combo box's window holds its drop-down
    MoveWindow(control, r.left, r.top - scroll, r.right - r.left, h, TRUE);
}

void main_layout_window() {
    MainWindow& st = g_state;
    RECT client;
    GetClientRect(st.hwnd, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    const HFONT normal = ui_font(FONT_NORMAL);
    MainLayoutInput in = {};
    in.client_w = client.right;
    in.client_h = client.bottom;
    in.dpi = ui_dpi();
    in.language = interface_language();
    in.help_tw = width_of(normal, 70);
    in.language_tw = width_of(normal, 72);
    in.service_tw = width_of(ui_font(FONT_SEMIBOLD), 73);
    static const int kToolTexts[PAGE_TOOL_COUNT] = {187, 188, 37, 39, 40, 189};
    for (int i = 0; i < PAGE_TOOL_COUNT; ++i) in.tool_tw[i] = width_of(normal, kToolTexts[i]);
    in.choose_folder_tw = width_of(normal, 49);
    in.open_folder_tw = width_of(normal, 50);
    st.layout = main_layout(in);
    for (int i = 0; i < st.layout.count; ++i) place(GetDlgItem(st.hwnd, st.layout.controls[i].id), st.layout.controls[i].rect, 0);

    // The panel: laid out at its full width, then again without the scroll bar's width
    // when the content is taller, and once more if the client width still differs.
    const RECT panel_rect = placed_rect(st.layout.controls, st.layout.count, ID_PANEL);
    PanelLayoutInput pin = {};
    pin.dpi = in.dpi;
    pin.language = in.language;
    pin.pair_tw[0] = wider(width_of(normal, 4), width_of(normal, 6));
    pin.pair_tw[1] = wider(width_of(normal, 7), width_of(normal, 5));
    pin.pair_tw[2] = wider(width_of(normal, 67), width_of(normal, 68));
    const int panel_h = panel_rect.bottom - panel_rect.top;
    pin.width = panel_rect.right - panel_rect.left;
    pin.width = panel_layout_width(pin, panel_h, GetSystemMetrics(SM_CXVSCROLL));
    st.panel_layout = panel_layout(pin);
    panel_set_content_height(st.panel, st.panel_layout.content_height);
    RECT panel_client;
    GetClientRect(st.panel, &panel_client);
    if (panel_client.right > 0 && panel_client.right != pin.width) {
        pin.width = panel_client.right;
        st.panel_layout = panel_layout(pin);
        panel_set_content_height(st.panel, st.panel_layout.content_height);
    }
    const int scroll = panel_position(st.panel);
    for (int i = 0; i < st.panel_layout.count; ++i)
        place(GetDlgItem(st.panel, st.panel_layout.controls[i].id), st.panel_layout.controls[i].rect, scroll);
    set_list_heights(main_child(ID_FORMAT), 24, 26);
    set_list_heights(main_child(ID_AFTER_SAVE), 24, 26);
    static const int kPanelLists[] = {ID_DEVICES, ID_PRESETS, ID_COLOR, ID_DPI, ID_SOURCE, ID_PAPER};
    for (int id : kPanelLists) set_list_heights(main_child(id), 20, 22);
    InvalidateRect(st.panel, nullptr, TRUE);
    InvalidateRect(st.hwnd, nullptr, FALSE);
}

// ---- painting

void main_paint_panel(HWND, HDC dc, int scroll, const RECT* client) {
    fill_solid(dc, *client, COLOR_CANVAS);
    for (const PanelCard& card : g_state.panel_layout.cards) {
        RECT box = card.box;
        OffsetRect(&box, 0, -scroll);
        fill_round_rect(dc, box, scaled(10), COLOR_PANEL, COLOR_LINE, 1);
        draw_icon(dc, (unsigned)card.icon_id, card.icon.left, card.icon.top - scroll, card.icon.right - card.icon.left,
                  COLOR_ACCENT);
        RECT heading = card.heading;
        OffsetRect(&heading, 0, -scroll);
        draw_text(dc, tr(card.heading_id), heading, ui_font(FONT_SEMIBOLD), COLOR_INK,
                  DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
}

static RECT english_rect(int x, int y, int w, int h, int client_w) {
    RECT r = {x, y, x + w, y + h};
    if (interface_language() == LANGUAGE_ARABIC) {
        r.left = client_w - x - w;
        r.right = client_w - x;
    }
    return r;
}

void main_footer_rect(RECT* r) {
    GetClientRect(g_state.hwnd, r);
    r->top = r->bottom - scaled(30);
}

static void paint_footer(HDC dc, const RECT& client) {
    const MainWindow& st = g_state;
    RECT footer = client;
    footer.top = st.layout.footer_top;
    fill_solid(dc, footer, COLOR_PANEL);
    RECT line = {0, footer.top, client.right, footer.top + 1};
    fill_solid(dc, line, COLOR_LINE);
    const int W = client.right, h = footer.bottom - footer.top;
    WideString version = wide_copy(L"v");
    append(&version, kVersionText);
    const int version_w = text_width(ui_font(FONT_SMALL), text_of(version));
    const int version_x = W - scaled(14) - version_w;
    draw_text(dc, text_of(version), english_rect(version_x, footer.top, version_w, h, W), ui_font(FONT_SMALL), COLOR_MUTED,
              DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    release(&version);
    int status_right = version_x - scaled(12);
    if (st.scanning || st.saving) status_right = status_right < W - scaled(224) ? status_right : W - scaled(224);
    const int status_x = scaled(14);
    if (status_right > status_x)
        draw_text(dc, text_of(st.status), english_rect(status_x, footer.top, status_right - status_x, h, W),
                  ui_font(FONT_NORMAL), st.status_colour, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

static void on_paint(HWND hwnd) {
    const MainWindow& st = g_state;
    PaintBuffer buffer;
    HDC dc = paint_begin(hwnd, &buffer);
    const RECT& client = buffer.client;
    fill_solid(dc, client, COLOR_CANVAS);
    RECT header = {0, 0, client.right, st.layout.header_bottom};
    fill_solid(dc, header, COLOR_PANEL);
    RECT header_line = {0, header.bottom - 1, client.right, header.bottom};
    fill_solid(dc, header_line, COLOR_LINE);
    draw_logo(dc, st.logo, st.layout.logo);
    draw_text(dc, kProductName, st.layout.product_name, ui_font(FONT_HEADING), COLOR_INK,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    WideString subtitle = wide_copy(tr(0));
    append(&subtitle, L"  \x00B7  v");
    append(&subtitle, kVersionText);
    draw_text(dc, text_of(subtitle), st.layout.subtitle, ui_font(FONT_SMALL), COLOR_ACCENT_HOVER,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    release(&subtitle);

    fill_round_rect(dc, st.layout.save_card, scaled(10), COLOR_PANEL, COLOR_LINE, 1);
    fill_round_rect(dc, st.layout.folder_box, scaled(6), RGB(0xF7, 0xFA, 0xFD), COLOR_LINE, 1);
    draw_icon(dc, ICON_FOLDER, st.layout.folder_icon.left, st.layout.folder_icon.top, scaled(16), COLOR_ACCENT);
    paint_footer(dc, client);
    paint_end(&buffer);
}

// Labels straight on the main window: muted from id 5000 on, ink otherwise, transparent.
static LRESULT on_label_colour(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    SetTextColor(dc, id >= 5000 ? COLOR_MUTED : COLOR_INK);
    SetBkMode(dc, TRANSPARENT);
    const bool on_card = id >= ID_FORMAT_LABEL && id <= ID_FOLDER_LABEL;
    if (id == ID_FOLDER_LABEL) {
        SetBkColor(dc, RGB(0xF7, 0xFA, 0xFD));
        static HBRUSH folder_brush = CreateSolidBrush(RGB(0xF7, 0xFA, 0xFD));
        return (LRESULT)folder_brush;
    }
    return (LRESULT)(on_card ? panel_brush() : canvas_brush());
}

// ---- window events

static void on_create(HWND hwnd) {
    MainWindow& st = g_state;
    st.hwnd = hwnd;
    g_main_window = hwnd;
    st.logo = load_logo();
    main_create_controls();
    main_layout_window();
    main_state_update();
    main_set_status(tr(1), COLOR_MUTED);
    twain_set_report_window(hwnd);
    PostMessageW(hwnd, WM_ZAN_START_ENUMERATION, 0, 0);
    main_add_demo_pages();
}

static void on_min_max(MINMAXINFO* info) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const SIZE min_size = main_min_track_size(work, ui_dpi());
    info->ptMinTrackSize.x = min_size.cx;
    info->ptMinTrackSize.y = min_size.cy;
}

static void on_dpi_changed(HWND hwnd, WPARAM wp, const RECT* suggested) {
    ui_set_dpi(HIWORD(wp));
    ui_fonts_create();
    SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOACTIVATE | SWP_NOZORDER);
    for (int i = 0; i < g_state.pages.count; ++i) page_view_make_thumbnail(&g_state.pages, i);
    set_font_all(hwnd, ui_font(FONT_NORMAL));
    static const int kSmall[] = {ID_DEVICE_DETAILS, ID_DEVICE_STATE, ID_FORMAT_LABEL, ID_AFTER_SAVE_LABEL};
    for (int id : kSmall) SendMessageW(main_child(id), WM_SETFONT, (WPARAM)ui_font(FONT_SMALL), TRUE);
    main_layout_window();
    refresh_strip(false);
    refresh_preview();
}

static void store_placement(HWND hwnd) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd, &wp)) return;
    AppSettings* s = app_settings();
    s->WinX = wp.rcNormalPosition.left;
    s->WinY = wp.rcNormalPosition.top;
    s->WinW = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
    s->WinH = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
    s->Maximized = wp.showCmd == SW_SHOWMAXIMIZED || IsZoomed(hwnd);
}

static void on_destroy(HWND hwnd) {
    MainWindow& st = g_state;
    main_store_controls();
    store_placement(hwnd);
    settings_save();
    twain_set_report_window(nullptr);
    KillTimer(hwnd, MAIN_TIMER_CLOSE_WAIT);
    st.destroyed = true;
    page_list_free(&st.pages);
    device_list_free(st.devices);
    st.devices = nullptr;
    mem_free(st.save_batch);
    st.save_batch = nullptr;
    if (st.logo && gdiplus_calls()) gdiplus_calls()->GdipDisposeImage(static_cast<Gdiplus::GpBitmap*>(st.logo));
    st.logo = nullptr;
    release(&st.status);
    release(&st.phone_caption);
    g_main_window = nullptr;
    PostQuitMessage(st.exit_code);
}

static LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: on_create(hwnd); return 0;
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED && g_state.panel) main_layout_window();
        return 0;
    case WM_GETMINMAXINFO: on_min_max(reinterpret_cast<MINMAXINFO*>(lp)); return 0;
    case 0x02E0:  // WM_DPICHANGED
        on_dpi_changed(hwnd, wp, reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: on_paint(hwnd); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (GetParent(reinterpret_cast<HWND>(lp)) == hwnd) return on_label_colour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        return control_colours(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
        return control_colours(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_COMMAND: main_on_command(LOWORD(wp), HIWORD(wp)); return 0;
    case WM_HSCROLL:
        if (lp) main_on_slider();
        return 0;
    case WM_TIMER:
        if (wp == MAIN_TIMER_CLOSE_WAIT) main_on_close_wait_over();
        return 0;
    case WM_CLOSE: main_on_close(); return 0;
    case WM_DESTROY: on_destroy(hwnd); return 0;
    default:
        break;
    }
    LRESULT result = 0;
    if (main_on_private_message(msg, wp, lp, &result)) return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND main_window_create(HINSTANCE instance, const StartOptions* options, int show_command) {
    MainWindow& st = g_state;
    st.test_enum = options->test_enum;
    assign(&st.test_scan, text_of(options->test_scan));
    assign(&st.demo_image, text_of(options->demo_image));
    st.demo_pages = options->demo_pages;
    st.selected_device = -1;
    st.status_colour = COLOR_MUTED;
    st.view_host = main_view_host();
    PageStoreOptions store_options = {};
    store_options.release_thumbnail = page_view_release_thumbnail;
    if (!page_list_init(&st.pages, &store_options)) return nullptr;
    st.view_host.pages = &st.pages;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = load_app_icon(GetSystemMetrics(SM_CXICON));
    wc.hIconSm = load_app_icon(GetSystemMetrics(SM_CXSMICON));
    wc.lpszClassName = L"ZanMain";
    if (!RegisterClassExW(&wc) || !page_view_register(instance)) return nullptr;

    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const AppSettings* s = app_settings();
    const RECT r = main_window_rect(work, ui_dpi(), s->WinX, s->WinY, s->WinW, s->WinH);
    HWND hwnd = CreateWindowExW(0, L"ZanMain", L"Zan Group Scanner 2.1.5", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return nullptr;
    // Workspace coordinates: the same frame GetWindowPlacement stores at the end, so the
    // window does not creep when the taskbar is at the top or the left.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd, &placement);
    placement.rcNormalPosition = RECT{r.left - work.left, r.top - work.top, r.right - work.left, r.bottom - work.top};
    placement.showCmd = s->Maximized ? SW_SHOWMAXIMIZED : show_command;
    SetWindowPlacement(hwnd, &placement);
    UpdateWindow(hwnd);
    log_line(L"UI: main window shown %s", IsZoomed(hwnd) ? L"maximized" : L"normal");
    return hwnd;
}
