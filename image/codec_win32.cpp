// image/codec_win32.cpp
// The codec over the GDI+ flat interface. gdiplus.dll is loaded by codec_startup and its
// functions are looked up once into one table, so a system without it still starts and
// only image coding fails. The header supplies the function types; nothing links to it.
#include "image/codec.h"

#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

#include "core/heap.h"
#include "core/library.h"

using namespace Gdiplus;

namespace {

struct GdiplusFunctions {
    decltype(&Gdiplus::GdiplusStartup) GdiplusStartup;
    decltype(&Gdiplus::GdiplusShutdown) GdiplusShutdown;
    decltype(&DllExports::GdipGetImageEncodersSize) GdipGetImageEncodersSize;
    decltype(&DllExports::GdipGetImageEncoders) GdipGetImageEncoders;
    decltype(&DllExports::GdipCreateBitmapFromScan0) GdipCreateBitmapFromScan0;
    decltype(&DllExports::GdipSetImagePalette) GdipSetImagePalette;
    decltype(&DllExports::GdipBitmapSetResolution) GdipBitmapSetResolution;
    decltype(&DllExports::GdipDisposeImage) GdipDisposeImage;
    decltype(&DllExports::GdipSaveImageToStream) GdipSaveImageToStream;
    decltype(&DllExports::GdipCreateBitmapFromStream) GdipCreateBitmapFromStream;
    decltype(&DllExports::GdipCreateBitmapFromFile) GdipCreateBitmapFromFile;
    decltype(&DllExports::GdipGetImageWidth) GdipGetImageWidth;
    decltype(&DllExports::GdipGetImageHeight) GdipGetImageHeight;
    decltype(&DllExports::GdipGetImageHorizontalResolution) GdipGetImageHorizontalResolution;
    decltype(&DllExports::GdipGetImageFlags) GdipGetImageFlags;
    decltype(&DllExports::GdipBitmapLockBits) GdipBitmapLockBits;
    decltype(&DllExports::GdipBitmapUnlockBits) GdipBitmapUnlockBits;
};

HMODULE g_module = nullptr;
// Written only under g_start_lock, after the function table is complete; read without
// the lock by the coding functions, so the store and the loads are ordered.
ULONG_PTR g_token = 0;
GdiplusFunctions g_gdip = {};
// The first JPEG of a save worker and a scan worker may start the codec at the same time.
SRWLOCK g_start_lock = SRWLOCK_INIT;

// {1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}: GDI+'s EncoderQuality parameter.
const GUID kEncoderQuality = {0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};

template <typename Function>
bool look_up(Function* slot, const char* name) {
    *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(g_module, name)));
    return *slot != nullptr;
}

bool load_functions() {
    GdiplusFunctions& f = g_gdip;
    return look_up(&f.GdiplusStartup, "GdiplusStartup") && look_up(&f.GdiplusShutdown, "GdiplusShutdown") &&
           look_up(&f.GdipGetImageEncodersSize, "GdipGetImageEncodersSize") &&
           look_up(&f.GdipGetImageEncoders, "GdipGetImageEncoders") &&
           look_up(&f.GdipCreateBitmapFromScan0, "GdipCreateBitmapFromScan0") &&
           look_up(&f.GdipSetImagePalette, "GdipSetImagePalette") &&
           look_up(&f.GdipBitmapSetResolution, "GdipBitmapSetResolution") &&
           look_up(&f.GdipDisposeImage, "GdipDisposeImage") &&
           look_up(&f.GdipSaveImageToStream, "GdipSaveImageToStream") &&
           look_up(&f.GdipCreateBitmapFromStream, "GdipCreateBitmapFromStream") &&
           look_up(&f.GdipCreateBitmapFromFile, "GdipCreateBitmapFromFile") &&
           look_up(&f.GdipGetImageWidth, "GdipGetImageWidth") &&
           look_up(&f.GdipGetImageHeight, "GdipGetImageHeight") &&
           look_up(&f.GdipGetImageHorizontalResolution, "GdipGetImageHorizontalResolution") &&
           look_up(&f.GdipGetImageFlags, "GdipGetImageFlags") &&
           look_up(&f.GdipBitmapLockBits, "GdipBitmapLockBits") &&
           look_up(&f.GdipBitmapUnlockBits, "GdipBitmapUnlockBits");
}

bool running() {
    return __atomic_load_n(&g_token, __ATOMIC_ACQUIRE) != 0;
}

