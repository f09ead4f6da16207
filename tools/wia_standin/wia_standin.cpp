// tools/wia_standin/wia_standin.cpp
// A stand-in for the WIA 2.0 device manager (Wine has none), scripted by the INI file
// named in ZAN_WIA_SCRIPT. It behaves like the service where the program can tell:
// devices with type, names and categories of items; property storages that refuse
// unknown properties and out-of-range values and state the valid ranges; bed and feeder
// sizes; Download that asks the caller for one stream per page, pumps the calling
// thread's messages between pages, can stream from a thread of its own, honours S_FALSE
// from the callback and ends in paper jam or empty feeder results. Every property write is
// appended to the trace file ("write <item> <id>=<value> hr=0x...").
//
// The objects are built on C-style vtables written from the C declarations of wia_lh.h,
// independent of the C++ declarations the program uses, so a slot or calling-convention
// mistake on either side shows as a failed scan (tests/scan/wia_scan_test.cpp, and the
// 32-bit smoke test through zan_wia_standin.dll).
#include "tools/wia_standin/wia_standin.h"

#include <objbase.h>
#include <oleauto.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

// ---- identifiers (published values)
static const IID kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID kIID_IWiaDevMgr2 = {0x79C07CF1, 0xCBDD, 0x41EE, {0x8E, 0xC3, 0xF0, 0x00, 0x80, 0xCA, 0xDA, 0x7A}};
static const IID kIID_IWiaItem2 = {0x6CBA0075, 0x1287, 0x407D, {0x9B, 0x77, 0xCF, 0x0E, 0x03, 0x04, 0x35, 0xCC}};
static const IID kIID_IWiaPropertyStorage = {0x98B5E8A0, 0x29CC, 0x491A, {0xAA, 0xC0, 0xE6, 0xDB, 0x4F, 0xDC, 0xCE, 0xB6}};
static const IID kIID_IWiaTransfer = {0xC39D6942, 0x2F4E, 0x4D04, {0x92, 0xFE, 0x4E, 0xF4, 0xD3, 0xA1, 0xDE, 0x5A}};
static const GUID kCategoryFeeder = {0xFE131934, 0xF84C, 0x42AD, {0x8D, 0xA4, 0x61, 0x29, 0xCD, 0xDD, 0x72, 0x88}};
static const GUID kCategoryFlatbed = {0xFB607B1F, 0x43F3, 0x488B, {0x85, 0x5B, 0xFB, 0x70, 0x3E, 0xC3, 0x42, 0xA6}};
static const GUID kFormatBmp = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
static const GUID kFormatPng = {0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

static const HRESULT kNoDevice = (HRESULT)0x80210015u;   // WIA_S_NO_DEVICE_AVAILABLE
static const HRESULT kBusy = (HRESULT)0x80210006u;       // WIA_ERROR_BUSY
static const HRESULT kPaperJam = (HRESULT)0x80210002u;
static const HRESULT kPaperEmpty = (HRESULT)0x80210003u;

typedef HRESULT(STDMETHODCALLTYPE* QueryFn)(void* self, REFIID riid, void** out);
typedef ULONG(STDMETHODCALLTYPE* RefFn)(void* self);

// ---- the caller's transfer callback, as wia_lh.h declares it for C
struct TransferParamsC {
    LONG lMessage;
    LONG lPercentComplete;
    ULONG64 ulTransferredBytes;
    HRESULT hrErrorStatus;
};
struct CallbackVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    HRESULT(STDMETHODCALLTYPE* TransferCallback)(void* self, LONG lFlags, TransferParamsC* params);
    HRESULT(STDMETHODCALLTYPE* GetNextStream)(void* self, LONG lFlags, BSTR item, BSTR full_item, IStream** out);
};
struct CallbackC {
    const CallbackVtblC* vtbl;
};

// ---- script
const int kMaxDevices = 4;
const int kMaxPages = 64;
const int kMaxChildren = 4;
const int kMaxProps = 40;

struct DeviceScript {
    wchar_t section[16];
    wchar_t id[128];
    wchar_t name[128];
    wchar_t vendor[128];
    wchar_t description[128];
    int type;
    bool type_is_text;          // the type property has the wrong variant type
    wchar_t items[128];         // "feeder,flatbed"
    int bed_w, bed_h, feed_w, feed_h;
    bool brightness_range, contrast_range, threshold_range;
    int brightness_min, brightness_max, contrast_min, contrast_max, threshold_min, threshold_max;
    bool png_only;
    wchar_t pages[1024];        // "bmp,png,garbage,file:C:\x.png"
    int page_width, page_height;
    wchar_t result[32];         // "", "jam" (after the pages), "empty" (before any page)
    bool threaded;
    HRESULT create_result;
    bool no_transfer;           // the item has no IWiaTransfer
};

// Shared by the manager and every object made from it (reference counted): the program
// releases the manager right after CreateDevice and keeps using the items.
struct Script {
    volatile LONG refs;
    wchar_t trace[MAX_PATH];
    int device_count;
    DeviceScript devices[kMaxDevices];
};

static int read_int(const wchar_t* path, const wchar_t* section, const wchar_t* key, int fallback) {
    wchar_t text[64] = {};
    GetPrivateProfileStringW(section, key, L"", text, 64, path);
    if (!text[0]) return fallback;
    // Unsigned reading keeps HRESULTs such as 0x80210006 whole.
    return text[0] == L'-' ? (int)wcstol(text, nullptr, 0) : (int)wcstoul(text, nullptr, 0);
}

