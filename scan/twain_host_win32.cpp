// scan/twain_host_win32.cpp
// Source-manager loading and the host window. Managers are loaded by full path where one
// exists, so a stray DLL in the current folder is never picked up; a load by bare name
// takes the current folder out of the search for that load only, because drivers whose
// helper DLLs lie beside their ".ds" are found through the folder the manager makes
// current while it loads them.
#include "scan/twain_host.h"

#include "app/log.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/text.h"
#include "scan/scan_failure.h"
#include "scan/twain_session.h"

static HWND g_report_window = nullptr;

const wchar_t* dsm_file_name(int dsm_number) {
    return dsm_number == DSM_TWAINDSM ? L"TWAINDSM.dll" : L"twain_32.dll";
}

void dsm_load_error_text(const wchar_t* path, unsigned error_code, WideString* out) {
    const wchar_t* suffix = L"";
    if (error_code == ERROR_BAD_EXE_FORMAT) suffix = L" - wrong bitness (64-bit DLL in a 32-bit process)";
    if (error_code == ERROR_MOD_NOT_FOUND) suffix = L" - dependency missing";
    format(out, L"%s: LoadLibrary failed (error %u%s)", path, error_code, suffix);
}

static WideString system_folder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    return wide_copy(n > 0 && n < MAX_PATH ? buffer : L"");
}

// Path of the first existing candidate, or an empty string.
static WideString find_twaindsm() {
    WideString folders[3] = {windows_folder(), module_folder(), system_folder()};
    WideString found = {};
    for (WideString& folder : folders) {
        if (found.length == 0 && folder.length > 0) {
            WideString candidate = path_join(text_of(folder), L"TWAINDSM.dll");
            if (file_exists(text_of(candidate))) {
                found = candidate;
            } else {
                release(&candidate);
            }
        }
        release(&folder);
    }
    return found;
}

static void copy_ansi(char* field, const char* text) {
    mem_fill(field, 0, 34);
    mem_copy(field, text, text8_length(text) < 33 ? text8_length(text) : 33);
}

static void fill_app_identity(int dsm_number, TW_IDENTITY* id) {
    mem_fill(id, 0, sizeof(*id));
    id->Version.MajorNum = 2;
    id->Version.MinorNum = 0;
    id->Version.Language = TWLG_ENGLISH;
    id->Version.Country = TWCY_USA;
    copy_ansi(id->Version.Info, "2.0.0");
    id->ProtocolMajor = dsm_number == DSM_TWAINDSM ? 2 : 1;
    id->ProtocolMinor = dsm_number == DSM_TWAINDSM ? 5 : 8;
    id->SupportedGroups = DG_CONTROL | DG_IMAGE | (dsm_number == DSM_TWAINDSM ? DF_APP2 : 0);
    copy_ansi(id->Manufacturer, "Zan Group");
    copy_ansi(id->ProductFamily, "Scanner");
    copy_ansi(id->ProductName, "Zan Group Scanner");
}

// A bare name must never resolve to a DLL planted in the current folder, so the current
// folder leaves the search for this one load; the process's DLL search (and any folder set
// before) is restored at once, and the error code of the load is kept.
static HMODULE load_manager_file(const wchar_t* path) {
    if (last_separator(path) >= 0) return LoadLibraryW(path);
    wchar_t saved[MAX_PATH + 1] = {};
    const DWORD n = GetDllDirectoryW(MAX_PATH + 1, saved);
    SetDllDirectoryW(L"");
    HMODULE module = LoadLibraryW(path);
    const DWORD error = GetLastError();
    SetDllDirectoryW(n > 0 && n <= MAX_PATH ? saved : nullptr);
    SetLastError(error);
    return module;
}

