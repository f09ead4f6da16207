// scan/twain_enum_win32.cpp
// The enumeration thread. Nothing here stops an enumeration: a manager that fails is
// logged and skipped, and an empty list is a normal result.
#include "scan/twain_enum.h"

#include <ole2.h>

#include "app/log.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"
#include "scan/escl.h"
#include "scan/scan_failure.h"
#include "scan/wia.h"

// The list is allocated with the parameters, so an enumeration that started can always
// post its (possibly empty) list.
struct EnumParams {
    bool show_all_wia;
    int mode;
    DeviceList* list;
    WideString escl_addresses;   // the saved eSCL addresses, one per line
};

static Lock* g_listing_lock = nullptr;
static WideString g_last_listing = {};
static WideString g_selection_key = {};

WideString twain_take_selection_key() {
    WideString key = g_selection_key;
    g_selection_key = WideString{};
    return key;
}

WideString twain_last_listing() {
    WideString copy = {};
    if (!g_listing_lock) return copy;
    lock_enter(g_listing_lock);
    assign(&copy, text_of(g_last_listing));
    lock_leave(g_listing_lock);
    return copy;
}

static uint32_t dsm_bit(int dsm_number) {
    return dsm_number == DSM_TWAINDSM ? DSM_BIT_TWAINDSM : DSM_BIT_TWAIN32;
}

static void take_source(DsmConnection* dsm, DeviceList* list, const TW_IDENTITY& id, bool is_default) {
    bool merged = false;
    device_list_add_twain(list, id, dsm_bit(dsm->dsm_number), is_default, &merged);
    WideString manufacturer = twain_name(id.Manufacturer);
    WideString family = twain_name(id.ProductFamily);
    WideString product = twain_name(id.ProductName);
    log_line(L"  %s source: Id=%u '%s' | '%s' | '%s' proto=%d.%d groups=0x%x%s", dsm_file_name(dsm->dsm_number),
             (unsigned)id.Id, text_of(manufacturer), text_of(family), text_of(product), (int)id.ProtocolMajor,
             (int)id.ProtocolMinor, (unsigned)id.SupportedGroups, merged ? L" (merged)" : L"");
    release(&manufacturer);
    release(&family);
    release(&product);
}

int twain_list_sources(DsmConnection* dsm, DeviceList* list) {
    if (!dsm || !list) return 0;
    const wchar_t* name = dsm_file_name(dsm->dsm_number);
    int count = 0;
    TW_IDENTITY id = {};
    TW_UINT16 rc = dsm_call(dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id);
    while (rc == TWRC_SUCCESS) {
        if (count >= TWAIN_MAX_LISTED) return count;
        take_source(dsm, list, id, false);
        ++count;
        mem_fill(&id, 0, sizeof(id));
        rc = dsm_call(dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id);
    }
    if (rc == TWRC_ENDOFLIST) return count;
    const int cc = dsm_status(dsm, nullptr);
    log_line(L"  %s GETFIRST/NEXT ended rc=%d cc=%d(%s)", name, (int)rc, cc, twcc_name(cc));
    if (count > 0) return count;
    mem_fill(&id, 0, sizeof(id));
    rc = dsm_call(dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &id);
    log_line(L"  %s GETDEFAULT rc=%d", name, (int)rc);
    WideString product = twain_name(id.ProductName);
    if (rc == TWRC_SUCCESS && product.length > 0) {
        take_source(dsm, list, id, true);
        count = 1;
    }
    release(&product);
    return count;
}

// Mode 1: the managers' own source chooser, the first that answers.
static void user_select(HWND host) {
    for (int number = DSM_TWAIN32; number <= DSM_TWAINDSM; ++number) {
        DsmConnection dsm;
        WideString error = {};
        const bool opened = dsm_load(number, &dsm, &error) && dsm_open(&dsm, host, &error);
        if (!opened) {
            log_line(L"%s", text_of(error));
            release(&error);
            dsm_close(&dsm);
            continue;
        }
        release(&error);
        TW_IDENTITY id = {};
        dsm_call(&dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &id);
        const TW_UINT16 rc = dsm_call(&dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &id);
        WideString product = twain_name(id.ProductName);
        log_line(L"USERSELECT rc=%d '%s'", (int)rc, text_of(product));
        release(&product);
        dsm_close(&dsm);
        if (rc == TWRC_SUCCESS) {
            release(&g_selection_key);
            g_selection_key = twain_identity_key(id);
            return;
        }
        if (rc == TWRC_CANCEL) return;
    }
}

// Mode 2: the WIA device chooser; the chosen device is selected when the list arrives.
static void wia_select(HWND host) {
    WideString id = {};
    if (wia_select_device(host, &id)) {
        release(&g_selection_key);
        format(&g_selection_key, L"WIA:%s", text_of(id));
    }
    release(&id);
}

