// ui/main_commands.cpp
// The main window as the program's controller: its commands, the workers' messages
// (devices, pages, scan and save results), the busy states with the enable table, the
// status line and the unattended runs (--test-enum, --test-scan, --demo).
//
// Unattended runs never wait for a user: a box is written to the log instead of shown and
// a question takes its default answer (yes), and the process exit code tells whether the
// scan and the save worked.
#include <windows.h>

#include <commctrl.h>
#include <math.h>
#include <shellapi.h>
#include <string.h>
#include <wchar.h>

#include "app/deployment.h"
#include "app/log.h"
#include "app/presets.h"
#include "app/save_setup.h"
#include "app/settings.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "image/auto_process.h"
#include "image/codec.h"
#include "output/after_save.h"
#include "output/save_naming.h"
#include "output/save_worker.h"
#include "scan/diagnostics.h"
#include "scan/escl.h"
#include "scan/twain_enum.h"
#include "scan/twain_host.h"
#include "ui/bidi_text.h"
#include "ui/common_dialogs.h"
#include "ui/controls.h"
#include "ui/diagnostics_dialog.h"
#include "ui/help_dialog.h"
#include "ui/icons.h"
#include "ui/main_window.h"
#include "ui/main_window_state.h"
#include "ui/merge_dialog.h"
#include "ui/settings_dialog.h"
#include "ui/split_dialog.h"
#include "ui/theme.h"

static MainTools g_tools = {};

void main_window_set_tools(const MainTools& tools) {
    g_tools = tools;
}

