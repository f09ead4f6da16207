// image/page_store.cpp
// Pages in memory up to a budget of pixel bytes; beyond it the least recently used
// unpinned pages are parked in one scratch file (core/file.h: no sharing, deleted on
// close). A parked page keeps its place in the file after it is read back, so parking it
// again costs nothing until it is replaced or removed. The file's free space is a sorted
// list of extents: a removed page's space goes to the next page that fits, and space at
// the end of the file is cut off. Every parked copy carries a checksum of its rows, so a
// damaged or short read is an error and never a torn page. One lock guards the store:
// the save worker pins while the interface thread reads thumbnails and adds pages.
#include "image/page_store.h"

#include <zlib.h>

#include "core/file.h"
#include "core/heap.h"
#include "core/system.h"
#include "core/wide_string.h"
#include "core/zlib_buffer.h"

struct StoredPage {
    PageImage* image;        // null while parked
    PageImage header;        // size fields of the page, pixels null
    int64_t bytes;           // stride * height
    int pins;
    uint64_t last_use;       // the store's use counter at the last add, pin or unpin
    int index;               // position in the store's page array
    // The parked copy; it stays valid after a read-back until the pixels change.
    bool on_disk;
    bool compressed;
    int64_t file_offset;
    int64_t file_length;
    uint64_t checksum;       // rows_checksum of the rows
    PageThumbnail thumbnail;
};

struct Extent {
    int64_t offset;
    int64_t length;
};

struct PageStore {
    Lock* lock;
    int64_t budget;
    WideString temp_folder;  // empty: the user's temporary folder
    bool compress;
    int64_t temp_file_limit;
    PageThumbnailRelease release_thumbnail;

    StoredPage** pages;
    int count;
    int capacity;
    uint64_t clock;
    int64_t resident_bytes;

    ScratchFile file;        // opened on the first park
    int64_t file_end;
    int64_t file_peak;
    Extent* free_extents;    // sorted by offset, never adjacent
    int free_count;
    int free_capacity;

    int64_t parks;
    int64_t loads;
    int park_failures;
    bool failure_reported;   // since the last successful park
    int warning;
    // Set once the pages outgrew the budget: from then on pages are written as they
    // arrive, so that making room later only frees memory and a pin costs one read.
    bool write_through;
};

// ---- zlib through the program's heap

static voidpf zlib_alloc(voidpf, uInt items, uInt size) {
    return mem_alloc_array(items, size);
}

static void zlib_free(voidpf, voidpf block) {
    mem_free(block);
}

// One little-endian 64-bit word; the compiler makes this a single load.
static inline uint64_t read_word(const uint8_t* p) {
    uint64_t w;
    __builtin_memcpy(&w, p, sizeof w);
    return w;
}

// A Fletcher-style sum over 64-bit words in four lanes: each lane keeps a running sum and
// a sum of those sums, so a changed byte, a block of zeros or a block read from the wrong
// place changes the result. Several times faster than Adler-32, which matters because
// every park and every read-back of a 26 MB page runs it.
static uint64_t rows_checksum(const uint8_t* bytes, int64_t count) {
    uint64_t a0 = 1, a1 = 2, a2 = 3, a3 = 4;
    uint64_t b0 = 0, b1 = 0, b2 = 0, b3 = 0;
    int64_t k = 0;
    for (; k + 32 <= count; k += 32) {
        a0 += read_word(bytes + k);
        a1 += read_word(bytes + k + 8);
        a2 += read_word(bytes + k + 16);
        a3 += read_word(bytes + k + 24);
        b0 += a0;
        b1 += a1;
        b2 += a2;
        b3 += a3;
    }
    for (; k < count; ++k) {
        a0 += bytes[k];
        b0 += a0;
    }
    const uint64_t lanes[8] = {a0, b0, a1, b1, a2, b2, a3, b3};
    uint64_t result = (uint64_t)count;
    for (uint64_t lane : lanes) result = (result ^ lane) * 0x100000001B3ull + (result >> 29);
    return result;
}

// Inflates exactly `size` bytes into out. False for a damaged, short or long stream.
static bool inflate_exact(const uint8_t* packed, int64_t packed_length, uint8_t* out, int64_t size) {
    z_stream z = {};
    z.zalloc = zlib_alloc;
    z.zfree = zlib_free;
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(packed);
    z.avail_in = (uInt)packed_length;
    z.next_out = out;
    z.avail_out = (uInt)size;
    const int result = inflate(&z, Z_FINISH);
    const bool ok = result == Z_STREAM_END && (int64_t)z.total_out == size && z.avail_in == 0;
    inflateEnd(&z);
    return ok;
}

