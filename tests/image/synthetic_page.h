// tests/image/synthetic_page.h
// Test pages built in memory: plain pages, text-like pages (lines of dark word blocks)
// and packed DIBs assembled byte by byte.
#ifndef ZAN_TESTS_IMAGE_SYNTHETIC_PAGE_H
#define ZAN_TESTS_IMAGE_SYNTHETIC_PAGE_H

#include <stdint.h>

#include <vector>

#include "image/page_image.h"

// A page of one grey level (8 bits) or one colour (24 bits: all channels = value).
inline PageImage* make_plain_page(int width, int height, int bits, uint8_t value) {
    PageImage* page = page_image_new();
    if (!page_image_alloc(page, width, height, bits, 300)) {
        page_image_free(page);
        return nullptr;
    }
    for (int i = 0; i < page->stride * page->height; ++i) page->pixels[i] = value;
    return page;
}

inline uint8_t* pixel_at(PageImage* page, int x, int y) {
    return page->pixels + (int64_t)y * page->stride + (int64_t)x * (page->bits_per_pixel / 8);
}

inline void fill_rect(PageImage* page, int x0, int y0, int w, int h, uint8_t value) {
    const int bytes = page->bits_per_pixel / 8;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            for (int b = 0; b < bytes; ++b) pixel_at(page, x, y)[b] = value;
}

// White paper with lines of black "words" between margins, as a printed letter.
inline PageImage* make_text_page(int width, int height, int bits) {
    PageImage* page = make_plain_page(width, height, bits, 255);
    const int margin = width / 10;
    const int line_height = height / 70 < 5 ? 5 : height / 70;
    const int glyph = line_height * 6 / 10;
    uint32_t seed = 12345;
    for (int y = margin; y + line_height < height - margin; y += line_height) {
        int x = margin;
        while (true) {
            seed = seed * 1103515245u + 12345u;
            const int word = glyph * (2 + (int)((seed >> 16) % 6));
            if (x + word > width - margin) break;
            fill_rect(page, x, y, word, glyph, 0);
            x += word + glyph;
        }
    }
    return page;
}

// A packed DIB: 40-byte header (or `header_size` with zeros after the first 40 bytes),
// then `extra` (masks), the colour table and the rows exactly as given.
struct DibFields {
    int header_size = 40;
    int width = 1;
    int height = 1;
    int bit_count = 24;
    uint32_t compression = 0;
    int32_t pels_per_metre = 0;
    uint32_t colours_used = 0;
    std::vector<uint8_t> extra;
    std::vector<uint32_t> table;  // 0x00RRGGBB
    std::vector<uint8_t> rows;
};

inline void put32(std::vector<uint8_t>& v, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) v[at + i] = (uint8_t)(value >> (8 * i));
}

inline std::vector<uint8_t> build_dib(const DibFields& s) {
    std::vector<uint8_t> v((size_t)s.header_size, 0);
    put32(v, 0, (uint32_t)s.header_size);
    put32(v, 4, (uint32_t)s.width);
    put32(v, 8, (uint32_t)s.height);
    v[12] = 1;
    v[14] = (uint8_t)s.bit_count;
    put32(v, 16, s.compression);
    put32(v, 24, (uint32_t)s.pels_per_metre);
    put32(v, 28, (uint32_t)s.pels_per_metre);
    put32(v, 32, s.colours_used);
    v.insert(v.end(), s.extra.begin(), s.extra.end());
    for (uint32_t c : s.table) {
        v.push_back((uint8_t)c);
        v.push_back((uint8_t)(c >> 8));
        v.push_back((uint8_t)(c >> 16));
        v.push_back(0);
    }
    v.insert(v.end(), s.rows.begin(), s.rows.end());
    return v;
}

inline PageImage* import_dib(const std::vector<uint8_t>& dib, int default_dpi = 200) {
    return page_image_from_dib(dib.data(), dib.size(), default_dpi);
}

#endif