static bool read_range(const wchar_t* path, const wchar_t* section, const wchar_t* key, int* lo, int* hi) {
    wchar_t text[64] = {};
    GetPrivateProfileStringW(section, key, L"", text, 64, path);
    if (!text[0]) return false;
    wchar_t* comma = nullptr;
    *lo = (int)wcstol(text, &comma, 0);
    if (!comma || *comma != L',') return false;
    *hi = (int)wcstol(comma + 1, nullptr, 0);
    return true;
}

static void script_add_ref(const Script* s) {
    InterlockedIncrement(&const_cast<Script*>(s)->refs);
}

static void script_release(const Script* s) {
    if (InterlockedDecrement(&const_cast<Script*>(s)->refs) == 0) free(const_cast<Script*>(s));
}

static void load_script(Script* s) {
    memset(s, 0, sizeof(*s));
    s->refs = 1;
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"ZAN_WIA_SCRIPT", path, MAX_PATH)) return;
    GetPrivateProfileStringW(L"Manager", L"Trace", L"", s->trace, MAX_PATH, path);
    s->device_count = read_int(path, L"Manager", L"Devices", 0);
    if (s->device_count > kMaxDevices) s->device_count = kMaxDevices;
    for (int i = 0; i < s->device_count; ++i) {
        DeviceScript* d = &s->devices[i];
        wsprintfW(d->section, L"Device%d", i + 1);
        GetPrivateProfileStringW(d->section, L"Id", L"", d->id, 128, path);
        GetPrivateProfileStringW(d->section, L"Name", L"", d->name, 128, path);
        GetPrivateProfileStringW(d->section, L"Vendor", L"", d->vendor, 128, path);
        GetPrivateProfileStringW(d->section, L"Description", L"", d->description, 128, path);
        d->type = read_int(path, d->section, L"Type", 0x10001);
        d->type_is_text = read_int(path, d->section, L"TypeIsText", 0) != 0;
        GetPrivateProfileStringW(d->section, L"Items", L"flatbed", d->items, 128, path);
        d->bed_w = read_int(path, d->section, L"BedWidth", 0);
        d->bed_h = read_int(path, d->section, L"BedHeight", 0);
        d->feed_w = read_int(path, d->section, L"FeedWidth", 0);
        d->feed_h = read_int(path, d->section, L"FeedHeight", 0);
        d->brightness_range = read_range(path, d->section, L"BrightnessRange", &d->brightness_min, &d->brightness_max);
        d->contrast_range = read_range(path, d->section, L"ContrastRange", &d->contrast_min, &d->contrast_max);
        d->threshold_range = read_range(path, d->section, L"ThresholdRange", &d->threshold_min, &d->threshold_max);
        wchar_t formats[32] = {};
        GetPrivateProfileStringW(d->section, L"Formats", L"bmp", formats, 32, path);
        d->png_only = wcscmp(formats, L"png") == 0;
        GetPrivateProfileStringW(d->section, L"Pages", L"bmp", d->pages, 1024, path);
        d->page_width = read_int(path, d->section, L"PageWidth", 40);
        d->page_height = read_int(path, d->section, L"PageHeight", 30);
        GetPrivateProfileStringW(d->section, L"Result", L"", d->result, 32, path);
        d->threaded = read_int(path, d->section, L"Thread", 0) != 0;
        d->create_result = (HRESULT)read_int(path, d->section, L"CreateResult", 0);
        d->no_transfer = read_int(path, d->section, L"NoTransfer", 0) != 0;
    }
}

static CRITICAL_SECTION g_trace_lock;
static volatile LONG g_trace_ready = 0;

static void trace(const Script* s, const wchar_t* fmt, ...) {
    if (!s->trace[0]) return;
    if (InterlockedCompareExchange(&g_trace_ready, 1, 0) == 0) InitializeCriticalSection(&g_trace_lock);
    wchar_t line[1100];   // wvsprintfW writes at most 1024 units
    va_list args;
    va_start(args, fmt);
    wvsprintfW(line, fmt, args);
    va_end(args);
    char utf8[3400];
    const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, (int)sizeof(utf8) - 3, nullptr, nullptr);
    if (n <= 0) return;
    utf8[n - 1] = '\r';
    utf8[n] = '\n';
    EnterCriticalSection(&g_trace_lock);
    HANDLE file = CreateFileW(s->trace, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, utf8, (DWORD)(n + 1), &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(&g_trace_lock);
}

// The next comma-separated token of *cursor into out (cut to capacity); false at the end.
static bool next_token(const wchar_t** cursor, wchar_t* out, int capacity) {
    const wchar_t* p = *cursor;
    if (!p || !*p) return false;
    int n = 0;
    while (*p && *p != L',') {
        if (n < capacity - 1) out[n++] = *p;
        ++p;
    }
    out[n] = 0;
    *cursor = *p ? p + 1 : p;
    return true;
}

// ---- property storage (IWiaPropertyStorage, C layout: 19 slots)
struct Prop {
    PROPID id;
    VARTYPE vt;          // VT_I4, VT_BSTR or VT_CLSID
    LONG value;
    const wchar_t* text;
    GUID guid;
    bool writable;
    bool ranged;
    LONG min, max;
};

