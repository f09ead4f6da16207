// The toolkit with real windows: the modal loop and its Cancel path, buttons under mouse
// and keyboard (synthesized input), panel scrolling, GDI objects released while painting,
// and the dialogs' text rules.
#include "ui/dialog_frame.h"

#include <gtest/gtest.h>

#include "ui/gdiplus_calls.h"

#include <functional>
#include <string>
#include <vector>

#include "app/strings.h"
#include "core/heap.h"
#include "image/codec.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/diagnostics_dialog.h"
#include "ui/help_dialog.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/settings_dialog.h"
#include "ui/string_list.h"
#include "ui/theme.h"
#include "tests/test_text.h"
#include "tests/ui/ui_test_environment.h"

namespace {

::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

// ---- a scripted modal session: each step runs from the dialog's own loop, 120 ms apart

std::vector<std::function<void()>> g_steps;
size_t g_step = 0;

void CALLBACK run_step(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_step >= g_steps.size()) {
        KillTimer(nullptr, timer);
        return;
    }
    g_steps[g_step++]();
}

void script(std::vector<std::function<void()>> steps) {
    g_steps = std::move(steps);
    g_step = 0;
    SetTimer(nullptr, 0, 120, run_step);
}

void press_key(WORD key, bool shift = false) {
    std::vector<INPUT> in;
    auto add = [&](WORD vk, bool up) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    if (shift) add(VK_SHIFT, false);
    add(key, false);
    add(key, true);
    if (shift) add(VK_SHIFT, true);
    SendInput((UINT)in.size(), in.data(), sizeof(INPUT));
}

struct HookLog {
    std::vector<int> commands;
    int cancel_requests;
    bool refuse_cancel;
};
HookLog g_log;

bool logging_hook(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
    // Clicks only (notification 0), not the edit's focus and change notifications.
    if (msg != WM_COMMAND || HIWORD(wp) != 0) return false;
    const int id = LOWORD(wp);
    g_log.commands.push_back(id);
    if (id == IDCANCEL) {
        ++g_log.cancel_requests;
        if (g_log.refuse_cancel) {
            *result = 0;
            return true;  // busy: the dialog stays open
        }
        return false;
    }
    if (id == IDOK) return false;
    *result = 0;
    return true;
}

struct TestDialog {
    HWND owner;
    HWND dialog;
    HWND buttons[3];
    HWND edit;
};

TestDialog make_test_dialog(int language) {
    set_interface_language(language);
    TestDialog t = {};
    t.owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 600, 400, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    t.dialog = dialog_create(t.owner, L"test", 460, 200);
    dialog_set_hook(t.dialog, logging_hook);
    const int ids[3] = {IDOK, 31, 32};
    for (int i = 0; i < 3; ++i) {
        const int x = 18 + i * 140;
        const int left = language == LANGUAGE_ARABIC ? 460 - x - 120 : x;
        t.buttons[i] = make_button(t.dialog, ids[i], L"Button", ICON_DONE, i == 0 ? BUTTON_PRIMARY : BUTTON_SECONDARY,
                                   left, 140, 120, 36);
    }
    t.edit = make_edit(t.dialog, 101, false);
    MoveWindow(t.edit, 20, 40, 420, 30, FALSE);
    g_log = HookLog{};
    return t;
}

void destroy_owner(TestDialog* t) {
    DestroyWindow(t->owner);
    set_interface_language(LANGUAGE_ENGLISH);
}

TEST(DialogRun, EscapeAndCloseBoxReachTheHandlerAsCancelAndABusyDialogStaysOpen) {
    TestDialog t = make_test_dialog(LANGUAGE_ENGLISH);
    g_log.refuse_cancel = true;
    bool open_after_refusals = false;
    script({[&] { SetForegroundWindow(t.dialog); SetFocus(t.buttons[1]); },
            [&] { press_key(VK_ESCAPE); },
            [&] { SendMessageW(t.dialog, WM_CLOSE, 0, 0); },
            [&] {
                open_after_refusals = dialog_is_open(t.dialog);
                g_log.refuse_cancel = false;
                press_key(VK_ESCAPE);
            }});
    const int result = dialog_run(t.dialog, t.owner);
    EXPECT_TRUE(open_after_refusals);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_log.cancel_requests, 3);
    EXPECT_TRUE(IsWindowEnabled(t.owner));
    EXPECT_FALSE(IsWindow(t.dialog));
    destroy_owner(&t);
}

