// output/pdf_image_win32.cpp
// The JPEG encoder of the Windows build: the platform codec, started on first use so a
// caller that did not start it still gets JPEG pages rather than the larger zlib ones.
#include "output/pdf_image.h"

#include "image/codec.h"

bool pdf_platform_jpeg_encoder(const PageImage* page, int quality, ByteBuffer* out) {
    return codec_startup() && codec_encode_page(page, CODEC_FORMAT_JPEG, quality, out);
}