struct PropStore;
struct PropVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    HRESULT(STDMETHODCALLTYPE* ReadMultiple)(PropStore* self, ULONG count, const PROPSPEC* specs, PROPVARIANT* values);
    HRESULT(STDMETHODCALLTYPE* WriteMultiple)(PropStore* self, ULONG count, const PROPSPEC* specs,
                                              const PROPVARIANT* values, PROPID first_name);
    const void* DeleteMultiple;
    const void* ReadPropertyNames;
    const void* WritePropertyNames;
    const void* DeletePropertyNames;
    const void* Commit;
    const void* Revert;
    const void* Enum;
    const void* SetTimes;
    const void* SetClass;
    const void* Stat;
    HRESULT(STDMETHODCALLTYPE* GetPropertyAttributes)(PropStore* self, ULONG count, PROPSPEC* specs, ULONG* flags,
                                                      PROPVARIANT* values);
    const void* GetCount;
    const void* GetPropertyStream;
    const void* SetPropertyStream;
};
static_assert(sizeof(PropVtblC) == 19 * sizeof(void*), "IWiaPropertyStorage has 19 slots");

struct PropStore {
    const PropVtblC* vtbl;
    volatile LONG refs;
    const Script* script;
    const wchar_t* owner;   // name in the trace
    Prop props[kMaxProps];
    int count;
};

static Prop* find_prop(PropStore* s, PROPID id) {
    for (int i = 0; i < s->count; ++i) {
        if (s->props[i].id == id) return &s->props[i];
    }
    return nullptr;
}

static Prop* add_prop(PropStore* s, PROPID id, VARTYPE vt, LONG value, bool writable) {
    if (s->count >= kMaxProps) return nullptr;
    Prop* p = &s->props[s->count++];
    memset(p, 0, sizeof(*p));
    p->id = id;
    p->vt = vt;
    p->value = value;
    p->writable = writable;
    return p;
}

static void add_text(PropStore* s, PROPID id, const wchar_t* text) {
    Prop* p = add_prop(s, id, VT_BSTR, 0, false);
    if (p) p->text = text;
}

static void add_ranged(PropStore* s, PROPID id, LONG value, bool ranged, LONG min, LONG max) {
    Prop* p = add_prop(s, id, VT_I4, value, true);
    if (!p) return;
    p->ranged = ranged;
    p->min = min;
    p->max = max;
}

static HRESULT STDMETHODCALLTYPE prop_query(void* self, REFIID riid, void** out);
static ULONG STDMETHODCALLTYPE prop_add_ref(void* self) {
    return (ULONG)InterlockedIncrement(&static_cast<PropStore*>(self)->refs);
}
static ULONG STDMETHODCALLTYPE prop_release(void* self) {
    PropStore* s = static_cast<PropStore*>(self);
    const LONG left = InterlockedDecrement(&s->refs);
    if (left == 0) {
        script_release(s->script);
        free(s);
    }
    return (ULONG)left;
}

static HRESULT STDMETHODCALLTYPE prop_read(PropStore* self, ULONG count, const PROPSPEC* specs, PROPVARIANT* values) {
    if (!specs || !values) return E_POINTER;
    bool any = false;
    for (ULONG i = 0; i < count; ++i) {
        PropVariantInit(&values[i]);
        if (specs[i].ulKind != PRSPEC_PROPID) return E_INVALIDARG;
        Prop* p = find_prop(self, specs[i].propid);
        if (!p) continue;
        any = true;
        if (p->vt == VT_BSTR) {
            values[i].vt = VT_BSTR;
            values[i].bstrVal = SysAllocString(p->text);
        } else if (p->vt == VT_CLSID) {
            values[i].vt = VT_CLSID;
            values[i].puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
            if (values[i].puuid) *values[i].puuid = p->guid;
        } else {
            values[i].vt = VT_I4;
            values[i].lVal = p->value;
        }
    }
    return any ? S_OK : S_FALSE;
}

