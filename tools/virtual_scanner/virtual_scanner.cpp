// tools/virtual_scanner/virtual_scanner.cpp
// A TWAIN data source without hardware, for tests and demonstrations. Its behaviour comes
// from an INI file: the one named by the ZAN_VSCAN_INI environment variable, else
// "<name>.ini" beside the .ds; without either it lists itself nowhere. Every request it receives
// (except the per-message MSG_PROCESSEVENT) is appended to a trace file so tests can check
// the order and values of a negotiation. See README.md for the keys.
//
// It is as strict as real drivers are: it refuses requests in the wrong TWAIN state and
// requests that arrive while one of its own calls is still on the stack, signals the
// application only through its source manager, can pump the thread's messages inside a
// transfer or MSG_ENABLEDS as a driver's progress window or modal screen does, can need a
// helper DLL beside itself or a single-threaded apartment, answers capabilities in
// enumeration and range containers and rounds unsupported values to the nearest one.
#include <windows.h>
#include <ole2.h>

#include "scan/twain.h"

// ---- configuration (section [Scanner])
struct ScannerConfig {
    char manufacturer[34];
    char family[34];
    char product[34];
    int pages;              // pages in the feeder or on the glass
    wchar_t image_file[MAX_PATH];  // a BMP file used as every page instead of the text page
    wchar_t page_files[8][MAX_PATH];  // ImageFile1..8: the BMP file of that page, before image_file
    int online;             // CAP_DEVICEONLINE
    int feeder_loaded;      // CAP_FEEDERLOADED: 1, 0, or -1 = cannot tell
    int enable_return;      // what MSG_ENABLEDS returns on success (0 or TWRC_CHECKSTATUS)
    int enable_fail;        // condition code that MSG_ENABLEDS fails with (0: none)
    int fail_at_page;       // page whose transfer fails (0: none)
    int fail_code;          // its condition code
    int cancel_at_page;     // page whose transfer answers TWRC_CANCEL (0: none)
    int delay_ms;           // time each page takes, as a slow device would
    int short_block;        // hand over blocks smaller than their bitmap header says
    int driver_ui_cancel;   // the driver screen is cancelled instead of scanning
    int signal_callback;    // transfer ready through the registered callback
    int signal_event;       // transfer ready through the manager (DAT_NULL)
    int pump;               // pump the thread's messages while a page is transferred
    int enable_pump_ms;     // pump the thread's messages this long inside MSG_ENABLEDS
    int ready_in_enable;    // signal "transfer ready" inside MSG_ENABLEDS, before pumping
    int ready_delay_ms;     // wait before signalling "transfer ready" (after MSG_ENABLEDS)
    int close_at_page;      // send a close request while this page is transferred (0: none)
    int end_fail_at_page;   // MSG_ENDXFER after this page fails once (0: none)
    int open_fail;          // condition code MSG_OPENDS fails with (0: none)
    int needs_sta;          // MSG_ENABLEDS needs a single-threaded apartment (an OLE screen)
    int container;          // answers to MSG_GET: TWON_ONEVALUE, TWON_ENUMERATION or TWON_RANGE
    int resolutions[8];     // supported resolutions (none: any)
    int resolution_count;
    int papers[8];          // supported TWSS codes (none: any)
    int paper_count;
    wchar_t helper[MAX_PATH];  // a DLL beside the .ds that MSG_OPENDS loads by bare name
    wchar_t trace[MAX_PATH];  // empty: no trace
};

struct Scanner {
    ScannerConfig config;
    TW_IDENTITY self;
    TW_IDENTITY app;
    TW_ENTRYPOINT manager;  // a 2.x manager's entry points (Size 0: a 1.x manager)
    HMODULE helper;
    int state;
    int depth;              // calls of DS_Entry on the stack
    int in_enable;          // inside MSG_ENABLEDS
    int end_failed;         // the configured ENDXFER failure has happened
    int tried;              // a transfer was attempted since the last MSG_ENDXFER
    TW_UINT16 condition;
    // negotiated values
    int pixel_type;
    int dpi;
    int paper;
    int feeder_enabled;
    int duplex;
    // transfers
    int delivered;   // pages transferred
    int attempted;   // transfer requests answered (delivered, failed or cancelled)
    int pending;
    UINT_PTR timer;
    TW_UINT16 timer_message;
};

static Scanner g_scanner = {};
static HMODULE g_module = nullptr;