// ---- space in the temporary file

static bool reserve_extents(PageStore* s, int needed) {
    if (needed <= s->free_capacity) return true;
    const int capacity = s->free_capacity ? s->free_capacity * 2 : 16;
    void* grown = mem_realloc(s->free_extents, (size_t)capacity * sizeof(Extent));
    if (!grown) return false;
    s->free_extents = static_cast<Extent*>(grown);
    s->free_capacity = capacity;
    return true;
}

// First fit among the free extents, else the end of the file.
static int64_t take_space(PageStore* s, int64_t length) {
    for (int k = 0; k < s->free_count; ++k) {
        Extent& e = s->free_extents[k];
        if (e.length < length) continue;
        const int64_t offset = e.offset;
        e.offset += length;
        e.length -= length;
        if (e.length == 0) {
            for (int j = k + 1; j < s->free_count; ++j) s->free_extents[j - 1] = s->free_extents[j];
            --s->free_count;
        }
        return offset;
    }
    const int64_t offset = s->file_end;
    s->file_end += length;
    if (s->file_end > s->file_peak) s->file_peak = s->file_end;
    return offset;
}

// Returns an extent to the free list, joining its neighbours; free space that reaches the
// end of the file is cut off the file. Space that cannot be listed (no memory) is lost
// until the store closes, which is harmless.
static void give_space(PageStore* s, int64_t offset, int64_t length) {
    if (length <= 0) return;
    int at = 0;
    while (at < s->free_count && s->free_extents[at].offset < offset) ++at;
    if (at > 0 && s->free_extents[at - 1].offset + s->free_extents[at - 1].length == offset) {
        --at;
        s->free_extents[at].length += length;
    } else {
        if (!reserve_extents(s, s->free_count + 1)) return;
        for (int j = s->free_count; j > at; --j) s->free_extents[j] = s->free_extents[j - 1];
        s->free_extents[at] = Extent{offset, length};
        ++s->free_count;
    }
    if (at + 1 < s->free_count &&
        s->free_extents[at].offset + s->free_extents[at].length == s->free_extents[at + 1].offset) {
        s->free_extents[at].length += s->free_extents[at + 1].length;
        for (int j = at + 2; j < s->free_count; ++j) s->free_extents[j - 1] = s->free_extents[j];
        --s->free_count;
    }
    const Extent& last = s->free_extents[s->free_count - 1];
    if (last.offset + last.length == s->file_end) {
        s->file_end = last.offset;
        --s->free_count;
        if (s->file.handle) scratch_file_truncate(&s->file, s->file_end);
    }
}

static void drop_disk_copy(PageStore* s, StoredPage* p) {
    if (p->on_disk) give_space(s, p->file_offset, p->file_length);
    p->on_disk = false;
    p->file_length = 0;
}

// ---- parking and reading back

static void note_park_failure(PageStore* s) {
    ++s->park_failures;
    if (!s->failure_reported) s->warning = PAGE_STORE_MESSAGE_NO_SPACE;
    s->failure_reported = true;
}

static bool write_copy(PageStore* s, StoredPage* p) {
    if (!s->file.handle) {
        if (!scratch_file_open(&s->file, s->temp_folder.length > 0 ? s->temp_folder.data : nullptr)) return false;
        s->file.size_limit = s->temp_file_limit;
    }
    const uint8_t* data = p->image->pixels;
    int64_t length = p->bytes;
    ByteBuffer packed = {};
    // Compressed only when that is smaller; a page past the buffer's int range stays raw.
    if (s->compress && p->bytes < 0x7fff0000 && deflate_buffer(data, (int)p->bytes, 1, &packed) &&
        packed.length < p->bytes) {
        data = packed.data;
        length = packed.length;
    }
    const int64_t offset = take_space(s, length);
    const bool ok = scratch_file_write_at(&s->file, offset, data, length);
    if (ok) {
        p->on_disk = true;
        p->compressed = data == packed.data;
        p->file_offset = offset;
        p->file_length = length;
        p->checksum = rows_checksum(p->image->pixels, p->bytes);
    } else {
        give_space(s, offset, length);
    }
    release(&packed);
    return ok;
}

