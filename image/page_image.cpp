// image/page_image.cpp
// The page raster and its pixel operations. Sizes and offsets are computed in 64 bits:
// a page may hold up to PAGE_IMAGE_MAX_BYTES, and a device-supplied header can claim any
// width, so nothing here may wrap in the 32-bit process.
#include "image/page_image.h"

#include "core/heap.h"
#include "core/system.h"

// ---- small pixel helpers

static inline bool bit_is_set(const uint8_t* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

static inline void clear_bit(uint8_t* row, int x) {
    row[x >> 3] = (uint8_t)(row[x >> 3] & ~(0x80 >> (x & 7)));
}

static inline uint8_t grey_of(int red, int green, int blue) {
    return (uint8_t)((30 * red + 59 * green + 11 * blue) / 100);
}

static inline uint8_t* row_of(const PageImage* page, int y) {
    return page->pixels + (int64_t)y * page->stride;
}

static bool page_is_valid(const PageImage* page) {
    return page && page->pixels && page->width > 0 && page->height > 0 &&
           (page->bits_per_pixel == 1 || page->bits_per_pixel == 8 || page->bits_per_pixel == 24) &&
           page->stride >= page_image_row_bytes(page->width, page->bits_per_pixel);
}

// A new page with allocated pixels, or null with nothing left allocated.
static PageImage* page_create(int width, int height, int bits_per_pixel, int dpi) {
    PageImage* page = page_image_new();
    if (!page) return nullptr;
    if (!page_image_alloc(page, width, height, bits_per_pixel, dpi)) {
        page_image_free(page);
        return nullptr;
    }
    return page;
}

// ---- pixel block recycling
// Fresh memory costs a page fault per 4 KiB on first touch; for a 25 MB colour page on
// some systems that costs more than rotating the page. The last large block freed is
// kept and handed to the next allocation of a similar size, so the arrival path (source
// and result alive together, then a smaller crop) and the page store (a page parked, the
// next one loaded) touch less fresh memory from one page to the next. Only one block is
// kept, and not for long: the 32-bit process needs its address space for pages. It goes
// back to the system when the page list is emptied, after KEEP_IDLE_MS without use, and
// before any allocation that would otherwise fail. Pages are freed on the scan and save
// workers too, hence the lock; it guards only a few assignments, so a spin lock serves.
static const int64_t RECYCLE_MIN_BYTES = (int64_t)4 << 20;
static const int64_t RECYCLE_MAX_BYTES = (int64_t)128 << 20;
static const uint64_t KEEP_IDLE_MS = 2000;

struct PixelBlock {
    uint8_t* data;
    int64_t capacity;
};
static PixelBlock g_kept;
static uint64_t g_kept_since = 0;
static bool g_idle_check_pending = false;
// Kept blocks handed to smaller pages: their real capacity, which the page's own size
// fields no longer tell. When the list is full the oldest entry is forgotten and that
// block is later kept with the (smaller) size of its page, which is still safe.
static PixelBlock g_lent[8];
static int g_lent_next = 0;
static int g_recycle_lock = 0;

static void recycle_lock() {
    while (__atomic_exchange_n(&g_recycle_lock, 1, __ATOMIC_ACQUIRE)) {
    }
}

static void recycle_unlock() {
    __atomic_store_n(&g_recycle_lock, 0, __ATOMIC_RELEASE);
}

// Takes the kept block out under the lock when it has been idle at least idle_ms; the
// caller frees what it gets outside the lock.
static uint8_t* take_kept_block(uint64_t idle_ms) {
    const uint64_t now = clock_milliseconds();
    recycle_lock();
    uint8_t* taken = nullptr;
    if (g_kept.data && now - g_kept_since >= idle_ms) {
        taken = g_kept.data;
        g_kept = PixelBlock{nullptr, 0};
    }
    recycle_unlock();
    return taken;
}

void page_image_release_kept_block() {
    mem_free(take_kept_block(0));
}

void page_image_release_idle_block() {
    mem_free(take_kept_block(KEEP_IDLE_MS));
}

int64_t page_image_kept_block_bytes() {
    recycle_lock();
    const int64_t bytes = g_kept.data ? g_kept.capacity : 0;
    recycle_unlock();
    return bytes;
}

// One check at a time waits on its own thread; while a block stays in use it re-arms.
static void idle_check();

static void arm_idle_check() {
    if (run_later(idle_check, (unsigned)KEEP_IDLE_MS)) return;
    recycle_lock();
    g_idle_check_pending = false;
    recycle_unlock();
}

static void idle_check() {
    page_image_release_idle_block();
    recycle_lock();
    const bool again = g_kept.data != nullptr;
    g_idle_check_pending = again;
    recycle_unlock();
    if (again) arm_idle_check();
}

static uint8_t* acquire_pixels(int64_t size) {
    page_image_release_idle_block();
    if (size >= RECYCLE_MIN_BYTES && size <= RECYCLE_MAX_BYTES) {
        recycle_lock();
        // At most half of the block may go unused.
        if (g_kept.data && g_kept.capacity >= size && g_kept.capacity / 2 <= size) {
            const PixelBlock block = g_kept;
            g_kept = PixelBlock{nullptr, 0};
            if (block.capacity > size) {
                g_lent[g_lent_next] = block;
                g_lent_next = (g_lent_next + 1) % 8;
            }
            recycle_unlock();
            return block.data;
        }
        recycle_unlock();
    }
    uint8_t* fresh = static_cast<uint8_t*>(mem_alloc((size_t)size));
    if (fresh) return fresh;
    // The kept block may be what stands between this page and the address space it needs.
    page_image_release_kept_block();
    return static_cast<uint8_t*>(mem_alloc((size_t)size));
}

static void release_pixels(uint8_t* pixels, int64_t size) {
    if (!pixels) return;
    uint8_t* evicted = pixels;
    const uint64_t now = clock_milliseconds();
    recycle_lock();
    PixelBlock block = {pixels, size};
    for (PixelBlock& lent : g_lent) {
        if (lent.data != pixels) continue;
        block.capacity = lent.capacity;
        lent = PixelBlock{nullptr, 0};
    }
    bool arm = false;
    if (block.capacity >= RECYCLE_MIN_BYTES && block.capacity <= RECYCLE_MAX_BYTES) {
        // The newest block is the likelier fit for what comes next.
        evicted = g_kept.data;
        g_kept = block;
        g_kept_since = now;
        arm = !g_idle_check_pending;
        g_idle_check_pending = true;
    }
    recycle_unlock();
    mem_free(evicted);
    if (arm) arm_idle_check();
}

// ---- record

int64_t page_image_row_bytes(int64_t width, int bits_per_pixel) {
    return ((width * bits_per_pixel + 31) / 32) * 4;
}

PageImage* page_image_new() {
    PageImage* page = static_cast<PageImage*>(mem_alloc(sizeof(PageImage)));
    if (page) page->dpi = PAGE_IMAGE_DEFAULT_DPI;
    return page;
}

bool page_image_alloc(PageImage* page, int width, int height, int bits_per_pixel, int dpi) {
    if (!page) return false;
    release_pixels(page->pixels, (int64_t)page->stride * page->height);
    page->pixels = nullptr;
    page->width = width;
    page->height = height;
    page->bits_per_pixel = bits_per_pixel;
    page->dpi = dpi;
    const int64_t stride = width > 0 ? page_image_row_bytes(width, bits_per_pixel) : 0;
    // Widths whose stride cannot be stored fail below through the size limit anyway.
    page->stride = stride <= PAGE_IMAGE_MAX_BYTES ? (int32_t)stride : 0;
    if (width <= 0 || height <= 0) return false;
    if (bits_per_pixel != 1 && bits_per_pixel != 8 && bits_per_pixel != 24) return false;
    if (stride > PAGE_IMAGE_MAX_BYTES || stride * height > PAGE_IMAGE_MAX_BYTES) return false;
    page->pixels = acquire_pixels(stride * height);
    return page->pixels != nullptr;
}

void page_image_free(PageImage* page) {
    if (!page) return;
    release_pixels(page->pixels, (int64_t)page->stride * page->height);
    mem_free(page);
}

// ---- import of a packed device-independent bitmap

static uint32_t read_u32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static uint16_t read_u16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}