// ---- trace
static void trace(const char* text) {
    if (g_scanner.config.trace[0] == 0) return;
    HANDLE file = CreateFileW(g_scanner.config.trace, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, (DWORD)lstrlenA(text), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

static void tracef(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    wvsprintfA(line, format, args);
    va_end(args);
    trace(line);
}

// ---- configuration
// The INI: ZAN_VSCAN_INI when set (so tests can script a copy installed elsewhere), else
// "<name>.ini" beside the .ds.
static bool find_ini(wchar_t* path) {
    const DWORD e = GetEnvironmentVariableW(L"ZAN_VSCAN_INI", path, MAX_PATH);
    if (e > 0 && e < MAX_PATH && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 4) return false;
    for (int i = (int)n - 1; i >= 0 && path[i] != L'\\' && path[i] != L'/'; --i) {
        if (path[i] == L'.') {
            path[i] = 0;
            break;
        }
    }
    lstrcatW(path, L".ini");
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The section named after this copy's file ("sane" for sane.ds) overrides [Scanner], so one
// INI can give each installed copy its own identity and behaviour.
static wchar_t g_own_section[64] = {};

static void find_own_section() {
    wchar_t own[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(g_module, own, MAX_PATH);
    int start = 0;
    for (int i = 0; i < (int)n; ++i) {
        if (own[i] == L'\\' || own[i] == L'/') start = i + 1;
    }
    lstrcpynW(g_own_section, own + start, 64);
    for (int i = lstrlenW(g_own_section) - 1; i >= 0; --i) {
        if (g_own_section[i] == L'.') {
            g_own_section[i] = 0;
            break;
        }
    }
}

static void read_text(const wchar_t* ini, const wchar_t* key, const wchar_t* fallback, wchar_t* out, int size) {
    wchar_t common[MAX_PATH] = {};
    GetPrivateProfileStringW(L"Scanner", key, fallback, common, MAX_PATH, ini);
    GetPrivateProfileStringW(g_own_section, key, common, out, (DWORD)size, ini);
}

static void read_name(const wchar_t* ini, const wchar_t* key, const wchar_t* fallback, char* field) {
    wchar_t value[64] = {};
    read_text(ini, key, fallback, value, 64);
    ZeroMemory(field, 34);
    WideCharToMultiByte(CP_ACP, 0, value, -1, field, 33, nullptr, nullptr);
}

static int read_int(const wchar_t* ini, const wchar_t* key, int fallback) {
    const int common = (int)GetPrivateProfileIntW(L"Scanner", key, fallback, ini);
    return (int)GetPrivateProfileIntW(g_own_section, key, common, ini);
}

// "100,200,300" -> up to max numbers.
static int parse_list(const wchar_t* text, int* out, int max) {
    int count = 0, value = 0;
    bool digits = false;
    for (const wchar_t* p = text;; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            value = value * 10 + (*p - L'0');
            digits = true;
        } else {
            if (digits && count < max) out[count++] = value;
            value = 0;
            digits = false;
            if (*p == 0) break;
        }
    }
    return count;
}

// False when there is no INI: an unconfigured copy stays out of every listing, so
// installing it into a shared prefix changes nothing for programs that do not ask for it.
static bool load_config() {
    ScannerConfig& c = g_scanner.config;
    ZeroMemory(&c, sizeof(c));
    wchar_t ini[MAX_PATH] = {};
    if (!find_ini(ini)) return false;
    find_own_section();
    read_name(ini, L"Manufacturer", L"Zan Group", c.manufacturer);
    read_name(ini, L"Family", L"Virtual", c.family);
    read_name(ini, L"Product", L"Zan Virtual Scanner", c.product);
    c.pages = read_int(ini, L"Pages", 1);
    c.online = read_int(ini, L"Online", 1);
    c.feeder_loaded = read_int(ini, L"FeederLoaded", 1);
    c.enable_return = read_int(ini, L"EnableReturn", 0);
    c.enable_fail = read_int(ini, L"EnableFail", 0);
    c.fail_at_page = read_int(ini, L"FailAtPage", 0);
    c.fail_code = read_int(ini, L"FailCode", TWCC_PAPERJAM);
    c.cancel_at_page = read_int(ini, L"CancelAtPage", 0);
    c.delay_ms = read_int(ini, L"DelayMs", 0);
    c.short_block = read_int(ini, L"ShortBlock", 0);
    wchar_t word[32] = {};
    read_text(ini, L"DriverUi", L"scan", word, 32);
    c.driver_ui_cancel = lstrcmpiW(word, L"cancel") == 0;
    read_text(ini, L"Signal", L"event", word, 32);
    c.signal_callback = lstrcmpiW(word, L"callback") == 0 || lstrcmpiW(word, L"both") == 0;
    c.signal_event = lstrcmpiW(word, L"event") == 0 || lstrcmpiW(word, L"both") == 0;
    c.pump = read_int(ini, L"Pump", 0);
    c.enable_pump_ms = read_int(ini, L"EnablePumpMs", 0);
    c.ready_in_enable = read_int(ini, L"ReadyInEnable", 0);
    c.ready_delay_ms = read_int(ini, L"ReadyDelayMs", 30);
    c.close_at_page = read_int(ini, L"CloseAtPage", 0);
    c.end_fail_at_page = read_int(ini, L"EndXferFailAtPage", 0);
    c.open_fail = read_int(ini, L"OpenFail", 0);
    c.needs_sta = read_int(ini, L"NeedsSta", 0);
    read_text(ini, L"Container", L"onevalue", word, 32);
    c.container = lstrcmpiW(word, L"enumeration") == 0 ? TWON_ENUMERATION
                  : lstrcmpiW(word, L"range") == 0     ? TWON_RANGE
                                                       : TWON_ONEVALUE;
    wchar_t list[128] = {};
    read_text(ini, L"Resolutions", L"", list, 128);
    c.resolution_count = parse_list(list, c.resolutions, 8);
    read_text(ini, L"Papers", L"", list, 128);
    c.paper_count = parse_list(list, c.papers, 8);
    read_text(ini, L"Helper", L"", c.helper, MAX_PATH);
    read_text(ini, L"ImageFile", L"", c.image_file, MAX_PATH);
    for (int n = 0; n < 8; ++n) {
        wchar_t key[16];
        wsprintfW(key, L"ImageFile%d", n + 1);
        read_text(ini, key, L"", c.page_files[n], MAX_PATH);
    }
    read_text(ini, L"Trace", L"", c.trace, MAX_PATH);
    return true;
}

static void fill_identity(TW_IDENTITY* id) {
    const TW_UINT32 keep = id->Id;
    ZeroMemory(id, sizeof(*id));
    id->Id = keep;
    id->Version.MajorNum = 1;
    id->Version.Language = TWLG_ENGLISH;
    id->Version.Country = TWCY_USA;
    lstrcpyA(id->Version.Info, "1.0 virtual");
    id->ProtocolMajor = 2;
    id->ProtocolMinor = 1;
    id->SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
    CopyMemory(id->Manufacturer, g_scanner.config.manufacturer, 34);
    CopyMemory(id->ProductFamily, g_scanner.config.family, 34);
    CopyMemory(id->ProductName, g_scanner.config.product, 34);
}

static TW_UINT16 fail(TW_UINT16 condition) {
    g_scanner.condition = condition;
    return TWRC_FAILURE;
}

// ---- memory of capability containers: a 2.x manager's functions when it gave them
static TW_HANDLE container_alloc(TW_UINT32 size) {
    if (g_scanner.manager.DSM_MemAllocate) return g_scanner.manager.DSM_MemAllocate(size);
    return GlobalAlloc(GHND, size);
}

static void* container_lock(TW_HANDLE h) {
    if (g_scanner.manager.DSM_MemLock) return g_scanner.manager.DSM_MemLock(h);
    return GlobalLock(h);
}

static void container_unlock(TW_HANDLE h) {
    if (g_scanner.manager.DSM_MemUnlock) {
        g_scanner.manager.DSM_MemUnlock(h);
    } else {
        GlobalUnlock(h);
    }
}

// ---- signalling the application: only ever through the manager, as real sources do
static DsmEntryProc manager_entry() {
    if (g_scanner.manager.DSM_Entry) return g_scanner.manager.DSM_Entry;
    HMODULE manager = GetModuleHandleW(L"twain_32.dll");
    FARPROC proc = manager ? GetProcAddress(manager, "DSM_Entry") : nullptr;
    return reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(proc));
}

static void signal_app(TW_UINT16 msg) {
    DsmEntryProc manager = manager_entry();
    if (!manager) return;
    // A 2.x manager calls the application's callback when the source asks it to
    // (MSG_INVOKE_CALLBACK); a 1.x manager knows only DAT_NULL.
    if (g_scanner.config.signal_callback) {
        tracef("SIGNAL callback 0x%x", msg);
        if (g_scanner.manager.DSM_Entry) {
            TW_CALLBACK request = {nullptr, 0, (TW_INT16)msg};
            manager(&g_scanner.self, &g_scanner.app, DG_CONTROL, DAT_CALLBACK, MSG_INVOKE_CALLBACK, &request);
        } else {
            manager(&g_scanner.self, &g_scanner.app, DG_CONTROL, DAT_NULL, msg, nullptr);
        }
    }
    if (g_scanner.config.signal_event) {
        tracef("SIGNAL event 0x%x", msg);
        manager(&g_scanner.self, &g_scanner.app, DG_CONTROL, DAT_NULL, msg, nullptr);
    }
}

// Runs the thread's messages for ms milliseconds, as a driver's progress window or modal
// screen does while the application's call is still on the stack.
static void pump_messages(int ms) {
    const DWORD until = GetTickCount() + (DWORD)ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while ((int)(until - GetTickCount()) > 0);
}

// Signals from the application's own message loop a moment after MSG_ENABLEDS returned,
// as a real device does once the paper moves.
static void CALLBACK timer_fired(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (id != g_scanner.timer) return;
    g_scanner.timer = 0;
    if (g_scanner.state == 5 && g_scanner.timer_message == MSG_XFERREADY) g_scanner.state = 6;
    signal_app(g_scanner.timer_message);
}

static void stop_timer() {
    if (g_scanner.timer) KillTimer(nullptr, g_scanner.timer);
    g_scanner.timer = 0;
}

// ---- capabilities
static bool read_onevalue(const TW_CAPABILITY* cap, TW_UINT16* type, TW_UINT32* item) {
    if (!cap->hContainer || cap->ConType != TWON_ONEVALUE) return false;
    const TW_ONEVALUE* one = static_cast<const TW_ONEVALUE*>(container_lock(cap->hContainer));
    if (!one) return false;
    *type = one->ItemType;
    *item = one->Item;
    container_unlock(cap->hContainer);
    return true;
}

// The supported value closest to wanted (the first of equals).
static int nearest(const int* values, int count, int wanted) {
    int best = values[0];
    for (int i = 1; i < count; ++i) {
        const int d = values[i] > wanted ? values[i] - wanted : wanted - values[i];
        const int b = best > wanted ? best - wanted : wanted - best;
        if (d < b) best = values[i];
    }
    return best;
}

static bool listed(const int* values, int count, int value) {
    for (int i = 0; i < count; ++i) {
        if (values[i] == value) return true;
    }
    return false;
}

static TW_UINT16 set_capability(TW_CAPABILITY* cap) {
    TW_UINT16 type = 0;
    TW_UINT32 item = 0;
    if (!read_onevalue(cap, &type, &item)) {
        tracef("CAP SET 0x%04x bad container", cap->Cap);
        return fail(TWCC_BADVALUE);
    }
    tracef("CAP SET 0x%04x type=%u item=%lu", cap->Cap, type, (unsigned long)item);
    if (g_scanner.state != 4) return fail(TWCC_SEQERROR);
    const ScannerConfig& c = g_scanner.config;
    int value = (int)(item & 0xFFFF);
    switch (cap->Cap) {
    case ICAP_PIXELTYPE: g_scanner.pixel_type = value; break;
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION:
        value = (int)(TW_INT16)value;
        if (c.resolution_count > 0 && !listed(c.resolutions, c.resolution_count, value)) {
            value = nearest(c.resolutions, c.resolution_count, value);
            tracef("CAP 0x%04x rounded to %d", cap->Cap, value);
            if (cap->Cap == ICAP_XRESOLUTION) g_scanner.dpi = value;
            return TWRC_CHECKSTATUS;
        }
        if (cap->Cap == ICAP_XRESOLUTION) g_scanner.dpi = value;
        break;
    case ICAP_SUPPORTEDSIZES:
        if (c.paper_count > 0 && !listed(c.papers, c.paper_count, value)) {
            g_scanner.paper = c.papers[0];
            tracef("CAP 0x%04x rounded to %d", cap->Cap, g_scanner.paper);
            return TWRC_CHECKSTATUS;
        }
        g_scanner.paper = value;
        break;
    case CAP_FEEDERENABLED: g_scanner.feeder_enabled = value; break;
    case CAP_DUPLEXENABLED: g_scanner.duplex = value; break;
    default: break;
    }
    return TWRC_SUCCESS;
}

static TW_UINT16 get_capability(TW_CAPABILITY* cap) {
    tracef("CAP GET 0x%04x", cap->Cap);
    int value = 0;
    if (cap->Cap == CAP_DEVICEONLINE) {
        value = g_scanner.config.online;
    } else if (cap->Cap == CAP_FEEDERLOADED) {
        if (g_scanner.config.feeder_loaded < 0) return fail(TWCC_CAPUNSUPPORTED);
        value = g_scanner.config.feeder_loaded;
    } else {
        return fail(TWCC_CAPUNSUPPORTED);
    }
    // The same boolean in the container the script asks for: a one-value, a two-item
    // enumeration whose current item is the value, or a range 0..1.
    const int kind = g_scanner.config.container;
    const TW_UINT32 size = kind == TWON_ENUMERATION ? (TW_UINT32)(offsetof(TW_ENUMERATION, ItemList) + 4)
                           : kind == TWON_RANGE     ? (TW_UINT32)sizeof(TW_RANGE)
                                                    : (TW_UINT32)sizeof(TW_ONEVALUE);
    TW_HANDLE h = container_alloc(size);
    BYTE* data = h ? static_cast<BYTE*>(container_lock(h)) : nullptr;
    if (!data) return fail(TWCC_LOWMEMORY);
    if (kind == TWON_ENUMERATION) {
        TW_ENUMERATION* e = reinterpret_cast<TW_ENUMERATION*>(data);
        e->ItemType = TWTY_BOOL;
        e->NumItems = 2;
        e->CurrentIndex = value ? 1 : 0;
        e->DefaultIndex = 1;
        const TW_UINT16 items[2] = {0, 1};
        CopyMemory(data + offsetof(TW_ENUMERATION, ItemList), items, sizeof(items));
    } else if (kind == TWON_RANGE) {
        TW_RANGE* r = reinterpret_cast<TW_RANGE*>(data);
        *r = TW_RANGE{TWTY_BOOL, 0, 1, 1, 1, (TW_UINT32)(value ? 1 : 0)};
    } else {
        TW_ONEVALUE* one = reinterpret_cast<TW_ONEVALUE*>(data);
        one->ItemType = TWTY_BOOL;
        one->Item = value ? 1 : 0;
    }
    container_unlock(h);
    cap->ConType = (TW_UINT16)kind;
    cap->hContainer = h;
    return TWRC_SUCCESS;
}

// ---- pages
static void page_size(int* width, int* height) {
    // Hundredths of an inch for the TWSS codes the program sends; A4 otherwise.
    int w = 827, h = 1169;
    switch (g_scanner.paper) {
    case TWSS_A3: w = 1169; h = 1654; break;
    case TWSS_A5: w = 583; h = 827; break;
    case TWSS_USLEGAL: w = 850; h = 1400; break;
    case TWSS_USLETTER: w = 850; h = 1100; break;
    default: break;
    }
    *width = w * g_scanner.dpi / 100;
    *height = h * g_scanner.dpi / 100;
}

static int bits_per_pixel() {
    return g_scanner.pixel_type == TWPT_BW ? 1 : g_scanner.pixel_type == TWPT_GRAY ? 8 : 24;
}

// Ink or paper at (x, y): lines of word-like blocks, and page number marks at the top.
static bool ink_at(int x, int y, int width, int page) {
    const int unit = g_scanner.dpi / 25 > 0 ? g_scanner.dpi / 25 : 1;
    const int margin = unit * 8;
    if (x < margin || x >= width - margin || y < margin) return false;
    const int row = (y - margin) / (unit * 4);
    const int in_row = (y - margin) % (unit * 4);
    if (row == 0) return in_row < unit * 2 && (x - margin) / (unit * 3) < page * 2 && ((x - margin) / (unit * 3)) % 2 == 0;
    if (in_row >= unit * 2) return false;
    const int word = (x - margin) / (unit * 6);
    return ((word * 7 + row * 3 + page) % 5) != 0;
}

static HGLOBAL make_text_page(int page) {
    int width = 0, height = 0;
    page_size(&width, &height);
    const int bpp = bits_per_pixel();
    const int colors = bpp == 1 ? 2 : bpp == 8 ? 256 : 0;
    const int stride = ((width * bpp + 31) / 32) * 4;
    const SIZE_T size = sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD) + (SIZE_T)stride * height;
    HGLOBAL h = GlobalAlloc(GHND, size);
    BYTE* dib = h ? static_cast<BYTE*>(GlobalLock(h)) : nullptr;
    if (!dib) {
        if (h) GlobalFree(h);
        return nullptr;
    }
    BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(dib);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = (WORD)bpp;
    header->biSizeImage = (DWORD)(stride * height);
    header->biXPelsPerMeter = header->biYPelsPerMeter = (LONG)(g_scanner.dpi * 10000 / 254);
    header->biClrUsed = (DWORD)colors;
    RGBQUAD* palette = reinterpret_cast<RGBQUAD*>(dib + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < colors; ++i) {
        const BYTE v = (BYTE)(bpp == 1 ? i * 255 : i);
        palette[i].rgbBlue = palette[i].rgbGreen = palette[i].rgbRed = v;
    }
    BYTE* bits = dib + sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD);
    for (int y = 0; y < height; ++y) {
        BYTE* row = bits + (SIZE_T)(height - 1 - y) * stride;  // bottom-up rows
        for (int x = 0; x < width; ++x) {
            const bool ink = ink_at(x, y, width, page);
            if (bpp == 1) {
                if (!ink) row[x / 8] |= (BYTE)(0x80 >> (x % 8));
            } else if (bpp == 8) {
                row[x] = ink ? 20 : 250;
            } else {
                row[x * 3] = ink ? 90 : 250;
                row[x * 3 + 1] = ink ? 30 : 250;
                row[x * 3 + 2] = ink ? 20 : 250;
            }
        }
    }
    GlobalUnlock(h);
    return h;
}

