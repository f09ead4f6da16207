// scan/wia_win32.cpp
// WIA 2.0 through COM: device listing, the device chooser and one scan. The scan runs on
// the scan thread; the service may call the transfer callback on its own threads, so the
// callback's page state is guarded by a lock and its reference count is atomic. Every
// page stream is decoded and released as soon as it is complete.
#include "scan/wia.h"

#include <new>

#include "app/log.h"
#include "app/strings.h"
#include "core/heap.h"
#include "core/text.h"
#include "image/codec.h"
#include "scan/device_list.h"
#include "scan/scan_failure.h"
#include "scan/twain_host.h"
#include "scan/twain_session.h"
#include "scan/wia_com.h"

static HRESULT system_manager(IWiaDevMgr2** manager) {
    return CoCreateInstance(ZAN_CLSID_WiaDevMgr2, nullptr, CLSCTX_LOCAL_SERVER, ZAN_IID_IWiaDevMgr2,
                            reinterpret_cast<void**>(manager));
}

static WiaManagerFactory g_factory = system_manager;

void wia_set_manager_factory(WiaManagerFactory factory) {
    g_factory = factory ? factory : system_manager;
}

static HRESULT create_manager(IWiaDevMgr2** manager) {
    *manager = nullptr;
    const HRESULT hr = g_factory(manager);
    if (SUCCEEDED(hr) && !*manager) return E_POINTER;
    return hr;
}

template <typename T> static void release_com(T** object) {
    if (*object) (*object)->Release();
    *object = nullptr;
}

// ---- properties
static bool read_int_property(IWiaPropertyStorage* storage, PROPID id, int32_t* out) {
    if (!storage) return false;
    PROPSPEC spec = {};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = id;
    PROPVARIANT value;
    PropVariantInit(&value);
    bool ok = false;
    if (storage->ReadMultiple(1, &spec, &value) == S_OK) {
        if (value.vt == VT_I4) {
            *out = value.lVal;
            ok = true;
        } else if (value.vt == VT_UI4) {
            *out = (int32_t)value.ulVal;
            ok = true;
        }
    }
    PropVariantClear(&value);
    return ok;
}

static void read_string_property(IWiaPropertyStorage* storage, PROPID id, WideString* out) {
    PROPSPEC spec = {};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = id;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (storage->ReadMultiple(1, &spec, &value) == S_OK && value.vt == VT_BSTR && value.bstrVal)
        assign(out, value.bstrVal);
    PropVariantClear(&value);
}

static HRESULT write_value(IWiaPropertyStorage* storage, PROPID id, const PROPVARIANT& value) {
    if (!storage) return E_POINTER;
    PROPSPEC spec = {};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = id;
    return storage->WriteMultiple(1, &spec, &value, 2);   // 2: the first id WIA allows for names
}

static HRESULT write_long(IWiaPropertyStorage* storage, PROPID id, LONG v) {
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_I4;
    value.lVal = v;
    return write_value(storage, id, value);
}

// The item's storage first; when that write fails, the root's.
static HRESULT write_long_item_or_root(IWiaPropertyStorage* item, IWiaPropertyStorage* root, PROPID id, LONG v) {
    HRESULT hr = write_long(item, id, v);
    if (FAILED(hr) && root) hr = write_long(root, id, v);
    return hr;
}

// The valid range of a property: true with min and max when the device states one.
static bool read_range(IWiaPropertyStorage* storage, PROPID id, int32_t* min, int32_t* max) {
    if (!storage) return false;
    PROPSPEC spec = {};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = id;
    ULONG flags = 0;
    PROPVARIANT valid;
    PropVariantInit(&valid);
    bool ok = false;
    if (storage->GetPropertyAttributes(1, &spec, &flags, &valid) == S_OK && (flags & ZAN_WIA_PROP_RANGE) &&
        valid.vt == (VT_VECTOR | VT_I4) && valid.cal.cElems > 2 && valid.cal.pElems) {
        *min = valid.cal.pElems[0];
        *max = valid.cal.pElems[2];
        ok = *min < *max;
    }
    PropVariantClear(&valid);
    return ok;
}