bool dsm_load(int dsm_number, DsmConnection* dsm, WideString* error) {
    if (!dsm || !error || (dsm_number != DSM_TWAIN32 && dsm_number != DSM_TWAINDSM)) return false;
    mem_fill(dsm, 0, sizeof(*dsm));
    dsm->dsm_number = dsm_number;
    const wchar_t* name = dsm_file_name(dsm_number);
    if (dsm_number == DSM_TWAIN32) {
        WideString windows = windows_folder();
        dsm->path = path_join(text_of(windows), name);
        release(&windows);
        if (!file_exists(text_of(dsm->path))) assign(&dsm->path, name);
    } else {
        dsm->path = find_twaindsm();
        if (dsm->path.length == 0) {
            format(error, L"%s: not installed", name);
            return false;
        }
    }
    dsm->module = load_manager_file(text_of(dsm->path));
    if (!dsm->module) {
        dsm_load_error_text(text_of(dsm->path), GetLastError(), error);
        // A 32-bit twain_32.dll in the Windows folder seen from a 64-bit process (and other
        // odd installs) still leaves the system's own copy reachable by name.
        if (dsm_number == DSM_TWAIN32 && dsm->path.length >= 13) {
            dsm->module = load_manager_file(name);
            if (dsm->module) {
                assign(&dsm->path, name);
                assign(error, L"");
            }
        }
    }
    if (!dsm->module) {
        release(&dsm->path);
        return false;
    }
    FARPROC proc = GetProcAddress(dsm->module, "DSM_Entry");
    if (!proc) proc = GetProcAddress(dsm->module, MAKEINTRESOURCEA(1));
    if (!proc) {
        format(error, L"%s: DSM_Entry not found", text_of(dsm->path));
        FreeLibrary(dsm->module);
        dsm->module = nullptr;
        release(&dsm->path);
        return false;
    }
    dsm->entry = reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(proc));
    fill_app_identity(dsm_number, &dsm->app_identity);
    return true;
}

TW_UINT16 dsm_call(DsmConnection* dsm, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                   TW_MEMREF data) {
    if (!dsm || !dsm->entry) return TWRC_FAILURE;
    return dsm->entry(&dsm->app_identity, dest, dg, dat, msg, data);
}

