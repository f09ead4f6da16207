// app/cli_scan.cpp
// zancli devices and zancli scan: the program's own enumeration and scan session (same
// threads, same messages), received by a hidden window of the tool, so the whole TWAIN
// path can be driven from a script. Pages go to one PDF or to numbered PNG files.
#include <windows.h>

#include "app/cli.h"
#include "app/log.h"
#include "app/settings.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/text.h"
#include "image/codec.h"
#include "image/page_image.h"
#include "output/pdf_document.h"
#include "scan/device_list.h"
#include "scan/escl.h"
#include "scan/scan_failure.h"
#include "scan/twain_enum.h"
#include "scan/twain_host.h"

// What the hidden window has received so far.
struct CliScanState {
    DeviceList* devices;
    PageImage** pages;
    int page_count;
    int page_capacity;
    bool done;
    bool success;
    WideString result;
    int cancel_after;   // -1: never; else cancel once this many pages arrived
    int cancel_at_status;  // -1: never; else cancel when this status line (1 = first) arrives
    int statuses;       // status lines received
    bool cancel_sent;
};

static CliScanState g_state = {};

static void keep_page(PageImage* page) {
    if (g_state.page_count == g_state.page_capacity) {
        const int wanted = g_state.page_capacity ? g_state.page_capacity * 2 : 8;
        void* grown = mem_realloc(g_state.pages, sizeof(PageImage*) * (size_t)wanted);
        if (!grown) {
            page_image_free(page);
            return;
        }
        g_state.pages = static_cast<PageImage**>(grown);
        g_state.page_capacity = wanted;
    }
    g_state.pages[g_state.page_count++] = page;
}

static void maybe_cancel() {
    const bool by_pages = g_state.cancel_after >= 0 && g_state.page_count >= g_state.cancel_after;
    const bool by_status = g_state.cancel_at_status > 0 && g_state.statuses >= g_state.cancel_at_status;
    if ((by_pages || by_status) && !g_state.cancel_sent) {
        g_state.cancel_sent = true;
        scan_cancel();
    }
}