static const uint32_t BI_RGB_VALUE = 0;
static const uint32_t BI_BITFIELDS_VALUE = 3;
static const uint32_t DIB_CORE_HEADER = 40;
// Red, green and blue masks after a 40-byte header, or inside a V4/V5 header.
static const uint32_t DIB_MASKS_SIZE = 12;
static const uint32_t DIB_HEADER_WITH_MASKS = 52;

struct DibLayout {
    int width;
    int height;          // rows, positive
    bool bottom_up;
    int bit_count;
    uint32_t compression;
    uint32_t green_mask;
    int64_t table_entries;
    const uint8_t* table;    // table_entries * 4 bytes: blue, green, red, reserved
    const uint8_t* rows;     // first stored row
    int64_t source_stride;
    int dpi;
};

// Reads and checks the header against the block size. False when any part the header
// describes lies outside the block.
static bool dib_read_layout(const uint8_t* dib, size_t size, int default_dpi, DibLayout* out) {
    if (size < DIB_CORE_HEADER) return false;
    const uint32_t header_size = read_u32(dib);
    const int32_t width = (int32_t)read_u32(dib + 4);
    const int32_t height = (int32_t)read_u32(dib + 8);
    const int bit_count = read_u16(dib + 14);
    const uint32_t compression = read_u32(dib + 16);
    const int32_t pels_per_metre = (int32_t)read_u32(dib + 24);
    const uint32_t colours_used = read_u32(dib + 32);
    if (header_size < DIB_CORE_HEADER || header_size > size) return false;
    if (width <= 0 || height == 0) return false;
    if (compression != BI_RGB_VALUE && compression != BI_BITFIELDS_VALUE) return false;
    if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 &&
        bit_count != 32)
        return false;

    int64_t entries = colours_used;
    if (entries == 0 && bit_count <= 8) entries = (int64_t)1 << bit_count;

    int64_t offset = header_size;
    uint32_t green_mask = 0;
    if (compression == BI_BITFIELDS_VALUE) {
        if (header_size == DIB_CORE_HEADER && (bit_count == 16 || bit_count == 32)) {
            if (offset + DIB_MASKS_SIZE > (int64_t)size) return false;
            green_mask = read_u32(dib + offset + 4);
            offset += DIB_MASKS_SIZE;
        } else if (header_size >= DIB_HEADER_WITH_MASKS) {
            green_mask = read_u32(dib + 44);
        }
    }
    const uint8_t* table = dib + offset;
    offset += entries * 4;
    if (offset > (int64_t)size) return false;

    // A height of INT32_MIN has no positive counterpart; no real page is that tall.
    const int64_t rows = height < 0 ? -(int64_t)height : height;
    if (rows > INT32_MAX) return false;
    const int64_t source_stride = page_image_row_bytes(width, bit_count);
    // Divided rather than multiplied: a stride near 2^33 times 2^31 rows would wrap.
    if (rows > ((int64_t)size - offset) / source_stride) return false;

    int dpi = default_dpi;
    if (pels_per_metre > 0) {
        const int64_t measured = ((int64_t)pels_per_metre * 254 + 5000) / 10000;
        if (measured >= 20 && measured <= 4800) dpi = (int)measured;
    }

    out->width = width;
    out->height = (int)rows;
    out->bottom_up = height > 0;
    out->bit_count = bit_count;
    out->compression = compression;
    out->green_mask = green_mask;
    out->table_entries = entries;
    out->table = table;
    out->rows = dib + offset;
    out->source_stride = source_stride;
    out->dpi = dpi;
    return true;
}

