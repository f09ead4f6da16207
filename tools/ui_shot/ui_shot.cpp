// tools/ui_shot/ui_shot.cpp
// Photographs one of the program's dialogs, or draws the toolkit gallery, for the
// screenshot tests and for people reviewing the interface:
//   ui_shot --show=NAME --lang=en|ar --dpi=96|144 --out=FILE.png [--rects=FILE.txt]
// NAME: message, warning, confirm, input, help, diag, settings, merge, split, pages, main,
// gallery, and the network tools on fixed stand-in results: connection, firewall,
// share-entry, share-wizard, share-done (see net_shots.h). "pages" is the preview and the
// page strip with generated pages, in the middle of a drag. The DPI is this
// process's own (the toolkit's scaling and fonts), so no system setting changes. The
// dialog is opened as the program opens it (some first get the command that brings them
// into the pictured state); once it has painted, the tool copies its
// window from the screen, writes the PNG and a list of control rectangles ("id class
// parent-id parent-client-width left top right bottom", coordinates in the parent's
// client area) and closes the dialog with Cancel. Exit code 0 on success.
#include <windows.h>

#include <shellapi.h>

#include "app/settings.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/path.h"
#include "core/text.h"
#include "image/codec.h"
#include "image/page_image.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/diagnostics_dialog.h"
#include "ui/help_dialog.h"
#include "ui/main_layout.h"
#include "ui/main_window.h"
#include "ui/merge_dialog.h"
#include "ui/settings_dialog.h"
#include "ui/split_dialog.h"
#include "ui/theme.h"
#include "tools/ui_shot/gallery.h"
#include "tools/ui_shot/net_shots.h"
#include "tools/ui_shot/page_scene.h"

namespace {

struct ShotOptions {
    const wchar_t* name;
    const wchar_t* out;
    const wchar_t* rects;
    int language;
    int dpi;
    bool minimum_size;
    const wchar_t* demo;
};

ShotOptions g_options = {};
bool g_saved = false;
bool g_action_sent = false;

const wchar_t* value_of(const wchar_t* arg, const wchar_t* prefix) {
    const int n = lstrlenW(prefix);
    for (int i = 0; i < n; ++i) {
        if (arg[i] != prefix[i]) return nullptr;
    }
    return arg + n;
}

// Copies the page into a PNG file.
bool save_png(const PageImage* page, const wchar_t* path) {
    ByteBuffer png = {};
    const bool ok = codec_encode_page(page, CODEC_FORMAT_PNG, 0, &png) && write_whole_file(path, png.data, png.length);
    release(&png);
    return ok;
}

struct RectWriter {
    ByteBuffer text;
};

BOOL CALLBACK note_control(HWND control, LPARAM lp) {
    RectWriter* writer = reinterpret_cast<RectWriter*>(lp);
    HWND parent = GetParent(control);
    RECT r, parent_client;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    // A mirrored parent maps right to left; the list always gives left < right.
    if (r.left > r.right) {
        const LONG t = r.left;
        r.left = r.right;
        r.right = t;
    }
    GetClientRect(parent, &parent_client);
    wchar_t cls[64] = {};
    GetClassNameW(control, cls, 64);
    WideString line = {};
    format(&line, L"%d %s %d %d %d %d %d %d\n", GetDlgCtrlID(control), cls, GetDlgCtrlID(parent),
           (int)parent_client.right, (int)r.left, (int)r.top, (int)r.right, (int)r.bottom);
    append_utf8(&writer->text, text_of(line));
    release(&line);
    return TRUE;
}

bool save_rects(HWND dialog, const wchar_t* path) {
    RectWriter writer = {};
    EnumChildWindows(dialog, note_control, reinterpret_cast<LPARAM>(&writer));
    const bool ok = write_whole_file(path, writer.text.data, writer.text.length);
    release(&writer.text);
    return ok;
}

// The window as the screen shows it.
PageImage* capture_window(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    HDC screen = GetDC(nullptr);
    PageImage* page = page_from_dc(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, screen);
    return page;
}

BOOL CALLBACK note_dialog(HWND window, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"ZanDlg") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND find_dialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), note_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs from the dialog's own message loop once it is up.
void CALLBACK photograph(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = find_dialog();
    if (!dialog) return;
    // The command goes first; the picture follows on a later tick, once the dialog has
    // handled what the command started.
    const int action = net_shot_action(g_options.name);
    if (action && !g_action_sent) {
        g_action_sent = true;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(action, 0), 0);
        return;
    }
    KillTimer(nullptr, timer);
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
    Sleep(200);
    PageImage* page = capture_window(dialog);
    g_saved = page && save_png(page, g_options.out) && (!g_options.rects || save_rects(dialog, g_options.rects));
    page_image_free(page);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

// A settings file of its own, so the dialogs show the defaults whatever the prefix holds.
void load_fresh_settings() {
    WideString folder = temp_folder();
    WideString path = path_join(text_of(folder), L"ui_shot_settings.ini");
    delete_file(text_of(path));
    settings_load_from(text_of(path));
    delete_file(text_of(path));
    release(&path);
    release(&folder);
}