static LRESULT CALLBACK cli_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DEVICE_LIST) {
        device_list_free(g_state.devices);
        g_state.devices = reinterpret_cast<DeviceList*>(lparam);
        return 0;
    }
    if (message == WM_SCAN_PAGE) {
        keep_page(reinterpret_cast<PageImage*>(lparam));
        maybe_cancel();
        return 0;
    }
    if (message == WM_SCAN_STATUS || message == WM_SCAN_DONE) {
        WideString* text = reinterpret_cast<WideString*>(lparam);
        if (message == WM_SCAN_DONE) {
            g_state.done = true;
            g_state.success = wparam != 0;
            assign(&g_state.result, text_of(*text));
        } else {
            WideString line = wide_copy(L"status: ");
            append(&line, text_of(*text));
            cli_print(text_of(line));
            release(&line);
            g_state.statuses++;
            maybe_cancel();
        }
        release(text);
        mem_free(text);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

static HWND create_cli_window() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = cli_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanCliScan";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, L"ZanCliScan", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// Pumps messages until done() says so.
static void pump_until(bool (*done)()) {
    MSG msg;
    while (!done() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

static bool have_devices() {
    return g_state.devices != nullptr;
}

static bool scan_done() {
    return g_state.done;
}

static bool parse_number(const wchar_t* text, int low, int high, int* out);
static wchar_t g_discovery_file[MAX_PATH];

static int discovery_from_file(EsclFound* found, int max_found) {
    return escl_discovery_from_file(g_discovery_file, found, max_found);
}

void cli_escl_setup() {
    if (GetEnvironmentVariableW(L"ZAN_ESCL_DISCOVERY", g_discovery_file, MAX_PATH) && g_discovery_file[0]) {
        escl_set_discovery(discovery_from_file);
    }
    wchar_t value[16] = {};
    int ms = 0;
    if (GetEnvironmentVariableW(L"ZAN_ESCL_TIMEOUT_MS", value, 16) && parse_number(value, 1, 600000, &ms)) {
        escl_set_timeout_ms(ms);
    }
}

// The settings (for the remembered device), the log beside the tool, the English texts,
// the receiving window.
static HWND cli_setup() {
    settings_load();
    WideString folder = module_folder();
    WideString log = path_join(text_of(folder), L"ZanGroupScanner.log");
    open_log(text_of(log));
    release(&folder);
    release(&log);
    set_interface_language(LANGUAGE_ENGLISH);
    cli_wia_setup();
    cli_escl_setup();
    HWND window = create_cli_window();
    twain_set_report_window(window);
    return window;
}

static bool enumerate() {
    if (!start_enumeration(false, 0)) return false;
    pump_until(have_devices);
    return g_state.devices != nullptr;
}

static void cli_cleanup(HWND window) {
    device_list_free(g_state.devices);
    for (int i = 0; i < g_state.page_count; ++i) page_image_free(g_state.pages[i]);
    mem_free(g_state.pages);
    release(&g_state.result);
    g_state = CliScanState{};
    settings_release();
    twain_set_report_window(nullptr);
    if (window) DestroyWindow(window);
}

int cli_devices(int argc, wchar_t**) {
    if (argc != 0) return cli_usage(L"devices");
    HWND window = cli_setup();
    if (!window || !enumerate()) {
        cli_error(L"enumeration failed");
        cli_cleanup(window);
        return 1;
    }
    // Per entry: key, kind, manager mask, name, the list line and the driver line as the
    // program shows them; then the entry a refresh would select.
    for (int i = 0; i < g_state.devices->count; ++i) {
        const DeviceEntry& e = g_state.devices->entries[i];
        WideString combo = device_combo_label(e);
        WideString driver = device_driver_label(&e);
        WideString line = {};
        const wchar_t* kind = e.kind == DEVICE_KIND_TWAIN ? L"twain" : e.kind == DEVICE_KIND_WIA ? L"wia" : L"escl";
        format(&line, L"%s\t%s\t%u\t%s\t%s\t%s", text_of(e.device_key), kind,
               (unsigned)e.dsm_mask, text_of(e.display_name), text_of(combo), text_of(driver));
        cli_print(text_of(line));
        release(&line);
        release(&combo);
        release(&driver);
    }
    const int chosen = device_list_choose(g_state.devices, nullptr, text_of(app_settings()->LastDevice));
    if (chosen >= 0) {
        WideString line = wide_copy(L"selected\t");
        append(&line, text_of(g_state.devices->entries[chosen].device_key));
        cli_print(text_of(line));
        release(&line);
    }
    if (g_state.devices->driver_hint.length > 0) cli_error(text_of(g_state.devices->driver_hint));
    cli_cleanup(window);
    return 0;
}

// ---- scan options
struct ScanArgs {
    const wchar_t* device;
    const wchar_t* output;
    ScanSettings settings;
    int cancel_after;
    int cancel_at_status;
};

static bool parse_number(const wchar_t* text, int low, int high, int* out) {
    if (!text || !text[0]) return false;
    int sign = 1, i = 0, value = 0;
    if (text[0] == L'-') {
        sign = -1;
        i = 1;
    }
    if (!text[i]) return false;
    for (; text[i]; ++i) {
        if (text[i] < L'0' || text[i] > L'9' || value > 100000) return false;
        value = value * 10 + (text[i] - L'0');
    }
    value *= sign;
    if (value < low || value > high) return false;
    *out = value;
    return true;
}

static int choice_index(const wchar_t* text, const wchar_t* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        if (text_equals(text, names[i]) == 0) return i;
    }
    return -1;
}

static bool parse_scan_args(int argc, wchar_t** argv, ScanArgs* a) {
    static const wchar_t* const kModes[] = {L"color", L"gray", L"bw"};
    static const wchar_t* const kSources[] = {L"glass", L"feeder", L"duplex"};
    static const wchar_t* const kPapers[] = {L"a4", L"a3", L"a5", L"legal", L"letter"};
    *a = ScanArgs{};
    a->settings.Dpi = 200;
    a->settings.Threshold = 128;
    a->cancel_after = -1;
    a->cancel_at_status = -1;
    for (int i = 0; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (text_equals(arg, L"--driver-ui") == 0) {
            a->settings.ShowDriverUi = true;
            continue;
        }
        if (arg[0] != L'-') {
            if (a->output) return false;
            a->output = arg;
            continue;
        }
        if (!value) return false;
        ++i;
        if (text_equals(arg, L"--device") == 0) {
            a->device = value;
        } else if (text_equals(arg, L"--dpi") == 0) {
            ok = parse_number(value, 20, 4800, &a->settings.Dpi);
        } else if (text_equals(arg, L"--mode") == 0) {
            a->settings.ColorMode = choice_index(value, kModes, 3);
            ok = a->settings.ColorMode >= 0;
        } else if (text_equals(arg, L"--source") == 0) {
            a->settings.Source = choice_index(value, kSources, 3);
            ok = a->settings.Source >= 0;
        } else if (text_equals(arg, L"--paper") == 0) {
            a->settings.Paper = choice_index(value, kPapers, 5);
            ok = a->settings.Paper >= 0;
        } else if (text_equals(arg, L"--brightness") == 0) {
            ok = parse_number(value, -100, 100, &a->settings.Brightness);
        } else if (text_equals(arg, L"--contrast") == 0) {
            ok = parse_number(value, -100, 100, &a->settings.Contrast);
        } else if (text_equals(arg, L"--threshold") == 0) {
            ok = parse_number(value, 0, 255, &a->settings.Threshold);
        } else if (text_equals(arg, L"--cancel-after") == 0) {
            ok = parse_number(value, 0, 100000, &a->cancel_after);
        } else if (text_equals(arg, L"--cancel-at-status") == 0) {
            ok = parse_number(value, 1, 100000, &a->cancel_at_status);
        } else {
            ok = false;
        }
        if (!ok) return false;
    }
    return a->output != nullptr;
}

// The entry to scan: the named key exactly, else the program's own choice after a refresh
// (the remembered device, else the first TWAIN entry that does not look like a printer,
// else the first entry).
// A key "eSCL:HOST[:PORT]" that is not listed names a copier by its address.
static const DeviceEntry* choose_device(DeviceList* list, const wchar_t* key) {
    if (key) {
        for (int i = 0; i < list->count; ++i) {
            if (text_equals(text_of(list->entries[i].device_key), key) == 0) return &list->entries[i];
        }
        EsclAddress address = {};
        DeviceEntry entry = {};
        const bool ok = escl_address_of_key(key, &address) && escl_fill_entry(&entry, address, nullptr, nullptr, nullptr) &&
                        device_list_copy_entry(list, entry);
        device_entry_release(&entry);
        escl_address_release(&address);
        return ok ? &list->entries[list->count - 1] : nullptr;
    }
    const int chosen = device_list_choose(list, nullptr, text_of(app_settings()->LastDevice));
    return chosen >= 0 ? &list->entries[chosen] : nullptr;
}

static bool write_pdf(const wchar_t* path, WideString* error) {
    PdfPageInput* inputs = static_cast<PdfPageInput*>(mem_alloc_array((size_t)g_state.page_count,
                                                                      sizeof(PdfPageInput)));
    if (!inputs) {
        assign(error, L"out of memory");
        return false;
    }
    for (int i = 0; i < g_state.page_count; ++i) inputs[i].page = g_state.pages[i];
    PdfSaveOptions options = {};
    const bool ok = pdf_write_document(path, inputs, g_state.page_count, &options, error);
    mem_free(inputs);
    return ok;
}

// OUT.png becomes OUT_001.png, OUT_002.png, ...
static bool write_pngs(const wchar_t* path, WideString* error) {
    if (!codec_startup()) {
        assign(error, L"image codec not available");
        return false;
    }
    WideString base = path_without_extension(path);
    bool ok = true;
    for (int i = 0; ok && i < g_state.page_count; ++i) {
        WideString name = {};
        format(&name, L"%s_%03d.png", text_of(base), i + 1);
        ByteBuffer png = {};
        ok = codec_encode_page(g_state.pages[i], CODEC_FORMAT_PNG, 0, &png) &&
             write_whole_file(text_of(name), png.data, png.length);
        if (!ok) format(error, L"cannot write %s", text_of(name));
        release(&png);
        release(&name);
    }
    release(&base);
    codec_shutdown();
    return ok;
}

static bool write_pages(const wchar_t* output, WideString* error) {
    WideString ext = path_extension(output);
    bool ok = false;
    if (compare_no_case(text_of(ext), L".pdf") == 0) {
        ok = write_pdf(output, error);
    } else if (compare_no_case(text_of(ext), L".png") == 0) {
        ok = write_pngs(output, error);
    } else {
        assign(error, L"the output must end in .pdf or .png");
    }
    release(&ext);
    return ok;
}

int cli_scan(int argc, wchar_t** argv) {
    ScanArgs args;
    if (!parse_scan_args(argc, argv, &args)) return cli_usage(L"scan");
    HWND window = cli_setup();
    if (!window || !enumerate()) {
        cli_error(L"enumeration failed");
        cli_cleanup(window);
        return 1;
    }
    const DeviceEntry* device = choose_device(g_state.devices, args.device);
    if (!device) {
        cli_error(args.device ? tr(162) : tr(139));
        cli_cleanup(window);
        return 1;
    }
    g_state.cancel_after = args.cancel_after;
    g_state.cancel_at_status = args.cancel_at_status;
    if (!start_scan(*device, args.settings)) {
        cli_error(tr(147));
        cli_cleanup(window);
        return 1;
    }
    maybe_cancel();
    pump_until(scan_done);
    int code = 0;
    if (!g_state.success) {
        cli_error(g_state.result.length > 0 ? text_of(g_state.result) : tr(147));
        code = 1;
    } else {
        cli_print(text_of(g_state.result));
        WideString error = {};
        if (g_state.page_count > 0 && !write_pages(args.output, &error)) {
            cli_error(text_of(error));
            code = 1;
        }
        release(&error);
    }
    cli_cleanup(window);
    return code;
}

// zancli escl-add ADDRESS / escl-remove ADDRESS: the saved copier addresses.
static int saved_address_command(int argc, wchar_t** argv, bool add) {
    if (argc != 1) return cli_usage(add ? L"escl-add" : L"escl-remove");
    settings_load();
    set_interface_language(LANGUAGE_ENGLISH);
    EsclFailure failure = {};
    int code = 0;
    if (add && !escl_add_device_address(argv[0], &failure)) {
        WideString text = escl_failure_text(failure);
        cli_error(text_of(text));
        release(&text);
        code = 1;
    } else if (!add && !escl_remove_device_address(argv[0])) {
        cli_error(L"not a saved address");
        code = 1;
    }
    escl_failure_release(&failure);
    WideString saved = escl_saved_addresses();
    if (code == 0) cli_print(text_of(saved));
    release(&saved);
    settings_release();
    return code;
}

int cli_escl_add(int argc, wchar_t** argv) {
    return saved_address_command(argc, argv, true);
}

int cli_escl_remove(int argc, wchar_t** argv) {
    return saved_address_command(argc, argv, false);
}