static int luminance_of_entry(const uint8_t* entry) {
    return (30 * entry[2] + 59 * entry[1] + 11 * entry[0]) / 100;
}

static bool table_is_grey(const DibLayout& dib) {
    for (int64_t i = 0; i < dib.table_entries; ++i) {
        const uint8_t* e = dib.table + i * 4;
        if (e[0] != e[1] || e[1] != e[2]) return false;
    }
    return true;
}

static void write_indexed(const DibLayout& dib, int index, uint8_t* out, int target_bits) {
    const int64_t last = dib.table_entries > 0 ? dib.table_entries - 1 : 0;
    const uint8_t* entry = dib.table + (index > last ? last : index) * 4;
    if (target_bits == 8) {
        out[0] = entry[0];
    } else {
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
    }
}

static void convert_dib_row(const DibLayout& dib, const uint8_t* src, uint8_t* dst, int target_bits,
                            bool invert) {
    const int width = dib.width;
    const int step = target_bits / 8;
    switch (dib.bit_count) {
    case 1: {
        const int64_t bytes = dib.source_stride;
        for (int64_t i = 0; i < bytes; ++i) dst[i] = invert ? (uint8_t)~src[i] : src[i];
        break;
    }
    case 4:
        for (int x = 0; x < width; ++x) {
            const int index = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
            write_indexed(dib, index, dst + (int64_t)x * step, target_bits);
        }
        break;
    case 8:
        for (int x = 0; x < width; ++x) write_indexed(dib, src[x], dst + (int64_t)x * step, target_bits);
        break;
    case 16: {
        const bool five_six_five = dib.compression == BI_BITFIELDS_VALUE && dib.green_mask == 0x07E0;
        for (int x = 0; x < width; ++x) {
            const unsigned v = read_u16(src + (int64_t)x * 2);
            unsigned red, green;
            if (five_six_five) {
                red = ((v >> 11) & 31) * 255 / 31;
                green = ((v >> 5) & 63) * 255 / 63;
            } else {
                red = ((v >> 10) & 31) * 255 / 31;
                green = ((v >> 5) & 31) * 255 / 31;
            }
            uint8_t* p = dst + (int64_t)x * 3;
            p[0] = (uint8_t)((v & 31) * 255 / 31);
            p[1] = (uint8_t)green;
            p[2] = (uint8_t)red;
        }
        break;
    }
    case 24:
        mem_copy(dst, src, (size_t)width * 3);
        break;
    default:  // 32: blue, green, red and an ignored fourth byte
        for (int x = 0; x < width; ++x) {
            const uint8_t* s = src + (int64_t)x * 4;
            uint8_t* p = dst + (int64_t)x * 3;
            p[0] = s[0];
            p[1] = s[1];
            p[2] = s[2];
        }
        break;
    }
}

