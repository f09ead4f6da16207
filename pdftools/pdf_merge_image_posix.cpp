// pdftools/pdf_merge_image_posix.cpp
// The native build has no image codec: images other than pass-through JPEGs are unreadable.
#include "pdftools/pdf_merge.h"

PageImage* pdf_platform_image_decoder(const wchar_t*, int, int* frame_count) {
    if (frame_count) *frame_count = 0;
    return nullptr;
}
