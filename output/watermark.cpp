// output/watermark.cpp
// Opacity rules, the blend and watermark_apply. The stamp is drawn on a fresh colour copy
// only, so the scanned page is never changed and OCR keeps reading the clean page.
#include "output/watermark.h"

#include "core/heap.h"

int watermark_alpha(int opacity_percent) {
    // Below 6 % the stamp would vanish on most printers; 5 % is the floor.
    int opacity = opacity_percent < 6 ? 5 : opacity_percent;
    if (opacity > 100) opacity = 100;
    return opacity * 255 / 100;
}

bool watermark_is_rtl(const wchar_t* text) {
    for (const wchar_t* p = text ? text : L""; *p; ++p)
        if (*p >= 0x0600 && *p <= 0x06FF) return true;
    return false;
}

int watermark_font_size(int width, int height) {
    return (width < height ? width : height) / 9;
}

void watermark_blend(PageImage* rgb, const uint8_t* coverage, int pixel_step, int64_t row_step, int alpha) {
    if (!rgb || rgb->bits_per_pixel != 24 || !coverage) return;
    for (int y = 0; y < rgb->height; ++y) {
        uint8_t* px = rgb->pixels + (int64_t)y * rgb->stride;
        const uint8_t* c = coverage + y * row_step;
        for (int x = 0; x < rgb->width; ++x, px += 3, c += pixel_step) {
            if (!*c) continue;
            const int a = alpha * *c / 255;
            for (int k = 0; k < 3; ++k) px[k] = (uint8_t)(px[k] + (WATERMARK_GREY - px[k]) * a / 255);
        }
    }
}

PageImage* watermark_apply(const wchar_t* text, const PageImage* page, int opacity_percent) {
    PageImage* copy = page_image_to_rgb(page);
    if (!copy || !text || !text[0]) return copy;
    uint8_t* coverage = static_cast<uint8_t*>(mem_alloc_array((size_t)copy->width, (size_t)copy->height));
    const bool drawn = coverage && watermark_render_coverage(text, copy->width, copy->height,
                                                             WATERMARK_ANGLE_DEGREES, watermark_is_rtl(text), coverage);
    if (drawn) watermark_blend(copy, coverage, 1, copy->width, watermark_alpha(opacity_percent));
    mem_free(coverage);
    if (drawn) return copy;
    page_image_free(copy);
    return nullptr;
}