PageImage* page_image_from_dib(const void* dib, size_t size, int default_dpi) {
    if (!dib) return nullptr;
    DibLayout layout = {};
    if (!dib_read_layout(static_cast<const uint8_t*>(dib), size, default_dpi, &layout)) return nullptr;

    int target_bits = 24;
    if (layout.bit_count == 1)
        target_bits = 1;
    else if (layout.bit_count <= 8 && table_is_grey(layout))
        target_bits = 8;

    // So that the page always has 1 = the lighter colour, whatever order the table uses.
    bool invert = false;
    if (layout.bit_count == 1 && layout.table_entries > 1)
        invert = luminance_of_entry(layout.table + 4) < luminance_of_entry(layout.table);

    PageImage* page = page_create(layout.width, layout.height, target_bits, layout.dpi);
    if (!page) return nullptr;
    for (int y = 0; y < layout.height; ++y) {
        const int source_row = layout.bottom_up ? layout.height - 1 - y : y;
        const uint8_t* src = layout.rows + (int64_t)source_row * layout.source_stride;
        uint8_t* dst = row_of(page, y);
        // Padding is at most the last 3 bytes of a row; the pixels overwrite the rest.
        mem_fill(dst + page->stride - 4, 0, 4);
        convert_dib_row(layout, src, dst, target_bits, invert);
    }
    return page;
}

