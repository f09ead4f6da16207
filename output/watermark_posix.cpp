// output/watermark_posix.cpp
// The native build has no text rasteriser: a stamp cannot be drawn there.
#include "output/watermark.h"

uint8_t* watermark_render_text(const wchar_t*, int, int, bool, int* width, int* height) {
    *width = *height = 0;
    return nullptr;
}
