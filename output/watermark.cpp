// output/watermark.cpp
// Opacity rules, the blend and watermark_apply. The stamp is drawn on a fresh colour copy
// only, so the scanned page is never changed and OCR keeps reading the clean page.
#include "output/watermark.h"

#include <math.h>

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

// Bilinear coverage of the mask at (u, v); 0 outside.
static int sample(const uint8_t* mask, int width, int height, double u, double v) {
    if (u < 0 || v < 0 || u > width - 1 || v > height - 1) return 0;
    const int x = (int)u, y = (int)v;
    const int x1 = x + 1 < width ? x + 1 : x, y1 = y + 1 < height ? y + 1 : y;
    const double fx = u - x, fy = v - y;
    const uint8_t* r0 = mask + (int64_t)y * width;
    const uint8_t* r1 = mask + (int64_t)y1 * width;
    const double top = r0[x] + (r0[x1] - r0[x]) * fx;
    const double bottom = r1[x] + (r1[x1] - r1[x]) * fx;
    return (int)(top + (bottom - top) * fy + 0.5);
}

void watermark_blend(PageImage* rgb, const uint8_t* mask, int mask_width, int mask_height, double angle_degrees,
                     int alpha) {
    if (!rgb || rgb->bits_per_pixel != 24 || !mask || mask_width < 1 || mask_height < 1) return;
    const double radians = angle_degrees * 3.14159265358979323846 / 180.0;
    const double c = cos(radians), s = sin(radians);
    const double cx = rgb->width * 0.5, cy = rgb->height * 0.5;
    const double mx = mask_width * 0.5, my = mask_height * 0.5;
    for (int y = 0; y < rgb->height; ++y) {
        uint8_t* px = rgb->pixels + (int64_t)y * rgb->stride;
        const double dy = y + 0.5 - cy;
        for (int x = 0; x < rgb->width; ++x, px += 3) {
            const double dx = x + 0.5 - cx;
            // The page point turned back by the angle lands at (u, v) in the level mask.
            const int coverage = sample(mask, mask_width, mask_height, dx * c + dy * s + mx - 0.5,
                                        -dx * s + dy * c + my - 0.5);
            if (!coverage) continue;
            const int a = alpha * coverage / 255;
            for (int k = 0; k < 3; ++k) px[k] = (uint8_t)(px[k] + (WATERMARK_GREY - px[k]) * a / 255);
        }
    }
}

PageImage* watermark_apply(const wchar_t* text, const PageImage* page, int opacity_percent) {
    PageImage* copy = page_image_to_rgb(page);
    if (!copy || !text || !text[0]) return copy;
    const double diagonal = sqrt((double)copy->width * copy->width + (double)copy->height * copy->height);
    int size = watermark_font_size(copy->width, copy->height);
    int mask_width = 0, mask_height = 0;
    uint8_t* mask = watermark_render_text(text, size > 0 ? size : 1, (int)(0.8 * diagonal), watermark_is_rtl(text),
                                          &mask_width, &mask_height);
    if (!mask) {
        page_image_free(copy);
        return nullptr;
    }
    watermark_blend(copy, mask, mask_width, mask_height, WATERMARK_ANGLE_DEGREES, watermark_alpha(opacity_percent));
    mem_free(mask);
    return copy;
}
