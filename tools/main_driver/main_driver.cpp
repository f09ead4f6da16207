// tools/main_driver/main_driver.cpp
// Drives a running ZanGroupScanner.exe from outside, as a user would, for the main
// window's end-to-end tests. One action per run; exit code 0 when it worked:
//   main_driver wait-idle [ms]        waits until the window exists and is idle
//                                     (refresh enabled: not enumerating, scanning, saving)
//   main_driver wait-busy [ms]        waits until the scan button says cancel (scanning)
//   main_driver states FILE           writes "id 0|1" for the controls of the enable table
//   main_driver click ID              posts the command of control ID
//   main_driver drag FROM TO          drags strip cell FROM (from 0) to insertion gap TO
//                                     with synthesized mouse input (English layout)
//   main_driver key VK...             synthesized key presses into the page strip
//   main_driver text ID FILE          writes the text of a control (UTF-8)
//   main_driver ping MS FILE          sends the window a message every 50 ms until it is
//                                     idle again (at most MS milliseconds) and writes
//                                     "longest_ms=N count=N"
//   main_driver answer TEXT [ms]      waits for the program's text input dialog, types
//                                     TEXT into it and presses OK
//   main_driver close [ms]            posts WM_CLOSE and waits for the window to go
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

const int kEnableIds[] = {301, 302, 303, 304, 305, 306, 313, 202, 203, 204, 201, 219, 220, 221, 222, 223, 224, 225};

HWND main_window() {
    return FindWindowW(L"ZanMain", nullptr);
}

HWND control(int id) {
    HWND main = main_window();
    if (!main) return nullptr;
    HWND c = GetDlgItem(main, id);
    if (!c) c = GetDlgItem(GetDlgItem(main, 106), id);
    return c;
}

bool wait_for(bool (*ready)(), int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (ready()) return true;
        Sleep(50);
    }
    return ready();
}

bool is_idle() {
    HWND refresh = control(202);
    return refresh && IsWindowEnabled(refresh);
}

bool is_scanning() {
    HWND scan = control(219);
    HWND save = control(313);
    // While scanning the save button is off and the scan button stays on (it cancels).
    return scan && IsWindowEnabled(scan) && save && !IsWindowEnabled(save) && !IsWindowEnabled(control(202));
}

bool window_gone() {
    return main_window() == nullptr;
}

void write_text(const wchar_t* path, const char* text) {
    FILE* f = _wfopen(path, L"wb");
    if (!f) return;
    fputs(text, f);
    fclose(f);
}

void mouse(int x, int y, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &in, sizeof in);
    Sleep(60);
}

// The strip's cells: margin 8, cell 92, pitch 100 (scaled), no scrolling.
int strip_x(HWND strip, int units) {
    HDC dc = GetDC(strip);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(strip, dc);
    return MulDiv(units, dpi < 96 ? 96 : dpi, 96);
}

bool drag(int from, int to) {
    HWND strip = control(308);
    if (!strip) return false;
    SetForegroundWindow(main_window());
    RECT r;
    GetClientRect(strip, &r);
    POINT start = {strip_x(strip, 8 + from * 100 + 46), r.bottom / 2};
    POINT end = {strip_x(strip, 8 + to * 100 - 4), r.bottom / 2};
    ClientToScreen(strip, &start);
    ClientToScreen(strip, &end);
    mouse(start.x, start.y, 0);
    mouse(start.x, start.y, MOUSEEVENTF_LEFTDOWN);
    const int steps = 6;
    for (int i = 1; i <= steps; ++i)
        mouse(start.x + (end.x - start.x) * i / steps, start.y, 0);
    mouse(end.x, end.y, MOUSEEVENTF_LEFTUP);
    return true;
}

