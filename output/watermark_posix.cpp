// output/watermark_posix.cpp
// The native build has no text rasteriser: a stamp cannot be drawn there.
#include "output/watermark.h"

bool watermark_render_coverage(const wchar_t*, int, int, double, bool, uint8_t*) {
    return false;
}