// The DIB of a BMP file (the file without its 14-byte file header).
static HGLOBAL make_file_page(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    const DWORD size = GetFileSize(file, nullptr);
    HGLOBAL h = nullptr;
    if (size > 14 && size != INVALID_FILE_SIZE) {
        h = GlobalAlloc(GHND, size - 14);
        BYTE* dib = h ? static_cast<BYTE*>(GlobalLock(h)) : nullptr;
        DWORD read = 0;
        const bool ok = dib && SetFilePointer(file, 14, nullptr, FILE_BEGIN) == 14 &&
                        ReadFile(file, dib, size - 14, &read, nullptr) && read == size - 14;
        if (dib) GlobalUnlock(h);
        if (!ok && h) {
            GlobalFree(h);
            h = nullptr;
        }
    }
    CloseHandle(file);
    return h;
}

static TW_UINT16 native_transfer(TW_HANDLE* out) {
    *out = nullptr;
    if (g_scanner.state != 6) return fail(TWCC_SEQERROR);
    const int page = g_scanner.attempted + 1;
    g_scanner.attempted = page;
    g_scanner.tried = 1;
    if (page == g_scanner.config.fail_at_page) {
        tracef("NATIVEXFER page=%d fail cc=%d", page, g_scanner.config.fail_code);
        return fail((TW_UINT16)g_scanner.config.fail_code);
    }
    if (page == g_scanner.config.cancel_at_page) {
        tracef("NATIVEXFER page=%d cancel", page);
        return TWRC_CANCEL;
    }
    if (page == g_scanner.config.close_at_page) signal_app(MSG_CLOSEDSREQ);
    if (g_scanner.config.pump) {
        pump_messages(g_scanner.config.delay_ms);
    } else if (g_scanner.config.delay_ms > 0) {
        Sleep((DWORD)g_scanner.config.delay_ms);
    }
    const wchar_t* page_file = page <= 8 && g_scanner.config.page_files[page - 1][0]
                                   ? g_scanner.config.page_files[page - 1]
                                   : g_scanner.config.image_file;
    HGLOBAL h = page_file[0] ? make_file_page(page_file) : make_text_page(page);
    if (!h) return fail(TWCC_LOWMEMORY);
    if (g_scanner.config.short_block) {
        // A faulty driver: the header promises rows that the block does not hold.
        HGLOBAL cut = GlobalReAlloc(h, GlobalSize(h) / 2, 0);
        if (cut) h = cut;
    }
    tracef("NATIVEXFER page=%d dpi=%d pixeltype=%d", page, g_scanner.dpi, g_scanner.pixel_type);
    g_scanner.delivered++;
    g_scanner.state = 7;
    *out = h;
    return TWRC_XFERDONE;
}

