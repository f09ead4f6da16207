// output/pdf_document.h
// One PDF 1.5 file from the scanned pages: an image per page at its physical size, the
// optional invisible OCR text layer and the optional password protection. The caller keeps
// ownership of the pages, their OCR results and the options.
#ifndef ZAN_OUTPUT_PDF_DOCUMENT_H
#define ZAN_OUTPUT_PDF_DOCUMENT_H

#include "core/system.h"
#include "core/wide_string.h"
#include "image/page_image.h"
#include "image/page_store.h"
#include "output/ocr.h"
#include "output/pdf_message.h"

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

// ---- pages fed one at a time
// The writer asks for each page's words first (no pixels needed), then takes the pages in
// order: pin(k), encode and write page k, unpin(k). So a document needs memory for about
// one page, wherever the others are kept.
struct PdfPageSource {
    void* context;
    int count;
    const OcrResult* (*words)(void* context, int index);   // null: no words
    // The page's pixels, valid until unpin(index). Null fails the document with the
    // message the source set (out of memory when it set none).
    const PageImage* (*pin)(void* context, int index, PdfMessage* message);
    void (*unpin)(void* context, int index);
};
// As pdf_write_document, with the pages taken from source.
bool pdf_write_document_from(const wchar_t* path, const PdfPageSource* source, const PdfSaveOptions* options,
                             WideString* error);

// A source over pages of a page store, in the order given; ocr may be null (no words at
// all) or hold one entry per page. A page that cannot be pinned fails the document with
// "page %d could not be read back" or "page %d: out of memory" and leaves the store's
// string-table id in message_id.
struct PdfStorePages {
    PageStore* store;
    StoredPage* const* pages;
    const OcrResult* const* ocr;
    int count;
    int message_id;          // 0, or the store's message for the page that failed
};
PdfPageSource pdf_page_source_of_store(PdfStorePages* pages);

// "D:YYYYMMDDHHmmSS+HH'mm'" for the local time and its offset from UTC (east is "+",
// UTC itself "+00'00'"). Appends to out.
bool pdf_format_creation_date(const LocalTime* time, ByteBuffer* out);

#endif
