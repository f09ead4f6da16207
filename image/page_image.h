// image/page_image.h
// PageImage, the in-memory raster of one page (1, 8 or 24 bits, top-down rows padded to
// 4 bytes), and the pixel operations on it. Every operation returns a new page that the
// caller owns and frees with page_image_free; the source page is never changed.
#ifndef ZAN_IMAGE_PAGE_IMAGE_H
#define ZAN_IMAGE_PAGE_IMAGE_H

#include <stddef.h>
#include <stdint.h>

// Pixel encodings: 24 bits = blue, green, red bytes; 8 bits = grey, 0 black, 255 white;
// 1 bit = eight pixels per byte, most significant bit first, 1 white, 0 black.
struct PageImage {
    int32_t width;           // pixels per row, > 0 once allocated
    int32_t height;          // rows, > 0 once allocated
    int32_t bits_per_pixel;  // 1, 8 or 24
    int32_t stride;          // bytes per row, padded to a multiple of 4
    int32_t dpi;             // one resolution for both axes
    uint8_t* pixels;         // height * stride bytes, row 0 is the top of the page
};

// The largest pixel block a page may have. Keeps every offset inside a page far from
// the 32-bit limits, also in the 32-bit process.
const int64_t PAGE_IMAGE_MAX_BYTES = 0x70000000;
const int PAGE_IMAGE_DEFAULT_DPI = 300;

// ---- record
// A new empty record (no pixels, dpi 300), or null when out of memory.
PageImage* page_image_new();
// Frees any previous pixels, stores the four values and the stride (even when it then
// fails), and allocates stride * height bytes (not cleared). False for a width or height
// <= 0, a depth other than 1, 8 or 24, a block above PAGE_IMAGE_MAX_BYTES or no memory.
bool page_image_alloc(PageImage* page, int width, int height, int bits_per_pixel, int dpi);
// Frees the pixels and the record; null is allowed. The pixels must come from
// page_image_alloc and the record's size fields must be unchanged since: the last
// large block freed is kept (by its size) for the next allocation of a similar size.
void page_image_free(PageImage* page);
// Gives the kept block back to the system at once (the page list was emptied).
void page_image_release_kept_block();
// Gives the kept block back when it has not been used for two seconds. A timer thread
// calls it while a block is kept, and so does every allocation; a failing allocation
// gives the block back and retries.
void page_image_release_idle_block();
// Size of the kept block, 0 when none.
int64_t page_image_kept_block_bytes();
// ((width * bits + 31) / 32) * 4 in 64 bits, so huge widths cannot wrap.
int64_t page_image_row_bytes(int64_t width, int bits_per_pixel);

// ---- import
// A packed device-independent bitmap (BITMAPINFOHEADER or a V4/V5 header, optional
// masks, colour table, rows) of `size` bytes: GlobalSize of a native transfer's block,
// the byte count of a file or stream. Every header field, the table and every row are
// checked against the size; a block that does not hold what its header says gives null.
PageImage* page_image_from_dib(const void* dib, size_t size, int default_dpi);

// ---- conversions (new page or null)
PageImage* page_image_clone(const PageImage* page);
PageImage* page_image_to_grey(const PageImage* page);       // 8-bit result
PageImage* page_image_to_rgb(const PageImage* page);        // 24-bit result
// 1-bit result: grey values strictly below threshold become black.
PageImage* page_image_threshold(const PageImage* page, int threshold);

// ---- geometry (new page or null)
// Width and height swapped; same depth and dpi.
PageImage* page_image_rotate90(const PageImage* page, bool clockwise);
// The rectangle is clipped to the page; an empty result gives a copy of the whole page.
PageImage* page_image_crop(const PageImage* page, int x, int y, int w, int h);
// Area-averaging reduction to fit max_width x max_height; never enlarges. 1-bit pages
// come back as 8-bit grey, other depths keep theirs.
PageImage* page_image_scale_to_fit(const PageImage* page, int max_width, int max_height);
// An 8-bit grey copy reduced to fit a box x box square: the working copy of the analyses.
PageImage* page_image_analysis_copy(const PageImage* page, int box);

// ---- display
// Writes an 8- or 24-bit page as 32-bit blue, green, red, 255 pixels into rows of
// dst_stride bytes, top row first. Other depths write nothing and give false.
bool page_image_write_bgra(const PageImage* page, uint8_t* dst, int64_t dst_stride);
// Windows only (page_image_win32.cpp): the page scaled to fit, as a 32-bit top-down DIB
// section that the caller owns (DeleteObject), or null.
struct HBITMAP__;
HBITMAP__* page_image_to_display_bitmap(const PageImage* page, int max_width, int max_height);

#endif