namespace {

void open_connection_check(HWND owner) {
    if (g_tools.connection_check) g_tools.connection_check(owner, nullptr);
}

MainWindow& st() {
    return *main_state();
}

bool unattended() {
    return st().test_enum || st().test_scan.length > 0;
}

bool idle() {
    return !st().scanning && !st().saving && !st().closing;
}

// A box for the user, or a log line in an unattended run.
void inform(const wchar_t* text, bool warning) {
    if (unattended()) {
        log_line(L"UI box: %s", text);
        return;
    }
    message_box(st().hwnd, text, warning);
}

// A yes/no question; an unattended run takes yes without asking.
bool ask(const wchar_t* text) {
    if (unattended()) {
        log_line(L"UI question answered yes: %s", text);
        return true;
    }
    return confirm_box(st().hwnd, text);
}

void close_window_with(int code) {
    if (code != 0) st().exit_code = code;
    PostMessageW(st().hwnd, WM_CLOSE, 0, 0);
}

HWND child(int id) {
    return main_child(id);
}

void set_status_text(const WideString& text, COLORREF colour) {
    main_set_status(text_of(text), colour);
}

void status_with_count(int text_id, int count, COLORREF colour) {
    WideString text = wide_copy(tr(text_id));
    append_int(&text, count);
    set_status_text(text, colour);
    release(&text);
}

// ---- the pages

bool view_is_idle(void*) {
    return idle();
}
void view_state_update(void*) {
    main_state_update();
}
void delete_selected(void*) {
    PageList* pages = &st().pages;
    if (pages->selected < 0 || !idle()) return;
    page_list_delete(pages, pages->selected);
    refresh_strip(true);
    refresh_preview();
    main_state_update();
}

void pages_changed() {
    refresh_strip(true);
    refresh_preview();
    main_state_update();
}

typedef PageImage* (*PageOperation)(const PageImage* page, void* context, bool* changed);

// Runs op on the selected page's pixels and puts its result in place of the page. False
// when there is no result (out of memory, or the operation found nothing to do).
bool replace_selected(PageOperation op, void* context, bool* changed) {
    PageList* pages = &st().pages;
    *changed = false;
    if (pages->selected < 0 || pages->selected >= pages->count) return false;
    StoredPage* item = pages->items[pages->selected];
    int message = 0;
    const PageImage* image = page_store_pin(pages->store, item, &message);
    if (!image) {
        if (message) main_set_status(tr(message), COLOR_DANGER);
        return false;
    }
    PageImage* result = op(image, context, changed);
    page_store_unpin(pages->store, item);
    if (!result) return false;
    if (!page_list_replace(pages, pages->selected, result)) {
        page_image_free(result);
        return false;
    }
    page_view_make_thumbnail(pages, pages->selected);
    refresh_preview();
    refresh_strip(false);
    return true;
}

PageImage* rotate_op(const PageImage* page, void*, bool* changed) {
    *changed = true;
    return page_image_rotate90(page, true);
}

PageImage* crop_op(const PageImage* page, void*, bool* changed) {
    PageRect r;
    if (!page_find_content(page, &r)) return nullptr;
    *changed = true;
    return page_image_crop(page, r.x, r.y, r.w, r.h);
}

PageImage* deskew_op(const PageImage* page, void*, bool* changed) {
    const double angle = page_estimate_skew(page);
    if (fabs(angle) < DESKEW_COMMAND_MIN_DEGREES) return nullptr;
    *changed = true;
    return page_rotate_by(page, angle);
}

bool blank_test(const PageImage* page, void*) {
    return page_is_blank(page);
}

bool add_page(PageImage* page) {
    PageList* pages = &st().pages;
    if (!page_list_append(pages, page)) return false;
    page_view_make_thumbnail(pages, pages->count - 1);
    pages->selected = pages->count - 1;
    const int warning = page_store_take_warning(pages->store);
    if (warning) log_line(L"page store: %s", tr_in(LANGUAGE_ENGLISH, warning));
    return true;
}

// ---- devices

void start_device_enumeration(int mode) {
    MainWindow& s = st();
    s.enumerating = true;
    main_set_status(tr(186), COLOR_MUTED);
    main_state_update();
    if (!start_enumeration(app_settings()->ShowAllWia, mode)) {
        s.enumerating = false;
        log_line(L"enumeration could not start");
        main_set_status(tr(138), COLOR_DANGER);
        main_state_update();
        if (unattended()) close_window_with(st().test_scan.length > 0 ? 1 : 2);
    }
}

void refresh_devices() {
    if (st().enumerating || st().scanning || st().saving) return;
    start_device_enumeration(ENUM_MODE_REFRESH);
}

void select_from_windows() {
    MainWindow& s = st();
    if (s.enumerating || s.scanning || s.saving) return;
    int mode = ENUM_MODE_TWAIN_SELECT;
    if (s.devices && s.devices->count > 0) {
        const int index = s.selected_device >= 0 ? s.selected_device : 0;
        if (s.devices->entries[index].kind == DEVICE_KIND_WIA) mode = ENUM_MODE_WIA_SELECT;
    }
    start_device_enumeration(mode);
}

const DeviceEntry* selected_device() {
    const MainWindow& s = st();
    if (!s.devices || s.selected_device < 0 || s.selected_device >= s.devices->count) return nullptr;
    return &s.devices->entries[s.selected_device];
}

void start_scan_command();

void on_devices_found(int mode, DeviceList* list) {
    MainWindow& s = st();
    s.enumerating = false;
    if (!list) list = device_list_new();
    device_list_free(s.devices);
    s.devices = list;
    WideString wanted = {};
    if (mode == ENUM_MODE_TWAIN_SELECT || mode == ENUM_MODE_WIA_SELECT) wanted = twain_take_selection_key();
    s.selected_device = s.devices ? device_list_choose(s.devices, wanted.data ? text_of(wanted) : nullptr,
                                                       text_of(app_settings()->LastDevice))
                                  : -1;
    release(&wanted);
    main_refresh_device_area();
    WideString status = s.devices ? device_list_status_text(*s.devices) : wide_copy(tr(138));
    main_set_status(text_of(status), s.devices && s.devices->count > 0 ? COLOR_SUCCESS_TEXT : COLOR_DANGER);
    log_line(L"UI: %s", text_of(status));
    release(&status);
    main_state_update();
    if (s.test_enum) {
        close_window_with(0);
    } else if (s.test_scan.length > 0 && !s.scanning && !s.saving) {
        if (s.devices && s.devices->count > 0) {
            start_scan_command();
        } else {
            log_line(L"test-scan: no device");
            close_window_with(1);
        }
    }
}

// ---- scanning

void progress_marquee(bool on) {
    HWND bar = st().progress;
    LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    style = on ? (style | PBS_MARQUEE) : (style & ~(LONG_PTR)PBS_MARQUEE);
    SetWindowLongPtrW(bar, GWL_STYLE, style);
    SendMessageW(bar, PBM_SETMARQUEE, on ? TRUE : FALSE, 30);
    if (!on) SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void scan_not_started() {
    MainWindow& s = st();
    s.scanning = false;
    progress_marquee(false);
    main_set_status(tr(147), COLOR_DANGER);
    log_line(L"scan failed: %s", L"the scan thread could not start");
    main_state_update();
    if (s.test_scan.length > 0) close_window_with(1);
}

void start_scan_command() {
    MainWindow& s = st();
    if (s.scanning) {
        main_set_status(tr(192), COLOR_MUTED);
        scan_cancel();
        return;
    }
    if (s.saving || s.enumerating || s.closing) return;
    const DeviceEntry* device = selected_device();
    if (!device) {
        inform(tr(140), false);
        if (s.test_scan.length > 0) close_window_with(1);
        return;
    }
    main_store_controls();
    if (!app_settings()->AppendBatch && s.pages.count > 0) {
        if (!ask(tr(190))) return;
        page_list_clear(&s.pages);
        pages_changed();
    }
    assign(&app_settings()->LastDevice, text_of(device->device_key));
    settings_save();
    const ScanSettings settings = scan_settings_of(*app_settings());
    s.scanning = true;
    s.pages.scanned_this_run = 0;
    main_set_status(tr(144), COLOR_ACCENT);
    progress_marquee(true);
    main_state_update();
    if (!start_scan(*device, settings)) scan_not_started();
}

void on_page_arrived(PageImage* page) {
    MainWindow& s = st();
    if (!page) return;
    if (s.closing || s.destroyed) {
        page_image_free(page);
        return;
    }
    s.pages.scanned_this_run += 1;
    const AppSettings* settings = app_settings();
    ArrivalOptions options = {settings->AutoDeskew, settings->AutoCrop, settings->RemoveBlank};
    const ArrivalResult result = page_process_arrival(&page, options);
    if (result.blank) {
        log_line(L"page %d dropped as blank", s.pages.scanned_this_run);
        page_image_free(page);
    } else {
        if (result.angle != 0) log_line(L"page %d straightened by %d/100 degrees", s.pages.scanned_this_run,
                                        (int)lround(result.angle * 100));
        if (!add_page(page)) {
            page_image_free(page);
            main_set_status(tr(PAGE_STORE_MESSAGE_NO_SPACE), COLOR_DANGER);
            return;
        }
        pages_changed();
    }
    status_with_count(146, s.pages.count, COLOR_ACCENT);
}

void start_test_save();

void on_scan_finished(bool success, WideString* message) {
    MainWindow& s = st();
    s.scanning = false;
    progress_marquee(false);
    const wchar_t* text = message ? text_of(*message) : L"";
    if (success) {
        const PageStoreStats stats = page_store_stats(s.pages.store);
        log_line(L"scan finished: pages=%d arrived=%d resident_mb=%d budget_mb=%d parked=%d", s.pages.count,
                 s.pages.scanned_this_run, (int)(stats.resident_bytes >> 20), (int)(stats.budget >> 20), stats.parked);
        status_with_count(146, s.pages.count, COLOR_SUCCESS_TEXT);
        if (*text && s.pages.scanned_this_run == 0) main_set_status(text, COLOR_DANGER);
    } else {
        const wchar_t* shown = *text ? text : tr(147);
        main_set_status(shown, COLOR_DANGER);
        log_line(L"scan failed: %s", shown);
        if (!unattended() && !s.closing) {
            WideString box = wide_copy(shown);
            append(&box, L"\n");
            append(&box, tr(282));
            UINT flags = MB_YESNO | MB_ICONWARNING;
            if (interface_language() == LANGUAGE_ARABIC) flags |= MB_RIGHT | MB_RTLREADING;
            const int answer = MessageBoxW(s.hwnd, text_of(box), L"Zan Group Scanner", flags);
            release(&box);
            if (answer == IDYES) open_connection_check(s.hwnd);
        }
    }
    if (message) {
        release(message);
        mem_free(message);
    }
    main_state_update();
    if (s.closing) {
        DestroyWindow(s.hwnd);
        return;
    }
    if (s.test_scan.length > 0) {
        if (s.pages.count > 0) {
            start_test_save();
        } else {
            log_line(L"test-scan: no pages");
            close_window_with(1);
        }
    }
}

// ---- saving

void log_text(const wchar_t* line) {
    log_line(L"%s", line);
}

// Starts the save worker on every page (the store keeps the pixels of any number of
// pages, so nothing is cut off). False, with the status set, when it could not start.
bool start_save_worker(const wchar_t* target) {
    MainWindow& s = st();
    const int count = s.pages.count;
    mem_free(s.save_batch);
    s.save_batch = static_cast<StoredPage**>(mem_alloc_array((size_t)count, sizeof(StoredPage*)));
    SaveSettings settings = {};
    bool ok = s.save_batch && save_settings_of(*app_settings(), &settings);
    if (ok) {
        memcpy(s.save_batch, s.pages.items, (size_t)count * sizeof(StoredPage*));
        s.save_pages = PdfStorePages{s.pages.store, s.save_batch, nullptr, count, 0};
        s.saving = true;
        main_state_update();
        ok = save_start(s.hwnd, save_pages_of_store(&s.save_pages), settings, target, tr, log_text);
    }
    save_settings_release(&settings);
    if (!ok) {
        s.saving = false;
        WideString text = wide_copy(tr(60));
        append(&text, L"save worker could not start");
        main_set_status(text_of(text), COLOR_DANGER);
        log_line(L"save result ok=0 %s", L"save worker could not start");
        release(&text);
        main_state_update();
    }
    return ok;
}

void start_test_save() {
    if (!start_save_worker(text_of(st().test_scan))) close_window_with(1);
}

struct NamingContext {
    HWND owner;
};
bool ask_name(void* context, const wchar_t* proposed, WideString* answer) {
    assign(answer, proposed);
    return text_input_dialog(static_cast<NamingContext*>(context)->owner, tr(61), tr(104), answer);
}
bool confirm_replace(void* context, const wchar_t*) {
    return confirm_box(static_cast<NamingContext*>(context)->owner, tr(197));
}
bool save_dialog(void* context, const wchar_t* folder, const wchar_t* proposed, int format, bool prompt,
                 WideString* chosen) {
    return save_show_save_dialog(static_cast<NamingContext*>(context)->owner, tr(61), tr(save_format_label_id(format)),
                                 folder, proposed, format, prompt, chosen);
}

void save_command() {
    MainWindow& s = st();
    if (s.pages.count == 0) {
        inform(tr(59), false);
        return;
    }
    if (!idle()) return;
    main_store_controls();
    const SaveNamingRequest request = save_naming_request_of(*app_settings(), s.pages.count);
    NamingContext context = {s.hwnd};
    const SaveNamingUi ui = {&context, ask_name, confirm_replace, save_dialog};
    SaveNamingResult result = {};
    const SaveNamingOutcome outcome = save_choose_path_with(&request, &ui, &result);
    if (outcome == SAVE_PATH_CHOSEN) {
        save_store_naming_result(app_settings(), result);
        main_refresh_folder_label();
        main_set_status(tr(57), COLOR_ACCENT);
        SendMessageW(s.progress, PBM_SETPOS, 0, 0);
        start_save_worker(text_of(result.path));
    } else if (outcome == SAVE_PATH_FAILED) {
        WideString text = wide_copy(tr(60));
        append(&text, text_of(result.error));
        main_set_status(tr(60), COLOR_DANGER);
        inform(text_of(text), true);
        release(&text);
    }
    save_naming_result_release(&result);
}

void inform_after_save(HWND owner, int message_id) {
    message_box(owner, tr(message_id), false);
}

void on_save_finished(bool success, WideString* text) {
    MainWindow& s = st();
    s.saving = false;
    mem_free(s.save_batch);
    s.save_batch = nullptr;
    const wchar_t* value = text ? text_of(*text) : L"";
    if (success) {
        WideString status = wide_copy(tr(56));
        bidi_append_ltr(&status, value, interface_language());
        main_set_status(text_of(status), COLOR_SUCCESS_TEXT);
        release(&status);
        settings_save();
        main_state_update();
        if (s.test_scan.length == 0 && !s.closing)
            after_save_action(s.hwnd, app_settings()->AfterSave, value, tr, inform_after_save);
    } else {
        main_set_status(tr(60), COLOR_DANGER);
        main_state_update();
        if (s.test_scan.length == 0 && !s.closing) {
            WideString box = wide_copy(tr(60));
            append(&box, value);
            message_box(s.hwnd, text_of(box), true);
            release(&box);
        }
    }
    log_line(L"save result ok=%d %s", success ? 1 : 0, value);
    if (text) save_message_text_free(text);
    if (s.closing) {
        DestroyWindow(s.hwnd);
    } else if (s.test_scan.length > 0) {
        close_window_with(success ? 0 : 1);
    }
}

// ---- presets

void apply_preset_command() {
    const int entry = list_selection(child(ID_PRESETS));
    if (entry < 1) return;
    ScanPreset preset = {};
    if (apply_preset(preset_key_for_entry(entry - 1), &preset)) {
        main_set_controls_from_settings();
        main_set_status(text_of(preset.name), COLOR_MUTED);
    }
    release_preset(&preset);
}

void select_preset_named(const wchar_t* name) {
    HWND list = child(ID_PRESETS);
    const int count = (int)SendMessageW(list, CB_GETCOUNT, 0, 0);
    wchar_t item[256];
    for (int i = 1; i < count; ++i) {
        if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) >= 255) continue;
        SendMessageW(list, CB_GETLBTEXT, i, (LPARAM)item);
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, item, -1, name, -1) == CSTR_EQUAL) {
            list_select(list, i);
            return;
        }
    }
}

