// output/ocr_font.cpp
// The smallest font that PDF readers and font parsers accept: the nine tables a TrueType
// program needs (cmap, glyf, head, hhea, hmtx, loca, maxp, name, post), all numbers
// big-endian, tables padded to 4 bytes and check-summed as the OpenType format requires.
#include "output/ocr_font.h"

#include "core/heap.h"

static const int kTableCount = 9;
static const int kDirectorySize = 12 + 16 * kTableCount;   // 156: where the first table starts
static const uint32_t kChecksumMagic = 0xB1B0AFBA;

// A table under construction: big-endian writes into a ByteBuffer.
static void put16(ByteBuffer* b, int value) {
    const uint8_t bytes[2] = {(uint8_t)(value >> 8), (uint8_t)value};
    append_bytes(b, bytes, 2);
}

static void put32(ByteBuffer* b, uint32_t value) {
    const uint8_t bytes[4] = {(uint8_t)(value >> 24), (uint8_t)(value >> 16), (uint8_t)(value >> 8), (uint8_t)value};
    append_bytes(b, bytes, 4);
}

static void put_zeros(ByteBuffer* b, int count) {
    for (int k = 0; k < count; ++k) append_bytes(b, "", 1);
}

// Sum of big-endian 32-bit words, a short last word padded with zeros.
static uint32_t checksum(const uint8_t* p, int length) {
    uint32_t sum = 0;
    for (int k = 0; k < length; k += 4) {
        uint32_t word = 0;
        for (int b = 0; b < 4; ++b) word = (word << 8) | (k + b < length ? p[k + b] : 0);
        sum += word;
    }
    return sum;
}

static void build_cmap(ByteBuffer* t) {
    // Only the terminating segment of a format 4 subtable: no character maps to a glyph.
    put16(t, 0);
    put16(t, 1);
    put16(t, 3);
    put16(t, 1);
    put32(t, 12);
    put16(t, 4);        // format
    put16(t, 24);       // length
    put16(t, 0);        // language
    put16(t, 2);        // segCountX2
    put16(t, 2);        // searchRange
    put16(t, 0);        // entrySelector
    put16(t, 0);        // rangeShift
    put16(t, 0xFFFF);   // endCode
    put16(t, 0);        // reservedPad
    put16(t, 0xFFFF);   // startCode
    put16(t, 1);        // idDelta
    put16(t, 0);        // idRangeOffset
}

static void build_head(ByteBuffer* t) {
    put32(t, 0x00010000);   // version
    put32(t, 0x00010000);   // fontRevision
    put32(t, 0);            // checkSumAdjustment, filled in last
    put32(t, 0x5F0F3CF5);   // magicNumber
    put16(t, 0x000B);       // flags
    put16(t, 1000);         // unitsPerEm
    put_zeros(t, 16);       // created, modified
    put16(t, 0);            // xMin
    put16(t, 0);            // yMin
    put16(t, 500);          // xMax
    put16(t, 1000);         // yMax
    put16(t, 0);            // macStyle
    put16(t, 8);            // lowestRecPPEM
    put16(t, 2);            // fontDirectionHint
    put16(t, 1);            // indexToLocFormat: long offsets
    put16(t, 0);            // glyphDataFormat
}

static void build_hhea(ByteBuffer* t, int glyphs) {
    put32(t, 0x00010000);
    put16(t, 800);          // ascender
    put16(t, -200);         // descender
    put16(t, 0);            // lineGap
    put16(t, 500);          // advanceWidthMax
    put16(t, 0);            // minLeftSideBearing
    put16(t, 0);            // minRightSideBearing
    put16(t, 500);          // xMaxExtent
    put16(t, 1);            // caretSlopeRise
    put16(t, 0);            // caretSlopeRun
    put16(t, 0);            // caretOffset
    put_zeros(t, 8);        // reserved
    put16(t, 0);            // metricDataFormat
    put16(t, glyphs);       // numberOfHMetrics
}

static void build_name(ByteBuffer* t) {
    static const char kName[] = "ZanOcr";
    put16(t, 0);            // format
    put16(t, 1);            // count
    put16(t, 18);           // stringOffset
    put16(t, 3);            // platform: Windows
    put16(t, 1);            // encoding: Unicode BMP
    put16(t, 0x0409);       // language
    put16(t, 6);            // nameID: PostScript name
    put16(t, 12);           // length
    put16(t, 0);            // offset
    for (int k = 0; kName[k]; ++k) put16(t, kName[k]);
}

bool ocr_font_build(int glyph_count, ByteBuffer* out) {
    if (glyph_count < 1 || glyph_count > 65535) return false;
    static const char kTags[kTableCount][5] = {"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "name", "post"};
    ByteBuffer tables[kTableCount] = {};
    build_cmap(&tables[0]);
    put32(&tables[1], 0);                  // glyf: no outlines at all
    build_head(&tables[2]);
    build_hhea(&tables[3], glyph_count);
    for (int g = 0; g < glyph_count; ++g) {
        put16(&tables[4], 500);            // hmtx: advance width
        put16(&tables[4], 0);              // left side bearing
    }
    for (int g = 0; g <= glyph_count; ++g) put32(&tables[5], 0);   // loca: every glyph empty
    put32(&tables[6], 0x00010000);         // maxp
    put16(&tables[6], glyph_count);
    put_zeros(&tables[6], 26);
    build_name(&tables[7]);
    put32(&tables[8], 0x00030000);         // post: version 3, no glyph names
    put_zeros(&tables[8], 28);

    ByteBuffer font = {};
    put32(&font, 0x00010000);
    put16(&font, kTableCount);
    put16(&font, 128);                     // searchRange
    put16(&font, 3);                       // entrySelector
    put16(&font, 16);                      // rangeShift
    int offset = kDirectorySize;
    bool ok = true;
    for (int k = 0; k < kTableCount; ++k) {
        ok = ok && tables[k].data;
        append_bytes(&font, kTags[k], 4);
        put32(&font, ok ? checksum(tables[k].data, tables[k].length) : 0);
        put32(&font, (uint32_t)offset);
        put32(&font, (uint32_t)tables[k].length);
        offset += (tables[k].length + 3) & ~3;
    }
    int head_offset = 0;
    for (int k = 0; k < kTableCount && ok; ++k) {
        if (k == 2) head_offset = font.length;
        append_bytes(&font, tables[k].data, tables[k].length);
        put_zeros(&font, ((tables[k].length + 3) & ~3) - tables[k].length);
    }
    for (ByteBuffer& t : tables) release(&t);
    ok = ok && font.data && font.length == offset;
    if (ok) {
        const uint32_t adjustment = kChecksumMagic - checksum(font.data, font.length);
        uint8_t* field = font.data + head_offset + 8;
        field[0] = (uint8_t)(adjustment >> 24);
        field[1] = (uint8_t)(adjustment >> 16);
        field[2] = (uint8_t)(adjustment >> 8);
        field[3] = (uint8_t)adjustment;
        ok = append_bytes(out, font.data, font.length);
    }
    release(&font);
    return ok;
}