// ---- conversions

PageImage* page_image_clone(const PageImage* page) {
    if (!page_is_valid(page)) return nullptr;
    PageImage* copy = page_create(page->width, page->height, page->bits_per_pixel, page->dpi);
    if (!copy) return nullptr;
    // The source may carry wider rows than the copy (a wrapped bitmap's stride): copy row by
    // row, never more than the copy's own row holds.
    if (page->stride == copy->stride) {
        mem_copy(copy->pixels, page->pixels, (size_t)((int64_t)page->stride * page->height));
        return copy;
    }
    for (int y = 0; y < page->height; ++y) mem_copy(row_of(copy, y), row_of(page, y), (size_t)copy->stride);
    return copy;
}

PageImage* page_image_to_grey(const PageImage* page) {
    if (!page_is_valid(page)) return nullptr;
    PageImage* grey = page_create(page->width, page->height, 8, page->dpi);
    if (!grey) return nullptr;
    const int width = page->width;
    for (int y = 0; y < page->height; ++y) {
        const uint8_t* src = row_of(page, y);
        uint8_t* dst = row_of(grey, y);
        mem_fill(dst + width, 0, (size_t)(grey->stride - width));
        if (page->bits_per_pixel == 8) {
            mem_copy(dst, src, (size_t)width);
        } else if (page->bits_per_pixel == 1) {
            for (int x = 0; x < width; ++x) dst[x] = bit_is_set(src, x) ? 255 : 0;
        } else {
            for (int x = 0; x < width; ++x, src += 3) dst[x] = grey_of(src[2], src[1], src[0]);
        }
    }
    return grey;
}

PageImage* page_image_to_rgb(const PageImage* page) {
    if (!page_is_valid(page)) return nullptr;
    PageImage* rgb = page_create(page->width, page->height, 24, page->dpi);
    if (!rgb) return nullptr;
    const int width = page->width;
    const int64_t used = (int64_t)width * 3;
    for (int y = 0; y < page->height; ++y) {
        const uint8_t* src = row_of(page, y);
        uint8_t* dst = row_of(rgb, y);
        mem_fill(dst + used, 0, (size_t)(rgb->stride - used));
        if (page->bits_per_pixel == 24) {
            mem_copy(dst, src, (size_t)used);
            continue;
        }
        for (int x = 0; x < width; ++x, dst += 3) {
            const uint8_t v = page->bits_per_pixel == 8 ? src[x] : (bit_is_set(src, x) ? 255 : 0);
            dst[0] = dst[1] = dst[2] = v;
        }
    }
    return rgb;
}

PageImage* page_image_threshold(const PageImage* page, int threshold) {
    if (!page_is_valid(page)) return nullptr;
    PageImage* temporary = nullptr;
    const PageImage* grey = page;
    if (page->bits_per_pixel != 8) {
        temporary = page_image_to_grey(page);
        if (!temporary) return nullptr;
        grey = temporary;
    }
    PageImage* mono = page_create(page->width, page->height, 1, page->dpi);
    if (mono) {
        for (int y = 0; y < page->height; ++y) {
            const uint8_t* src = row_of(grey, y);
            uint8_t* dst = row_of(mono, y);
            mem_fill(dst, 0xFF, (size_t)mono->stride);
            for (int x = 0; x < page->width; ++x)
                if (src[x] < threshold) clear_bit(dst, x);
        }
    }
    page_image_free(temporary);
    return mono;
}

// ---- geometry