// Gives the page its parked copy unless it has one; the pixels stay in memory. A failed
// write is counted and warned about once.
static bool write_early(PageStore* s, StoredPage* p) {
    if (p->on_disk) return true;
    if (!write_copy(s, p)) {
        note_park_failure(s);
        return false;
    }
    ++s->parks;
    s->failure_reported = false;
    return true;
}

// Moves an unpinned page's pixels out of memory. False (page unchanged) on a write failure.
static bool park(PageStore* s, StoredPage* p) {
    s->write_through = true;
    if (!write_early(s, p)) return false;
    page_image_free(p->image);
    p->image = nullptr;
    s->resident_bytes -= p->bytes;
    return true;
}

// Parks the least recently used unpinned pages until `incoming` more bytes fit the
// budget, or nothing more can be parked. After a failed write only pages that already
// have a parked copy are let go: the disk that refused one page will refuse the next,
// and each try costs a write.
static void keep_budget(PageStore* s, int64_t incoming) {
    bool disk_refused = false;
    while (s->resident_bytes + incoming > s->budget) {
        StoredPage* oldest = nullptr;
        for (int k = 0; k < s->count; ++k) {
            StoredPage* p = s->pages[k];
            if (!p->image || p->pins > 0 || (disk_refused && !p->on_disk)) continue;
            if (!oldest || p->last_use < oldest->last_use) oldest = p;
        }
        if (!oldest) return;
        if (!park(s, oldest)) disk_refused = true;
    }
}

static bool read_copy(PageStore* s, StoredPage* p, PageImage* image) {
    if (!p->compressed)
        return scratch_file_read_at(&s->file, p->file_offset, image->pixels, p->bytes) &&
               rows_checksum(image->pixels, p->bytes) == p->checksum;
    uint8_t* packed = static_cast<uint8_t*>(mem_alloc((size_t)p->file_length));
    const bool ok = packed && scratch_file_read_at(&s->file, p->file_offset, packed, p->file_length) &&
                    inflate_exact(packed, p->file_length, image->pixels, p->bytes) &&
                    rows_checksum(image->pixels, p->bytes) == p->checksum;
    mem_free(packed);
    return ok;
}

static int load(PageStore* s, StoredPage* p) {
    keep_budget(s, p->bytes);
    const PageImage& h = p->header;
    PageImage* image = page_image_new();
    if (!image || !page_image_alloc(image, h.width, h.height, h.bits_per_pixel, h.dpi)) {
        page_image_free(image);
        return PAGE_STORE_MESSAGE_NO_SPACE;
    }
    if (!read_copy(s, p, image)) {
        page_image_free(image);
        return PAGE_STORE_MESSAGE_READ_FAILED;
    }
    ++s->loads;
    p->image = image;
    s->resident_bytes += p->bytes;
    return 0;
}

// ---- the store

PageStore* page_store_open(const PageStoreOptions* options) {
    PageStore* s = static_cast<PageStore*>(mem_alloc(sizeof(PageStore)));
    if (!s) return nullptr;
    s->lock = lock_create();
    if (!s->lock || (options && options->temp_folder && !assign(&s->temp_folder, options->temp_folder))) {
        page_store_close(s);
        return nullptr;
    }
    s->budget = options && options->memory_budget > 0 ? options->memory_budget : PAGE_STORE_DEFAULT_BUDGET;
    if (options) {
        s->compress = options->compress;
        s->temp_file_limit = options->temp_file_limit;
        s->release_thumbnail = options->release_thumbnail;
    }
    return s;
}

static void free_thumbnail(PageStore* s, StoredPage* p) {
    if (p->thumbnail.bitmap && s->release_thumbnail) s->release_thumbnail(p->thumbnail.bitmap);
    p->thumbnail = PageThumbnail{};
}

void page_store_close(PageStore* s) {
    if (!s) return;
    for (int k = 0; k < s->count; ++k) {
        free_thumbnail(s, s->pages[k]);
        page_image_free(s->pages[k]->image);
        mem_free(s->pages[k]);
    }
    mem_free(s->pages);
    mem_free(s->free_extents);
    scratch_file_close(&s->file);
    release(&s->temp_folder);
    if (s->lock) lock_destroy(s->lock);
    mem_free(s);
    page_image_release_kept_block();
}

static PageImage header_of(const PageImage* image) {
    PageImage h = *image;
    h.pixels = nullptr;
    return h;
}