// A grey palette of `count` entries (256 or 2) in one stack block: ColorPalette declares
// a one-entry array that GDI+ reads past.
struct GreyPalette {
    UINT flags;
    UINT count;
    ARGB entries[256];
};

// Reads the bitmap into a new 24-bit page; the caller disposes the bitmap.
PageImage* page_from_bitmap(GpBitmap* bitmap, int default_dpi) {
    UINT width = 0, height = 0, flags = 0;
    REAL resolution = 0;
    if (g_gdip.GdipGetImageWidth(bitmap, &width) != Ok || g_gdip.GdipGetImageHeight(bitmap, &height) != Ok)
        return nullptr;
    g_gdip.GdipGetImageHorizontalResolution(bitmap, &resolution);
    g_gdip.GdipGetImageFlags(bitmap, &flags);
    // GDI+ reports the screen's 96 dpi for an image that states no resolution; only a
    // resolution from the file itself is worth keeping.
    int dpi = default_dpi;
    if ((flags & ImageFlagsHasRealDPI) && resolution > 20 && resolution < 4800) dpi = (int)(resolution + 0.5);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return nullptr;

    PageImage* page = page_image_new();
    if (!page || !page_image_alloc(page, (int)width, (int)height, 24, dpi)) {
        page_image_free(page);
        return nullptr;
    }
    Rect area(0, 0, (INT)width, (INT)height);
    BitmapData data = {};
    if (g_gdip.GdipBitmapLockBits(bitmap, &area, ImageLockModeRead, PixelFormat24bppRGB, &data) != Ok) {
        page_image_free(page);
        return nullptr;
    }
    const int64_t used = (int64_t)width * 3;
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* src = static_cast<const uint8_t*>(data.Scan0) + (int64_t)y * data.Stride;
        uint8_t* dst = page->pixels + (int64_t)y * page->stride;
        mem_copy(dst, src, (size_t)used);
        mem_fill(dst + used, 0, (size_t)(page->stride - used));
    }
    g_gdip.GdipBitmapUnlockBits(bitmap, &data);
    return page;
}

// Appends the stream's whole content to out.
bool append_stream(IStream* stream, ByteBuffer* out) {
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream, &memory))) return false;
    STATSTG stat = {};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    // The buffer holds at most INT32_MAX bytes; a larger image cannot be handed on.
    if (stat.cbSize.QuadPart > (ULONGLONG)INT32_MAX || stat.cbSize.QuadPart > GlobalSize(memory)) return false;
    const void* bytes = GlobalLock(memory);
    if (!bytes) return false;
    const bool appended = append_bytes(out, bytes, (int)stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    return appended;
}

}  // namespace

static bool start_locked() {
    if (running()) return true;
    if (!g_module) {
        g_module = system_library_load(L"gdiplus.dll");
        if (!g_module) return false;
        if (!load_functions()) {
            FreeLibrary(g_module);
            g_module = nullptr;
            g_gdip = GdiplusFunctions{};
            return false;
        }
    }
    GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    ULONG_PTR token = 0;
    if (g_gdip.GdiplusStartup(&token, &input, nullptr) != Ok) return false;
    __atomic_store_n(&g_token, token, __ATOMIC_RELEASE);
    return true;
}

bool codec_startup() {
    if (running()) return true;
    AcquireSRWLockExclusive(&g_start_lock);
    const bool started = start_locked();
    ReleaseSRWLockExclusive(&g_start_lock);
    return started;
}

void codec_shutdown() {
    AcquireSRWLockExclusive(&g_start_lock);
    if (running()) {
        g_gdip.GdiplusShutdown(g_token);
        __atomic_store_n(&g_token, 0, __ATOMIC_RELEASE);
    }
    ReleaseSRWLockExclusive(&g_start_lock);
}

bool codec_find_encoder(const wchar_t* mime, _GUID* class_id) {
    if (!mime || !class_id || !running()) return false;
    UINT count = 0, size = 0;
    if (g_gdip.GdipGetImageEncodersSize(&count, &size) != Ok || size == 0 || count == 0) return false;
    ImageCodecInfo* codecs = static_cast<ImageCodecInfo*>(mem_alloc(size));
    if (!codecs) return false;
    bool found = false;
    // The count and size come from the same library; a count that does not fit the size
    // would make the walk read past the block.
    if (g_gdip.GdipGetImageEncoders(count, size, codecs) == Ok && (uint64_t)count * sizeof(ImageCodecInfo) <= size) {
        for (UINT i = 0; i < count && !found; ++i) {
            const wchar_t* type = codecs[i].MimeType;
            if (!type) continue;
            int k = 0;
            while (type[k] && type[k] == mime[k]) ++k;
            if (type[k] == mime[k]) {
                *class_id = codecs[i].Clsid;
                found = true;
            }
        }
    }
    mem_free(codecs);
    return found;
}