// A copier that scans over the network without a driver, added by its address: it is
// saved at once and listed from the enumeration that follows.
void add_network_scanner_command() {
    MainWindow& s = st();
    if (s.enumerating || s.scanning || s.saving) return;
    WideString address = {};
    if (text_input_dialog(s.hwnd, tr(314), tr(315), &address) && address.length > 0) {
        EsclFailure failure = {};
        if (escl_add_device_address(text_of(address), &failure)) {
            refresh_devices();
        } else {
            WideString text = escl_failure_text(failure);
            message_box(s.hwnd, text_of(text), true);
            release(&text);
        }
        escl_failure_release(&failure);
    }
    release(&address);
}

void save_preset_command() {
    WideString name = {};
    if (text_input_dialog(st().hwnd, tr(27), tr(28), &name) && name.length > 0) {
        main_store_controls();
        ScanPreset preset = preset_from_settings(text_of(name), *app_settings());
        save_preset(preset);
        release_preset(&preset);
        main_fill_presets();
        select_preset_named(text_of(name));
    }
    release(&name);
}

void delete_preset_command() {
    const int entry = list_selection(child(ID_PRESETS));
    if (entry < 1) return;
    ScanPreset preset = {};
    if (read_preset(preset_key_for_entry(entry - 1), &preset) && ask(text_of(preset.name))) {
        delete_preset(text_of(preset.name));
        main_fill_presets();
    }
    release_preset(&preset);
}