static void write_scaled(IWiaPropertyStorage* storage, PROPID id, const wchar_t* name, int v, int lo, int hi) {
    int32_t min = 0, max = 0;
    if (!read_range(storage, id, &min, &max)) {
        log_line(L"  WIA %s: no range, skipped", name);
        return;
    }
    const int32_t device_value = wia_scale(v, lo, hi, min, max);
    const HRESULT hr = write_long(storage, id, device_value);
    log_line(L"  WIA %s=%d (range %d..%d) hr=0x%08X", name, (int)device_value, (int)min, (int)max, (unsigned)hr);
}

// ---- enumeration
static void take_device(IWiaPropertyStorage* info, bool show_all, DeviceList* list, int* added) {
    int32_t raw_type = 0;
    read_int_property(info, ZAN_WIA_DIP_DEV_TYPE, &raw_type);
    // The STI device type is the high word (GET_STIDEVICE_TYPE); the low word is only the
    // driver's subtype, 0 for most scanners.
    const uint32_t type = ((uint32_t)raw_type >> 16) & 0xFFFF;
    WideString name = {};
    read_string_property(info, ZAN_WIA_DIP_DEV_NAME, &name);
    if (!show_all && type != 1) {
        log_line(L"WIA device skipped (type %d): %s", (int)type, text_of(name));
        release(&name);
        return;
    }
    DeviceEntry* e = device_list_add(list);
    if (!e) {
        release(&name);
        return;
    }
    e->kind = DEVICE_KIND_WIA;
    e->wia_device_type = type;
    e->display_name = name;
    read_string_property(info, ZAN_WIA_DIP_DEV_ID, &e->wia_device_id);
    read_string_property(info, ZAN_WIA_DIP_VEND_DESC, &e->manufacturer);
    read_string_property(info, ZAN_WIA_DIP_DEV_DESC, &e->product_name);
    format(&e->device_key, L"WIA:%s", text_of(e->wia_device_id));
    format(&e->detail_label, L"WIA type=%d", (int)type);
    log_line(L"WIA device: %s | %s | type=%d", text_of(e->display_name), text_of(e->wia_device_id), (int)type);
    ++*added;
}

int wia_enumerate(bool show_all, DeviceList* list) {
    if (!list) return 0;
    const bool own_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    int added = 0;
    IWiaDevMgr2* manager = nullptr;
    HRESULT hr = create_manager(&manager);
    if (FAILED(hr)) {
        log_line(L"WIA: CoCreateInstance(WiaDevMgr2) failed 0x%08X", (unsigned)hr);
    } else {
        IEnumWIA_DEV_INFO* devices = nullptr;
        hr = manager->EnumDeviceInfo(ZAN_WIA_DEVINFO_ENUM_LOCAL, &devices);
        if (FAILED(hr) || !devices) {
            log_line(L"WIA: EnumDeviceInfo failed 0x%08X", (unsigned)hr);
        } else {
            IWiaPropertyStorage* info = nullptr;
            ULONG fetched = 0;
            while (devices->Next(1, &info, &fetched) == S_OK && fetched == 1 && info) {
                take_device(info, show_all, list, &added);
                release_com(&info);
            }
            release_com(&info);
        }
        release_com(&devices);
    }
    release_com(&manager);
    list->wia_count += added;
    if (own_com) CoUninitialize();
    return added;
}

// ---- device chooser (WIA 1.0 manager: its dialog lists the same devices)
bool wia_select_device(HWND parent, WideString* device_id) {
    if (!device_id) return false;
    const bool own_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IWiaDevMgr* manager = nullptr;
    bool chosen = false;
    HRESULT hr = CoCreateInstance(ZAN_CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, ZAN_IID_IWiaDevMgr,
                                  reinterpret_cast<void**>(&manager));
    if (FAILED(hr) || !manager) {
        log_line(L"WIA select: CoCreateInstance failed 0x%08X", (unsigned)hr);
    } else {
        BSTR id = nullptr;
        hr = manager->SelectDeviceDlgID(parent, 1, 1, &id);   // StiDeviceTypeScanner, NODEFAULT
        log_line(L"WIA SelectDeviceDlgID hr=0x%08X id=%s", (unsigned)hr, id ? id : L"(null)");
        if (hr == S_OK && id) {
            assign(device_id, id);
            chosen = true;
        }
        if (id) SysFreeString(id);
        manager->Release();
    }
    if (own_com) CoUninitialize();
    return chosen;
}

