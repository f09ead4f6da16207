// pdftools/pdf_merge_image_win32.cpp
// Images for merge through the platform codec.
#include "pdftools/pdf_merge.h"

#include "image/codec.h"

PageImage* pdf_platform_image_decoder(const wchar_t* path, int frame, int* frame_count) {
    if (frame_count) *frame_count = 1;
    if (!path || frame != 0 || !codec_startup()) return nullptr;
    return codec_decode_file(path);
}