int dsm_status(DsmConnection* dsm, TW_IDENTITY* source) {
    TW_STATUS status = {};
    if (dsm_call(dsm, source, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return -1;
    return status.ConditionCode;
}

bool dsm_open(DsmConnection* dsm, HWND parent, WideString* error) {
    if (!dsm || !error || !dsm->entry) return false;
    dsm->parent = parent;
    const TW_UINT16 rc = dsm_call(dsm, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &dsm->parent);
    const wchar_t* name = dsm_file_name(dsm->dsm_number);
    if (rc != TWRC_SUCCESS) {
        const int cc = dsm_status(dsm, nullptr);
        format(error, L"%s: OPENDSM failed rc=%d cc=%d(%s)", name, (int)rc, cc, twcc_name(cc));
        log_line(L"%s", text_of(*error));
        return false;
    }
    dsm->is_open = true;
    log_line(L"%s: OPENDSM ok (%s)", name, text_of(dsm->path));
    // A 2.x manager hands out the memory functions its sources use for containers.
    if (dsm->dsm_number == DSM_TWAINDSM || (dsm->app_identity.SupportedGroups & DF_DSM2)) {
        TW_ENTRYPOINT points = {};
        points.Size = sizeof(points);
        const TW_UINT16 points_rc = dsm_call(dsm, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &points);
        const bool usable = points_rc == TWRC_SUCCESS && points.DSM_MemAllocate && points.DSM_MemFree &&
                            points.DSM_MemLock && points.DSM_MemUnlock;
        if (usable) dsm->entry_points = points;
        log_line(L"%s: ENTRYPOINT rc=%d%s", name, (int)points_rc, usable ? L"" : L" (global memory)");
    }
    return true;
}

TW_HANDLE dsm_mem_alloc(const DsmConnection* dsm, TW_UINT32 size) {
    if (dsm && dsm->entry_points.DSM_MemAllocate) {
        TW_HANDLE handle = dsm->entry_points.DSM_MemAllocate(size);
        void* data = handle ? dsm->entry_points.DSM_MemLock(handle) : nullptr;
        if (data) {
            mem_fill(data, 0, size);
            dsm->entry_points.DSM_MemUnlock(handle);
        }
        return handle;
    }
    return GlobalAlloc(GHND, size);
}

void dsm_mem_free(const DsmConnection* dsm, TW_HANDLE handle) {
    if (!handle) return;
    if (dsm && dsm->entry_points.DSM_MemFree) {
        dsm->entry_points.DSM_MemFree(handle);
    } else {
        GlobalFree(handle);
    }
}

void* dsm_mem_lock(const DsmConnection* dsm, TW_HANDLE handle) {
    if (!handle) return nullptr;
    if (dsm && dsm->entry_points.DSM_MemLock) return dsm->entry_points.DSM_MemLock(handle);
    return GlobalLock(handle);
}

void dsm_mem_unlock(const DsmConnection* dsm, TW_HANDLE handle) {
    if (!handle) return;
    if (dsm && dsm->entry_points.DSM_MemUnlock) {
        dsm->entry_points.DSM_MemUnlock(handle);
    } else {
        GlobalUnlock(handle);
    }
}

void dsm_close(DsmConnection* dsm) {
    if (!dsm) return;
    if (dsm->is_open) {
        const TW_UINT16 rc = dsm_call(dsm, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &dsm->parent);
        log_line(L"%s: CLOSEDSM rc=%d", dsm_file_name(dsm->dsm_number), (int)rc);
        dsm->is_open = false;
    }
    if (dsm->module) {
        FreeLibrary(dsm->module);
        dsm->module = nullptr;
    }
    dsm->entry = nullptr;
    dsm->entry_points = TW_ENTRYPOINT{};
    release(&dsm->path);
}

static BOOL CALLBACK register_host_class(PINIT_ONCE, void*, void**) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = twain_session_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanTwainHost";
    return RegisterClassExW(&wc) != 0;
}

bool twain_host_class_register() {
    // A failed registration leaves the once-block unset, so a later call tries again.
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    return InitOnceExecuteOnce(&once, register_host_class, nullptr, nullptr) != FALSE;
}

HWND twain_host_window_create() {
    if (!twain_host_class_register()) return nullptr;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"ZanTwainHost", L"Zan TWAIN host", WS_POPUP, 0, 0, 1, 1, nullptr,
                           nullptr, instance, nullptr);
}

void twain_set_report_window(HWND window) {
    g_report_window = window;
}

HWND twain_report_window() {
    return g_report_window;
}

bool post_owned(UINT message, WPARAM wparam, void* object, void (*free_object)(void*)) {
    if (g_report_window && PostMessageW(g_report_window, message, wparam, reinterpret_cast<LPARAM>(object))) {
        return true;
    }
    if (object && free_object) free_object(object);
    return false;
}

void free_posted_text(void* object) {
    WideString* s = static_cast<WideString*>(object);
    release(s);
    mem_free(s);
}

void post_scan_status(const wchar_t* text) {
    WideString* copy = static_cast<WideString*>(mem_alloc(sizeof(WideString)));
    if (!copy) return;
    assign(copy, text);
    post_owned(WM_SCAN_STATUS, 0, copy, free_posted_text);
}

static void free_posted_page(void* object) {
    page_image_free(static_cast<PageImage*>(object));
}

bool post_scan_page(PageImage* page, int number) {
    if (!post_owned(WM_SCAN_PAGE, 0, page, free_posted_page)) return false;
    WideString status = {};
    format(&status, L"%s %d...", tr(TEXT_SCANNING_PAGE), number);
    post_scan_status(text_of(status));
    release(&status);
    return true;
}