StoredPage* page_store_add(PageStore* s, PageImage* image) {
    if (!s || !image || !image->pixels) return nullptr;
    StoredPage* p = static_cast<StoredPage*>(mem_alloc(sizeof(StoredPage)));
    if (!p) return nullptr;
    lock_enter(s->lock);
    if (s->count == s->capacity) {
        const int capacity = s->capacity ? s->capacity * 2 : 8;
        void* grown = mem_realloc(s->pages, (size_t)capacity * sizeof(StoredPage*));
        if (!grown) {
            lock_leave(s->lock);
            mem_free(p);
            return nullptr;
        }
        s->pages = static_cast<StoredPage**>(grown);
        s->capacity = capacity;
    }
    p->header = header_of(image);
    p->bytes = (int64_t)image->stride * image->height;
    keep_budget(s, p->bytes);
    p->image = image;
    p->index = s->count;
    p->last_use = ++s->clock;
    s->pages[s->count++] = p;
    s->resident_bytes += p->bytes;
    // A page larger than the whole budget goes to the file at once.
    keep_budget(s, 0);
    if (s->write_through && p->image) write_early(s, p);
    lock_leave(s->lock);
    return p;
}

const PageImage* page_store_pin(PageStore* s, StoredPage* p, int* message_id) {
    *message_id = 0;
    lock_enter(s->lock);
    if (!p->image) *message_id = load(s, p);
    const PageImage* image = p->image;
    if (image) {
        ++p->pins;
        p->last_use = ++s->clock;
    }
    lock_leave(s->lock);
    return image;
}

void page_store_unpin(PageStore* s, StoredPage* p) {
    lock_enter(s->lock);
    if (p->pins > 0) --p->pins;
    p->last_use = ++s->clock;
    keep_budget(s, 0);
    lock_leave(s->lock);
}

static void drop_pixels(PageStore* s, StoredPage* p) {
    if (p->image) s->resident_bytes -= p->bytes;
    page_image_free(p->image);
    p->image = nullptr;
    drop_disk_copy(s, p);
    free_thumbnail(s, p);
}

bool page_store_replace(PageStore* s, StoredPage* p, PageImage* image) {
    if (!image || !image->pixels) return false;
    lock_enter(s->lock);
    const bool ok = p->pins == 0;
    if (ok) {
        drop_pixels(s, p);
        p->header = header_of(image);
        p->bytes = (int64_t)image->stride * image->height;
        keep_budget(s, p->bytes);
        p->image = image;
        s->resident_bytes += p->bytes;
        p->last_use = ++s->clock;
        keep_budget(s, 0);
        if (s->write_through && p->image) write_early(s, p);
    }
    lock_leave(s->lock);
    return ok;
}

bool page_store_remove(PageStore* s, StoredPage* p) {
    lock_enter(s->lock);
    const bool ok = p->pins == 0;
    if (ok) {
        drop_pixels(s, p);
        for (int k = p->index + 1; k < s->count; ++k) {
            s->pages[k - 1] = s->pages[k];
            s->pages[k - 1]->index = k - 1;
        }
        --s->count;
        mem_free(p);
        if (s->count == 0) s->write_through = false;
    }
    const bool empty = s->count == 0;
    lock_leave(s->lock);
    if (ok && empty) page_image_release_kept_block();
    return ok;
}

PageImage page_store_header(PageStore* s, const StoredPage* p) {
    lock_enter(s->lock);
    const PageImage h = p->header;
    lock_leave(s->lock);
    return h;
}

PageThumbnail* page_store_thumbnail(StoredPage* p) {
    return &p->thumbnail;
}

PageStoreStats page_store_stats(PageStore* s) {
    PageStoreStats stats = {};
    lock_enter(s->lock);
    stats.pages = s->count;
    for (int k = 0; k < s->count; ++k) {
        if (s->pages[k]->pins > 0) ++stats.pinned;
        if (!s->pages[k]->image) ++stats.parked;
    }
    stats.resident_bytes = s->resident_bytes;
    stats.budget = s->budget;
    stats.temp_file_bytes = s->file_end;
    stats.temp_file_peak_bytes = s->file_peak;
    stats.parks = s->parks;
    stats.loads = s->loads;
    stats.park_failures = s->park_failures;
    lock_leave(s->lock);
    return stats;
}

int page_store_take_warning(PageStore* s) {
    lock_enter(s->lock);
    const int warning = s->warning;
    s->warning = 0;
    lock_leave(s->lock);
    return warning;
}

ScratchFile* page_store_file(PageStore* s) {
    return &s->file;
}
