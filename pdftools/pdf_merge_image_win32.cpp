// pdftools/pdf_merge_image_win32.cpp
// Images for merge through the platform codec. The file's bytes go once into one memory
// stream; the codec decodes the first frame of what it is given, so for each later frame
// of a multi-page TIFF the header in that memory is pointed at the frame's IFD, in place.
#include "pdftools/pdf_merge.h"

#include <windows.h>

#include <objidl.h>

#include "core/heap.h"
#include "image/codec.h"

namespace {

struct OpenedImage {
    HGLOBAL memory;     // the file's bytes, owned by stream
    IStream* stream;
    size_t size;
    int frames;         // > 1 only for a multi-page TIFF
    uint8_t first[4];   // the header's first-IFD offset as the file has it
};

void* open_image(const uint8_t* bytes, size_t size, int* frame_count) {
    *frame_count = 0;
    if (!bytes || size == 0 || !codec_startup()) return nullptr;
    OpenedImage* image = static_cast<OpenedImage*>(mem_alloc(sizeof(OpenedImage)));
    if (!image) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)size);
    void* target = memory ? GlobalLock(memory) : nullptr;
    if (target) {
        mem_copy(target, bytes, size);
        GlobalUnlock(memory);
    }
    image->size = size;
    image->frames = pdf_tiff_frame_count(bytes, size);
    if (image->frames > 1) mem_copy(image->first, bytes + 4, 4);
    // The stream frees the memory when it is released.
    if (!target || FAILED(CreateStreamOnHGlobal(memory, TRUE, &image->stream)) || !image->stream) {
        if (memory) GlobalFree(memory);
        mem_free(image);
        return nullptr;
    }
    image->memory = memory;
    if (image->frames < 1) image->frames = 1;
    *frame_count = image->frames;
    return image;
}

PageImage* decode_frame(void* opened, int frame) {
    OpenedImage* image = static_cast<OpenedImage*>(opened);
    if (!image || frame < 0 || frame >= image->frames) return nullptr;
    if (image->frames > 1) {
        // Frames are counted along the chain from the file's own first IFD.
        uint8_t* data = static_cast<uint8_t*>(GlobalLock(image->memory));
        if (data) mem_copy(data + 4, image->first, 4);
        const bool selected = data && pdf_tiff_select_frame(data, image->size, frame);
        if (data) GlobalUnlock(image->memory);
        if (!selected) return nullptr;
    }
    const LARGE_INTEGER start = {};
    if (FAILED(image->stream->Seek(start, STREAM_SEEK_SET, nullptr))) return nullptr;
    return codec_decode_stream(image->stream, CODEC_FILE_DEFAULT_DPI);
}

void close_image(void* opened) {
    OpenedImage* image = static_cast<OpenedImage*>(opened);
    if (!image) return;
    image->stream->Release();
    mem_free(image);
}

const PdfImageDecoder kDecoder = {open_image, decode_frame, close_image};

}  // namespace

const PdfImageDecoder* pdf_platform_image_decoder() {
    return &kDecoder;
}
