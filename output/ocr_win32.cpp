// output/ocr_win32.cpp
// The Windows Runtime OCR engine (Windows.Media.Ocr, Windows 10 and later) behind the
// OcrBackend seam. The activation functions are looked up in combase.dll at run time so
// the program still starts on Windows 7; the few interfaces used are declared here from
// their public definitions, in vtable order, instead of pulling in the WinRT headers.
#include "output/ocr.h"

#include <windows.h>

#include <objbase.h>

#include "core/heap.h"
#include "core/library.h"

// ---- Windows Runtime declarations
typedef struct ZanHString__* ZanHString;

struct WinRtRect {
    float x, y, width, height;
};

struct ZanInspectable : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, GUID** iids) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeClassName(ZanHString* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrustLevel(int* level) = 0;
};

struct ZanLanguage : ZanInspectable {};
struct ZanSoftwareBitmap : ZanInspectable {};

struct ZanLanguageFactory : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateLanguage(ZanHString tag, ZanLanguage** language) = 0;
};

struct ZanBuffer : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Length(UINT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Length(UINT32 value) = 0;
};

struct ZanBufferFactory : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE Create(UINT32 capacity, ZanBuffer** buffer) = 0;
};

struct ZanBufferByteAccess : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Buffer(BYTE** value) = 0;
};

struct ZanSoftwareBitmapStatics : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE Copy(ZanSoftwareBitmap* source, ZanSoftwareBitmap** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Convert(ZanSoftwareBitmap* source, int format, ZanSoftwareBitmap** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertWithAlpha(ZanSoftwareBitmap* source, int format, int alpha,
                                                       ZanSoftwareBitmap** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCopyFromBuffer(ZanBuffer* source, int format, INT32 width, INT32 height,
                                                           ZanSoftwareBitmap** result) = 0;
};

// IVectorView<T> for interface types T: the element comes back as T*.
struct ZanVectorView : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, void** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
};

struct ZanOcrWord : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_BoundingRect(WinRtRect* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Text(ZanHString* value) = 0;
};

struct ZanOcrLine : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Words(ZanVectorView** words) = 0;
};

struct ZanOcrResult : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Lines(ZanVectorView** lines) = 0;
};

// IAsyncOperation<OcrResult>: put_Completed, get_Completed, GetResults.
struct ZanOcrOperation : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(ZanOcrResult** result) = 0;
};

struct ZanAsyncInfo : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(int* status) = 0;
};

struct ZanOcrEngine : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE RecognizeAsync(ZanSoftwareBitmap* bitmap, ZanOcrOperation** operation) = 0;
};

struct ZanOcrEngineStatics : ZanInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_MaxImageDimension(UINT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AvailableRecognizerLanguages(ZanVectorView** languages) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLanguageSupported(ZanLanguage* language, BYTE* supported) = 0;
    virtual HRESULT STDMETHODCALLTYPE TryCreateFromLanguage(ZanLanguage* language, ZanOcrEngine** engine) = 0;
};

static const GUID kIidOcrEngineStatics = {0x5BFFA85A, 0x3384, 0x3540, {0x99, 0x40, 0x69, 0x91, 0x20, 0xD4, 0x28, 0xA8}};
static const GUID kIidLanguageFactory = {0x9B0252AC, 0x0C27, 0x44F8, {0xB7, 0x92, 0x97, 0x93, 0xFB, 0x66, 0xC6, 0x3E}};
static const GUID kIidBufferFactory = {0x71AF914D, 0xC10F, 0x484B, {0xBC, 0x50, 0x14, 0xBC, 0x62, 0x3B, 0x3A, 0x27}};
static const GUID kIidBufferByteAccess = {0x905A0FEF, 0xBC53, 0x11DF, {0x8C, 0x49, 0x00, 0x1E, 0x4F, 0xC6, 0x86, 0xDA}};
static const GUID kIidSoftwareBitmapStatics = {0xDF0385DB, 0x672F, 0x4A9D, {0x80, 0x6E, 0xC2, 0x44, 0x2F, 0x34, 0x3E, 0x86}};
static const GUID kIidAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

