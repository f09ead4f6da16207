// ui/main_window.cpp
// A plain main window with the program's title and a short note; the scanning controls
// are built on it later. With --test-enum it closes itself once its start-up message
// has run, as the enumeration-only test expects.
#include "ui/main_window.h"

#include "app/log.h"
#include "app/settings.h"
#include "app/version.h"

static HWND g_main_window = nullptr;
static bool g_close_after_start = false;

static LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        PostMessageW(hwnd, WM_ZAN_START_ENUMERATION, 0, 0);
        return 0;
    case WM_ZAN_START_ENUMERATION:
        if (g_close_after_start) {
            log_line(L"UI: %s", L"device enumeration is not available in this build");
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"Zan Group Scanner 2.1.5", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        settings_save();
        g_main_window = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND main_window_create(HINSTANCE instance, const StartOptions* options, int show_command) {
    g_close_after_start = options->test_enum;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"ZanMain";
    if (!RegisterClassExW(&wc)) return nullptr;
    g_main_window = CreateWindowExW(0, L"ZanMain", kProductName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 960, 680, nullptr, nullptr, instance, nullptr);
    if (!g_main_window) return nullptr;
    ShowWindow(g_main_window, show_command);
    log_line(L"UI: main window shown %s", IsZoomed(g_main_window) ? L"maximized" : L"normal");
    return g_main_window;
}

HWND main_window() {
    return g_main_window;
}
