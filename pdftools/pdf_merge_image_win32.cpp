// pdftools/pdf_merge_image_win32.cpp
// Images for merge through the platform codec. The codec decodes the first frame of a
// file, so the later frames of a multi-page TIFF are decoded from a copy whose header
// points at them.
#include "pdftools/pdf_merge.h"

#include "core/file.h"
#include "image/codec.h"

PageImage* pdf_platform_image_decoder(const wchar_t* path, int frame, int* frame_count) {
    if (frame_count) *frame_count = 1;
    if (!path || !codec_startup()) return nullptr;
    ByteBuffer bytes = {};
    const int frames = read_whole_file(path, &bytes) ? pdf_tiff_frame_count(bytes.data, (size_t)bytes.length) : 0;
    PageImage* page = nullptr;
    if (frames > 1) {
        if (frame_count) *frame_count = frames;
        if (pdf_tiff_select_frame(bytes.data, (size_t)bytes.length, frame)) {
            page = codec_decode_bytes(bytes.data, (size_t)bytes.length, CODEC_FILE_DEFAULT_DPI);
        }
    } else if (frame == 0) {
        page = codec_decode_file(path);
    }
    release(&bytes);
    return page;
}