// ---- other commands

void switch_language() {
    MainWindow& s = st();
    main_store_controls();
    const int language = interface_language() == LANGUAGE_ARABIC ? LANGUAGE_ENGLISH : LANGUAGE_ARABIC;
    set_interface_language(language);
    app_settings()->Language = language;
    settings_save();
    while (HWND c = GetWindow(s.hwnd, GW_CHILD)) DestroyWindow(c);
    s.panel = s.preview = s.strip = s.progress = nullptr;
    main_create_controls();
    main_layout_window();
    main_state_update();
    refresh_strip(true);
    refresh_preview();
    main_set_status(tr(1), COLOR_MUTED);
    InvalidateRect(s.hwnd, nullptr, TRUE);
    log_line(L"UI: language %s", language == LANGUAGE_ARABIC ? L"ar" : L"en");
}

void copy_phone() {
    const size_t bytes = (wcslen(kServicePhone) + 1) * sizeof(wchar_t);
    if (OpenClipboard(st().hwnd)) {
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
        void* p = block ? GlobalLock(block) : nullptr;
        if (p) {
            memcpy(p, kServicePhone, bytes);
            GlobalUnlock(block);
            if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
        } else if (block) {
            GlobalFree(block);
        }
        CloseClipboard();
    }
    main_set_status(tr(191), COLOR_SUCCESS_TEXT);
}