static TW_UINT16 image_info(TW_IMAGEINFO* info) {
    tracef("IMAGEINFO");
    if (g_scanner.state != 6) return fail(TWCC_SEQERROR);
    ZeroMemory(info, sizeof(*info));
    int width = 0, height = 0;
    page_size(&width, &height);
    info->XResolution.Whole = (TW_INT16)g_scanner.dpi;
    info->YResolution.Whole = (TW_INT16)g_scanner.dpi;
    info->ImageWidth = width;
    info->ImageLength = height;
    info->BitsPerPixel = (TW_INT16)bits_per_pixel();
    info->SamplesPerPixel = g_scanner.pixel_type == TWPT_RGB ? 3 : 1;
    info->PixelType = (TW_INT16)g_scanner.pixel_type;
    return TWRC_SUCCESS;
}

// ---- states
static void reset_negotiation() {
    g_scanner.pixel_type = TWPT_RGB;
    g_scanner.dpi = 100;
    g_scanner.paper = TWSS_A4;
    g_scanner.feeder_enabled = 0;
    g_scanner.duplex = 0;
}

// A screen built on OLE needs a single-threaded apartment on the caller's thread.
static bool apartment_allows_ole() {
    const HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr)) {
        tracef("OLE refused 0x%08lx", (unsigned long)hr);
        return false;
    }
    OleUninitialize();
    trace("OLE ok");
    return true;
}

