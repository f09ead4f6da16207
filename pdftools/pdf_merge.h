// pdftools/pdf_merge.h
// Joins PDFs and images into one new PDF, and the page copier that split shares: an output
// file (PdfOutput) and a copy context per source document that renumbers and re-serialises
// every object a page reaches. The caller owns both records; every output goes to a
// temporary file that replaces the target only when it is complete.
#ifndef ZAN_PDFTOOLS_PDF_MERGE_H
#define ZAN_PDFTOOLS_PDF_MERGE_H

#include "core/wide_string.h"
#include "image/page_image.h"
#include "output/pdf_writer.h"
#include "pdftools/pdf_reader.h"

// ---- output file: objects 1 (catalog), 2 (page tree) and 3 (info) are reserved at open
const int PDF_OUTPUT_CATALOG = 1;
const int PDF_OUTPUT_PAGE_TREE = 2;
const int PDF_OUTPUT_INFO = 3;

struct PdfOutput {
    PdfWriter writer;
    int* pages;          // output page object numbers in order
    int page_count;
    int page_capacity;
    int version;         // the latest version of the copied sources (major x 10 + minor)
};

// Opens the output (parent folders, target check, temporary file, header, reserved
// objects). On failure error gets PDF_MESSAGE_CANNOT_CREATE with the path and system code.
bool pdf_output_open(PdfOutput* out, const wchar_t* path, PdfMessage* error);
// An output without a file that keeps its bytes in out->writer.buffer (see
// pdf_writer_open_in_memory): lets the fuzzer copy pages and read the result back.
void pdf_output_open_in_memory(PdfOutput* out);
bool pdf_output_add_page(PdfOutput* out, int page_object);
// Notes the version of a source whose pages are copied: the catalog names the latest one
// with /Version when it is later than the header's.
void pdf_output_note_version(PdfOutput* out, int version);
// Page tree, catalog, info, cross-reference table; then the target is replaced. False (and
// the target untouched) when any write failed (PDF_MESSAGE_WRITE_ERROR) or the target
// could not be replaced (PDF_MESSAGE_CANNOT_CREATE with the system's code). An in-memory
// output keeps its bytes until pdf_output_abandon.
bool pdf_output_finish(PdfOutput* out, PdfMessage* error);
// Drops the temporary file; the target stays as it was.
void pdf_output_abandon(PdfOutput* out);

// ---- page copier: one context per source document and output file
struct PdfCopyContext {
    PdfWriter* writer;
    const PdfDocument* source;
    int* number_map;     // source number -> output number, 0 while none
    int* pending;        // source numbers numbered but not written yet
    int pending_count;
    int pending_capacity;
    // Inherited direct dictionaries and arrays already written as objects of their own, so
    // pages that inherit one refer to a single copy (a hash table by address).
    const PdfObject** inherited_values;
    int* inherited_numbers;
    int inherited_count;
    int inherited_capacity;  // a power of two, 0 while empty
    bool failed;         // out of memory: the output is incomplete
};

bool pdf_copy_begin(PdfCopyContext* copy, PdfWriter* writer, const PdfDocument* source);
// Writes the page and everything it reaches; returns the new page's object number, or 0.
int pdf_copy_page(PdfCopyContext* copy, const PdfPage* page, int page_tree);
void pdf_copy_end(PdfCopyContext* copy);

// ---- serialisation of a copied value (references are renumbered through copy)
bool pdf_serialize_value(PdfCopyContext* copy, const PdfObject* value, ByteBuffer* out);

// ---- images
// An image file opened once from its bytes (read once by the merge), then decoded frame by
// frame (the pages of a multi-page TIFF).
struct PdfImageDecoder {
    // The opened image (the decoder's own record, holding its own copy of the bytes), or
    // null when they are no image it can read; frame_count gets the number of frames (1 for
    // a single image).
    void* (*open)(const uint8_t* bytes, size_t size, int* frame_count);
    // Frame (0-based) as a new 24-bit page that the caller frees, or null.
    PageImage* (*decode)(void* image, int frame);
    void (*close)(void* image);
};
// The platform codec's decoder (none in the native build: every file is unreadable).
const PdfImageDecoder* pdf_platform_image_decoder();
// The resolution of a JPEG file: a JFIF header's density in dots per inch or per centimetre
// when it gives 20..4800 dpi, else 150.
int pdf_jpeg_file_dpi(const uint8_t* data, size_t size);

// ---- multi-page TIFF: GDI+ and most codecs decode the first frame of a file, so frame k is
// decoded after the header of the file's bytes in memory was pointed at IFD k.
const int PDF_TIFF_MAX_FRAMES = 4096;
// Frames in the IFD chain (a chain that loops or leaves the data ends there); 0 when the
// data is not a classic TIFF.
int pdf_tiff_frame_count(const uint8_t* data, size_t size);
// Rewrites the header of a TIFF in place so that frame (0-based) comes first. False when
// there is no such frame.
bool pdf_tiff_select_frame(uint8_t* data, size_t size, int frame);

// ---- merge: PDFs (by the .pdf extension) and images, in order, into output. On failure error
// gets the message: 117, 128 or 129 (name: the PDF's file name), 172 (name: the image's
// path) or a technical one (PDF_MESSAGE_*; PDF_MESSAGE_CANCELLED when the thread's cancel
// check asked to stop: the target is left as it was).
bool pdf_merge(const wchar_t* const* paths, int count, const wchar_t* output, PdfMessage* error);
bool pdf_merge_with(const wchar_t* const* paths, int count, const wchar_t* output, const PdfImageDecoder* decoder,
                    PdfMessage* error);

#endif