void open_web_address(const wchar_t* address) {
    WideString url = {};
    if (!wcsstr(address, L"://")) append(&url, L"https://");
    append(&url, address);
    shell_open(text_of(url));
    release(&url);
}

void choose_save_folder() {
    WideString folder = wide_copy(text_of(app_settings()->SaveDir));
    if (choose_folder(st().hwnd, tr(49), &folder) && folder.length > 0) {
        settings_choose_save_dir(text_of(folder));
        settings_save();
        main_refresh_folder_label();
    }
    release(&folder);
}

void open_save_folder() {
    const wchar_t* folder = text_of(app_settings()->SaveDir);
    ensure_folder(folder);
    shell_open(folder);
}

void page_command(int id) {
    MainWindow& s = st();
    bool changed = false;
    switch (id) {
    case ID_ROTATE:
        if (s.pages.selected >= 0 && idle() && replace_selected(rotate_op, nullptr, &changed))
            main_set_status(tr(148), COLOR_MUTED);
        break;
    case ID_DELETE_PAGE:
        if (s.pages.selected < 0 || !idle()) {
            inform(tr(141), false);
            break;
        }
        delete_selected(nullptr);
        main_set_status(tr(149), COLOR_MUTED);
        break;
    case ID_CLEAR_ALL:
        if (s.pages.count > 0 && idle() && ask(tr(38))) {
            page_list_clear(&s.pages);
            pages_changed();
        }
        break;
    case ID_AUTO_CROP:
        if (s.pages.selected < 0 || !idle()) break;
        main_set_status(tr(179), replace_selected(crop_op, nullptr, &changed) ? COLOR_SUCCESS_TEXT : COLOR_MUTED);
        break;
    case ID_DESKEW:
        if (s.pages.selected < 0 || !idle()) break;
        main_set_status(tr(180), replace_selected(deskew_op, nullptr, &changed) ? COLOR_SUCCESS_TEXT : COLOR_MUTED);
        break;
    case ID_REMOVE_BLANKS: {
        if (!idle()) break;
        const int removed = page_list_remove_where(&s.pages, blank_test, nullptr);
        pages_changed();
        if (removed == 0) main_set_status(tr(178), COLOR_MUTED);
        else status_with_count(177, removed, COLOR_SUCCESS_TEXT);
        break;
    }
    }
    main_state_update();
}