// Runs from the main window's message loop once it is up.
void CALLBACK photograph_main(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = main_window();
    if (!window) return;
    KillTimer(nullptr, timer);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
    Sleep(200);
    PageImage* page = capture_window(window);
    g_saved = page && save_png(page, g_options.out) && (!g_options.rects || save_rects(window, g_options.rects));
    page_image_free(page);
    DestroyWindow(window);
}

int open_main_window(HINSTANCE instance) {
    StartOptions options = {};
    if (g_options.demo) {
        assign(&options.demo_image, g_options.demo);
        options.demo_pages = 4;
    }
    HWND window = main_window_create(instance, &options, SW_SHOWNORMAL);
    release_options(&options);
    if (!window) return 1;
    MSG msg;
    PeekMessageW(&msg, window, WM_ZAN_START_ENUMERATION, WM_ZAN_START_ENUMERATION, PM_REMOVE);
    if (g_options.minimum_size) {
        MINMAXINFO info = {};
        SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        SetWindowPos(window, nullptr, 0, 0, info.ptMinTrackSize.x, info.ptMinTrackSize.y, SWP_NOMOVE | SWP_NOZORDER);
    }
    SetTimer(nullptr, 0, 600, photograph_main);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return g_saved ? 0 : 1;
}

int open_named(const wchar_t* name) {
    SetTimer(nullptr, 0, 400, photograph);
    WideString input = {};
    if (text_equals(name, L"message") == 0) {
        message_box(nullptr, tr(204), false);
    } else if (text_equals(name, L"warning") == 0) {
        message_box(nullptr, tr(195), true);
    } else if (text_equals(name, L"confirm") == 0) {
        confirm_box(nullptr, tr(225));
    } else if (text_equals(name, L"input") == 0) {
        assign(&input, tr(181));
        text_input_dialog(nullptr, tr(27), tr(28), &input);
    } else if (text_equals(name, L"help") == 0) {
        help_dialog(nullptr);
    } else if (text_equals(name, L"diag") == 0) {
        diagnostics_dialog(nullptr, diagnostics_report_pending);
    } else if (text_equals(name, L"settings") == 0) {
        advanced_settings_dialog(nullptr);
    } else if (text_equals(name, L"merge") == 0) {
        open_merge_dialog(nullptr);
    } else if (text_equals(name, L"split") == 0) {
        open_split_dialog(nullptr);
    } else if (!net_shot_open(name)) {
        return 2;
    }
    release(&input);
    return g_saved ? 0 : 1;
}

// The scene is drawn at once; a short wait lets the desktop show it before the copy.
int shoot_pages(HINSTANCE instance) {
    HWND window = page_scene_open(instance);
    if (!window) return 1;
    MSG msg;
    for (int k = 0; k < 20; ++k) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    PageImage* page = capture_window(window);
    const bool ok = page && save_png(page, g_options.out) && (!g_options.rects || save_rects(window, g_options.rects));
    page_image_free(page);
    page_scene_close(window);
    return ok ? 0 : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    g_options.language = LANGUAGE_ENGLISH;
    g_options.dpi = 96;
    for (int i = 1; argv && i < argc; ++i) {
        const wchar_t* v;
        if ((v = value_of(argv[i], L"--show="))) g_options.name = v;
        if ((v = value_of(argv[i], L"--out="))) g_options.out = v;
        if ((v = value_of(argv[i], L"--rects="))) g_options.rects = v;
        if ((v = value_of(argv[i], L"--lang="))) g_options.language = text_equals(v, L"ar") == 0 ? LANGUAGE_ARABIC : LANGUAGE_ENGLISH;
        if ((v = value_of(argv[i], L"--dpi="))) g_options.dpi = parse_decimal(v);
        if ((v = value_of(argv[i], L"--size="))) g_options.minimum_size = text_equals(v, L"min") == 0;
        if ((v = value_of(argv[i], L"--demo="))) g_options.demo = v;
    }
    if (!g_options.name || !g_options.out) return 2;
    codec_startup();
    load_fresh_settings();
    set_interface_language(g_options.language);
    ui_set_dpi(g_options.dpi);
    ui_shared_create(instance);
    ui_fonts_create();
    if (!register_control_classes(instance)) return 3;
    int code;
    if (text_equals(g_options.name, L"gallery") == 0) {
        PageImage* page = gallery_draw();
        code = page && save_png(page, g_options.out) ? 0 : 1;
        page_image_free(page);
    } else if (text_equals(g_options.name, L"pages") == 0) {
        code = shoot_pages(instance);
    } else if (text_equals(g_options.name, L"main") == 0) {
        code = open_main_window(instance);
    } else {
        code = open_named(g_options.name);
    }
    ui_shared_destroy();
    codec_shutdown();
    LocalFree(argv);
    return code;
}