// ---- posting to the main window (the receiver frees what it gets)
static void post_status_text(HWND window, const wchar_t* text) {
    WideString* copy = static_cast<WideString*>(mem_alloc(sizeof(WideString)));
    if (!copy) return;
    assign(copy, text);
    if (!window || !PostMessageW(window, WM_SCAN_STATUS, 0, (LPARAM)copy)) {
        release(copy);
        mem_free(copy);
    }
}

// ---- page decoding
// The stream's own length counts (Stat), never the size of the memory block behind it.
static PageImage* decode_stream(IStream* stream, int dpi) {
    STATSTG stat = {};
    const bool sized = SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME));
    const uint64_t size = sized ? stat.cbSize.QuadPart : 0;
    PageImage* page = nullptr;
    HGLOBAL memory = nullptr;
    if (size > 54 && SUCCEEDED(GetHGlobalFromStream(stream, &memory)) && memory && size <= GlobalSize(memory)) {
        const uint8_t* data = static_cast<const uint8_t*>(GlobalLock(memory));
        if (data) {
            if (data[0] == 'B' && data[1] == 'M') page = wia_bmp_page(data, (size_t)size, dpi);
            GlobalUnlock(memory);
        }
    }
    if (!page) {
        LARGE_INTEGER zero = {};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        page = codec_decode_stream(stream, dpi);
    }
    if (!page) log_line(L"WIA: could not decode a page stream (%d bytes)", (int)size);
    return page;
}

// ---- the transfer callback
class WiaTransferSink : public IWiaTransferCallback {
public:
    WiaTransferSink(volatile LONG* cancel_flag, HWND window, int page_dpi)
        : refs(1), cancel(cancel_flag), main_window(window), dpi(page_dpi) {
        InitializeCriticalSection(&lock);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, ZAN_IID_IWiaTransferCallback)) {
            *out = static_cast<IWiaTransferCallback*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        return (ULONG)InterlockedIncrement(&refs);
    }

    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs);
        if (left == 0) destroy();
        return (ULONG)left;
    }

    HRESULT STDMETHODCALLTYPE TransferCallback(LONG, WiaTransferParams* params) override {
        if (params) {
            if (params->lMessage == ZAN_WIA_TRANSFER_MSG_END_OF_STREAM) decode_next();
            if (params->hrErrorStatus < 0) {
                EnterCriticalSection(&lock);
                last_error = params->hrErrorStatus;
                LeaveCriticalSection(&lock);
                log_line(L"WIA transfer msg=%d hrError=0x%08X", (int)params->lMessage, (unsigned)params->hrErrorStatus);
            }
        }
        return cancel && *cancel ? S_FALSE : S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetNextStream(LONG, BSTR, BSTR, IStream** destination) override {
        if (!destination) return E_POINTER;
        *destination = nullptr;
        IStream* stream = nullptr;
        HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        if (FAILED(hr) || !stream) return FAILED(hr) ? hr : E_OUTOFMEMORY;
        EnterCriticalSection(&lock);
        const bool kept = keep(stream);
        LeaveCriticalSection(&lock);
        if (!kept) {
            stream->Release();
            return E_OUTOFMEMORY;
        }
        *destination = stream;
        return S_OK;
    }

    // Decodes and posts every complete stream not decoded yet, in order, releasing each.
    void decode_next() {
        EnterCriticalSection(&lock);
        if (next < count) {
            IStream* stream = streams[next];
            streams[next] = nullptr;
            ++next;
            PageImage* page = stream ? decode_stream(stream, dpi) : nullptr;
            if (stream) stream->Release();
            if (page) post_page(page);
        }
        LeaveCriticalSection(&lock);
    }

    void decode_rest() {
        for (;;) {
            EnterCriticalSection(&lock);
            const bool more = next < count;
            LeaveCriticalSection(&lock);
            if (!more) return;
            decode_next();
        }
    }

    int page_count() {
        EnterCriticalSection(&lock);
        const int n = pages;
        LeaveCriticalSection(&lock);
        return n;
    }

    int stream_count() {
        EnterCriticalSection(&lock);
        const int n = count;
        LeaveCriticalSection(&lock);
        return n;
    }

    HRESULT error() {
        EnterCriticalSection(&lock);
        const HRESULT hr = last_error;
        LeaveCriticalSection(&lock);
        return hr;
    }

private:
    // Called with the lock held.
    bool keep(IStream* stream) {
        if (count == capacity) {
            const int wanted = capacity ? capacity * 2 : 8;
            void* grown = mem_realloc(streams, sizeof(IStream*) * (size_t)wanted);
            if (!grown) return false;
            streams = static_cast<IStream**>(grown);
            capacity = wanted;
        }
        stream->AddRef();
        streams[count++] = stream;
        return true;
    }

    // Called with the lock held, so pages reach the window in stream order.
    void post_page(PageImage* page) {
        if (!main_window || !PostMessageW(main_window, WM_SCAN_PAGE, 0, (LPARAM)page)) {
            page_image_free(page);
            return;
        }
        ++pages;
        WideString status = {};
        format(&status, L"%s %d...", tr(TEXT_SCANNING_PAGE), pages);
        post_status_text(main_window, text_of(status));
        release(&status);
    }

    void destroy() {
        for (int i = 0; i < count; ++i) {
            if (streams[i]) streams[i]->Release();
        }
        mem_free(streams);
        DeleteCriticalSection(&lock);
        this->~WiaTransferSink();
        mem_free(this);
    }

    volatile LONG refs;
    volatile LONG* cancel;
    HWND main_window;
    int dpi;
    CRITICAL_SECTION lock;
    int pages = 0;
    HRESULT last_error = 0;
    IStream** streams = nullptr;
    int count = 0;
    int capacity = 0;
    int next = 0;
};