static HRESULT write_one(PropStore* self, const PROPSPEC& spec, const PROPVARIANT& value) {
    if (spec.ulKind != PRSPEC_PROPID) return E_INVALIDARG;
    Prop* p = find_prop(self, spec.propid);
    if (!p || !p->writable) return E_INVALIDARG;
    if (p->vt == VT_CLSID) {
        if (value.vt != VT_CLSID || !value.puuid) return E_INVALIDARG;
        const bool png_only = p->value != 0;
        if (png_only && !IsEqualGUID(*value.puuid, kFormatPng)) return E_INVALIDARG;
        if (!IsEqualGUID(*value.puuid, kFormatBmp) && !IsEqualGUID(*value.puuid, kFormatPng)) return E_INVALIDARG;
        p->guid = *value.puuid;
        return S_OK;
    }
    if (value.vt != VT_I4) return DISP_E_TYPEMISMATCH;
    if (p->ranged && (value.lVal < p->min || value.lVal > p->max)) return E_INVALIDARG;
    p->value = value.lVal;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE prop_write(PropStore* self, ULONG count, const PROPSPEC* specs,
                                            const PROPVARIANT* values, PROPID) {
    if (!specs || !values) return E_POINTER;
    for (ULONG i = 0; i < count; ++i) {
        const HRESULT hr = write_one(self, specs[i], values[i]);
        if (values[i].vt == VT_CLSID) {
            trace(self->script, L"write %s %u=%s hr=0x%08X", self->owner, (unsigned)specs[i].propid,
                  values[i].puuid && IsEqualGUID(*values[i].puuid, kFormatBmp) ? L"BMP" : L"other", (unsigned)hr);
        } else {
            trace(self->script, L"write %s %u=%ld hr=0x%08X", self->owner, (unsigned)specs[i].propid,
                  (long)values[i].lVal, (unsigned)hr);
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE prop_attributes(PropStore* self, ULONG count, PROPSPEC* specs, ULONG* flags,
                                                 PROPVARIANT* values) {
    if (!specs || !flags || !values) return E_POINTER;
    for (ULONG i = 0; i < count; ++i) {
        PropVariantInit(&values[i]);
        flags[i] = 0;
        Prop* p = find_prop(self, specs[i].propid);
        if (!p) return E_INVALIDARG;
        flags[i] = p->writable ? 0x3 : 0x1;   // WIA_PROP_READ | WIA_PROP_WRITE
        if (!p->ranged) {
            flags[i] |= 0x20;   // WIA_PROP_NONE: any value
            continue;
        }
        flags[i] |= 0x10;   // WIA_PROP_RANGE: min, nominal, max, step
        LONG* elems = static_cast<LONG*>(CoTaskMemAlloc(4 * sizeof(LONG)));
        if (!elems) return E_OUTOFMEMORY;
        elems[0] = p->min;
        elems[1] = p->min + (p->max - p->min) / 2;
        elems[2] = p->max;
        elems[3] = 1;
        values[i].vt = VT_VECTOR | VT_I4;
        values[i].cal.cElems = 4;
        values[i].cal.pElems = elems;
    }
    return S_OK;
}

static const PropVtblC kPropVtbl = {prop_query, prop_add_ref, prop_release, prop_read, prop_write,
                                    nullptr,    nullptr,      nullptr,      nullptr,   nullptr,
                                    nullptr,    nullptr,      nullptr,      nullptr,   nullptr,
                                    prop_attributes, nullptr, nullptr, nullptr};

static HRESULT STDMETHODCALLTYPE prop_query(void* self, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, kIID_IUnknown) || IsEqualIID(riid, kIID_IWiaPropertyStorage)) {
        prop_add_ref(self);
        *out = self;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

static PropStore* prop_store_new(const Script* script, const wchar_t* owner) {
    PropStore* s = static_cast<PropStore*>(calloc(1, sizeof(PropStore)));
    if (!s) return nullptr;
    s->vtbl = &kPropVtbl;
    s->refs = 1;
    s->script = script;
    script_add_ref(script);
    s->owner = owner;
    return s;
}

// ---- device info enumerator (IEnumWIA_DEV_INFO: 8 slots)
struct Manager;
struct DevEnum;
struct DevEnumVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    HRESULT(STDMETHODCALLTYPE* Next)(DevEnum* self, ULONG count, PropStore** out, ULONG* fetched);
    const void* Skip;
    const void* Reset;
    const void* Clone;
    const void* GetCount;
};
static_assert(sizeof(DevEnumVtblC) == 8 * sizeof(void*), "IEnumWIA_DEV_INFO has 8 slots");

// ---- items (IWiaItem2: 19 slots), their enumerator (IEnumWiaItem2: 8) and transfer (7)
struct Item;
struct ItemEnum;
struct Transfer;
struct ItemVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    const void* CreateChildItem;
    const void* DeleteItem;
    HRESULT(STDMETHODCALLTYPE* EnumChildItems)(Item* self, const GUID* category, ItemEnum** out);
    const void* FindItemByName;
    HRESULT(STDMETHODCALLTYPE* GetItemCategory)(Item* self, GUID* category);
    HRESULT(STDMETHODCALLTYPE* GetItemType)(Item* self, LONG* type);
    const void* DeviceDlg;
    const void* DeviceCommand;
    const void* EnumDeviceCapabilities;
    const void* CheckExtension;
    const void* GetExtension;
    const void* GetParentItem;
    const void* GetRootItem;
    const void* GetPreviewComponent;
    const void* EnumRegisterEventInfo;
    const void* Diagnostic;
};
static_assert(sizeof(ItemVtblC) == 19 * sizeof(void*), "IWiaItem2 has 19 slots");

struct ItemEnumVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    HRESULT(STDMETHODCALLTYPE* Next)(ItemEnum* self, ULONG count, Item** out, ULONG* fetched);
    const void* Skip;
    const void* Reset;
    const void* Clone;
    const void* GetCount;
};
static_assert(sizeof(ItemEnumVtblC) == 8 * sizeof(void*), "IEnumWiaItem2 has 8 slots");

struct TransferVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    HRESULT(STDMETHODCALLTYPE* Download)(Transfer* self, LONG flags, CallbackC* callback);
    const void* Upload;
    const void* Cancel;
    const void* EnumWIA_FORMAT_INFO;
};
static_assert(sizeof(TransferVtblC) == 7 * sizeof(void*), "IWiaTransfer has 7 slots");

struct Item {
    const ItemVtblC* vtbl;
    const TransferVtblC* transfer_vtbl;   // the IWiaTransfer face of a child item
    volatile LONG refs;
    const Script* script;
    const DeviceScript* device;
    bool is_root;
    bool is_feeder;
    PropStore* store;
    Item* children[kMaxChildren];
    int child_count;
    volatile LONG downloading;
};

struct ItemEnum {
    const ItemEnumVtblC* vtbl;
    volatile LONG refs;
    Item* items[kMaxChildren];
    int count;
    int next;
};

