// tests/output/ocr_font_test.cpp
// The generated TrueType program: table directory, table sizes, checksums and the
// whole-font checksum adjustment that font parsers verify.
#include <gtest/gtest.h>

#include <string>

#include "output/ocr_font.h"

static uint32_t be32(const uint8_t* p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}
static int be16(const uint8_t* p) {
    return (p[0] << 8) | p[1];
}
static uint32_t sum_words(const uint8_t* p, int length) {
    uint32_t s = 0;
    for (int k = 0; k < length; k += 4) {
        uint8_t w[4] = {};
        for (int b = 0; b < 4 && k + b < length; ++b) w[b] = p[k + b];
        s += be32(w);
    }
    return s;
}

TEST(OcrFont, DirectoryTablesAndChecksums) {
    const int glyphs = 8;
    ByteBuffer f = {};
    ASSERT_TRUE(ocr_font_build(glyphs, &f));
    const uint8_t* p = f.data;
    EXPECT_EQ(be32(p), 0x00010000u);
    EXPECT_EQ(be16(p + 4), 9);
    EXPECT_EQ(be16(p + 6), 128);
    EXPECT_EQ(be16(p + 8), 3);
    EXPECT_EQ(be16(p + 10), 16);
    const char* tags[9] = {"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "name", "post"};
    const int lengths[9] = {36, 4, 54, 36, 4 * glyphs, 4 * (glyphs + 1), 32, 30, 32};
    uint32_t expected_offset = 156;
    uint32_t head_offset = 0;
    for (int t = 0; t < 9; ++t) {
        const uint8_t* r = p + 12 + 16 * t;
        EXPECT_EQ(std::string((const char*)r, 4), tags[t]);
        const uint32_t offset = be32(r + 8), length = be32(r + 12);
        EXPECT_EQ(offset, expected_offset) << tags[t];
        EXPECT_EQ((int)length, lengths[t]) << tags[t];
        if (t == 2) {
            head_offset = offset;
            // The head checksum is taken with checkSumAdjustment still 0.
            std::string head((const char*)p + offset, length);
            for (int k = 8; k < 12; ++k) head[k] = 0;
            EXPECT_EQ(be32(r + 4), sum_words((const uint8_t*)head.data(), (int)length));
        } else {
            EXPECT_EQ(be32(r + 4), sum_words(p + offset, (int)length)) << tags[t];
        }
        expected_offset += (length + 3) & ~3u;
    }
    EXPECT_EQ((uint32_t)f.length, expected_offset);
    // Whole file plus the adjustment sums to the magic number: sum over the file is 0xB1B0AFBA.
    EXPECT_EQ(sum_words(p, f.length), 0xB1B0AFBAu);
    EXPECT_EQ(be32(p + head_offset + 12), 0x5F0F3CF5u);
    // maxp and hhea carry the glyph count; name holds "ZanOcr" in UTF-16BE.
    const uint8_t* maxp = p + be32(p + 12 + 16 * 6 + 8);
    EXPECT_EQ(be16(maxp + 4), glyphs);
    const uint8_t* hhea = p + be32(p + 12 + 16 * 3 + 8);
    EXPECT_EQ(be16(hhea + 34), glyphs);
    const uint8_t* name = p + be32(p + 12 + 16 * 7 + 8);
    EXPECT_EQ(std::string((const char*)name + 18, 12), std::string("\0Z\0a\0n\0O\0c\0r", 12));
    release(&f);
}

TEST(OcrFont, RefusesImpossibleGlyphCounts) {
    ByteBuffer f = {};
    EXPECT_FALSE(ocr_font_build(0, &f));
    EXPECT_FALSE(ocr_font_build(65536, &f));
    EXPECT_EQ(f.length, 0);
    ASSERT_TRUE(ocr_font_build(60001, &f));
    EXPECT_EQ(f.length, 156 + 36 + 4 + 56 + 36 + 4 * 60001 + 4 * 60002 + 32 + 32 + 32);
    release(&f);
}