static const int kPixelFormatGray8 = 62;
static const int kStatusStarted = 0;
static const int kStatusCompleted = 1;
static const DWORD kWaitLimitMs = 120000;
static const DWORD kPollMs = 8;

// ---- entry points, looked up once per process
typedef HRESULT(WINAPI* RoInitializeFn)(int type);
typedef HRESULT(WINAPI* RoGetActivationFactoryFn)(ZanHString class_id, REFIID iid, void** factory);
typedef HRESULT(WINAPI* WindowsCreateStringFn)(const wchar_t* text, UINT32 length, ZanHString* string);
typedef HRESULT(WINAPI* WindowsDeleteStringFn)(ZanHString string);
typedef const wchar_t*(WINAPI* WindowsGetStringRawBufferFn)(ZanHString string, UINT32* length);
typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOW* info);

struct RuntimeApi {
    RoInitializeFn ro_initialize;
    RoGetActivationFactoryFn get_factory;
    WindowsCreateStringFn create_string;
    WindowsDeleteStringFn delete_string;
    WindowsGetStringRawBufferFn raw_buffer;
};

enum Availability { NOT_CHECKED, UNAVAILABLE, AVAILABLE };
static Availability g_availability = NOT_CHECKED;
static RuntimeApi g_api = {};
static HMODULE g_combase = nullptr;

template <typename T>
static void release_com(T** p) {
    if (*p) (*p)->Release();
    *p = nullptr;
}

template <typename Fn>
static Fn lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

static HRESULT activate(const wchar_t* class_name, const GUID& iid, void** factory) {
    *factory = nullptr;
    ZanHString name = nullptr;
    HRESULT hr = g_api.create_string(class_name, (UINT32)text_length(class_name), &name);
    if (FAILED(hr)) return hr;
    hr = g_api.get_factory(name, iid, factory);
    g_api.delete_string(name);
    return hr;
}

bool ocr_is_available() {
    if (g_availability != NOT_CHECKED) return g_availability == AVAILABLE;
    g_availability = UNAVAILABLE;
    g_combase = system_library_load(L"combase.dll");
    if (!g_combase) return false;
    g_api.ro_initialize = lookup<RoInitializeFn>(g_combase, "RoInitialize");
    g_api.get_factory = lookup<RoGetActivationFactoryFn>(g_combase, "RoGetActivationFactory");
    g_api.create_string = lookup<WindowsCreateStringFn>(g_combase, "WindowsCreateString");
    g_api.delete_string = lookup<WindowsDeleteStringFn>(g_combase, "WindowsDeleteString");
    if (!g_api.get_factory || !g_api.create_string || !g_api.delete_string) return false;
    // The real version: GetVersionEx lies to programs without a Windows 10 manifest entry.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    RtlGetVersionFn get_version = ntdll ? lookup<RtlGetVersionFn>(ntdll, "RtlGetVersion") : nullptr;
    if (!get_version) return false;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (get_version(&version) != 0 || version.dwMajorVersion < 10) return false;
    if (g_api.ro_initialize) g_api.ro_initialize(1);
    ZanOcrEngineStatics* statics = nullptr;
    if (SUCCEEDED(activate(L"Windows.Media.Ocr.OcrEngine", kIidOcrEngineStatics, (void**)&statics)) && statics)
        g_availability = AVAILABLE;
    release_com(&statics);
    return g_availability == AVAILABLE;
}

// ---- the backend
static bool recognize(void* state, const PageImage* grey, OcrResult* words, WideString* error);

