// app/cli_diag.cpp
// zancli diag (the driver diagnostics report) and the choice of the WIA device manager
// for zancli's scans: the system's, or the stand-in DLL that ZAN_WIA_MANAGER names (for
// machines without the WIA service, such as the test machines).
#include <windows.h>

#include "app/cli.h"
#include "app/log.h"
#include "core/path.h"
#include "core/text.h"
#include "scan/device_list.h"
#include "scan/diagnostics.h"
#include "scan/twain_host.h"
#include "scan/wia.h"

typedef HRESULT (*StandinCreateProc)(void** manager);
static StandinCreateProc g_standin_create = nullptr;

static HRESULT standin_manager(IWiaDevMgr2** manager) {
    return g_standin_create(reinterpret_cast<void**>(manager));
}

void cli_wia_setup() {
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"ZAN_WIA_MANAGER", path, MAX_PATH) || !path[0]) return;
    HMODULE module = LoadLibraryW(path);
    FARPROC proc = module ? GetProcAddress(module, "zan_wia_standin_create") : nullptr;
    g_standin_create = reinterpret_cast<StandinCreateProc>(reinterpret_cast<void*>(proc));
    if (!g_standin_create) {
        WideString line = {};
        format(&line, L"ZAN_WIA_MANAGER: cannot use %s", path);
        cli_error(text_of(line));
        release(&line);
        return;
    }
    wia_set_manager_factory(standin_manager);
}

static LRESULT CALLBACK list_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DEVICE_LIST) {
        device_list_free(reinterpret_cast<DeviceList*>(lparam));
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// One refresh, as the program does at start-up, so the report has a listing to compare with.
static void refresh_listing() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = list_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanCliDiag";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, L"ZanCliDiag", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window) return;
    twain_set_report_window(window);
    if (start_enumeration(false, 0)) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }
    twain_set_report_window(nullptr);
    DestroyWindow(window);
}

int cli_diag(int argc, wchar_t**) {
    if (argc != 0) return cli_usage(L"diag");
    WideString folder = module_folder();
    WideString log = path_join(text_of(folder), L"ZanGroupScanner.log");
    open_log(text_of(log));
    release(&folder);
    release(&log);
    refresh_listing();
    WideString report = diagnostics_report();
    // One line per cli_print, without the report's own line ends.
    const wchar_t* text = text_of(report);
    while (*text) {
        const wchar_t* end = text;
        while (*end && *end != L'\r' && *end != L'\n') ++end;
        WideString line = wide_copy(text, (int)(end - text));
        cli_print(text_of(line));
        release(&line);
        if (*end == L'\r') ++end;
        if (*end == L'\n') ++end;
        text = end;
    }
    release(&report);
    return 0;
}