PageImage* page_image_rotate90(const PageImage* page, bool clockwise) {
    if (!page_is_valid(page)) return nullptr;
    const int w = page->width;
    const int h = page->height;
    PageImage* out = page_create(h, w, page->bits_per_pixel, page->dpi);
    if (!out) return nullptr;
    const int64_t out_row_bytes = page_image_row_bytes(h, page->bits_per_pixel);
    for (int y = 0; y < w; ++y) mem_fill(row_of(out, y) + out_row_bytes, 0, (size_t)(out->stride - out_row_bytes));
    if (page->bits_per_pixel == 1) {
        mem_fill(out->pixels, 0xFF, (size_t)((int64_t)out->stride * out->height));
        for (int y = 0; y < h; ++y) {
            const uint8_t* src = row_of(page, y);
            const int tx = clockwise ? h - 1 - y : y;
            for (int x = 0; x < w; ++x)
                if (!bit_is_set(src, x)) clear_bit(row_of(out, clockwise ? x : w - 1 - x), tx);
        }
        return out;
    }
    const int bytes = page->bits_per_pixel / 8;
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = row_of(page, y);
        const int64_t tx = clockwise ? h - 1 - y : y;
        for (int x = 0; x < w; ++x) {
            uint8_t* dst = row_of(out, clockwise ? x : w - 1 - x) + tx * bytes;
            const uint8_t* s = src + (int64_t)x * bytes;
            for (int b = 0; b < bytes; ++b) dst[b] = s[b];
        }
    }
    return out;
}

PageImage* page_image_crop(const PageImage* page, int x, int y, int w, int h) {
    if (!page_is_valid(page)) return nullptr;
    const int width = page->width;
    const int height = page->height;
    x = x < 0 ? 0 : (x > width - 1 ? width - 1 : x);
    y = y < 0 ? 0 : (y > height - 1 ? height - 1 : y);
    if (w > width - x) w = width - x;
    if (h > height - y) h = height - y;
    if (w <= 0 || h <= 0) return page_image_clone(page);

    PageImage* out = page_create(w, h, page->bits_per_pixel, page->dpi);
    if (!out) return nullptr;
    for (int row = 0; row < h; ++row) {
        const uint8_t* src = row_of(page, y + row);
        uint8_t* dst = row_of(out, row);
        if (page->bits_per_pixel == 1) {
            mem_fill(dst, 0xFF, (size_t)out->stride);
            for (int col = 0; col < w; ++col)
                if (!bit_is_set(src, x + col)) clear_bit(dst, col);
            continue;
        }
        const int bytes = page->bits_per_pixel / 8;
        const int64_t used = (int64_t)w * bytes;
        mem_copy(dst, src + (int64_t)x * bytes, (size_t)used);
        mem_fill(dst + used, 0, (size_t)(out->stride - used));
    }
    return out;
}

// Target column k averages source columns first_column[k] .. first_column[k + 1] - 1.
// Each run is summed in registers and added to the band's sums once, which keeps the
// loop free of read-modify-write chains through memory.
template <typename Sum>
static void add_row(const PageImage* page, const uint8_t* src, const int* first_column, int out_width, Sum* sums) {
    for (int k = 0; k < out_width; ++k) {
        const int from = first_column[k];
        const int to = first_column[k + 1];
        if (page->bits_per_pixel == 24) {
            Sum blue = 0, green = 0, red = 0;
            for (const uint8_t* p = src + (int64_t)from * 3; p < src + (int64_t)to * 3; p += 3) {
                blue += p[0];
                green += p[1];
                red += p[2];
            }
            sums[(int64_t)k * 3] += blue;
            sums[(int64_t)k * 3 + 1] += green;
            sums[(int64_t)k * 3 + 2] += red;
        } else if (page->bits_per_pixel == 8) {
            Sum grey = 0;
            for (int x = from; x < to; ++x) grey += src[x];
            sums[k] += grey;
        } else {
            Sum white = 0;
            for (int x = from; x < to; ++x)
                if (bit_is_set(src, x)) white += 255;
            sums[k] += white;
        }
    }
}