static bool create_engine(void*, const wchar_t* tag, OcrEngine* engine) {
    *engine = OcrEngine{};
    ZanOcrEngineStatics* statics = nullptr;
    ZanLanguageFactory* languages = nullptr;
    ZanLanguage* language = nullptr;
    ZanOcrEngine* ocr = nullptr;
    ZanHString tag_string = nullptr;
    if (SUCCEEDED(activate(L"Windows.Media.Ocr.OcrEngine", kIidOcrEngineStatics, (void**)&statics)) &&
        SUCCEEDED(activate(L"Windows.Globalization.Language", kIidLanguageFactory, (void**)&languages)) &&
        SUCCEEDED(g_api.create_string(tag, (UINT32)text_length(tag), &tag_string)) &&
        SUCCEEDED(languages->CreateLanguage(tag_string, &language)) && language) {
        // A language that is not installed gives a null engine with success.
        if (FAILED(statics->TryCreateFromLanguage(language, &ocr))) ocr = nullptr;
    }
    if (tag_string) g_api.delete_string(tag_string);
    release_com(&language);
    release_com(&languages);
    release_com(&statics);
    if (!ocr) return false;
    engine->state = ocr;
    engine->recognize = recognize;
    return true;
}

static void release_engine(void*, OcrEngine* engine) {
    ZanOcrEngine* ocr = static_cast<ZanOcrEngine*>(engine->state);
    release_com(&ocr);
    *engine = OcrEngine{};
}

static bool max_image_dimension(void*, int* dimension) {
    *dimension = 0;
    ZanOcrEngineStatics* statics = nullptr;
    UINT32 value = 0;
    const bool ok = SUCCEEDED(activate(L"Windows.Media.Ocr.OcrEngine", kIidOcrEngineStatics, (void**)&statics)) &&
                    SUCCEEDED(statics->get_MaxImageDimension(&value));
    release_com(&statics);
    if (ok) *dimension = value > 0x7FFFFFFF ? 0x7FFFFFFF : (int)value;
    return ok;
}

// The grey rows tightly packed into a runtime buffer.
static ZanBuffer* make_buffer(const PageImage* grey, WideString* error) {
    ZanBufferFactory* factory = nullptr;
    ZanBuffer* buffer = nullptr;
    ZanBufferByteAccess* access = nullptr;
    BYTE* bytes = nullptr;
    const UINT32 size = (UINT32)grey->width * (UINT32)grey->height;
    if (FAILED(activate(L"Windows.Storage.Streams.Buffer", kIidBufferFactory, (void**)&factory)) || !factory) {
        assign(error, L"Buffer factory");
    } else if (FAILED(factory->Create(size, &buffer)) || !buffer) {
        assign(error, L"Buffer create");
    } else if (FAILED(buffer->QueryInterface(kIidBufferByteAccess, (void**)&access)) || !access) {
        assign(error, L"BufferByteAccess");
    } else if (FAILED(access->Buffer(&bytes)) || !bytes) {
        assign(error, L"Buffer pointer");
    } else {
        for (int y = 0; y < grey->height; ++y)
            mem_copy(bytes + (size_t)y * (size_t)grey->width, grey->pixels + (size_t)y * (size_t)grey->stride,
                     (size_t)grey->width);
        buffer->put_Length(size);
        release_com(&access);
        release_com(&factory);
        return buffer;
    }
    release_com(&access);
    release_com(&buffer);
    release_com(&factory);
    return nullptr;
}

static ZanSoftwareBitmap* make_bitmap(const PageImage* grey, WideString* error) {
    ZanBuffer* buffer = make_buffer(grey, error);
    if (!buffer) return nullptr;
    ZanSoftwareBitmapStatics* statics = nullptr;
    ZanSoftwareBitmap* bitmap = nullptr;
    if (FAILED(activate(L"Windows.Graphics.Imaging.SoftwareBitmap", kIidSoftwareBitmapStatics, (void**)&statics)) ||
        !statics) {
        assign(error, L"SoftwareBitmap");
    } else {
        const HRESULT hr = statics->CreateCopyFromBuffer(buffer, kPixelFormatGray8, grey->width, grey->height, &bitmap);
        if (FAILED(hr) || !bitmap) {
            format(error, L"SoftwareBitmap 0x%08X", (unsigned)hr);
            bitmap = nullptr;
        }
    }
    release_com(&statics);
    release_com(&buffer);
    return bitmap;
}