TEST(DialogRun, EscapeInAnOpenComboBoxOnlyClosesItsList) {
    TestDialog t = make_test_dialog(LANGUAGE_ENGLISH);
    HWND list = make_list(t.dialog, 120);
    MoveWindow(list, 20, 80, 200, 200, FALSE);
    list_add(list, L"one");
    bool open_after_escape = false;
    LRESULT dropped_before = 0, dropped_after = 1;
    script({[&] {
                SetForegroundWindow(t.dialog);
                SetFocus(list);
                SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
            },
            [&] {
                dropped_before = SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0);
                press_key(VK_ESCAPE);
            },
            [&] {
                open_after_escape = dialog_is_open(t.dialog);
                dropped_after = SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0);
                dialog_end(t.dialog, 7);
            }});
    EXPECT_EQ(dialog_run(t.dialog, t.owner), 7);
    EXPECT_TRUE(dropped_before);
    EXPECT_FALSE(dropped_after);
    EXPECT_TRUE(open_after_escape);
    EXPECT_EQ(g_log.cancel_requests, 0);
    destroy_owner(&t);
}

// Tab moves through the buttons in creation order, which is the reading order in both
// languages: left to right in English, right to left in Arabic.
void check_keyboard(int language) {
    TestDialog t = make_test_dialog(language);
    std::vector<HWND> focus_order;
    script({[&] { SetForegroundWindow(t.dialog); SetFocus(t.buttons[0]); },
            [&] { focus_order.push_back(GetFocus()); press_key(VK_TAB); },
            [&] { focus_order.push_back(GetFocus()); press_key(VK_TAB); },
            [&] { focus_order.push_back(GetFocus()); press_key(VK_SPACE); },
            [&] { SetFocus(t.buttons[1]); },
            [&] { press_key(VK_RETURN); },
            [&] { SetFocus(t.edit); },
            [&] { press_key(VK_RETURN); }});
    const int result = dialog_run(t.dialog, t.owner);
    ASSERT_EQ(focus_order.size(), 3u);
    EXPECT_EQ(focus_order[0], t.buttons[0]);
    EXPECT_EQ(focus_order[1], t.buttons[1]);
    EXPECT_EQ(focus_order[2], t.buttons[2]);
    // Space pressed the focused button 32; Enter on button 31 pressed it; Enter in the
    // edit pressed the default button (OK), which ended the dialog with 1.
    EXPECT_EQ(g_log.commands, (std::vector<int>{32, 31, IDOK}));
    EXPECT_EQ(result, 1);
    destroy_owner(&t);
}

TEST(Keyboard, TabSpaceAndEnterInEnglish) {
    check_keyboard(LANGUAGE_ENGLISH);
}

TEST(Keyboard, TabSpaceAndEnterInArabic) {
    check_keyboard(LANGUAGE_ARABIC);
}

// ---- buttons and the mouse

int g_clicks = 0;
LRESULT CALLBACK counting_parent(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == 40) ++g_clicks;
    return DefWindowProcW(w, msg, wp, lp);
}

TEST(Button, ReleasingOutsideDoesNotClickAndComingBackDoes) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = counting_parent;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanTestParent";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, L"ZanTestParent", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND button = make_button(parent, 40, L"Go", ICON_DONE, BUTTON_PRIMARY, 10, 10, 100, 36);
    g_clicks = 0;
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    SendMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 10));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(200, 10));
    EXPECT_EQ(g_clicks, 0);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    SendMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 10));
    SendMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 10));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(30, 10));
    EXPECT_EQ(g_clicks, 1);
    EnableWindow(button, FALSE);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(g_clicks, 1);
    DestroyWindow(parent);
}

TEST(Panel, WheelScrollsSixtyPixelsAndStaysInRange) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND panel = make_panel(parent, 200, parent);
    MoveWindow(panel, 0, 0, 300, 300, TRUE);
    panel_set_content_height(panel, 1000);
    RECT client;
    GetClientRect(panel, &client);
    SendMessageW(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), 0);
    EXPECT_EQ(panel_position(panel), 60);
    SendMessageW(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
    EXPECT_EQ(panel_position(panel), 0);
    panel_scroll_to(panel, 5000);
    EXPECT_EQ(panel_position(panel), 1000 - client.bottom);
    panel_set_content_height(panel, 100);
    EXPECT_EQ(panel_position(panel), 0);
    DestroyWindow(parent);
}

