// ui/dialog_frame.cpp
#include "ui/dialog_frame.h"

#include "app/strings.h"
#include "core/heap.h"
#include "ui/controls.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

struct DialogContext {
    int result;
    bool done;
    HWND focus;
};

const wchar_t kContextProp[] = L"zanctx";
const wchar_t kHookProp[] = L"zanhook";
const DWORD kDialogStyle = WS_POPUPWINDOW | WS_DLGFRAME | WS_CLIPCHILDREN;
const DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

DialogContext* context_of(HWND dialog) {
    return static_cast<DialogContext*>(GetPropW(dialog, kContextProp));
}

DialogHook hook_of(HWND dialog) {
    return reinterpret_cast<DialogHook>(GetPropW(dialog, kHookProp));
}

bool is_class(HWND window, const wchar_t* name) {
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    return lstrcmpiW(cls, name) == 0;
}

// Enter presses the focused ZanBtn, otherwise OK.
LRESULT default_id(HWND dialog) {
    HWND focus = GetFocus();
    if (focus && IsChild(dialog, focus) && is_class(focus, L"ZanBtn") && IsWindowEnabled(focus)) {
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
    }
    return MAKELRESULT(IDOK, DC_HASDEFID);
}

void paint_panel_background(HWND dialog) {
    PaintBuffer buffer;
    HDC dc = paint_begin(dialog, &buffer);
    FillRect(dc, &buffer.client, panel_brush());
    paint_end(&buffer);
}

LRESULT CALLBACK dialog_proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    DialogHook hook = hook_of(dialog);
    LRESULT result = 0;
    if (hook && hook(dialog, msg, wp, lp, &result)) return result;
    switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return control_colours(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
        paint_panel_background(dialog);
        return 0;
    case WM_CLOSE:
        // The close box asks the dialog's handler, like Escape, instead of ending it here.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 0;
    case WM_COMMAND:
        if (dialog_command_default(dialog, msg, wp)) return 0;
        break;
    case DM_GETDEFID: return default_id(dialog);
    }
    return DefWindowProcW(dialog, msg, wp, lp);
}

// Escape closes an open combo box list (the combo box and its parts have class names
// beginning with 'C'); anywhere else in the dialog it is a Cancel request.
bool escape_cancels(HWND dialog, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE) return false;
    if (msg.hwnd != dialog && !IsChild(dialog, msg.hwnd)) return false;
    HWND focus = GetFocus();
    wchar_t cls[32] = {};
    if (focus) GetClassNameW(focus, cls, 32);
    return cls[0] != L'C' && cls[0] != L'c';
}

}  // namespace

bool register_dialog_class(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = dialog_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = load_app_icon(GetSystemMetrics(SM_CXICON));
    wc.hIconSm = load_app_icon(GetSystemMetrics(SM_CXSMICON));
    wc.lpszClassName = L"ZanDlg";
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

RECT dialog_placement(const RECT& work, const RECT* owner_rect, int client_w, int client_h, int frame_w, int frame_h,
                      int margin) {
    // The limits apply to the whole window, frame included, so a tall dialog never hides
    // its bottom row of buttons below the work area.
    const int work_w = work.right - work.left, work_h = work.bottom - work.top;
    if (client_w + frame_w > work_w - margin) client_w = work_w - margin - frame_w;
    if (client_h + frame_h > work_h - margin) client_h = work_h - margin - frame_h;
    const int outer_w = client_w + frame_w, outer_h = client_h + frame_h;
    const RECT& around = owner_rect ? *owner_rect : work;
    int x = around.left + (around.right - around.left - outer_w) / 2;
    int y = around.top + (around.bottom - around.top - outer_h) / 2;
    if (x + outer_w > work.right) x = work.right - outer_w;
    if (y + outer_h > work.bottom) y = work.bottom - outer_h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    RECT placed = {x, y, x + outer_w, y + outer_h};
    return placed;
}

HWND dialog_create(HWND owner, const wchar_t* title, int client_w, int client_h) {
    RECT work = {0, 0, 1024, 768};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame = {0, 0, 100, 100};
    AdjustWindowRectEx(&frame, kDialogStyle, FALSE, kDialogExStyle);
    RECT owner_rect;
    const bool around_owner = owner && !IsIconic(owner) && GetWindowRect(owner, &owner_rect);
    const RECT placed = dialog_placement(work, around_owner ? &owner_rect : nullptr, client_w, client_h,
                                         frame.right - frame.left - 100, frame.bottom - frame.top - 100, scaled(20));
    const DWORD ex_style = kDialogExStyle | (interface_language() == LANGUAGE_ARABIC ? WS_EX_RTLREADING : 0);
    HWND dialog = CreateWindowExW(ex_style, L"ZanDlg", title, kDialogStyle, placed.left, placed.top,
                                  placed.right - placed.left, placed.bottom - placed.top, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!dialog) return nullptr;
    DialogContext* context = static_cast<DialogContext*>(mem_alloc(sizeof(DialogContext)));
    if (!context || !SetPropW(dialog, kContextProp, context)) {
        mem_free(context);
        DestroyWindow(dialog);
        return nullptr;
    }
    return dialog;
}

void dialog_set_hook(HWND dialog, DialogHook hook) {
    SetPropW(dialog, kHookProp, reinterpret_cast<HANDLE>(hook));
}

void dialog_set_initial_focus(HWND dialog, HWND control) {
    DialogContext* context = context_of(dialog);
    if (context) context->focus = control;
}

void dialog_end(HWND dialog, int result) {
    DialogContext* context = context_of(dialog);
    if (!context) return;
    context->result = result;
    context->done = true;
    PostMessageW(dialog, WM_NULL, 0, 0);
}

bool dialog_is_open(HWND dialog) {
    DialogContext* context = IsWindow(dialog) ? context_of(dialog) : nullptr;
    return context && !context->done;
}

bool dialog_command_default(HWND dialog, UINT msg, WPARAM wp) {
    if (msg != WM_COMMAND) return false;
    if (LOWORD(wp) == IDOK) {
        dialog_end(dialog, 1);
        return true;
    }
    if (LOWORD(wp) == IDCANCEL) {
        dialog_end(dialog, 0);
        return true;
    }
    return false;
}

int dialog_run(HWND dialog, HWND owner) {
    DialogContext* context = context_of(dialog);
    if (!context) {
        DestroyWindow(dialog);
        return 0;
    }
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    if (context->focus && IsWindow(context->focus)) SetFocus(context->focus);
    UpdateWindow(dialog);
    MSG msg;
    while (!context->done) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            PostQuitMessage(got == 0 ? (int)msg.wParam : 0);
            break;
        }
        if (escape_cancels(dialog, msg)) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            continue;
        }
        if (IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    const int result = context->result;
    if (owner) {
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }
    RemovePropW(dialog, kContextProp);
    mem_free(context);
    RemovePropW(dialog, kHookProp);
    DestroyWindow(dialog);
    return result;
}
