// output/tiff_writer.cpp
// Layout of each page: its directory (13 entries, the tags in ascending order as TIFF
// requires), the values that do not fit an entry (bits per sample of RGB, the two
// resolutions), then the page's one strip. The directory's next-page link can be
// written up front because the strip is encoded in memory before the directory is
// written, so the file is produced strictly front to back.
//
// LZW follows the TIFF 6.0 description (section 13), with the code width growing when
// the next code would not fit, as libtiff and every reader expect. Group 4 follows
// ITU-T T.6: pass, horizontal and vertical modes against the previous row, the first
// row coded against an imaginary white one; runs use the T.4 code tables below.
#include "output/tiff_writer.h"

#include "core/heap.h"

// ---- bits, most significant first

namespace {

struct BitWriter {
    ByteBuffer* out;
    uint32_t pending;   // bits not yet written, right-aligned
    int count;          // how many
    bool ok;
};

void put_bits(BitWriter* b, uint32_t value, int length) {
    b->pending = (b->pending << length) | (value & ((1u << length) - 1));
    b->count += length;
    while (b->count >= 8) {
        const uint8_t byte = (uint8_t)(b->pending >> (b->count - 8));
        b->ok = append_bytes(b->out, &byte, 1) && b->ok;
        b->count -= 8;
    }
    b->pending &= (1u << b->count) - 1;
}

// A code written as its bit string, as the standards print them.
void put_code(BitWriter* b, const char* bits) {
    for (; *bits; ++bits) put_bits(b, *bits == '1' ? 1u : 0u, 1);
}

void flush_bits(BitWriter* b) {
    if (b->count > 0) put_bits(b, 0, 8 - b->count);
}

// ---- LZW

const int kLzwClear = 256;
const int kLzwEnd = 257;
const int kLzwFirst = 258;
const int kLzwMaxCode = 4095;
const int kHashSize = 8192;   // more than twice the 3838 entries one table can hold

struct LzwEncoder {
    BitWriter bits;
    int32_t keys[kHashSize];   // (prefix << 8 | byte) + 1, 0 = free slot
    int16_t codes[kHashSize];
    int prefix;                // -1 before the first byte
    int next_code;
    int width;
};

void lzw_reset(LzwEncoder* e) {
    mem_fill(e->keys, 0, sizeof e->keys);
    e->next_code = kLzwFirst;
    e->width = 9;
}

void lzw_start(LzwEncoder* e, ByteBuffer* out) {
    e->bits = BitWriter{out, 0, 0, true};
    e->prefix = -1;
    lzw_reset(e);
    put_bits(&e->bits, kLzwClear, e->width);
}

// After a code is written its table entry counts as made, whether or not it was stored.
void lzw_count_entry(LzwEncoder* e) {
    ++e->next_code;
    if (e->next_code == kLzwMaxCode - 1) {
        put_bits(&e->bits, kLzwClear, e->width);
        lzw_reset(e);
    } else if (e->next_code > (1 << e->width) - 1) {
        ++e->width;
    }
}

void lzw_put(LzwEncoder* e, uint8_t byte) {
    if (e->prefix < 0) {
        e->prefix = byte;
        return;
    }
    const int32_t key = (e->prefix << 8 | byte) + 1;
    uint32_t slot = ((uint32_t)key * 2654435761u) >> 19;   // 13 bits
    while (e->keys[slot] != 0) {
        if (e->keys[slot] == key) {
            e->prefix = e->codes[slot];
            return;
        }
        slot = (slot + 1) & (kHashSize - 1);
    }
    put_bits(&e->bits, (uint32_t)e->prefix, e->width);
    e->keys[slot] = key;
    e->codes[slot] = (int16_t)e->next_code;
    e->prefix = byte;
    lzw_count_entry(e);
}

bool lzw_finish(LzwEncoder* e) {
    if (e->prefix >= 0) {
        put_bits(&e->bits, (uint32_t)e->prefix, e->width);
        lzw_count_entry(e);
    }
    put_bits(&e->bits, kLzwEnd, e->width);
    flush_bits(&e->bits);
    return e->bits.ok;
}

// ---- group 4

struct RunCode {
    const char* bits;
};

// T.4 terminating codes, run lengths 0..63.
const RunCode kWhiteTerminating[64] = {
    {"00110101"}, {"000111"}, {"0111"}, {"1000"}, {"1011"}, {"1100"}, {"1110"}, {"1111"},
    {"10011"}, {"10100"}, {"00111"}, {"01000"}, {"001000"}, {"000011"}, {"110100"}, {"110101"},
    {"101010"}, {"101011"}, {"0100111"}, {"0001100"}, {"0001000"}, {"0010111"}, {"0000011"}, {"0000100"},
    {"0101000"}, {"0101011"}, {"0010011"}, {"0100100"}, {"0011000"}, {"00000010"}, {"00000011"}, {"00011010"},
    {"00011011"}, {"00010010"}, {"00010011"}, {"00010100"}, {"00010101"}, {"00010110"}, {"00010111"}, {"00101000"},
    {"00101001"}, {"00101010"}, {"00101011"}, {"00101100"}, {"00101101"}, {"00000100"}, {"00000101"}, {"00001010"},
    {"00001011"}, {"01010010"}, {"01010011"}, {"01010100"}, {"01010101"}, {"00100100"}, {"00100101"}, {"01011000"},
    {"01011001"}, {"01011010"}, {"01011011"}, {"01001010"}, {"01001011"}, {"00110010"}, {"00110011"}, {"00110100"},
};
const RunCode kBlackTerminating[64] = {
    {"0000110111"}, {"010"}, {"11"}, {"10"}, {"011"}, {"0011"}, {"0010"}, {"00011"},
    {"000101"}, {"000100"}, {"0000100"}, {"0000101"}, {"0000111"}, {"00000100"}, {"00000111"}, {"000011000"},
    {"0000010111"}, {"0000011000"}, {"0000001000"}, {"00001100111"}, {"00001101000"}, {"00001101100"},
    {"00000110111"}, {"00000101000"}, {"00000010111"}, {"00000011000"}, {"000011001010"}, {"000011001011"},
    {"000011001100"}, {"000011001101"}, {"000001101000"}, {"000001101001"}, {"000001101010"}, {"000001101011"},
    {"000011010010"}, {"000011010011"}, {"000011010100"}, {"000011010101"}, {"000011010110"}, {"000011010111"},
    {"000001101100"}, {"000001101101"}, {"000011011010"}, {"000011011011"}, {"000001010100"}, {"000001010101"},
    {"000001010110"}, {"000001010111"}, {"000001100100"}, {"000001100101"}, {"000001010010"}, {"000001010011"},
    {"000000100100"}, {"000000110111"}, {"000000111000"}, {"000000100111"}, {"000000101000"}, {"000001011000"},
    {"000001011001"}, {"000000101011"}, {"000000101100"}, {"000001011010"}, {"000001100110"}, {"000001100111"},
};
// Make-up codes for 64, 128, ... 1728.
const RunCode kWhiteMakeUp[27] = {
    {"11011"}, {"10010"}, {"010111"}, {"0110111"}, {"00110110"}, {"00110111"}, {"01100100"},
    {"01100101"}, {"01101000"}, {"01100111"}, {"011001100"}, {"011001101"}, {"011010010"}, {"011010011"},
    {"011010100"}, {"011010101"}, {"011010110"}, {"011010111"}, {"011011000"}, {"011011001"}, {"011011010"},
    {"011011011"}, {"010011000"}, {"010011001"}, {"010011010"}, {"011000"}, {"010011011"},
};
const RunCode kBlackMakeUp[27] = {
    {"0000001111"}, {"000011001000"}, {"000011001001"}, {"000001011011"}, {"000000110011"},
    {"000000110100"}, {"000000110101"}, {"0000001101100"}, {"0000001101101"}, {"0000001001010"},
    {"0000001001011"}, {"0000001001100"}, {"0000001001101"}, {"0000001110010"}, {"0000001110011"},
    {"0000001110100"}, {"0000001110101"}, {"0000001110110"}, {"0000001110111"}, {"0000001010010"},
    {"0000001010011"}, {"0000001010100"}, {"0000001010101"}, {"0000001011010"}, {"0000001011011"},
    {"0000001100100"}, {"0000001100101"},
};
// Make-up codes for 1792, 1856, ... 2560, shared by both colours.
const RunCode kExtendedMakeUp[13] = {
    {"00000001000"}, {"00000001100"}, {"00000001101"}, {"000000010010"}, {"000000010011"},
    {"000000010100"}, {"000000010101"}, {"000000010110"}, {"000000010111"}, {"000000011100"},
    {"000000011101"}, {"000000011110"}, {"000000011111"},
};
// Vertical mode for b1 - a1 = -3 .. 3 (a1 right of b1 is VR).
const char* const kVertical[7] = {"0000011", "000011", "011", "1", "010", "000010", "0000010"};
const char kPass[] = "0001";
const char kHorizontal[] = "001";
const char kEndOfLine[] = "000000000001";

void put_run(BitWriter* b, int run, bool black) {
    while (run >= 2560) {
        put_code(b, kExtendedMakeUp[12].bits);
        run -= 2560;
    }
    if (run >= 1792) {
        put_code(b, kExtendedMakeUp[(run - 1792) / 64].bits);
        run %= 64;
    } else if (run >= 64) {
        put_code(b, (black ? kBlackMakeUp : kWhiteMakeUp)[run / 64 - 1].bits);
        run %= 64;
    }
    put_code(b, (black ? kBlackTerminating : kWhiteTerminating)[run].bits);
}

// 1 for black. A null row is the imaginary white row above the page.
int pixel(const uint8_t* row, int x) {
    return row && !((row[x >> 3] >> (7 - (x & 7))) & 1) ? 1 : 0;
}

// The first position at or after start whose colour is not `colour`; width if none.
int find_change(const uint8_t* row, int start, int width, int colour) {
    int x = start;
    while (x < width && pixel(row, x) == colour) ++x;
    return x;
}

int find_change_from(const uint8_t* row, int start, int width) {
    return start >= width ? width : find_change(row, start, width, pixel(row, start));
}

void g4_encode_row(BitWriter* b, const uint8_t* ref, const uint8_t* cur, int width) {
    int a0 = 0;
    int a1 = pixel(cur, 0) ? 0 : find_change(cur, 0, width, 0);
    int b1 = pixel(ref, 0) ? 0 : find_change(ref, 0, width, 0);
    for (;;) {
        const int b2 = find_change_from(ref, b1, width);
        if (b2 < a1) {
            put_code(b, kPass);
            a0 = b2;
        } else {
            const int d = b1 - a1;
            if (d >= -3 && d <= 3) {
                put_code(b, kVertical[d + 3]);
                a0 = a1;
            } else {
                const int a2 = find_change_from(cur, a1, width);
                put_code(b, kHorizontal);
                const bool black_first = !(a0 + a1 == 0 || pixel(cur, a0) == 0);
                put_run(b, a1 - a0, black_first);
                put_run(b, a2 - a1, !black_first);
                a0 = a2;
            }
        }
        if (a0 >= width) break;
        const int colour = pixel(cur, a0);
        a1 = find_change(cur, a0, width, colour);
        b1 = find_change(ref, a0, width, !colour);
        b1 = find_change(ref, b1, width, colour);
    }
}

}  // namespace