// Each target row: the sums of its band of source rows per target column, then the
// averages. The caller picks a Sum type wide enough for the largest block.
template <typename Sum>
static bool scale_rows(const PageImage* page, PageImage* out, const int* first_column) {
    const int channels = page->bits_per_pixel == 24 ? 3 : 1;
    const int out_width = out->width;
    const int64_t out_used = (int64_t)out_width * channels;
    Sum* sums = static_cast<Sum*>(mem_alloc_array((size_t)out_used, sizeof(Sum)));
    if (!sums) return false;
    const int64_t height = page->height;
    const int64_t out_height = out->height;
    for (int64_t i = 0; i < out_height; ++i) {
        const int64_t first = i * height / out_height;
        int64_t end = (i + 1) * height / out_height;
        if (end < first + 1) end = first + 1;
        if (end > height) end = height;
        mem_fill(sums, 0, (size_t)out_used * sizeof(Sum));
        for (int64_t y = first; y < end; ++y) add_row(page, row_of(page, (int)y), first_column, out_width, sums);
        const Sum rows = (Sum)(end - first);
        uint8_t* dst = row_of(out, (int)i);
        for (int k = 0; k < out_width; ++k) {
            const Sum area = rows * (Sum)(first_column[k + 1] - first_column[k]);
            for (int c = 0; c < channels; ++c)
                dst[(int64_t)k * channels + c] = (uint8_t)(sums[(int64_t)k * channels + c] / area);
        }
        mem_fill(dst + out_used, 0, (size_t)(out->stride - out_used));
    }
    mem_free(sums);
    return true;
}

PageImage* page_image_scale_to_fit(const PageImage* page, int max_width, int max_height) {
    if (!page_is_valid(page)) return nullptr;
    const int width = page->width;
    const int height = page->height;
    double s = 1.0;
    if (max_width < width) s = (double)max_width / width;
    if (max_height < s * height) s = (double)max_height / height;
    if (s >= 1.0) return page->bits_per_pixel == 1 ? page_image_to_grey(page) : page_image_clone(page);

    int out_width = (int)(width * s);
    int out_height = (int)(height * s);
    if (out_width < 1) out_width = 1;
    if (out_height < 1) out_height = 1;
    PageImage* out = page_create(out_width, out_height, page->bits_per_pixel == 24 ? 24 : 8, page->dpi);
    if (!out) return nullptr;

    // Column edges k * W / W'. This is a reduction (W' <= W), so every range holds at
    // least one column and the ranges tile the row.
    int* first_column = static_cast<int*>(mem_alloc_array((size_t)out_width + 1, sizeof(int)));
    if (!first_column) {
        page_image_free(out);
        return nullptr;
    }
    for (int k = 0; k <= out_width; ++k) first_column[k] = (int)((int64_t)k * width / out_width);
    const int64_t widest = (width + out_width - 1) / out_width + 1;
    const int64_t tallest = (height + out_height - 1) / out_height + 1;
    // 32-bit sums are faster in the 32-bit process; the largest reductions need 64.
    const bool narrow = widest * tallest * 255 < (int64_t)UINT32_MAX;
    const bool done = narrow ? scale_rows<uint32_t>(page, out, first_column)
                             : scale_rows<uint64_t>(page, out, first_column);
    mem_free(first_column);
    if (done) return out;
    page_image_free(out);
    return nullptr;
}

PageImage* page_image_analysis_copy(const PageImage* page, int box) {
    PageImage* scaled = page_image_scale_to_fit(page, box, box);
    if (!scaled || scaled->bits_per_pixel == 8) return scaled;
    PageImage* grey = page_image_to_grey(scaled);
    page_image_free(scaled);
    return grey;
}

// ---- display

bool page_image_write_bgra(const PageImage* page, uint8_t* dst, int64_t dst_stride) {
    if (!page_is_valid(page) || !dst || page->bits_per_pixel == 1) return false;
    for (int y = 0; y < page->height; ++y) {
        const uint8_t* src = row_of(page, y);
        uint8_t* out = dst + (int64_t)y * dst_stride;
        for (int x = 0; x < page->width; ++x, out += 4) {
            if (page->bits_per_pixel == 24) {
                out[0] = src[(int64_t)x * 3];
                out[1] = src[(int64_t)x * 3 + 1];
                out[2] = src[(int64_t)x * 3 + 2];
            } else {
                out[0] = out[1] = out[2] = src[x];
            }
            out[3] = 255;
        }
    }
    return true;
}
