// image/codec.h
// Compressed images through the platform codec (the GDI+ flat interface, loaded at run
// time): start/stop, encoder lookup, wrapping a page as a codec bitmap without copying,
// JPEG/PNG encoding into memory and decoding of files and memory streams into new
// 24-bit pages that the caller owns.
#ifndef ZAN_IMAGE_CODEC_H
#define ZAN_IMAGE_CODEC_H

#include <stddef.h>

#include "core/wide_string.h"
#include "image/page_image.h"

// The platform's own types, declared here so callers need no platform header.
struct IStream;
struct _GUID;

const int CODEC_FORMAT_JPEG = 1;
const int CODEC_FORMAT_PNG = 2;    // any format value other than JPEG means PNG
// Resolution given to a decoded file that does not state its own.
const int CODEC_FILE_DEFAULT_DPI = 150;

// ---- library
// True when the codec is running (starting it on the first call; later calls do nothing).
bool codec_startup();
// Stops the codec when codec_startup started it.
void codec_shutdown();
// The encoder whose MIME type ("image/jpeg", "image/png", "image/tiff") equals mime
// exactly, case included. False when there is none or the codec is not running.
bool codec_find_encoder(const wchar_t* mime, _GUID* class_id);

// ---- bitmaps over pages
// A GDI+ bitmap (GpBitmap*) sharing the page's pixels, with a grey palette for 8-bit and
// black/white for 1-bit pages and the page's dpi, or null. Dispose it with
// codec_dispose before the page is freed.
void* codec_wrap_page(const PageImage* page);
void codec_dispose(void* bitmap);

// ---- encoding
// Appends the page encoded as JPEG (format CODEC_FORMAT_JPEG, quality 0..100) or PNG
// (quality ignored) to *out. False (and *out unchanged) on any failure.
bool codec_encode_page(const PageImage* page, int format, int quality, ByteBuffer* out);

// ---- decoding (always a new 24-bit page, or null)
// The resolution is the image's own when it states one in 20 < dpi < 4800, else
// default_dpi for a stream and CODEC_FILE_DEFAULT_DPI for a file.
PageImage* codec_decode_stream(IStream* stream, int default_dpi);
PageImage* codec_decode_file(const wchar_t* path);
// Decodes size bytes from memory (through a memory stream).
PageImage* codec_decode_bytes(const void* bytes, size_t size, int default_dpi);

#endif