// ---- GDI objects: none left behind by painting

// How many more GDI objects the process may create: create brushes until the system
// refuses, then free them. The difference between two counts is the number of objects
// that were created and never deleted in between (GetGuiResources is not available
// everywhere).
int gdi_room() {
    std::vector<HBRUSH> made;
    for (int i = 0; i < 70000; ++i) {
        HBRUSH b = CreateSolidBrush(RGB(i & 255, 0, 0));
        if (!b) break;
        made.push_back(b);
    }
    for (HBRUSH b : made) DeleteObject(b);
    return (int)made.size();
}

void paint_panel_lines(HWND, HDC dc, int position, const RECT* client) {
    RECT line = {10, 40 - position, client->right - 10, 42 - position};
    FillRect(dc, &line, panel_brush());
    draw_icon(dc, ICON_SETTINGS, 10, 60 - position, 24, COLOR_ACCENT);
}

// A thousand repaints spread over every kind of button (enabled, disabled, hovered,
// focused), a painted panel with a muted label and the dialog frame.
TEST(Painting, ThousandRepaintsLeaveNoGdiObjectBehind) {
    HWND dialog = dialog_create(nullptr, L"paint", 700, 300);
    for (int kind = BUTTON_PRIMARY; kind <= BUTTON_SUCCESS; ++kind) {
        make_button(dialog, 30 + kind, L"Caption", ICON_SCANNER + kind, kind, 10 + (kind - 1) * 95, 10, 90, 36);
    }
    HWND disabled = make_button(dialog, 50, L"Off", ICON_SAVE, BUTTON_SECONDARY, 10, 60, 90, 36);
    EnableWindow(disabled, FALSE);
    HWND panel = make_panel(dialog, 200, dialog);
    MoveWindow(panel, 10, 110, 300, 150, FALSE);
    panel_set_painter(panel, paint_panel_lines);
    panel_set_content_height(panel, 600);
    make_label(panel, 5001, L"muted", 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::vector<HWND> windows;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) windows.push_back(child);
    windows.push_back(dialog);
    SetFocus(GetDlgItem(dialog, 32));
    SendMessageW(GetDlgItem(dialog, 33), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    const DWORD gui_before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const int room_before = gdi_room();
    for (int i = 0; i < 1000; ++i) {
        RedrawWindow(windows[i % windows.size()], nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    const int room_after = gdi_room();
    const DWORD gui_after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_GT(room_before, 1000);
    EXPECT_EQ(room_after, room_before);
    EXPECT_EQ(gui_after, gui_before);
    DestroyWindow(dialog);
}

// ---- icons and resource pictures

struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    uint32_t* pixels;
    int size;
};

Canvas canvas_white(int size) {
    Canvas c = {};
    c.size = size;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    c.dc = CreateCompatibleDC(nullptr);
    c.bitmap = CreateDIBSection(c.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    c.old = SelectObject(c.dc, c.bitmap);
    c.pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < size * size; ++i) c.pixels[i] = 0x00FFFFFF;
    return c;
}

void canvas_free(Canvas* c) {
    SelectObject(c->dc, c->old);
    DeleteObject(c->bitmap);
    DeleteDC(c->dc);
}

int count_not_white(const Canvas& c) {
    GdiFlush();
    int n = 0;
    for (int i = 0; i < c.size * c.size; ++i) n += (c.pixels[i] & 0xFFFFFF) != 0xFFFFFF;
    return n;
}

TEST(Icons, EveryKnownIdDrawsInTheOpaqueColourAndUnknownIdsDrawNothing) {
    for (unsigned id = 0; id < (unsigned)ICON_COUNT; ++id) {
        Canvas c = canvas_white(48);
        draw_icon(c.dc, id, 0, 0, 48, 0xD47800);
        EXPECT_GT(count_not_white(c), 40) << "icon " << id;
        canvas_free(&c);
    }
    Canvas cross = canvas_white(24);
    draw_icon(cross.dc, ICON_CLOSE, 0, 0, 24, 0xD47800);
    GdiFlush();
    // The centre of the X is covered by both strokes: exactly the accent colour.
    EXPECT_EQ(cross.pixels[12 * 24 + 12] & 0xFFFFFF, 0x0078D4u);
    canvas_free(&cross);
    Canvas none = canvas_white(24);
    draw_icon(none.dc, 99, 0, 0, 24, 0xD47800);
    draw_icon(none.dc, 38, 0, 0, 24, 0xD47800);
    EXPECT_EQ(count_not_white(none), 0);
    canvas_free(&none);
}

TEST(Resources, LogoIs200By100PremultipliedAndTheIconLoadsAtWindowsSizes) {
    void* logo = load_logo();
    ASSERT_NE(logo, nullptr);
    UINT w = 0, h = 0;
    Gdiplus::PixelFormat format = 0;
    gdiplus_calls()->GdipGetImageWidth(static_cast<Gdiplus::GpImage*>(logo), &w);
    gdiplus_calls()->GdipGetImageHeight(static_cast<Gdiplus::GpImage*>(logo), &h);
    gdiplus_calls()->GdipGetImagePixelFormat(static_cast<Gdiplus::GpImage*>(logo), &format);
    EXPECT_EQ(w, 200u);
    EXPECT_EQ(h, 100u);
    EXPECT_EQ(format, (Gdiplus::PixelFormat)PixelFormat32bppPARGB);
    gdiplus_calls()->GdipDisposeImage(static_cast<Gdiplus::GpImage*>(logo));
    for (int size : {16, 20, 24, 32, 40, 48, 64, 128, 256}) {
        HICON icon = load_app_icon(size);
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm = {};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// ---- the dialogs' text rules

TEST(StringList, GrowsByDoublingAndKeepsOrderOnRemove) {
    EXPECT_EQ(string_list_grown_capacity(0, 1), 8);
    EXPECT_EQ(string_list_grown_capacity(8, 9), 16);
    EXPECT_EQ(string_list_grown_capacity(8, 40), 40);
    EXPECT_EQ(string_list_grown_capacity(16, 10), 16);
    StringList list = {};
    for (int i = 0; i < 10; ++i) {
        wchar_t text[8] = {L'f', (wchar_t)(L'0' + i), 0};
        ASSERT_TRUE(string_list_add(&list, text));
    }
    EXPECT_EQ(list.count, 10);
    EXPECT_EQ(list.capacity, 16);
    string_list_remove(&list, 0);
    string_list_remove(&list, 42);
    EXPECT_EQ(list.count, 9);
    EXPECT_EQ(utf8(text_of(list.items[0])), "f1");
    EXPECT_EQ(utf8(text_of(list.items[8])), "f9");
    string_list_clear(&list);
    EXPECT_EQ(list.count, 0);
    EXPECT_TRUE(string_list_add(&list, L""));
    string_list_free(&list);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.capacity, 0);
}

TEST(StringList, ShownNumberedWithFileNames) {
    HWND dialog = dialog_create(nullptr, L"list", 300, 200);
    HWND box = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 200, 100, dialog, reinterpret_cast<HMENU>(101),
                               GetModuleHandleW(nullptr), nullptr);
    StringList list = {};
    string_list_add(&list, L"C:\\scans\\a.pdf");
    string_list_add(&list, L"D:/b.png");
    string_list_show(dialog, &list);
    wchar_t line[64] = {};
    ASSERT_EQ(SendMessageW(box, LB_GETCOUNT, 0, 0), 2);
    SendMessageW(box, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(utf8(line), "2.  b.png");
    string_list_free(&list);
    DestroyWindow(dialog);
}

TEST(SettingsRules, PasswordAndOcrLanguage) {
    EXPECT_EQ(settings_password_problem(false, L""), 0);
    EXPECT_EQ(settings_password_problem(true, L""), 196);
    EXPECT_EQ(settings_password_problem(true, L"pa ss~1"), 0);
    EXPECT_EQ(settings_password_problem(true, L"p\u00E9"), 195);
    EXPECT_EQ(settings_password_problem(true, L"\u0643\u0644\u0645\u0629"), 195);
    EXPECT_EQ(settings_password_problem(true, L"tab\there"), 195);
    EXPECT_EQ(settings_ocr_language_position(L"ar"), 0);
    EXPECT_EQ(settings_ocr_language_position(L"en"), 1);
    EXPECT_EQ(settings_ocr_language_position(L"AR"), 2);
    EXPECT_EQ(utf8(settings_ocr_language_key(0)), "ar");
    EXPECT_EQ(utf8(settings_ocr_language_key(1)), "en");
    EXPECT_EQ(utf8(settings_ocr_language_key(2)), "both");
}

TEST(DiagnosticsView, AddsTheLogPathAndCarriageReturns) {
    WideString text = diagnostics_view_text(L"a\nb\r\nc", L"C:\\x\\ZanGroupScanner.log");
    EXPECT_EQ(utf8(text_of(text)), "a\r\nb\r\nc\r\n\r\nLog: C:\\x\\ZanGroupScanner.log\r\n");
    release(&text);
    WideString pending = diagnostics_report_pending();
    EXPECT_EQ(utf8(text_of(pending)).rfind("=== Zan Group Scanner 2.1.5 diagnostics ===\r\n", 0), 0u);
    release(&pending);
}

TEST(HelpView, ArabicLinesBecomeRightToLeftEmbeddings) {
    WideString en = help_view_text(L"1) a.\r\n\r\nb", LANGUAGE_ENGLISH);
    EXPECT_EQ(utf8(text_of(en)), "1) a.\r\n\r\nb");
    release(&en);
    WideString ar = help_view_text(L"1) \u0627.\r\n\r\n\u202A+1\u202C", LANGUAGE_ARABIC);
    EXPECT_EQ(utf8(text_of(ar)), utf8(L"\u202B1) \u0627.\u202C\r\n\r\n\u202A+1\u202C"));
    release(&ar);
}

}  // namespace

namespace {

// Reads a visible window's client area from the screen as 0xRRGGBB values.
std::vector<uint32_t> client_pixels(HWND window, int w, int h) {
    std::vector<uint32_t> out((size_t)w * h);
    HDC source = GetDC(window);
    HDC dc = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, w, h, source, 0, 0, SRCCOPY);
    GdiFlush();
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint32_t*>(bits)[i] & 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(window, source);
    return out;
}

// The same text drawn by draw_text, which lays Arabic out right to left.
std::vector<uint32_t> reference_pixels(const wchar_t* text, int w, int h, bool rtl) {
    Canvas c = canvas_white(w > h ? w : h);
    RECT r = {0, 0, w, h};
    HGDIOBJ old = SelectObject(c.dc, ui_font(FONT_NORMAL));
    SetTextColor(c.dc, COLOR_INK);
    SetBkMode(c.dc, TRANSPARENT);
    DrawTextW(c.dc, text, -1, &r, DT_RIGHT | DT_WORDBREAK | DT_NOPREFIX | (rtl ? DT_RTLREADING : 0));
    SelectObject(c.dc, old);
    GdiFlush();
    std::vector<uint32_t> out((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out[(size_t)y * w + x] = c.pixels[y * c.size + x] & 0xFFFFFF;
    canvas_free(&c);
    return out;
}

// Pixels that differ, at the best horizontal shift of up to 8 pixels either way (controls
// keep their own small margins).
int differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int w) {
    const int h = (int)(a.size() / w);
    int best = -1;
    for (int shift = -8; shift <= 8; ++shift) {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 8; x < w - 8; ++x) n += a[(size_t)y * w + x] != b[(size_t)y * w + x + shift];
        if (best < 0 || n < best) best = n;
    }
    return best;
}

// An Arabic label must show its text as DrawTextW lays it out with right-to-left reading
// (the colon of "...:" at the left end), not in left-to-right order, and never mirrored.
TEST(ArabicText, LabelsReadRightToLeft) {
    set_interface_language(LANGUAGE_ARABIC);
    HWND dialog = dialog_create(nullptr, L"bidi", 500, 200);
    const int w = 420, h = 26;
    const wchar_t* text = tr(28);
    const std::vector<uint32_t> rtl = reference_pixels(text, w, h, true);
    const std::vector<uint32_t> ltr = reference_pixels(text, w, h, false);
    ShowWindow(dialog, SW_SHOW);
    HWND label = make_label(dialog, 100, text, SS_LEFT);
    MoveWindow(label, 0, 0, w, h, TRUE);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const std::vector<uint32_t> shown = client_pixels(label, w, h);
    EXPECT_GT(differing(rtl, ltr, w), 8);  // the two orders look different for this text
    EXPECT_EQ(differing(shown, rtl, w), 0);
    DestroyWindow(dialog);
    set_interface_language(LANGUAGE_ENGLISH);
}

}  // namespace
