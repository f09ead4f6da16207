// output/watermark.h
// The watermark stamped on saved pages: the text in bold grey across the page centre,
// turned 35 degrees upwards, at the chosen opacity. The text is rasterised by the
// platform (watermark_win32.cpp: GDI, which shapes Arabic and lays it out right to left)
// into a coverage mask; the blending into the page is portable.
#ifndef ZAN_OUTPUT_WATERMARK_H
#define ZAN_OUTPUT_WATERMARK_H

#include <stdint.h>

#include "image/page_image.h"

const int WATERMARK_GREY = 100;              // red, green and blue of the stamp
const double WATERMARK_ANGLE_DEGREES = -35;  // negative: rising to the right
const int WATERMARK_DEFAULT_OPACITY = 25;

// The stamp's alpha 0..255 for an opacity in percent, clamped to 5..100.
int watermark_alpha(int opacity_percent);
// True when a character of text lies in U+0600-U+06FF: the text is laid out right to left.
bool watermark_is_rtl(const wchar_t* text);
// Bold font size in pixels for a page: min(width, height) / 9.
int watermark_font_size(int width, int height);

// Mixes the stamp grey into a 24-bit page: each pixel moves towards grey by
// alpha * coverage / 255, the coverage of a page pixel found by turning the page point
// back by angle_degrees about the page centre into the mask (mask_width x mask_height
// bytes, its centre on the page centre), sampled bilinearly.
void watermark_blend(PageImage* rgb, const uint8_t* mask, int mask_width, int mask_height, double angle_degrees,
                     int alpha);

// A new 24-bit copy of page (grey and 1-bit pages are expanded) with the text stamped
// on it, or null when the copy or the stamp could not be made: a page is never handed
// on unmarked when a mark was asked for. An empty text gives a plain copy.
PageImage* watermark_apply(const wchar_t* text, const PageImage* page, int opacity_percent);

// ---- platform rasteriser
// The text in the bold interface face at size pixels, level, centred in a new coverage
// mask (0..255, one byte per pixel, rows of *width bytes; the caller frees it with
// mem_free) of 4 * size rows. A text measured wider than max_width is drawn at the size
// that makes it max_width wide. Null when no font or drawing surface could be had.
uint8_t* watermark_render_text(const wchar_t* text, int size, int max_width, bool right_to_left, int* width,
                               int* height);

#endif