void* codec_wrap_page(const PageImage* page) {
    if (!page || !page->pixels || !running()) return nullptr;
    PixelFormat format = PixelFormat24bppRGB;
    GreyPalette palette = {};
    palette.flags = PaletteFlagsGrayScale;
    if (page->bits_per_pixel == 8) {
        format = PixelFormat8bppIndexed;
        palette.count = 256;
        for (UINT i = 0; i < 256; ++i) palette.entries[i] = 0xFF000000u | (i << 16) | (i << 8) | i;
    } else if (page->bits_per_pixel == 1) {
        format = PixelFormat1bppIndexed;
        palette.count = 2;
        palette.entries[0] = 0xFF000000u;
        palette.entries[1] = 0xFFFFFFFFu;
    } else if (page->bits_per_pixel != 24) {
        return nullptr;
    }
    GpBitmap* bitmap = nullptr;
    if (g_gdip.GdipCreateBitmapFromScan0(page->width, page->height, page->stride, format, page->pixels, &bitmap) !=
            Ok ||
        !bitmap)
        return nullptr;
    if (palette.count) g_gdip.GdipSetImagePalette(bitmap, reinterpret_cast<ColorPalette*>(&palette));
    g_gdip.GdipBitmapSetResolution(bitmap, (REAL)page->dpi, (REAL)page->dpi);
    return bitmap;
}

void codec_dispose(void* bitmap) {
    if (bitmap && running()) g_gdip.GdipDisposeImage(static_cast<GpImage*>(bitmap));
}

bool codec_encode_page(const PageImage* page, int format, int quality, ByteBuffer* out) {
    if (!out) return false;
    GpBitmap* bitmap = static_cast<GpBitmap*>(codec_wrap_page(page));
    if (!bitmap) return false;
    CLSID encoder = {};
    const bool jpeg = format == CODEC_FORMAT_JPEG;
    if (!codec_find_encoder(jpeg ? L"image/jpeg" : L"image/png", &encoder)) {
        codec_dispose(bitmap);
        return false;
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || !stream) {
        codec_dispose(bitmap);
        return false;
    }
    ULONG quality_value = (ULONG)(quality < 0 ? 0 : (quality > 100 ? 100 : quality));
    EncoderParameters parameters = {};
    parameters.Count = 1;
    parameters.Parameter[0].Guid = kEncoderQuality;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Type = EncoderParameterValueTypeLong;
    parameters.Parameter[0].Value = &quality_value;
    const int length_before = out->length;
    bool done = g_gdip.GdipSaveImageToStream(bitmap, stream, &encoder, jpeg ? &parameters : nullptr) == Ok &&
                append_stream(stream, out);
    if (!done) out->length = length_before;
    stream->Release();
    codec_dispose(bitmap);
    return done;
}

PageImage* codec_decode_stream(IStream* stream, int default_dpi) {
    if (!stream || !running()) return nullptr;
    GpBitmap* bitmap = nullptr;
    if (g_gdip.GdipCreateBitmapFromStream(stream, &bitmap) != Ok || !bitmap) return nullptr;
    PageImage* page = page_from_bitmap(bitmap, default_dpi);
    g_gdip.GdipDisposeImage(bitmap);
    return page;
}

PageImage* codec_decode_file(const wchar_t* path) {
    if (!path || !path[0] || !running()) return nullptr;
    GpBitmap* bitmap = nullptr;
    if (g_gdip.GdipCreateBitmapFromFile(path, &bitmap) != Ok || !bitmap) return nullptr;
    PageImage* page = page_from_bitmap(bitmap, CODEC_FILE_DEFAULT_DPI);
    g_gdip.GdipDisposeImage(bitmap);
    return page;
}

PageImage* codec_decode_bytes(const void* bytes, size_t size, int default_dpi) {
    if (!bytes || size == 0 || !running()) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return nullptr;
    }
    mem_copy(target, bytes, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    // The stream frees the memory when it is released.
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)) || !stream) {
        GlobalFree(memory);
        return nullptr;
    }
    PageImage* page = codec_decode_stream(stream, default_dpi);
    stream->Release();
    return page;
}
