// output/pdf_image.h
// Encoding one page image for a PDF image XObject: JPEG (DCTDecode) for grey and colour
// pages, reduced to the compression level's resolution cap, with zlib (FlateDecode) for
// bilevel pages and as the fallback. The EncodedImage owns its bytes; the page is not changed.
#ifndef ZAN_OUTPUT_PDF_IMAGE_H
#define ZAN_OUTPUT_PDF_IMAGE_H

#include <stddef.h>
#include <stdint.h>

#include "core/wide_string.h"
#include "image/page_image.h"

struct EncodedImage {
    ByteBuffer bytes;
    bool is_jpeg;              // true: a JPEG file (DCTDecode); false: zlib data (FlateDecode)
    int width, height;         // pixels of the encoded image (smaller than the page when reduced)
    int components;            // 1 grey, 3 RGB
    int bits_per_component;    // 8, or 1 for bilevel pages
};
void encoded_image_release(EncodedImage* image);

// ---- JPEG header check
struct JpegInfo {
    int precision, width, height, components;
};
// Reads the frame header of a baseline, extended or progressive JPEG (SOF0, SOF1, SOF2).
// False when the data does not start with FF D8, a marker segment runs past the data, the
// frame is of another kind (lossless, hierarchical, arithmetic) or states a zero size.
bool pdf_jpeg_header_check(const uint8_t* data, size_t size, JpegInfo* info);

// ---- page encoding
// Compression levels: 0 quality 90, no cap; 1 quality 75, 200 dpi; 2 quality 55, 150 dpi.
// A JPEG encoder: appends page as JPEG at quality to out, false on failure.
typedef bool (*PdfJpegEncoder)(const PageImage* page, int quality, ByteBuffer* out);
// The platform codec's JPEG encoder (none in the native build: it always fails, so pages
// are written with zlib there).
bool pdf_platform_jpeg_encoder(const PageImage* page, int quality, ByteBuffer* out);

// Encodes page at level with the platform encoder; quality gets the level's JPEG quality.
// False (out empty) for an invalid page, a dpi <= 0 or a zlib failure.
bool pdf_encode_page_image(int level, const PageImage* page, EncodedImage* out, int* quality);
// The same with a given JPEG encoder (null: zlib only).
bool pdf_encode_page_image_with(int level, const PageImage* page, PdfJpegEncoder encoder, EncodedImage* out,
                                int* quality);

#endif
