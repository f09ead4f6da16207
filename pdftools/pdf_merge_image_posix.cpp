// pdftools/pdf_merge_image_posix.cpp
// The native build has no image codec: images other than pass-through JPEGs are unreadable.
#include "pdftools/pdf_merge.h"

namespace {

void* open_image(const uint8_t*, size_t, int* frame_count) {
    *frame_count = 0;
    return nullptr;
}

PageImage* decode_frame(void*, int) {
    return nullptr;
}

void close_image(void*) {}

const PdfImageDecoder kDecoder = {open_image, decode_frame, close_image};

}  // namespace

const PdfImageDecoder* pdf_platform_image_decoder() {
    return &kDecoder;
}
