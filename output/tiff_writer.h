// output/tiff_writer.h
// Multi-page TIFF files written by the program itself, one page at a time: 1-bit pages
// compressed with CCITT group 4 (T.6), grey and colour pages with LZW. The platform codec
// cannot be trusted with this (some versions write the pages uncompressed), and writing
// it here keeps the whole file behind the safe replacement of core/file.h. Baseline
// TIFF 6.0, little-endian, one strip per page, each page's directory before its data.
#ifndef ZAN_OUTPUT_TIFF_WRITER_H
#define ZAN_OUTPUT_TIFF_WRITER_H

#include <stdint.h>

#include "core/file.h"
#include "core/wide_string.h"
#include "image/page_image.h"

// ---- the file
struct TiffWriter {
    OutFile file;
    int page_count;      // pages announced at open
    int pages_written;
    uint64_t offset;     // file offset of the next byte
};

// Opens a temporary file beside path for page_count pages. Error: "cannot create %s
// (error %d)"; nothing is left behind.
bool tiff_writer_open(TiffWriter* w, const wchar_t* path, int page_count, WideString* error);
// Encodes and writes the next page. Errors: "image encode failed", "write error (disk
// full?)", "TIFF larger than 4 GB". After a failure only tiff_writer_abandon is allowed.
bool tiff_writer_add_page(TiffWriter* w, const PageImage* page, WideString* error);
// Moves the file over the target once every announced page is in it.
bool tiff_writer_finish(TiffWriter* w, WideString* error);
// Deletes the temporary file; the target stays as it was.
void tiff_writer_abandon(TiffWriter* w);

// ---- the encoders (appending to out; false when out of memory)
// TIFF's LZW (codes of 9 to 12 bits, most significant bit first, a clear code at the
// start and whenever the table is full, the code width growing one code early).
bool tiff_lzw_encode(const uint8_t* bytes, int64_t count, ByteBuffer* out);
// CCITT T.6 of a 1-bit page (bit 1 = white), ending with the end-of-block code.
bool tiff_g4_encode(const PageImage* page, ByteBuffer* out);

#endif