static TW_UINT16 enable(TW_USERINTERFACE* ui) {
    tracef("ENABLEDS show=%d modal=%d", ui->ShowUI, ui->ModalUI);
    if (g_scanner.state != 4) return fail(TWCC_SEQERROR);
    if (g_scanner.config.enable_fail) return fail((TW_UINT16)g_scanner.config.enable_fail);
    if (g_scanner.config.needs_sta && !apartment_allows_ole()) return fail(TWCC_BUMMER);
    g_scanner.state = 5;
    g_scanner.delivered = 0;
    g_scanner.attempted = 0;
    g_scanner.end_failed = 0;
    g_scanner.tried = 0;
    g_scanner.pending = g_scanner.config.pages;
    const bool cancel = ui->ShowUI && g_scanner.config.driver_ui_cancel;
    if (ui->ShowUI) trace(cancel ? "DRIVERUI cancelled" : "DRIVERUI scan");
    g_scanner.timer_message = cancel ? MSG_CLOSEDSREQ : MSG_XFERREADY;
    if (g_scanner.config.ready_in_enable && !cancel) {
        g_scanner.state = 6;
        signal_app(MSG_XFERREADY);
    } else {
        g_scanner.timer = SetTimer(nullptr, 0, (UINT)g_scanner.config.ready_delay_ms, timer_fired);
    }
    if (g_scanner.config.enable_pump_ms > 0) {
        g_scanner.in_enable = 1;
        pump_messages(g_scanner.config.enable_pump_ms);
        g_scanner.in_enable = 0;
    }
    return (TW_UINT16)g_scanner.config.enable_return;
}

