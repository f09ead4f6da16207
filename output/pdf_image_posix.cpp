// output/pdf_image_posix.cpp
// The native build has no image codec: every page is written with zlib.
#include "output/pdf_image.h"

bool pdf_platform_jpeg_encoder(const PageImage*, int, ByteBuffer*) {
    return false;
}