static ULONG STDMETHODCALLTYPE item_add_ref(void* self);
static ULONG STDMETHODCALLTYPE item_release(void* self);

// A Transfer is the same object as its Item, seen through the second vtable pointer.
static Item* item_of_transfer(void* transfer) {
    return reinterpret_cast<Item*>(static_cast<char*>(transfer) - offsetof(Item, transfer_vtbl));
}

static HRESULT STDMETHODCALLTYPE item_query(void* self, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    Item* item = static_cast<Item*>(self);
    *out = nullptr;
    if (IsEqualIID(riid, kIID_IUnknown) || IsEqualIID(riid, kIID_IWiaItem2)) {
        item_add_ref(item);
        *out = item;
        return S_OK;
    }
    if (IsEqualIID(riid, kIID_IWiaPropertyStorage) && item->store) {
        prop_add_ref(item->store);
        *out = item->store;
        return S_OK;
    }
    if (IsEqualIID(riid, kIID_IWiaTransfer) && !item->is_root && !item->device->no_transfer) {
        item_add_ref(item);
        *out = &item->transfer_vtbl;
        return S_OK;
    }
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE item_add_ref(void* self) {
    return (ULONG)InterlockedIncrement(&static_cast<Item*>(self)->refs);
}

static ULONG STDMETHODCALLTYPE item_release(void* self) {
    Item* item = static_cast<Item*>(self);
    const LONG left = InterlockedDecrement(&item->refs);
    if (left == 0) {
        for (int i = 0; i < item->child_count; ++i) item_release(item->children[i]);
        if (item->store) prop_release(item->store);
        script_release(item->script);
        free(item);
    }
    return (ULONG)left;
}

static HRESULT STDMETHODCALLTYPE enum_query(void* self, REFIID riid, void** out);
static ULONG STDMETHODCALLTYPE enum_add_ref(void* self) {
    return (ULONG)InterlockedIncrement(&static_cast<ItemEnum*>(self)->refs);
}
static ULONG STDMETHODCALLTYPE enum_release(void* self) {
    ItemEnum* e = static_cast<ItemEnum*>(self);
    const LONG left = InterlockedDecrement(&e->refs);
    if (left == 0) {
        for (int i = 0; i < e->count; ++i) item_release(e->items[i]);
        free(e);
    }
    return (ULONG)left;
}
static HRESULT STDMETHODCALLTYPE enum_next(ItemEnum* self, ULONG count, Item** out, ULONG* fetched) {
    if (!out) return E_POINTER;
    ULONG n = 0;
    while (n < count && self->next < self->count) {
        Item* item = self->items[self->next++];
        item_add_ref(item);
        out[n++] = item;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}
static const ItemEnumVtblC kItemEnumVtbl = {enum_query, enum_add_ref, enum_release, enum_next,
                                            nullptr,    nullptr,      nullptr,      nullptr};
static HRESULT STDMETHODCALLTYPE enum_query(void* self, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, kIID_IUnknown)) return E_NOINTERFACE;
    enum_add_ref(self);
    *out = self;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE item_enum_children(Item* self, const GUID* category, ItemEnum** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!self->is_root) return E_INVALIDARG;   // a scan item has no children
    ItemEnum* e = static_cast<ItemEnum*>(calloc(1, sizeof(ItemEnum)));
    if (!e) return E_OUTOFMEMORY;
    e->vtbl = &kItemEnumVtbl;
    e->refs = 1;
    for (int i = 0; i < self->child_count; ++i) {
        Item* child = self->children[i];
        const GUID& own = child->is_feeder ? kCategoryFeeder : kCategoryFlatbed;
        if (category && !IsEqualGUID(*category, own)) continue;
        item_add_ref(child);
        e->items[e->count++] = child;
    }
    *out = e;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE item_category(Item* self, GUID* category) {
    if (!category) return E_POINTER;
    if (self->is_root) return E_INVALIDARG;
    *category = self->is_feeder ? kCategoryFeeder : kCategoryFlatbed;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE item_type(Item* self, LONG* type) {
    if (!type) return E_POINTER;
    // Root: WiaItemTypeFolder | WiaItemTypeDevice | WiaItemTypeRoot; scan items:
    // WiaItemTypeImage | WiaItemTypeFile | WiaItemTypeTransfer (| WiaItemTypeProgrammableDataSource).
    *type = self->is_root ? (0x4 | 0x40 | 0x80) : (0x1 | 0x2 | 0x2000 | 0x10000);
    return S_OK;
}

static const ItemVtblC kItemVtbl = {item_query, item_add_ref, item_release, nullptr, nullptr,
                                    item_enum_children, nullptr, item_category, item_type, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr};

// ---- page bytes
struct Bytes {
    unsigned char* data;
    size_t size;
};

static void put_u32(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

// A 24-bit bottom-up BMP file; gap extra bytes between the header and the rows.
static Bytes make_bmp(int width, int height, int dpi, int gap) {
    const size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    const size_t offset = 14 + 40 + (size_t)gap;
    Bytes b = {};
    b.size = offset + stride * (size_t)height;
    b.data = static_cast<unsigned char*>(calloc(1, b.size));
    if (!b.data) return b;
    b.data[0] = 'B';
    b.data[1] = 'M';
    put_u32(b.data + 2, (uint32_t)b.size);
    put_u32(b.data + 10, (uint32_t)offset);
    unsigned char* h = b.data + 14;
    put_u32(h, 40);
    put_u32(h + 4, (uint32_t)width);
    put_u32(h + 8, (uint32_t)height);
    h[12] = 1;
    h[14] = 24;
    put_u32(h + 24, (uint32_t)((dpi * 10000 + 127) / 254));
    put_u32(h + 28, (uint32_t)((dpi * 10000 + 127) / 254));
    memset(b.data + 14 + 40, 0xEE, (size_t)gap);   // a gap a reader must skip, not show
    for (int y = 0; y < height; ++y) {
        unsigned char* row = b.data + offset + (size_t)y * stride;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = (unsigned char)(x * 255 / (width > 1 ? width - 1 : 1));
            row[x * 3 + 1] = (unsigned char)(y * 255 / (height > 1 ? height - 1 : 1));
            row[x * 3 + 2] = 0x80;
        }
    }
    return b;
}

static Bytes read_file_bytes(const wchar_t* path) {
    Bytes b = {};
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return b;
    const DWORD size = GetFileSize(file, nullptr);
    b.data = static_cast<unsigned char*>(malloc(size ? size : 1));
    DWORD got = 0;
    if (b.data && ReadFile(file, b.data, size, &got, nullptr) && got == size) {
        b.size = size;
    } else {
        free(b.data);
        b.data = nullptr;
    }
    CloseHandle(file);
    return b;
}

static Bytes page_bytes(const DeviceScript* d, const wchar_t* kind, int dpi) {
    if (wcscmp(kind, L"bmp") == 0) return make_bmp(d->page_width, d->page_height, dpi, 0);
    if (wcscmp(kind, L"bmp-gap") == 0) return make_bmp(d->page_width, d->page_height, dpi, 16);
    if (wcsncmp(kind, L"file:", 5) == 0) return read_file_bytes(kind + 5);
    if (wcscmp(kind, L"bmp-short") == 0) {
        Bytes b = make_bmp(d->page_width, d->page_height, dpi, 0);
        if (b.data) b.size /= 2;   // the header promises rows that never came
        return b;
    }
    Bytes b = {};   // "garbage": no known picture format
    b.size = 300;
    b.data = static_cast<unsigned char*>(malloc(b.size));
    if (b.data) memset(b.data, 0x5A, b.size);
    return b;
}

// ---- Download
struct DownloadJob {
    Item* item;
    CallbackC* callback;
    HRESULT result;
};

static int prop_value(Item* item, PROPID id, int fallback) {
    Prop* p = find_prop(item->store, id);
    return p ? (int)p->value : fallback;
}

static HRESULT notify(CallbackC* callback, LONG message, LONG percent, HRESULT error) {
    TransferParamsC params = {message, percent, 0, error};
    return callback->vtbl->TransferCallback(callback, 0, &params);
}

static HRESULT run_download(Item* item, CallbackC* callback) {
    const DeviceScript* d = item->device;
    if (wcscmp(d->result, L"empty") == 0) {
        notify(callback, 1, 0, kPaperEmpty);
        return kPaperEmpty;
    }
    const int dpi = prop_value(item, 6147, 150);
    // A flatbed gives one page; the feeder all the pages that are loaded.
    const int limit = item->is_feeder ? kMaxPages : 1;
    int sent = 0;
    const wchar_t* cursor = d->pages;
    wchar_t kind[MAX_PATH + 8];
    while (sent < limit && next_token(&cursor, kind, MAX_PATH + 8)) {
        IStream* stream = nullptr;
        BSTR name = SysAllocString(L"Top");
        BSTR full = SysAllocString(item->is_feeder ? L"0000\\Root\\Feeder" : L"0000\\Root\\Flatbed");
        HRESULT hr = callback->vtbl->GetNextStream(callback, 0, name, full, &stream);
        SysFreeString(name);
        SysFreeString(full);
        if (FAILED(hr) || !stream) return FAILED(hr) ? hr : E_POINTER;
        Bytes bytes = page_bytes(d, kind, dpi);
        ULONG written = 0;
        hr = bytes.data ? stream->Write(bytes.data, (ULONG)bytes.size, &written) : E_OUTOFMEMORY;
        free(bytes.data);
        if (FAILED(hr)) {
            stream->Release();
            return hr;
        }
        ++sent;
        trace(item->script, L"page %d %s %lu bytes", sent, kind, (unsigned long)written);
        hr = notify(callback, 2, 100, S_OK);   // WIA_TRANSFER_MSG_END_OF_STREAM
        // The service lets go of a stream once its end is announced; what the caller
        // still holds shows in the count left.
        const ULONG left = stream->Release();
        trace(item->script, L"page %d released, %lu left", sent, (unsigned long)left);
        if (hr == S_FALSE) {
            trace(item->script, L"cancelled by the application after %d pages", sent);
            return S_FALSE;
        }
        // A real service call lets the calling thread's window messages through.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (wcscmp(d->result, L"jam") == 0) {
        notify(callback, 1, 0, kPaperJam);
        return kPaperJam;
    }
    notify(callback, 3, 100, S_OK);   // WIA_TRANSFER_MSG_END_OF_TRANSFER
    return S_OK;
}

static DWORD WINAPI download_thread(void* param) {
    DownloadJob* job = static_cast<DownloadJob*>(param);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    job->result = run_download(job->item, job->callback);
    CoUninitialize();
    return 0;
}

static HRESULT STDMETHODCALLTYPE transfer_download(Transfer* self, LONG flags, CallbackC* callback) {
    Item* item = item_of_transfer(self);
    if (flags != 0 || !callback) return E_INVALIDARG;
    if (InterlockedCompareExchange(&item->downloading, 1, 0) != 0) return kBusy;
    trace(item->script, L"download %s", item->is_feeder ? L"feeder" : L"flatbed");
    callback->vtbl->AddRef(callback);
    HRESULT result = S_OK;
    if (item->device->threaded) {
        DownloadJob job = {item, callback, S_OK};
        HANDLE thread = CreateThread(nullptr, 0, download_thread, &job, 0, nullptr);
        if (!thread) {
            result = E_OUTOFMEMORY;
        } else {
            // Wait for the service thread while letting this thread's messages through.
            while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
            CloseHandle(thread);
            result = job.result;
        }
    } else {
        result = run_download(item, callback);
    }
    callback->vtbl->Release(callback);
    trace(item->script, L"download done hr=0x%08X", (unsigned)result);
    InterlockedExchange(&item->downloading, 0);
    return result;
}

static HRESULT STDMETHODCALLTYPE transfer_query(void* self, REFIID riid, void** out) {
    return item_query(item_of_transfer(self), riid, out);
}
static ULONG STDMETHODCALLTYPE transfer_add_ref(void* self) {
    return item_add_ref(item_of_transfer(self));
}
static ULONG STDMETHODCALLTYPE transfer_release(void* self) {
    return item_release(item_of_transfer(self));
}
static const TransferVtblC kTransferVtbl = {transfer_query, transfer_add_ref, transfer_release, transfer_download,
                                            nullptr,        nullptr,          nullptr};

// ---- building a device's item tree
static Item* item_new(const Script* script, const DeviceScript* d, bool is_root, bool is_feeder) {
    Item* item = static_cast<Item*>(calloc(1, sizeof(Item)));
    if (!item) return nullptr;
    item->vtbl = &kItemVtbl;
    item->transfer_vtbl = &kTransferVtbl;
    item->refs = 1;
    item->script = script;
    item->device = d;
    item->is_root = is_root;
    item->is_feeder = is_feeder;
    script_add_ref(script);
    item->store = prop_store_new(script, is_root ? L"root" : (is_feeder ? L"feeder" : L"flatbed"));
    if (!item->store) {
        item_release(item);
        return nullptr;
    }
    PropStore* s = item->store;
    const bool has_feeder = wcsstr(d->items, L"feeder") != nullptr;
    if (is_root) {
        add_text(s, 2, d->id);
        add_text(s, 7, d->name);
        if (d->bed_w > 0) add_prop(s, 3074, VT_I4, d->bed_w, false);
        if (d->bed_h > 0) add_prop(s, 3075, VT_I4, d->bed_h, false);
        if (d->feed_w > 0) add_prop(s, 3076, VT_I4, d->feed_w, false);
        if (d->feed_h > 0) add_prop(s, 3077, VT_I4, d->feed_h, false);
        // A flatbed-only device knows flatbed handling only.
        add_ranged(s, 3088, 2, true, has_feeder ? 1 : 2, has_feeder ? 7 : 2);
        if (has_feeder) add_ranged(s, 3096, 1, true, 0, 100);
        return item;
    }
    const int max_w = is_feeder ? d->feed_w : d->bed_w;
    const int max_h = is_feeder ? d->feed_h : d->bed_h;
    if (is_feeder) add_ranged(s, 3088, 1, true, 1, 7);   // feeder items take it themselves
    add_ranged(s, 6147, 150, true, 50, 1200);
    add_ranged(s, 6148, 150, true, 50, 1200);
    add_ranged(s, 6149, 0, true, 0, 0);
    add_ranged(s, 6150, 0, true, 0, 0);
    // Extents up to the largest area at the top resolution; a real device limits them by
    // the current resolution, checked again when the transfer starts.
    add_ranged(s, 6151, 850, true, 1, max_w > 0 ? (LONG)((int64_t)max_w * 1200 / 1000) : 100000);
    add_ranged(s, 6152, 1100, true, 1, max_h > 0 ? (LONG)((int64_t)max_h * 1200 / 1000) : 100000);
    add_ranged(s, 4103, 3, true, 0, 3);
    add_ranged(s, 4104, 24, true, 1, 24);
    add_ranged(s, 6154, 0, d->brightness_range, d->brightness_min, d->brightness_max);
    add_ranged(s, 6155, 0, d->contrast_range, d->contrast_min, d->contrast_max);
    add_ranged(s, 6159, 0, d->threshold_range, d->threshold_min, d->threshold_max);
    Prop* format = add_prop(s, 4106, VT_CLSID, d->png_only ? 1 : 0, true);
    if (format) format->guid = d->png_only ? kFormatPng : kFormatBmp;
    return item;
}

static Item* device_tree(const Script* script, const DeviceScript* d) {
    Item* root = item_new(script, d, true, false);
    if (!root) return nullptr;
    const wchar_t* cursor = d->items;
    wchar_t kind[32];
    while (root->child_count < kMaxChildren && next_token(&cursor, kind, 32)) {
        Item* child = item_new(script, d, false, wcscmp(kind, L"feeder") == 0);
        if (child) root->children[root->child_count++] = child;
    }
    return root;
}

// ---- manager (IWiaDevMgr2: 11 slots)
struct ManagerVtblC {
    QueryFn QueryInterface;
    RefFn AddRef;
    RefFn Release;
    HRESULT(STDMETHODCALLTYPE* EnumDeviceInfo)(Manager* self, LONG flags, DevEnum** out);
    HRESULT(STDMETHODCALLTYPE* CreateDevice)(Manager* self, LONG flags, BSTR id, Item** out);
    const void* SelectDeviceDlg;
    const void* SelectDeviceDlgID;
    const void* RegisterEventCallbackInterface;
    const void* RegisterEventCallbackProgram;
    const void* RegisterEventCallbackCLSID;
    const void* GetImageDlg;
};
static_assert(sizeof(ManagerVtblC) == 11 * sizeof(void*), "IWiaDevMgr2 has 11 slots");

struct Manager {
    const ManagerVtblC* vtbl;
    volatile LONG refs;
    Script* script;
};

struct DevEnum {
    const DevEnumVtblC* vtbl;
    volatile LONG refs;
    Manager* manager;
    int next;
};

static ULONG STDMETHODCALLTYPE manager_add_ref(void* self) {
    return (ULONG)InterlockedIncrement(&static_cast<Manager*>(self)->refs);
}
static ULONG STDMETHODCALLTYPE manager_release(void* self) {
    Manager* m = static_cast<Manager*>(self);
    const LONG left = InterlockedDecrement(&m->refs);
    if (left == 0) {
        script_release(m->script);
        free(m);
    }
    return (ULONG)left;
}
static HRESULT STDMETHODCALLTYPE manager_query(void* self, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, kIID_IUnknown) && !IsEqualIID(riid, kIID_IWiaDevMgr2)) return E_NOINTERFACE;
    manager_add_ref(self);
    *out = self;
    return S_OK;
}