int twain_count_driver_files(const wchar_t* folder, int depth) {
    WideString pattern = path_join(folder, L"*");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(text_of(pattern), &found);
    release(&pattern);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        const wchar_t* name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth > 0 && text_equals(name, L".") != 0 && text_equals(name, L"..") != 0) {
                WideString sub = path_join(folder, name);
                count += twain_count_driver_files(text_of(sub), depth - 1);
                release(&sub);
            }
        } else {
            WideString ext = path_extension(name);
            if (compare_no_case(text_of(ext), L".ds") == 0) ++count;
            release(&ext);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

void twain_driver_hint(int n32, int n64, WideString* out) {
    if (!out) return;
    assign(out, L"");
    if (n32 > 0) {
        format(out, L"%d driver file(s) in twain_32 but none listed", n32);
    } else if (n64 > 0) {
        format(out, L"%d driver file(s) in twain_64 (64-bit drivers cannot be used by this 32-bit app)", n64);
    }
}

static void fill_driver_hint(DeviceList* list) {
    WideString windows = windows_folder();
    WideString folder32 = path_join(text_of(windows), L"twain_32");
    WideString folder64 = path_join(text_of(windows), L"twain_64");
    const int n32 = twain_count_driver_files(text_of(folder32), 3);
    const int n64 = n32 > 0 ? 0 : twain_count_driver_files(text_of(folder64), 3);
    twain_driver_hint(n32, n64, &list->driver_hint);
    release(&windows);
    release(&folder32);
    release(&folder64);
}

static void store_listing(const DeviceList* list) {
    WideString listing = {};
    for (int i = 0; i < list->count; ++i) {
        const DeviceEntry& e = list->entries[i];
        if (e.kind != DEVICE_KIND_TWAIN) continue;
        WideString line = {};
        format(&line, L"  %s  [DSM mask %d]\r\n", text_of(e.device_key), (int)e.dsm_mask);
        append(&listing, text_of(line));
        release(&line);
    }
    lock_enter(g_listing_lock);
    release(&g_last_listing);
    g_last_listing = listing;
    lock_leave(g_listing_lock);
}

static void free_list(void* object) {
    device_list_free(static_cast<DeviceList*>(object));
}

static DWORD WINAPI enumeration_thread(void* param) {
    EnumParams* params = static_cast<EnumParams*>(param);
    // The managers' source choosers and driver screens may need OLE (a single-threaded
    // apartment).
    const HRESULT ole = OleInitialize(nullptr);
    HWND host = twain_host_window_create();
    DeviceList* list = params->list;
    if (params->mode == ENUM_MODE_TWAIN_SELECT) user_select(host);
    if (params->mode == ENUM_MODE_WIA_SELECT) wia_select(host);
    log_line(L"=== TWAIN enumeration (process %d-bit) ===", (int)(sizeof(void*) * 8));
    int total = 0;
    for (int number = DSM_TWAIN32; number <= DSM_TWAINDSM; ++number) {
        DsmConnection dsm;
        WideString error = {};
        if (!dsm_load(number, &dsm, &error)) {
            log_line(L"%s", text_of(error));
        } else if (dsm_open(&dsm, host, &error)) {
            total += twain_list_sources(&dsm, list);
        }
        dsm_close(&dsm);
        release(&error);
    }
    log_line(L"TWAIN total entries (before merge) = %d, merged devices = %d", total, list->count);
    for (int i = 0; i < list->count; ++i) {
        if (list->entries[i].kind == DEVICE_KIND_TWAIN) list->twain_count++;
    }
    wia_enumerate(params->show_all_wia, list);
    escl_enumerate(text_of(params->escl_addresses), list);
    store_listing(list);
    if (list->twain_count == 0) fill_driver_hint(list);
    log_line(L"enumeration done: twain=%d wia=%d", list->twain_count, list->wia_count);
    post_owned(WM_DEVICE_LIST, (WPARAM)params->mode, list, free_list);
    if (host) DestroyWindow(host);
    if (SUCCEEDED(ole)) OleUninitialize();
    release(&params->escl_addresses);
    mem_free(params);
    return 0;
}

bool start_enumeration(bool show_all_wia, int mode) {
    if (!g_listing_lock) g_listing_lock = lock_create();
    EnumParams* params = static_cast<EnumParams*>(mem_alloc(sizeof(EnumParams)));
    DeviceList* list = device_list_new();
    if (!params || !list || !g_listing_lock || !twain_host_class_register()) {
        mem_free(params);
        device_list_free(list);
        return false;
    }
    params->show_all_wia = show_all_wia;
    params->mode = mode;
    params->list = list;
    // Settings belong to the main thread: the worker gets the saved addresses as text.
    params->escl_addresses = escl_saved_addresses();
    HANDLE thread = CreateThread(nullptr, 0, enumeration_thread, params, 0, nullptr);
    if (!thread) {
        device_list_free(list);
        release(&params->escl_addresses);
        mem_free(params);
        return false;
    }
    CloseHandle(thread);
    return true;
}
