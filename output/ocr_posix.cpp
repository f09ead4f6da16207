// output/ocr_posix.cpp
// The native build has no system OCR engine: the text layer simply stays empty.
#include "output/ocr.h"

#include "core/wide_string.h"

bool ocr_is_available() {
    return false;
}

bool ocr_recognize_page(const PageImage*, const wchar_t*, OcrResult*, WideString* error) {
    assign(error, kOcrNotAvailable);
    return false;
}
