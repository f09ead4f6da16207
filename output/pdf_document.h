// output/pdf_document.h
// One PDF 1.5 file from the scanned pages: an image per page at its physical size, the
// optional invisible OCR text layer and the optional password protection. The caller keeps
// ownership of the pages, their OCR results and the options.
#ifndef ZAN_OUTPUT_PDF_DOCUMENT_H
#define ZAN_OUTPUT_PDF_DOCUMENT_H

#include "core/system.h"
#include "core/wide_string.h"
#include "image/page_image.h"
#include "output/ocr.h"

struct PdfSaveOptions {
    int compression_level;   // 0 high quality, 1 medium, 2 small
    bool protect;            // encrypt when also the password is not empty
    WideString password;
    int cipher;              // 0 AES 128, anything else RC4 128
    WideString title;        // may be empty
};

struct PdfPageInput {
    const PageImage* page;
    const OcrResult* ocr;    // null: no words
};

// Writes the whole file through a temporary file beside path that replaces path only
// when complete. Errors: "no pages", "cannot create %s (error %d)", "image encode failed",
// "write error (disk full?)". Calls the progress callback before each page.
bool pdf_write_document(const wchar_t* path, const PdfPageInput* pages, int page_count,
                        const PdfSaveOptions* options, WideString* error);

// "D:YYYYMMDDHHmmSS+HH'mm'" for the local time and its offset from UTC (east is "+",
// UTC itself "+00'00'"). Appends to out.
bool pdf_format_creation_date(const LocalTime* time, ByteBuffer* out);

#endif