static WiaTransferSink* sink_new(volatile LONG* cancel, HWND main_window, int dpi) {
    void* memory = mem_alloc(sizeof(WiaTransferSink));
    return memory ? new (memory) WiaTransferSink(cancel, main_window, dpi) : nullptr;
}

// ---- choosing the item
static int category_kind(IWiaItem2* item) {
    GUID category = {};
    if (item->GetItemCategory(&category) != S_OK) return WIA_CATEGORY_UNREADABLE;
    if (IsEqualGUID(category, ZAN_WIA_CATEGORY_FEEDER)) return WIA_CATEGORY_KIND_FEEDER;
    if (IsEqualGUID(category, ZAN_WIA_CATEGORY_FLATBED)) return WIA_CATEGORY_KIND_FLATBED;
    return WIA_CATEGORY_KIND_OTHER;
}

static IWiaItem2* first_of_category(IWiaItem2* root, const GUID& category) {
    IEnumWiaItem2* children = nullptr;
    IWiaItem2* item = nullptr;
    if (SUCCEEDED(root->EnumChildItems(&category, &children)) && children) {
        ULONG fetched = 0;
        if (children->Next(1, &item, &fetched) != S_OK || fetched != 1) release_com(&item);
    }
    release_com(&children);
    return item;
}

// The most children looked at when walking the whole tree level.
const int WIA_MAX_CHILDREN = 64;

static IWiaItem2* search_children(IWiaItem2* root, bool feeder) {
    IEnumWiaItem2* children = nullptr;
    if (FAILED(root->EnumChildItems(nullptr, &children)) || !children) {
        release_com(&children);
        return nullptr;
    }
    IWiaItem2* items[WIA_MAX_CHILDREN] = {};
    WiaChildInfo info[WIA_MAX_CHILDREN] = {};
    int count = 0;
    ULONG fetched = 0;
    while (count < WIA_MAX_CHILDREN && children->Next(1, &items[count], &fetched) == S_OK && fetched == 1 &&
           items[count]) {
        LONG type = 0;
        info[count].item_type = items[count]->GetItemType(&type) == S_OK ? (int32_t)type : 0;
        info[count].category = category_kind(items[count]);
        ++count;
    }
    release_com(&children);
    const int chosen = wia_choose_child(info, count, feeder);
    for (int i = 0; i < count; ++i) {
        if (i != chosen) release_com(&items[i]);
    }
    return chosen >= 0 ? items[chosen] : nullptr;
}

static IWiaItem2* choose_item(IWiaItem2* root, bool feeder) {
    IWiaItem2* item = first_of_category(root, feeder ? ZAN_WIA_CATEGORY_FEEDER : ZAN_WIA_CATEGORY_FLATBED);
    return item ? item : search_children(root, feeder);
}