// Polls the operation until it leaves the Started state or two minutes have passed.
static bool wait_for(ZanOcrOperation* operation) {
    ZanAsyncInfo* info = nullptr;
    if (FAILED(operation->QueryInterface(kIidAsyncInfo, (void**)&info)) || !info) return false;
    int status = kStatusStarted;
    const DWORD start = GetTickCount();
    HRESULT hr = info->get_Status(&status);
    while (SUCCEEDED(hr) && status <= kStatusStarted && GetTickCount() - start <= kWaitLimitMs) {
        Sleep(kPollMs);
        hr = info->get_Status(&status);
    }
    release_com(&info);
    return SUCCEEDED(hr) && status == kStatusCompleted;
}

static void add_word(ZanOcrWord* word, OcrResult* words) {
    WinRtRect box = {};
    ZanHString text = nullptr;
    if (FAILED(word->get_BoundingRect(&box)) || FAILED(word->get_Text(&text))) return;
    if (!g_api.raw_buffer)
        g_api.raw_buffer = lookup<WindowsGetStringRawBufferFn>(g_combase, "WindowsGetStringRawBuffer");
    UINT32 length = 0;
    const wchar_t* units = g_api.raw_buffer && text ? g_api.raw_buffer(text, &length) : nullptr;
    if (units && length > 0 && length < 0x7FFFFFFF && box.width > 0 && box.height > 0)
        ocr_result_add(words, units, (int)length, box.x, box.y, box.width, box.height);
    if (text) g_api.delete_string(text);
}

static void collect_words(ZanOcrResult* result, OcrResult* words) {
    ZanVectorView* lines = nullptr;
    UINT32 line_count = 0;
    if (FAILED(result->get_Lines(&lines)) || !lines || FAILED(lines->get_Size(&line_count))) line_count = 0;
    for (UINT32 l = 0; l < line_count; ++l) {
        ZanOcrLine* line = nullptr;
        ZanVectorView* line_words = nullptr;
        UINT32 word_count = 0;
        if (SUCCEEDED(lines->GetAt(l, (void**)&line)) && line && SUCCEEDED(line->get_Words(&line_words)) &&
            line_words && SUCCEEDED(line_words->get_Size(&word_count))) {
            for (UINT32 w = 0; w < word_count; ++w) {
                ZanOcrWord* word = nullptr;
                if (SUCCEEDED(line_words->GetAt(w, (void**)&word)) && word) add_word(word, words);
                release_com(&word);
            }
        }
        release_com(&line_words);
        release_com(&line);
    }
    release_com(&lines);
}

static bool recognize(void* state, const PageImage* grey, OcrResult* words, WideString* error) {
    ZanOcrEngine* engine = static_cast<ZanOcrEngine*>(state);
    ZanSoftwareBitmap* bitmap = make_bitmap(grey, error);
    if (!bitmap) return false;
    ZanOcrOperation* operation = nullptr;
    ZanOcrResult* result = nullptr;
    bool ok = false;
    const HRESULT hr = engine->RecognizeAsync(bitmap, &operation);
    if (FAILED(hr) || !operation) {
        format(error, L"Recognize 0x%08X", (unsigned)hr);
    } else if (!wait_for(operation)) {
        assign(error, L"OCR failed or timed out");
    } else if (FAILED(operation->GetResults(&result)) || !result) {
        assign(error, L"OCR result");
    } else {
        collect_words(result, words);
        ok = true;
    }
    release_com(&result);
    release_com(&operation);
    release_com(&bitmap);
    return ok;
}

bool ocr_recognize_page(const PageImage* page, const wchar_t* language, OcrResult* result, WideString* error) {
    if (!ocr_is_available()) {
        assign(error, kOcrNotAvailable);
        return false;
    }
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const OcrBackend backend = {nullptr, create_engine, release_engine, max_image_dimension};
    const bool ok = ocr_recognize_with(&backend, page, language, result, error);
    if (SUCCEEDED(init)) CoUninitialize();
    return ok;
}
