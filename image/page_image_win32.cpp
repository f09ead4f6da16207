// image/page_image_win32.cpp
// The display bitmap of a page: a 32-bit top-down DIB section for the preview and the
// page strip. The pixel work is the portable page_image_write_bgra.
#include "image/page_image.h"

#include <windows.h>

HBITMAP__* page_image_to_display_bitmap(const PageImage* page, int max_width, int max_height) {
    PageImage* scaled = page_image_scale_to_fit(page, max_width, max_height);
    if (!scaled) return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = scaled->width;
    info.bmiHeader.biHeight = -scaled->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) page_image_write_bgra(scaled, static_cast<uint8_t*>(bits), (int64_t)scaled->width * 4);
    page_image_free(scaled);
    return bitmap;
}