// ---- property writes, in the order devices expect them
static void write_settings(IWiaPropertyStorage* item, IWiaPropertyStorage* root, const ScanSettings& settings,
                           bool feeder) {
    const int handling = feeder ? wia_document_handling(settings.Source) : 2;
    HRESULT hr = write_long_item_or_root(item, root, ZAN_WIA_DPS_DOCUMENT_HANDLING_SELECT, handling);
    log_line(L"  WIA DOC_HANDLING_SELECT=%d hr=0x%08X", handling, (unsigned)hr);
    if (feeder) {
        hr = write_long_item_or_root(item, root, ZAN_WIA_DPS_PAGES, 0);
        log_line(L"  WIA PAGES=0 hr=0x%08X", (unsigned)hr);
    }
    const int dpi = settings.Dpi;
    const HRESULT hx = write_long(item, ZAN_WIA_IPS_XRES, dpi);
    const HRESULT hy = write_long(item, ZAN_WIA_IPS_YRES, dpi);
    log_line(L"  WIA DPI=%d hr=0x%08X/0x%08X", dpi, (unsigned)hx, (unsigned)hy);
    write_long(item, ZAN_WIA_IPS_XPOS, 0);
    write_long(item, ZAN_WIA_IPS_YPOS, 0);

    IWiaPropertyStorage* sizes = root ? root : item;
    int32_t max_w = 0, max_h = 0;
    const bool have_w = read_int_property(sizes, feeder ? ZAN_WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE
                                                        : ZAN_WIA_DPS_HORIZONTAL_BED_SIZE, &max_w);
    const bool have_h = read_int_property(sizes, feeder ? ZAN_WIA_DPS_VERTICAL_SHEET_FEED_SIZE
                                                        : ZAN_WIA_DPS_VERTICAL_BED_SIZE, &max_h);
    int paper_w = 0, paper_h = 0;
    wia_paper_thousandths(settings.Paper, &paper_w, &paper_h);
    const int w = wia_area_thousandths(paper_w, have_w, max_w);
    const int h = wia_area_thousandths(paper_h, have_h, max_h);
    const HRESULT hw = write_long(item, ZAN_WIA_IPS_XEXTENT, (LONG)wia_pixels(w, dpi));
    const HRESULT hh = write_long(item, ZAN_WIA_IPS_YEXTENT, (LONG)wia_pixels(h, dpi));
    log_line(L"  WIA EXTENT %dx%d (1/1000in) hr=0x%08X/0x%08X", w, h, (unsigned)hw, (unsigned)hh);

    write_long(item, ZAN_WIA_IPA_DATATYPE, wia_data_type(settings.ColorMode));
    write_long(item, ZAN_WIA_IPA_DEPTH, wia_depth(settings.ColorMode));
    if (settings.Brightness != 0)
        write_scaled(item, ZAN_WIA_IPS_BRIGHTNESS, L"BRIGHTNESS", settings.Brightness, -100, 100);
    if (settings.Contrast != 0) write_scaled(item, ZAN_WIA_IPS_CONTRAST, L"CONTRAST", settings.Contrast, -100, 100);
    if (settings.ColorMode == 2)
        write_scaled(item, ZAN_WIA_IPS_THRESHOLD, L"THRESHOLD", settings.Threshold, 0, 255);

    PROPVARIANT format_value;
    PropVariantInit(&format_value);
    CLSID bmp = ZAN_WiaImgFmt_BMP;
    format_value.vt = VT_CLSID;
    format_value.puuid = &bmp;
    hr = write_value(item, ZAN_WIA_IPA_FORMAT, format_value);
    log_line(L"  WIA FORMAT=BMP hr=0x%08X", (unsigned)hr);
    if (FAILED(hr)) log_line(L"  (device may only deliver other formats; decoder falls back to GDI+)");
}

static IWiaPropertyStorage* storage_of(IWiaItem2* item) {
    IWiaPropertyStorage* storage = nullptr;
    if (item && FAILED(item->QueryInterface(ZAN_IID_IWiaPropertyStorage, reinterpret_cast<void**>(&storage))))
        storage = nullptr;
    return storage;
}