void refresh_slider_labels() {
    static const int kSliders[3][2] = {{ID_BRIGHTNESS, ID_BRIGHTNESS_VALUE},
                                       {ID_CONTRAST, ID_CONTRAST_VALUE},
                                       {ID_THRESHOLD, ID_THRESHOLD_VALUE}};
    WideString value = {};
    for (const auto& pair : kSliders) {
        format(&value, L"%d", (int)SendMessageW(child(pair[0]), TBM_GETPOS, 0, 0));
        SetWindowTextW(child(pair[1]), text_of(value));
    }
    release(&value);
    EnableWindow(child(ID_THRESHOLD), list_selection(child(ID_COLOR)) == 2);
}

int clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

bool checked(int id) {
    return SendMessageW(child(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void set_check(int id, bool on) {
    SendMessageW(child(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void set_slider(int id, int value) {
    SendMessageW(child(id), TBM_SETPOS, TRUE, value);
}

int slider(int id) {
    return (int)SendMessageW(child(id), TBM_GETPOS, 0, 0);
}

}  // namespace

// ---- shared with main_window.cpp

PageViewHost main_view_host() {
    PageViewHost host = {};
    host.is_idle = view_is_idle;
    host.state_update = view_state_update;
    host.delete_selected = delete_selected;
    return host;
}

void main_set_status(const wchar_t* text, COLORREF colour) {
    MainWindow& s = st();
    assign(&s.status, text);
    s.status_colour = colour;
    RECT footer;
    main_footer_rect(&footer);
    InvalidateRect(s.hwnd, &footer, FALSE);
}

void main_state_update() {
    MainWindow& s = st();
    if (!s.hwnd || !s.panel) return;
    MainState state = {};
    state.pages = s.pages.count;
    state.page_selected = s.pages.selected >= 0 && s.pages.selected < s.pages.count;
    state.devices = s.devices ? s.devices->count : 0;
    state.enumerating = s.enumerating;
    // A confirmed close waits for its worker with every command off.
    state.scanning = s.scanning;
    state.saving = s.saving || s.closing;
    const int* ids = nullptr;
    const int count = main_enable_ids(&ids);
    for (int i = 0; i < count; ++i) EnableWindow(child(ids[i]), main_control_enabled(ids[i], state));
    if (s.closing) EnableWindow(child(ID_SCAN), FALSE);
    HWND scan = child(ID_SCAN);
    button_set_caption(scan, tr(s.scanning ? 30 : 29), s.scanning ? ICON_CLOSE : ICON_SCANNER);
    button_set_kind(scan, s.scanning ? BUTTON_DANGER : BUTTON_PRIMARY);
    ShowWindow(s.progress, s.scanning || s.saving ? SW_SHOWNA : SW_HIDE);
    main_refresh_folder_label();
    RECT footer;
    main_footer_rect(&footer);
    InvalidateRect(s.hwnd, &footer, FALSE);
}

void main_store_controls() {
    if (!st().panel) return;
    AppSettings* a = app_settings();
    a->ColorMode = clamp(list_selection(child(ID_COLOR)), 0, 2);
    a->Dpi = kDpiChoices[clamp(list_selection(child(ID_DPI)), 0, DPI_CHOICE_COUNT - 1)];
    a->Source = clamp(list_selection(child(ID_SOURCE)), 0, 2);
    a->Paper = clamp(list_selection(child(ID_PAPER)), 0, 4);
    a->Brightness = clamp(slider(ID_BRIGHTNESS), -100, 100);
    a->Contrast = clamp(slider(ID_CONTRAST), -100, 100);
    a->Threshold = clamp(slider(ID_THRESHOLD), 0, 255);
    a->ShowDriverUi = checked(ID_DRIVER_UI);
    a->AppendBatch = checked(ID_APPEND);
    a->ShowAllWia = checked(ID_SHOW_ALL_WIA);
    a->Format = clamp(list_selection(child(ID_FORMAT)), 0, 3);
    a->AfterSave = clamp(list_selection(child(ID_AFTER_SAVE)), 0, 2);
}

void main_set_controls_from_settings() {
    const AppSettings* a = app_settings();
    list_select(child(ID_COLOR), a->ColorMode);
    list_select(child(ID_DPI), nearest_dpi_index(a->Dpi));
    list_select(child(ID_SOURCE), a->Source);
    list_select(child(ID_PAPER), a->Paper);
    list_select(child(ID_FORMAT), a->Format);
    list_select(child(ID_AFTER_SAVE), a->AfterSave);
    set_slider(ID_BRIGHTNESS, a->Brightness);
    set_slider(ID_CONTRAST, a->Contrast);
    set_slider(ID_THRESHOLD, a->Threshold);
    set_check(ID_DRIVER_UI, a->ShowDriverUi);
    set_check(ID_APPEND, a->AppendBatch);
    set_check(ID_SHOW_ALL_WIA, a->ShowAllWia);
    refresh_slider_labels();
}

void main_refresh_device_area() {
    MainWindow& s = st();
    const int language = interface_language();
    HWND list = child(ID_DEVICES);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const int count = s.devices ? s.devices->count : 0;
    WideString line = {};
    for (int i = 0; i < count; ++i) {
        WideString label = device_combo_label(s.devices->entries[i]);
        assign(&line, L"");
        bidi_append_marked_parentheses(&line, text_of(label), language);
        list_add(list, text_of(line));
        release(&label);
    }
    if (count > 0) list_select(list, s.selected_device >= 0 ? s.selected_device : 0);
    const DeviceEntry* device = selected_device();
    WideString details = device_driver_label(device);
    SetWindowTextW(child(ID_DEVICE_DETAILS), text_of(details));
    release(&details);
    assign(&line, L"\x25CF ");
    append(&line, tr(device ? 280 : 281));
    SetWindowTextW(child(ID_DEVICE_STATE), text_of(line));
    release(&line);
}

// The folder label reads left to right in both languages (its control is made so), so a
// path keeps its typed order, an Arabic folder name inside it included.
void main_refresh_folder_label() {
    const WideString& folder = app_settings()->SaveDir;
    HWND control = child(ID_FOLDER_LABEL);
    wchar_t current[1024] = {};
    if (GetWindowTextLengthW(control) >= 1023 || GetWindowTextW(control, current, 1024) != folder.length ||
        wcscmp(current, text_of(folder)) != 0)
        SetWindowTextW(control, text_of(folder));
}

void main_add_demo_pages() {
    MainWindow& s = st();
    if (s.demo_image.length == 0) return;
    for (int i = 0; i < s.demo_pages; ++i) {
        PageImage* page = codec_decode_file(text_of(s.demo_image));
        if (!page) continue;
        if (i % 2 == 1) {
            PageImage* turned = page_image_rotate90(page, true);
            page_image_free(page);
            page = turned;
            if (!page) continue;
        }
        if (!add_page(page)) page_image_free(page);
    }
    s.pages.selected = s.pages.count > 0 ? 0 : -1;
    log_line(L"demo: pages=%d", s.pages.count);
    pages_changed();
}

void main_on_slider() {
    main_store_controls();
    refresh_slider_labels();
}

void main_on_command(int id, int notification) {
    MainWindow& s = st();
    switch (id) {
    case ID_LANGUAGE: switch_language(); return;
    case ID_HELP: help_dialog(s.hwnd); return;
    case ID_SERVICE: shell_open(kMessagingAddress); return;
    case ID_PHONE: copy_phone(); return;
    case ID_WEB: open_web_address(kServiceWebAddress); return;
    case ID_DEVICES:
        if (notification == CBN_SELCHANGE) {
            s.selected_device = list_selection(child(ID_DEVICES));
            if (const DeviceEntry* device = selected_device())
                assign(&app_settings()->LastDevice, text_of(device->device_key));
            main_refresh_device_area();
        }
        return;
    case ID_REFRESH: refresh_devices(); return;
    case ID_SELECT_WINDOWS: select_from_windows(); return;
    case ID_ADD_NETWORK_SCANNER: add_network_scanner_command(); return;
    case ID_DIAGNOSTICS: diagnostics_dialog(s.hwnd, diagnostics_report); return;
    case ID_DOWNLOAD: shell_open(kDriverDownloadPage); return;
    case ID_SHOW_ALL_WIA:
        main_store_controls();
        settings_save();
        refresh_devices();
        return;
    case ID_PRESETS:
        if (notification == CBN_SELCHANGE) apply_preset_command();
        return;
    case ID_PRESET_SAVE: save_preset_command(); return;
    case ID_PRESET_DELETE: delete_preset_command(); return;
    case ID_COLOR:
        if (notification == CBN_SELCHANGE) main_on_slider();
        return;
    case ID_SCAN: start_scan_command(); return;
    case ID_ADVANCED:
        if (!idle()) return;
        main_store_controls();
        advanced_settings_dialog(s.hwnd);
        settings_save();
        main_state_update();
        return;
    case ID_MERGE:
        if (!idle()) return;
        open_merge_dialog(s.hwnd);
        EnableWindow(child(ID_MERGE), TRUE);
        main_state_update();
        main_set_status(tr(283), COLOR_SUCCESS_TEXT);
        return;
    case ID_SPLIT: open_split_dialog(s.hwnd); return;
    case ID_CONNECTION:
        if (idle()) open_connection_check(s.hwnd);
        return;
    case ID_FIREWALL:
        if (idle() && g_tools.firewall) g_tools.firewall(s.hwnd);
        return;
    case ID_SHARE_WIZARD:
        if (idle() && g_tools.share_wizard) g_tools.share_wizard(s.hwnd);
        return;
    case ID_ROTATE:
    case ID_DELETE_PAGE:
    case ID_CLEAR_ALL:
    case ID_AUTO_CROP:
    case ID_DESKEW:
    case ID_REMOVE_BLANKS: page_command(id); return;
    case ID_FORMAT:
    case ID_AFTER_SAVE:
        if (notification == CBN_SELCHANGE) main_store_controls();
        return;
    case ID_CHOOSE_FOLDER: choose_save_folder(); return;
    case ID_OPEN_FOLDER: open_save_folder(); return;
    case ID_SAVE: save_command(); return;
    }
}

bool main_on_private_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    MainWindow& s = st();
    *result = 0;
    switch (msg) {
    case WM_ZAN_START_ENUMERATION: refresh_devices(); return true;
    case WM_DEVICE_LIST: on_devices_found((int)wp, reinterpret_cast<DeviceList*>(lp)); return true;
    case WM_SCAN_PAGE: on_page_arrived(reinterpret_cast<PageImage*>(lp)); return true;
    case WM_SCAN_DONE: on_scan_finished(wp == 1, reinterpret_cast<WideString*>(lp)); return true;
    case WM_SCAN_STATUS: {
        WideString* text = reinterpret_cast<WideString*>(lp);
        if (text) {
            if (!s.closing) main_set_status(text_of(*text), COLOR_ACCENT);
            release(text);
            mem_free(text);
        }
        return true;
    }
    case SAVE_MESSAGE_DONE: on_save_finished(wp == 1, reinterpret_cast<WideString*>(lp)); return true;
    case SAVE_MESSAGE_PROGRESS: {
        WideString* text = reinterpret_cast<WideString*>(lp);
        SendMessageW(s.progress, PBM_SETPOS, wp, 0);
        if (text) {
            if (!s.closing) main_set_status(text_of(*text), COLOR_ACCENT);
            save_message_text_free(text);
        }
        return true;
    }
    }
    return false;
}

void main_on_close() {
    MainWindow& s = st();
    if (s.closing) return;
    if (s.scanning || s.saving) {
        if (!ask(tr(184))) return;
        s.closing = true;
        if (s.scanning) {
            // The scan gets a bounded time to end; its later pages are freed on arrival.
            main_set_status(tr(192), COLOR_MUTED);
            scan_cancel();
            SetTimer(s.hwnd, MAIN_TIMER_CLOSE_WAIT, MAIN_CLOSE_SCAN_WAIT_MS, nullptr);
        } else {
            // The save worker reads the pages: the window stays until it has finished.
            main_set_status(tr(57), COLOR_ACCENT);
        }
        log_line(L"close: waiting for the %s to end", s.scanning ? L"scan" : L"save");
        main_state_update();
        return;
    }
    DestroyWindow(s.hwnd);
}

void main_on_close_wait_over() {
    MainWindow& s = st();
    KillTimer(s.hwnd, MAIN_TIMER_CLOSE_WAIT);
    log_line(L"close: the scan did not end in time");
    if (!s.saving) DestroyWindow(s.hwnd);
}
