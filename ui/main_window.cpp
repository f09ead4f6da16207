// ui/main_window.cpp
// A plain main window with the program's title and a short note; the scanning controls
// are built on it later. It starts the device enumeration at creation and logs the status
// line of the list that arrives; with --test-enum it then closes itself.
#include "ui/main_window.h"

#include "app/log.h"
#include "app/settings.h"
#include "app/version.h"
#include "scan/device_list.h"
#include "scan/diagnostics.h"
#include "scan/twain_host.h"
#include "ui/diagnostics_dialog.h"
#include "ui/help_dialog.h"
#include "ui/settings_dialog.h"

static HWND g_main_window = nullptr;

// Main window commands that open the secondary dialogs (the ids F1 and --show= post).
enum { CMD_HELP = 102, CMD_DIAGNOSTICS = 204, CMD_SETTINGS = 220 };

static void on_command(HWND hwnd, int command) {
    switch (command) {
    case CMD_HELP: help_dialog(hwnd); break;
    case CMD_DIAGNOSTICS: diagnostics_dialog(hwnd, diagnostics_report); break;
    case CMD_SETTINGS:
        advanced_settings_dialog(hwnd);
        settings_save();
        break;
    }
}
static bool g_close_after_start = false;

static LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        PostMessageW(hwnd, WM_ZAN_START_ENUMERATION, 0, 0);
        return 0;
    case WM_ZAN_START_ENUMERATION:
        twain_set_report_window(hwnd);
        if (!start_enumeration(app_settings()->ShowAllWia, 0)) {
            log_line(L"enumeration could not start");
            if (g_close_after_start) PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_DEVICE_LIST: {
        DeviceList* list = reinterpret_cast<DeviceList*>(lp);
        WideString status = device_list_status_text(*list);
        log_line(L"UI: %s", text_of(status));
        release(&status);
        device_list_free(list);
        if (g_close_after_start) PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_COMMAND:
        on_command(hwnd, LOWORD(wp));
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
        twain_set_report_window(nullptr);
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