// ---- the scan
static IWiaItem2* open_device(const ScanJob& job, HRESULT* failure) {
    IWiaDevMgr2* manager = nullptr;
    HRESULT hr = create_manager(&manager);
    if (FAILED(hr)) {
        log_line(L"WIA scan: CoCreateInstance failed 0x%08X", (unsigned)hr);
        *failure = hr;
        return nullptr;
    }
    IWiaItem2* root = nullptr;
    BSTR id = SysAllocString(text_of(job.device.wia_device_id));
    hr = id ? manager->CreateDevice(0, id, &root) : E_OUTOFMEMORY;
    if (id) SysFreeString(id);
    manager->Release();
    if (FAILED(hr) || !root) {
        if (SUCCEEDED(hr)) hr = E_POINTER;
        log_line(L"WIA scan: CreateDevice failed 0x%08X", (unsigned)hr);
        release_com(&root);
        *failure = hr;
    }
    return root;
}

struct WiaScanParts {
    IWiaItem2* root;
    IWiaItem2* item;
    IWiaPropertyStorage* item_storage;
    IWiaPropertyStorage* root_storage;
    IWiaTransfer* transfer;
    WiaTransferSink* sink;
};

static void release_parts(WiaScanParts* p) {
    if (p->sink) p->sink->Release();
    p->sink = nullptr;
    release_com(&p->transfer);
    release_com(&p->root_storage);
    release_com(&p->item_storage);
    release_com(&p->item);
    release_com(&p->root);
}

static bool run_scan(const ScanJob& job, HWND main_window, WideString* text, volatile LONG* cancel,
                     WiaScanParts* p) {
    const ScanSettings& settings = job.settings;
    HRESULT failure = S_OK;
    p->root = open_device(job, &failure);
    if (!p->root) {
        *text = wia_failure_text((uint32_t)failure);
        return false;
    }
    bool feeder = settings.Source == 1 || settings.Source == 2;
    p->item = choose_item(p->root, feeder);
    if (!p->item && feeder) {
        log_line(L"WIA: no feeder item, falling back to flatbed");
        feeder = false;
        p->item = choose_item(p->root, false);
    }
    if (!p->item) {
        log_line(L"WIA scan: no scan item found");
        assign(text, tr(169));
        return false;
    }
    p->item_storage = storage_of(p->item);
    p->root_storage = storage_of(p->root);
    write_settings(p->item_storage, p->root_storage, settings, feeder);

    HRESULT hr = p->item->QueryInterface(ZAN_IID_IWiaTransfer, reinterpret_cast<void**>(&p->transfer));
    if (FAILED(hr) || !p->transfer) {
        if (SUCCEEDED(hr)) hr = E_NOINTERFACE;
        p->transfer = nullptr;
        log_line(L"WIA: IWiaTransfer not available 0x%08X", (unsigned)hr);
        *text = wia_failure_text((uint32_t)hr);
        return false;
    }
    p->sink = sink_new(cancel, main_window, settings.Dpi);
    if (!p->sink) {
        *text = wia_failure_text((uint32_t)E_OUTOFMEMORY);
        return false;
    }
    post_status_text(main_window, tr(TEXT_SCANNING));
    const HRESULT download = p->transfer->Download(0, p->sink);
    log_line(L"WIA Download hr=0x%08X pages=%d streams=%d", (unsigned)download, p->sink->page_count(),
             p->sink->stream_count());
    p->sink->decode_rest();

    const int pages = p->sink->page_count();
    if (cancel && *cancel) {
        assign(text, tr(TEXT_SCAN_CANCELLED));
        return pages > 0;
    }
    if (pages > 0) return true;
    HRESULT code = ZAN_WIA_ERROR_GENERAL;
    if (download < 0) {
        code = download;
    } else if (p->sink->error() < 0) {
        code = p->sink->error();
    }
    *text = wia_failure_text((uint32_t)code);
    return false;
}

bool wia_scan(const ScanJob& job, HWND main_window, WideString* text, volatile LONG* cancel) {
    if (!text) return false;
    const bool own_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    log_line(L"WIA scan: '%s' dpi=%d mode=%d source=%d paper=%d", text_of(job.device.wia_device_id),
             job.settings.Dpi, job.settings.ColorMode, job.settings.Source, job.settings.Paper);
    codec_startup();   // for pages that are not plain BMP
    WiaScanParts parts = {};
    release(text);
    const bool ok = run_scan(job, main_window, text, cancel, &parts);
    release_parts(&parts);
    if (own_com) CoUninitialize();
    return ok;
}