static TW_UINT16 pending_xfers(TW_UINT16 msg, TW_PENDINGXFERS* p) {
    if (msg == MSG_ENDXFER) {
        if (g_scanner.state != 6 && g_scanner.state != 7) return fail(TWCC_SEQERROR);
        const int page = g_scanner.attempted;
        if (g_scanner.state == 7 && page == g_scanner.config.end_fail_at_page && !g_scanner.end_failed) {
            g_scanner.end_failed = 1;
            tracef("ENDXFER page=%d fail", page);
            return fail(TWCC_OPERATIONERROR);
        }
        // In state 6 without a transfer attempt since the last MSG_ENDXFER, the page about
        // to be transferred is dropped.
        if (!g_scanner.tried && g_scanner.attempted < g_scanner.config.pages) g_scanner.attempted++;
        g_scanner.tried = 0;
        g_scanner.pending = g_scanner.config.pages - g_scanner.attempted;
        if (g_scanner.pending < 0) g_scanner.pending = 0;
        g_scanner.state = g_scanner.pending > 0 ? 6 : 5;
        tracef("ENDXFER pending=%d", g_scanner.pending);
    } else if (msg == MSG_RESET) {
        if (g_scanner.state != 6) return fail(TWCC_SEQERROR);
        g_scanner.pending = 0;
        g_scanner.state = 5;
        trace("RESET");
    } else if (msg == MSG_GET) {
        trace("PENDINGXFERS GET");
    } else {
        return fail(TWCC_BADPROTOCOL);
    }
    p->Count = (TW_UINT16)g_scanner.pending;
    p->EOJ = 0;
    return TWRC_SUCCESS;
}

