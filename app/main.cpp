// app/main.cpp
// The entry point of ZanGroupScanner.exe. One executable, two roles: the interactive
// application, or (with "--zan-admin=<job>") the elevated worker that runs one
// privileged job and exits with its result.
// The network tools' header brings in Winsock, which must come before windows.h.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include "app/log.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/version.h"
#include "core/path.h"
#include "image/codec.h"
#include "net/elevated_jobs.h"
#include "net/job_files.h"
#include "net/net_dialogs.h"
#include "scan/diagnostics.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/theme.h"

// Process-wide start-up state read by the window and drawing code.
static HINSTANCE g_instance = nullptr;
static int g_screen_dpi = 96;

static void open_log_beside_settings() {
    WideString folder = path_folder(settings_path());
    WideString path = path_join(text_of(folder), L"ZanGroupScanner.log");
    open_log(text_of(path));
    release(&path);
    release(&folder);
}

// The elevated role runs with administrator rights and needs no driver: every library it
// loads from now on comes from the system folder, never from the program's folder or the
// current one. Windows 7 without the search-order update lacks SetDefaultDllDirectories;
// there at least the current folder leaves the search.
static void restrict_library_search() {
    typedef BOOL(WINAPI * SetDefaultDirectories)(DWORD);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    SetDefaultDirectories set_default = reinterpret_cast<SetDefaultDirectories>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (!set_default || !set_default(kSearchSystem32)) SetDllDirectoryW(L"");
}

static int run_admin_job(int argc, wchar_t** argv, const wchar_t* job_name) {
    settings_load();
    open_log_beside_settings();
    OleInitialize(nullptr);
    const AdminJob job = admin_job_kind(job_name);
    int code = admin_job_refusal(job, argc);
    if (code == 0) code = job == ADMIN_JOB_SHARE ? share_job_handle(argv[2]) : firewall_job_handle(argv[2]);
    OleUninitialize();
    return code;
}

// Posts the command of a --show= name (or F1's "help") to the main window.
static void show_named_page(const wchar_t* name) {
    const int command = show_page_command(name);
    if (command != 0 && main_window()) PostMessageW(main_window(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

static void set_dpi_awareness() {
    typedef BOOL(WINAPI * SetAware)();
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    SetAware set_aware = reinterpret_cast<SetAware>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (set_aware) set_aware();
}

static int detect_screen_dpi() {
    typedef UINT(WINAPI * GetSystemDpi)();
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    GetSystemDpi get_dpi = reinterpret_cast<GetSystemDpi>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")));
    const int system_dpi = get_dpi ? (int)get_dpi() : 0;
    HDC screen = GetDC(nullptr);
    const int dc_dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return choose_screen_dpi(system_dpi, dc_dpi);
}

// Returns the quit message's code, or 1 when GetMessageW itself failed.
static int run_message_loop() {
    MSG msg = {};
    int got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        HWND main = main_window();
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1 && main && GetActiveWindow() == main) {
            show_named_page(L"help");
            continue;
        }
        if (main && IsDialogMessageW(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return got == 0 ? (int)msg.wParam : 1;
}

static int run_interactive() {
    set_dpi_awareness();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    OleInitialize(nullptr);
    // Not fatal: without GDI+ only image coding fails, later and with a message.
    codec_startup();
    settings_load();
    open_log_beside_settings();
    log_line(L"=== Zan Group Scanner %s start ===", kVersionText);
    // Job and result files that an interrupted elevated run left behind.
    job_files_remove_leftovers();

    // A fresh vector: the --show= name points into it for the life of the process.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    StartOptions options = {};
    if (argv) parse_options(argc, argv, &options);
    if (options.language_given) settings_set_language(options.language);

    g_screen_dpi = detect_screen_dpi();
    ui_set_dpi(g_screen_dpi);
    ui_shared_create(g_instance);
    ui_fonts_create();
    if (!register_control_classes(g_instance)) {
        MessageBoxW(nullptr, L"UI init failed", kProductName, MB_ICONERROR);
        return 1;
    }
    main_window_set_tools(MainTools{connection_check_dialog, firewall_dialog, share_wizard_entry});
    const int show_command = app_settings()->Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    if (!main_window_create(g_instance, &options, show_command)) {
        MessageBoxW(nullptr, L"Window creation failed", kProductName, MB_ICONERROR);
        return 1;
    }
    if (options.show) show_named_page(options.show);
    const int code = run_message_loop();
    log_line(L"=== exit ===");
    codec_shutdown();
    release_options(&options);
    OleUninitialize();
    return code;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    g_instance = GetModuleHandleW(nullptr);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int probe_code = 0;
    if (argv && diagnostics_probe_main(argc, argv, &probe_code)) {
        LocalFree(argv);
        ExitProcess((UINT)probe_code);
    }
    if (argv && argc >= 2) {
        const int admin = find_admin_argument(argc, argv);
        if (admin > 0) {
            restrict_library_search();
            const int code = run_admin_job(argc, argv, argv[admin] + 12);
            LocalFree(argv);
            ExitProcess((UINT)code);
        }
    }
    if (argv) LocalFree(argv);
    ExitProcess((UINT)run_interactive());
}