bool keys(int argc, wchar_t** argv) {
    HWND strip = control(308);
    if (!strip) return false;
    SetForegroundWindow(main_window());
    SetFocus(strip);
    // SetFocus works only for this thread's windows; a click on the strip's empty end
    // gives it the focus as a user would.
    RECT r;
    GetClientRect(strip, &r);
    POINT p = {r.right - 4, r.bottom / 2};
    ClientToScreen(strip, &p);
    mouse(p.x, p.y, MOUSEEVENTF_LEFTDOWN);
    mouse(p.x, p.y, MOUSEEVENTF_LEFTUP);
    for (int i = 0; i < argc; ++i) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = (WORD)_wtoi(argv[i]);
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
        Sleep(100);
    }
    return true;
}

bool states(const wchar_t* path) {
    char text[1024] = {};
    for (int id : kEnableIds) {
        HWND c = control(id);
        char line[32];
        snprintf(line, sizeof line, "%d %d\n", id, c && IsWindowEnabled(c) ? 1 : 0);
        strncat(text, line, sizeof text - strlen(text) - 1);
    }
    write_text(path, text);
    return true;
}

bool control_text(int id, const wchar_t* path) {
    wchar_t wide[2048] = {};
    HWND c = control(id);
    if (!c) return false;
    SendMessageW(c, WM_GETTEXT, 2048, (LPARAM)wide);
    char utf8[8192] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    write_text(path, utf8);
    return true;
}

bool ping(int ms, const wchar_t* path) {
    HWND main = main_window();
    if (!main) return false;
    DWORD longest = 0;
    int count = 0;
    const DWORD start = GetTickCount(), end = start + (DWORD)ms;
    while (GetTickCount() < end && main_window() && !(GetTickCount() - start > 500 && is_idle())) {
        const DWORD before = GetTickCount();
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
        const DWORD waited = GetTickCount() - before;
        if (waited > longest) longest = waited;
        ++count;
        if (waited < 50) Sleep(50 - waited);
    }
    char text[64];
    snprintf(text, sizeof text, "longest_ms=%lu count=%d\n", (unsigned long)longest, count);
    write_text(path, text);
    return true;
}

bool answer(const wchar_t* text, int ms) {
    HWND dialog = nullptr;
    for (int waited = 0; waited < ms && !dialog; waited += 50) {
        dialog = FindWindowW(L"ZanDlg", nullptr);
        if (!dialog) Sleep(50);
    }
    HWND edit = dialog ? GetDlgItem(dialog, 101) : nullptr;
    if (!edit) return false;
    SendMessageW(edit, WM_SETTEXT, 0, (LPARAM)text);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    const wchar_t* action = argv[1];
    const int wait_ms = argc > 2 ? _wtoi(argv[2]) : 30000;
    bool ok = false;
    if (lstrcmpW(action, L"wait-idle") == 0) ok = wait_for(is_idle, wait_ms);
    else if (lstrcmpW(action, L"wait-busy") == 0) ok = wait_for(is_scanning, wait_ms);
    else if (lstrcmpW(action, L"states") == 0 && argc > 2) ok = states(argv[2]);
    else if (lstrcmpW(action, L"click") == 0 && argc > 2)
        ok = main_window() && PostMessageW(main_window(), WM_COMMAND, MAKEWPARAM(_wtoi(argv[2]), 0), 0);
    else if (lstrcmpW(action, L"drag") == 0 && argc > 3) ok = drag(_wtoi(argv[2]), _wtoi(argv[3]));
    else if (lstrcmpW(action, L"key") == 0) ok = keys(argc - 2, argv + 2);
    else if (lstrcmpW(action, L"text") == 0 && argc > 3) ok = control_text(_wtoi(argv[2]), argv[3]);
    else if (lstrcmpW(action, L"ping") == 0 && argc > 3) ok = ping(_wtoi(argv[2]), argv[3]);
    else if (lstrcmpW(action, L"answer") == 0 && argc > 2) ok = answer(argv[2], argc > 3 ? _wtoi(argv[3]) : 30000);
    else if (lstrcmpW(action, L"close") == 0) {
        if (main_window()) PostMessageW(main_window(), WM_CLOSE, 0, 0);
        ok = wait_for(window_gone, wait_ms);
    }
    LocalFree(argv);
    return ok ? 0 : 1;
}