static TW_UINT16 control(TW_IDENTITY* origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
    case DAT_IDENTITY:
        if (msg == MSG_GET) {
            if (!load_config()) return fail(TWCC_NODS);
            fill_identity(static_cast<TW_IDENTITY*>(data));
            return TWRC_SUCCESS;
        }
        if (msg == MSG_OPENDS) {
            if (!load_config()) return fail(TWCC_NODS);
            if (g_scanner.state != 3) return fail(TWCC_SEQERROR);
            if (g_scanner.config.open_fail) return fail((TW_UINT16)g_scanner.config.open_fail);
            if (g_scanner.config.helper[0]) {
                // By bare name, as drivers load their own DLLs: found only when the manager
                // made this driver's folder current.
                g_scanner.helper = LoadLibraryW(g_scanner.config.helper);
                if (!g_scanner.helper) {
                    tracef("HELPER missing error=%lu", (unsigned long)GetLastError());
                    return fail(TWCC_BUMMER);
                }
            }
            g_scanner.self = *static_cast<TW_IDENTITY*>(data);
            if (origin) g_scanner.app = *origin;
            reset_negotiation();
            g_scanner.state = 4;
            tracef("OPENDS id=%lu", (unsigned long)g_scanner.self.Id);
            return TWRC_SUCCESS;
        }
        if (msg == MSG_CLOSEDS) {
            trace("CLOSEDS");
            if (g_scanner.state != 4) return fail(TWCC_SEQERROR);
            stop_timer();
            if (g_scanner.helper) FreeLibrary(g_scanner.helper);
            g_scanner.helper = nullptr;
            g_scanner.state = 3;
            return TWRC_SUCCESS;
        }
        return fail(TWCC_BADPROTOCOL);
    case DAT_ENTRYPOINT:
        if (msg != MSG_SET) return fail(TWCC_BADPROTOCOL);
        if (static_cast<TW_ENTRYPOINT*>(data)->Size < sizeof(TW_ENTRYPOINT)) return fail(TWCC_BADVALUE);
        g_scanner.manager = *static_cast<TW_ENTRYPOINT*>(data);
        return TWRC_SUCCESS;
    case DAT_CALLBACK:
        // A 1.x manager passes the registration on; the callback is still only ever
        // reached through the manager.
        if (msg != MSG_REGISTER_CALLBACK) return fail(TWCC_BADPROTOCOL);
        trace("CALLBACK REGISTER");
        return g_scanner.state == 4 ? TWRC_SUCCESS : fail(TWCC_SEQERROR);
    case DAT_STATUS: {
        TW_STATUS* status = static_cast<TW_STATUS*>(data);
        status->ConditionCode = g_scanner.condition;
        status->Data = 0;
        g_scanner.condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    case DAT_CAPABILITY:
        if (msg == MSG_SET) return set_capability(static_cast<TW_CAPABILITY*>(data));
        if (msg == MSG_GET || msg == MSG_GETCURRENT) return get_capability(static_cast<TW_CAPABILITY*>(data));
        return fail(TWCC_BADPROTOCOL);
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) return enable(static_cast<TW_USERINTERFACE*>(data));
        if (msg == MSG_DISABLEDS) {
            trace("DISABLEDS");
            if (g_scanner.state != 5) return fail(TWCC_SEQERROR);
            stop_timer();
            g_scanner.state = 4;
            return TWRC_SUCCESS;
        }
        return fail(TWCC_BADPROTOCOL);
    case DAT_EVENT:
        if (msg != MSG_PROCESSEVENT) return fail(TWCC_BADPROTOCOL);
        static_cast<TW_EVENT*>(data)->TWMessage = MSG_NULL;
        return TWRC_NOTDSEVENT;
    case DAT_PENDINGXFERS:
        return pending_xfers(msg, static_cast<TW_PENDINGXFERS*>(data));
    default:
        tracef("UNSUPPORTED DG_CONTROL DAT=0x%04x MSG=0x%04x", dat, msg);
        return fail(TWCC_BADPROTOCOL);
    }
}