bool tiff_lzw_encode(const uint8_t* bytes, int64_t count, ByteBuffer* out) {
    LzwEncoder* e = static_cast<LzwEncoder*>(mem_alloc(sizeof(LzwEncoder)));
    if (!e) return false;
    lzw_start(e, out);
    for (int64_t k = 0; k < count; ++k) lzw_put(e, bytes[k]);
    const bool ok = lzw_finish(e);
    mem_free(e);
    return ok;
}

bool tiff_g4_encode(const PageImage* page, ByteBuffer* out) {
    if (!page || !page->pixels || page->bits_per_pixel != 1) return false;
    BitWriter b = {out, 0, 0, true};
    const uint8_t* ref = nullptr;
    for (int y = 0; y < page->height && b.ok; ++y) {
        const uint8_t* cur = page->pixels + (int64_t)y * page->stride;
        g4_encode_row(&b, ref, cur, page->width);
        ref = cur;
    }
    put_code(&b, kEndOfLine);
    put_code(&b, kEndOfLine);
    flush_bits(&b);
    return b.ok;
}

// ---- the file

namespace {

const int kEntryCount = 13;
const int kDirectoryBytes = 2 + kEntryCount * 12 + 4;
const int kExtraBytes = 6 + 2 + 8 + 8;   // RGB bits per sample (padded), two rationals
const uint64_t kOffsetLimit = 0xFFFFFFFFu;

// Colour rows as red, green, blue without the row padding; grey rows without padding.
bool encode_lzw_page(const PageImage* page, ByteBuffer* out) {
    LzwEncoder* e = static_cast<LzwEncoder*>(mem_alloc(sizeof(LzwEncoder)));
    if (!e) return false;
    lzw_start(e, out);
    for (int y = 0; y < page->height; ++y) {
        const uint8_t* row = page->pixels + (int64_t)y * page->stride;
        if (page->bits_per_pixel == 24) {
            for (int x = 0; x < page->width; ++x) {
                lzw_put(e, row[3 * x + 2]);
                lzw_put(e, row[3 * x + 1]);
                lzw_put(e, row[3 * x]);
            }
        } else {
            for (int x = 0; x < page->width; ++x) lzw_put(e, row[x]);
        }
    }
    const bool ok = lzw_finish(e);
    mem_free(e);
    return ok;
}

void put16(uint8_t* p, unsigned v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// One directory entry: type 3 (SHORT) or 4 (LONG) or 5 (RATIONAL); a single SHORT or
// LONG value sits in the entry itself, anything longer is an offset.
uint8_t* put_entry(uint8_t* p, unsigned tag, unsigned type, uint32_t count, uint32_t value) {
    put16(p, tag);
    put16(p + 2, type);
    put32(p + 4, count);
    if (type == 3 && count == 1)
        put16(p + 8, value);
    else
        put32(p + 8, value);
    return p + 12;
}

bool fail(TiffWriter* w, WideString* error, const wchar_t* message) {
    w->file.failed = true;
    assign(error, message);
    return false;
}

}  // namespace

bool tiff_writer_open(TiffWriter* w, const wchar_t* path, int page_count, WideString* error) {
    *w = TiffWriter{};
    w->page_count = page_count;
    create_parent_folders(path);
    if (page_count < 1 || !out_file_open(&w->file, path)) {
        format(error, L"cannot create %s (error %d)", path, page_count < 1 ? 0 : (int)last_error_code());
        return false;
    }
    // "II", 42, the first directory right behind the header.
    uint8_t header[8] = {'I', 'I', 42, 0};
    put32(header + 4, 8);
    w->offset = 8;
    if (!out_file_write(&w->file, header, sizeof header)) return fail(w, error, L"write error (disk full?)");
    return true;
}

bool tiff_writer_add_page(TiffWriter* w, const PageImage* page, WideString* error) {
    if (w->file.failed || w->pages_written >= w->page_count || !page || !page->pixels)
        return fail(w, error, L"image encode failed");
    const int bits = page->bits_per_pixel;
    ByteBuffer strip = {};
    const bool encoded = bits == 1 ? tiff_g4_encode(page, &strip) : encode_lzw_page(page, &strip);
    if (!encoded) {
        release(&strip);
        return fail(w, error, L"image encode failed");
    }
    const uint64_t directory = w->offset;
    const uint64_t extra = directory + kDirectoryBytes;
    const uint64_t data = extra + kExtraBytes;
    const uint64_t end = data + (uint64_t)strip.length + (strip.length & 1);
    if (end > kOffsetLimit) {
        release(&strip);
        return fail(w, error, L"TIFF larger than 4 GB");
    }
    const bool last = w->pages_written + 1 == w->page_count;
    const uint32_t dpi = (uint32_t)(page->dpi > 0 ? page->dpi : PAGE_IMAGE_DEFAULT_DPI);

    uint8_t block[kDirectoryBytes + kExtraBytes] = {};
    uint8_t* p = block;
    put16(p, kEntryCount);
    p += 2;
    p = put_entry(p, 256, 4, 1, (uint32_t)page->width);
    p = put_entry(p, 257, 4, 1, (uint32_t)page->height);
    if (bits == 24)
        p = put_entry(p, 258, 3, 3, (uint32_t)extra);
    else
        p = put_entry(p, 258, 3, 1, (uint32_t)bits);
    p = put_entry(p, 259, 3, 1, bits == 1 ? 4 : 5);             // T.6 or LZW
    p = put_entry(p, 262, 3, 1, bits == 1 ? 0 : (bits == 8 ? 1 : 2));   // white is 0, black is 0, RGB
    p = put_entry(p, 273, 4, 1, (uint32_t)data);
    p = put_entry(p, 277, 3, 1, bits == 24 ? 3 : 1);
    p = put_entry(p, 278, 4, 1, (uint32_t)page->height);
    p = put_entry(p, 279, 4, 1, (uint32_t)strip.length);
    p = put_entry(p, 282, 5, 1, (uint32_t)(extra + 8));
    p = put_entry(p, 283, 5, 1, (uint32_t)(extra + 16));
    p = put_entry(p, 296, 3, 1, 2);                              // inches
    put16(p, 297);                                               // page number, page count
    put16(p + 2, 3);
    put32(p + 4, 2);
    put16(p + 8, (unsigned)w->pages_written);
    put16(p + 10, (unsigned)w->page_count);
    p += 12;
    put32(p, last ? 0 : (uint32_t)end);
    p += 4;
    put16(p, 8);
    put16(p + 2, 8);
    put16(p + 4, 8);
    put32(p + 8, dpi);
    put32(p + 12, 1);
    put32(p + 16, dpi);
    put32(p + 20, 1);

    const uint8_t pad = 0;
    bool ok = out_file_write(&w->file, block, sizeof block) &&
              out_file_write(&w->file, strip.data, strip.length) &&
              ((strip.length & 1) == 0 || out_file_write(&w->file, &pad, 1));
    release(&strip);
    if (!ok) return fail(w, error, L"write error (disk full?)");
    w->offset = end;
    ++w->pages_written;
    return true;
}

bool tiff_writer_finish(TiffWriter* w, WideString* error) {
    if (w->pages_written != w->page_count) {
        tiff_writer_abandon(w);
        assign(error, L"image encode failed");
        return false;
    }
    if (!out_file_commit(&w->file)) {
        assign(error, L"write error (disk full?)");
        return false;
    }
    return true;
}

void tiff_writer_abandon(TiffWriter* w) {
    out_file_abandon(&w->file);
}