static ULONG STDMETHODCALLTYPE dev_enum_add_ref(void* self) {
    return (ULONG)InterlockedIncrement(&static_cast<DevEnum*>(self)->refs);
}
static ULONG STDMETHODCALLTYPE dev_enum_release(void* self) {
    DevEnum* e = static_cast<DevEnum*>(self);
    const LONG left = InterlockedDecrement(&e->refs);
    if (left == 0) {
        manager_release(e->manager);
        free(e);
    }
    return (ULONG)left;
}
static HRESULT STDMETHODCALLTYPE dev_enum_query(void* self, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, kIID_IUnknown)) return E_NOINTERFACE;
    dev_enum_add_ref(self);
    *out = self;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE dev_enum_next(DevEnum* self, ULONG count, PropStore** out, ULONG* fetched) {
    if (!out) return E_POINTER;
    ULONG n = 0;
    const Script& script = *self->manager->script;
    while (n < count && self->next < script.device_count) {
        const DeviceScript* d = &script.devices[self->next++];
        PropStore* s = prop_store_new(&script, L"info");
        if (!s) break;
        add_text(s, 2, d->id);
        add_text(s, 3, d->vendor);
        add_text(s, 4, d->description);
        if (d->type_is_text) {
            add_text(s, 5, L"scanner");
        } else {
            add_prop(s, 5, VT_I4, d->type, false);
        }
        add_text(s, 7, d->name);
        out[n++] = s;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

static const DevEnumVtblC kDevEnumVtbl = {dev_enum_query, dev_enum_add_ref, dev_enum_release, dev_enum_next,
                                          nullptr,        nullptr,          nullptr,          nullptr};

static HRESULT STDMETHODCALLTYPE manager_enum(Manager* self, LONG flags, DevEnum** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (flags != 16) return E_INVALIDARG;   // WIA_DEVINFO_ENUM_LOCAL is the only flag this service takes
    DevEnum* e = static_cast<DevEnum*>(calloc(1, sizeof(DevEnum)));
    if (!e) return E_OUTOFMEMORY;
    e->vtbl = &kDevEnumVtbl;
    e->refs = 1;
    e->manager = self;
    manager_add_ref(self);
    *out = e;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE manager_create(Manager* self, LONG flags, BSTR id, Item** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (flags != 0 || !id) return E_INVALIDARG;
    for (int i = 0; i < self->script->device_count; ++i) {
        const DeviceScript* d = &self->script->devices[i];
        if (wcscmp(d->id, id) != 0) continue;
        trace(self->script, L"create %s hr=0x%08X", id, (unsigned)d->create_result);
        if (FAILED(d->create_result)) return d->create_result;
        *out = device_tree(self->script, d);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    trace(self->script, L"create %s: no such device", id);
    return kNoDevice;
}

static const ManagerVtblC kManagerVtbl = {manager_query, manager_add_ref, manager_release, manager_enum,
                                          manager_create, nullptr,        nullptr,         nullptr,
                                          nullptr,        nullptr,        nullptr};

HRESULT zan_wia_standin_create(void** manager) {
    if (!manager) return E_POINTER;
    *manager = nullptr;
    Manager* m = static_cast<Manager*>(calloc(1, sizeof(Manager)));
    if (!m) return E_OUTOFMEMORY;
    m->vtbl = &kManagerVtbl;
    m->refs = 1;
    m->script = static_cast<Script*>(malloc(sizeof(Script)));
    if (!m->script) {
        free(m);
        return E_OUTOFMEMORY;
    }
    load_script(m->script);
    *manager = m;
    return S_OK;
}