static TW_UINT16 dispatch(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (!data && dat != DAT_NULL) return fail(TWCC_BADVALUE);
    if (dg == DG_CONTROL) return control(origin, dat, msg, data);
    if (dg == DG_IMAGE && dat == DAT_IMAGEINFO && msg == MSG_GET) return image_info(static_cast<TW_IMAGEINFO*>(data));
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
        return native_transfer(static_cast<TW_HANDLE*>(data));
    }
    tracef("UNSUPPORTED DG=%lu DAT=0x%04x MSG=0x%04x", (unsigned long)dg, dat, msg);
    return fail(TWCC_BADPROTOCOL);
}

extern "C" TW_UINT16 __stdcall DS_Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                        TW_MEMREF data) {
    // A driver that pumps messages inside a call is not re-entrant: a request that arrives
    // from inside its own call (other than a status read) is refused.
    if (g_scanner.depth > 0 && dat != DAT_STATUS && dat != DAT_EVENT) {
        tracef("REENTRANT DAT=0x%04x MSG=0x%04x%s", dat, msg, g_scanner.in_enable ? " in ENABLEDS" : "");
        return fail(TWCC_SEQERROR);
    }
    g_scanner.depth++;
    const TW_UINT16 rc = dispatch(origin, dg, dat, msg, data);
    g_scanner.depth--;
    return rc;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
        g_scanner.state = 3;
    }
    return TRUE;
}
