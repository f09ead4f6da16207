// output/pdf_image.cpp
// A JPEG is only trusted after its frame header was read with every length checked
// against the data: a reader uses /Width, /Height and the component count from the
// dictionary, which must agree with the stream or the page shows garbage.
#include "output/pdf_image.h"

#include "core/heap.h"
#include "core/zlib_buffer.h"

static const int kZlibLevel = 6;

void encoded_image_release(EncodedImage* image) {
    release(&image->bytes);
    *image = EncodedImage{};
}

static int read_u16(const uint8_t* p) {
    return (p[0] << 8) | p[1];
}

bool pdf_jpeg_header_check(const uint8_t* data, size_t size, JpegInfo* info) {
    *info = JpegInfo{};
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte before a marker
            at += 1;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            at += 2;
            continue;
        }
        const size_t length = (size_t)read_u16(data + at + 2);
        // The length counts itself; the segment must lie inside the data.
        if (length < 2 || length > size - at - 2) return false;
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            if (length < 8) return false;
            const uint8_t* f = data + at + 4;
            info->precision = f[0];
            info->height = read_u16(f + 1);
            info->width = read_u16(f + 3);
            info->components = f[5];
            return info->width > 0 && info->height > 0 && info->precision > 0;
        }
        if (marker == 0xC3 || (marker >= 0xC5 && marker <= 0xC7) || (marker >= 0xC9 && marker <= 0xCB) ||
            (marker >= 0xCD && marker <= 0xCF))
            return false;
        at += 2 + length;
    }
    return false;
}

static bool page_is_valid(const PageImage* page) {
    if (!page || !page->pixels || page->width <= 0 || page->height <= 0) return false;
    if (page->bits_per_pixel != 1 && page->bits_per_pixel != 8 && page->bits_per_pixel != 24) return false;
    return page->stride >= page_image_row_bytes(page->width, page->bits_per_pixel);
}

// Rows packed without padding (colour turned from blue-green-red into red-green-blue),
// then zlib-compressed.
static bool encode_flate(const PageImage* page, EncodedImage* out) {
    const int bits = page->bits_per_pixel;
    const int64_t row = bits == 1 ? ((int64_t)page->width + 7) / 8 : (int64_t)page->width * (bits / 8);
    const int64_t total = row * page->height;
    if (total > 0x7FFFFFFF) return false;
    ByteBuffer raw = {};
    if (!reserve(&raw, (int)total)) return false;
    for (int y = 0; y < page->height; ++y) {
        const uint8_t* src = page->pixels + (size_t)y * (size_t)page->stride;
        uint8_t* dst = raw.data + (size_t)y * (size_t)row;
        if (bits == 24) {
            for (int x = 0; x < page->width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        } else {
            mem_copy(dst, src, (size_t)row);
        }
    }
    raw.length = (int)total;
    const bool ok = deflate_buffer(raw.data, raw.length, kZlibLevel, &out->bytes);
    release(&raw);
    if (!ok) return false;
    out->is_jpeg = false;
    out->width = page->width;
    out->height = page->height;
    out->components = bits == 24 ? 3 : 1;
    out->bits_per_component = bits == 1 ? 1 : 8;
    return true;
}

static bool encode_jpeg(const PageImage* page, int quality, PdfJpegEncoder encoder, EncodedImage* out) {
    if (!encoder) return false;
    ByteBuffer jpeg = {};
    JpegInfo info;
    if (!encoder(page, quality, &jpeg) || !pdf_jpeg_header_check(jpeg.data, (size_t)jpeg.length, &info) ||
        (info.components != 1 && info.components != 3)) {
        release(&jpeg);
        return false;
    }
    out->bytes = jpeg;
    out->is_jpeg = true;
    out->width = info.width;
    out->height = info.height;
    out->components = info.components;
    out->bits_per_component = info.precision;
    return true;
}

bool pdf_encode_page_image_with(int level, const PageImage* page, PdfJpegEncoder encoder, EncodedImage* out,
                                int* quality) {
    *out = EncodedImage{};
    static const int kQuality[3] = {90, 75, 55};
    static const int kCap[3] = {100000, 200, 150};
    const int index = level <= 0 ? 0 : (level >= 2 ? 2 : 1);
    *quality = kQuality[index];
    // A page without a resolution has no physical size to put on the PDF page.
    if (!page_is_valid(page) || page->dpi <= 0) return false;
    if (page->bits_per_pixel == 1) return encode_flate(page, out);

    PageImage* reduced = nullptr;
    const int cap = kCap[index];
    if (page->dpi > cap) {
        const int64_t target_w = (int64_t)page->width * cap / page->dpi;
        const int64_t target_h = (int64_t)page->height * cap / page->dpi;
        if (target_w > 15 && target_h > 15) reduced = page_image_scale_to_fit(page, (int)target_w, (int)target_h);
    }
    const PageImage* source = reduced ? reduced : page;
    bool ok;
    if (source->bits_per_pixel == 1)
        ok = encode_flate(source, out);
    else
        ok = encode_jpeg(source, *quality, encoder, out) || encode_flate(source, out);
    page_image_free(reduced);
    if (!ok) encoded_image_release(out);
    return ok;
}

bool pdf_encode_page_image(int level, const PageImage* page, EncodedImage* out, int* quality) {
    return pdf_encode_page_image_with(level, page, pdf_platform_jpeg_encoder, out, quality);
}
