#include "image/page_image.h"

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "tests/image/synthetic_page.h"

static bool bit_at(const PageImage* page, int x, int y) {
    return (page->pixels[(int64_t)y * page->stride + x / 8] >> (7 - x % 8)) & 1;
}

// ---- record

TEST(PageImage, NewRecordIsEmptyAt300Dpi) {
    PageImage* page = page_image_new();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0, page->stride);
    EXPECT_EQ(300, page->dpi);
    EXPECT_EQ(nullptr, page->pixels);
    page_image_free(page);
}

TEST(PageImage, AllocStoresValuesAndPadsRows) {
    PageImage* page = page_image_new();
    ASSERT_TRUE(page_image_alloc(page, 5, 3, 24, 150));
    EXPECT_EQ(16, page->stride);
    EXPECT_EQ(150, page->dpi);
    ASSERT_TRUE(page_image_alloc(page, 33, 2, 1, 150));
    EXPECT_EQ(8, page->stride);
    EXPECT_FALSE(page_image_alloc(page, 0, 2, 8, 150));
    EXPECT_EQ(nullptr, page->pixels);
    page_image_free(page);
}

TEST(PageImage, SizeLimitRefusesLargePages) {
    PageImage* page = page_image_new();
    // 26,000 x 26,000 colour pixels are 2,028,000,000 bytes: above the limit.
    EXPECT_FALSE(page_image_alloc(page, 26000, 26000, 24, 300));
    EXPECT_EQ(78000, page->stride);
    EXPECT_EQ(nullptr, page->pixels);
    // Widths whose 32-bit stride or size would wrap to a small number must still fail.
    EXPECT_FALSE(page_image_alloc(page, 0x7FFFFFFF, 1, 24, 300));
    EXPECT_FALSE(page_image_alloc(page, 0x40000000, 4, 8, 300));
    EXPECT_FALSE(page_image_alloc(page, 0x2AAAAAAB, 3, 24, 300));
    EXPECT_EQ(nullptr, page->pixels);
    page_image_free(page);
}

TEST(PageImage, LargeBlocksAreReusedBySimilarSizes) {
    PageImage* first = page_image_new();
    ASSERT_TRUE(page_image_alloc(first, 2000, 2000, 24, 300));
    first->pixels[12000000 - 1] = 7;
    const uint8_t* block = first->pixels;
    page_image_free(first);
    // Much smaller: a fresh block, and the large one stays for a better fit.
    PageImage* small = page_image_new();
    ASSERT_TRUE(page_image_alloc(small, 1200, 1200, 24, 300));
    EXPECT_NE(block, small->pixels);
    PageImage* again = page_image_new();
    ASSERT_TRUE(page_image_alloc(again, 1900, 2000, 24, 300));
    EXPECT_EQ(block, again->pixels);
    again->pixels[11400000 - 1] = 9;  // the whole requested size is usable
    page_image_free(small);
    page_image_free(again);
}

// ---- DIB import

TEST(DibImport, OneBitBlackOnWhiteTableIsInverted) {
    DibFields s;
    s.width = 8;
    s.height = 1;
    s.bit_count = 1;
    s.table = {0xFFFFFF, 0x000000};  // index 0 white, index 1 black
    s.rows = {0x0F, 0, 0, 0};        // left half white, right half black
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(1, page->bits_per_pixel);
    EXPECT_EQ(0xF0, page->pixels[0]);  // black pixels are 0 bits
    page_image_free(page);

    s.table = {0x000000, 0xFFFFFF};
    page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(0x0F, page->pixels[0]);
    page_image_free(page);
}

TEST(DibImport, EightBitGreyTableStaysGreyOneColourEntryMakesColour) {
    DibFields s;
    s.width = 2;
    s.height = 1;
    s.bit_count = 8;
    for (uint32_t i = 0; i < 256; ++i) s.table.push_back(i * 0x010101);
    s.rows = {10, 200, 0, 0};
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(8, page->bits_per_pixel);
    EXPECT_EQ(10, page->pixels[0]);
    EXPECT_EQ(200, page->pixels[1]);
    page_image_free(page);

    s.table[77] = 0x102030;
    page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(24, page->bits_per_pixel);
    EXPECT_EQ(10, page->pixels[0]);
    EXPECT_EQ(10, page->pixels[2]);
    page_image_free(page);
}

TEST(DibImport, IndexBeyondTableIsClamped) {
    DibFields s;
    s.width = 2;
    s.height = 1;
    s.bit_count = 4;
    s.colours_used = 2;
    s.table = {0x000000, 0x808080};
    s.rows = {0x0F, 0, 0, 0};  // indices 0 and 15
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(8, page->bits_per_pixel);
    EXPECT_EQ(0, page->pixels[0]);
    EXPECT_EQ(0x80, page->pixels[1]);
    page_image_free(page);
}

TEST(DibImport, ResolutionFromPixelsPerMetre) {
    DibFields s;
    s.rows = {1, 2, 3, 0};
    s.pels_per_metre = 11811;
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(300, page->dpi);
    page_image_free(page);
    for (int32_t pels : {0, -5, 100, 200000}) {
        s.pels_per_metre = pels;
        page = import_dib(build_dib(s), 222);
        ASSERT_NE(nullptr, page);
        EXPECT_EQ(222, page->dpi) << pels;
        page_image_free(page);
    }
}

TEST(DibImport, BottomUpRowsAreFlippedTopDownKept) {
    DibFields s;
    s.width = 1;
    s.height = 2;
    s.bit_count = 24;
    s.rows = {1, 1, 1, 0, 2, 2, 2, 0};  // stored first row, second row
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(2, page->pixels[0]);
    EXPECT_EQ(1, page->pixels[page->stride]);
    page_image_free(page);

    s.height = -2;
    page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(2, page->height);
    EXPECT_EQ(1, page->pixels[0]);
    EXPECT_EQ(2, page->pixels[page->stride]);
    page_image_free(page);
}

TEST(DibImport, SixteenBitLayouts) {
    DibFields s;
    s.width = 1;
    s.height = 1;
    s.bit_count = 16;
    s.rows = {0x1F, 0x7C, 0, 0};  // 0x7C1F: 5-5-5 red 31, blue 31; 5-6-5 red 15, green 32, blue 31
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(255, page->pixels[0]);
    EXPECT_EQ(0, page->pixels[1]);
    EXPECT_EQ(255, page->pixels[2]);
    page_image_free(page);

    // Bit fields after a 40-byte header: red, green, blue masks.
    s.compression = 3;
    s.extra = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(255, page->pixels[0]);
    EXPECT_EQ(32 * 255 / 63, page->pixels[1]);
    EXPECT_EQ(15 * 255 / 31, page->pixels[2]);
    page_image_free(page);

    // A V5 header carries the masks itself; nothing follows it.
    s.extra.clear();
    s.header_size = 124;
    std::vector<uint8_t> v5 = build_dib(s);
    put32(v5, 44, 0x07E0);
    page = import_dib(v5);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(32 * 255 / 63, page->pixels[1]);
    page_image_free(page);
}

TEST(DibImport, ThirtyTwoBitIgnoresFourthByte) {
    DibFields s;
    s.width = 2;
    s.bit_count = 32;
    s.rows = {1, 2, 3, 99, 4, 5, 6, 99};
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(24, page->bits_per_pixel);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), std::vector<uint8_t>(page->pixels, page->pixels + 6));
    page_image_free(page);
}

TEST(DibImport, UnsupportedFormatsGiveNone) {
    DibFields s;
    s.bit_count = 2;
    s.table = {0, 0x555555, 0xAAAAAA, 0xFFFFFF};
    s.rows = {0, 0, 0, 0};
    EXPECT_EQ(nullptr, import_dib(build_dib(s)));
    s.bit_count = 8;
    s.compression = 1;  // run-length encoded
    EXPECT_EQ(nullptr, import_dib(build_dib(s)));
    s.compression = 0;
    std::vector<uint8_t> core = build_dib(s);
    put32(core, 0, 12);  // the old core header
    EXPECT_EQ(nullptr, import_dib(core));
}

TEST(DibImport, BlockShorterThanItsHeaderSaysGivesNone) {
    DibFields s;
    s.width = 3;
    s.height = 4;
    s.bit_count = 8;
    for (uint32_t i = 0; i < 256; ++i) s.table.push_back(i * 0x010101);
    s.rows.assign(16, 7);
    const std::vector<uint8_t> dib = build_dib(s);
    PageImage* whole = page_image_from_dib(dib.data(), dib.size(), 300);
    ASSERT_NE(nullptr, whole);
    page_image_free(whole);
    // One byte short of the last row, of the table, of the header.
    EXPECT_EQ(nullptr, page_image_from_dib(dib.data(), dib.size() - 1, 300));
    EXPECT_EQ(nullptr, page_image_from_dib(dib.data(), 40 + 1023, 300));
    EXPECT_EQ(nullptr, page_image_from_dib(dib.data(), 39, 300));
    EXPECT_EQ(nullptr, page_image_from_dib(nullptr, 100, 300));

    // Header fields claiming more than the block holds.
    std::vector<uint8_t> lying = dib;
    put32(lying, 32, 0x40000000);  // colours used
    EXPECT_EQ(nullptr, import_dib(lying));
    lying = dib;
    put32(lying, 0, 5000);  // header size
    EXPECT_EQ(nullptr, import_dib(lying));
    lying = dib;
    put32(lying, 4, 0x40000000);  // width whose row size wraps in 32 bits
    EXPECT_EQ(nullptr, import_dib(lying));
    lying = dib;
    put32(lying, 8, 0x80000000);  // the most negative height
    EXPECT_EQ(nullptr, import_dib(lying));
}

TEST(DibImport, EveryShortenedBlockGivesNoneWithoutReadingPastIt) {
    std::vector<DibFields> dibs(4);
    dibs[0].width = 9;
    dibs[0].height = -3;
    dibs[0].bit_count = 1;
    dibs[0].table = {0xFFFFFF, 0};
    dibs[0].rows.assign(12, 0x5A);
    dibs[1].width = 5;
    dibs[1].height = 2;
    dibs[1].bit_count = 4;
    dibs[1].table.assign(16, 0x123456);
    dibs[1].rows.assign(8, 0x31);
    dibs[2].width = 3;
    dibs[2].height = 2;
    dibs[2].bit_count = 16;
    dibs[2].compression = 3;
    dibs[2].extra.assign(12, 0xFF);
    dibs[2].rows.assign(16, 0x42);
    dibs[3].header_size = 124;
    dibs[3].width = 2;
    dibs[3].height = 2;
    dibs[3].bit_count = 32;
    dibs[3].rows.assign(16, 0x99);
    for (const DibFields& fields : dibs) {
        const std::vector<uint8_t> dib = build_dib(fields);
        for (size_t size = 0; size < dib.size(); ++size) {
            // An exact-size copy, so a read past the end is caught by the sanitizers.
            std::vector<uint8_t> part(dib.begin(), dib.begin() + (ptrdiff_t)size);
            EXPECT_EQ(nullptr, page_image_from_dib(part.data(), size, 300)) << fields.bit_count << " " << size;
        }
        PageImage* page = import_dib(dib);
        EXPECT_NE(nullptr, page) << fields.bit_count;
        page_image_free(page);
    }
}

TEST(DibImport, ThirtyTwoBitMasksAfterTheHeaderAreSkipped) {
    DibFields s;
    s.width = 2;
    s.bit_count = 32;
    s.compression = 3;
    s.extra = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};  // red, green, blue masks
    s.rows = {1, 2, 3, 99, 4, 5, 6, 99};
    PageImage* page = import_dib(build_dib(s));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), std::vector<uint8_t>(page->pixels, page->pixels + 6));
    page_image_free(page);
}

TEST(DibImport, HugeRowsTimesHugeStrideIsRefusedWithoutWrapping) {
    DibFields s;
    s.width = 0x7FFFFFFF;
    s.height = 0x7FFFFFFF;
    s.bit_count = 32;
    s.rows = std::vector<uint8_t>(64, 0);
    EXPECT_EQ(nullptr, import_dib(build_dib(s)));
    s.height = -0x7FFFFFFF;
    EXPECT_EQ(nullptr, import_dib(build_dib(s)));
}

TEST(DibImport, BitFieldsMasksMissingFromBlockGiveNone) {
    DibFields s;
    s.bit_count = 32;
    s.compression = 3;
    std::vector<uint8_t> dib = build_dib(s);
    EXPECT_EQ(nullptr, page_image_from_dib(dib.data(), 40 + 8, 300));
}

// ---- conversions

TEST(PageImage, CloneCopiesEverything) {
    PageImage* page = make_text_page(60, 40, 8);
    page->dpi = 123;
    PageImage* copy = page_image_clone(page);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(123, copy->dpi);
    EXPECT_NE(page->pixels, copy->pixels);
    EXPECT_EQ(0, memcmp(page->pixels, copy->pixels, (size_t)(page->stride * page->height)));
    page_image_free(page);
    page_image_free(copy);
}

TEST(PageImage, CloneOfWiderRowsCopiesOnlyWhatTheCopyHolds) {
    // A bitmap wrapped from elsewhere may pad its rows more than this program does.
    const int width = 10, height = 4, wide_stride = 20;
    std::vector<uint8_t> block((size_t)wide_stride * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) block[(size_t)y * wide_stride + x] = (uint8_t)(y * 16 + x);
    PageImage wide = {width, height, 8, wide_stride, 200, block.data()};
    PageImage* copy = page_image_clone(&wide);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(12, copy->stride);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) EXPECT_EQ(y * 16 + x, copy->pixels[y * copy->stride + x]);
    page_image_free(copy);
}

TEST(PageImage, GreyUsesLuminanceWeights) {
    PageImage* page = make_plain_page(1, 1, 24, 0);
    page->pixels[0] = 100;  // blue
    page->pixels[1] = 50;   // green
    page->pixels[2] = 200;  // red
    PageImage* grey = page_image_to_grey(page);
    ASSERT_NE(nullptr, grey);
    EXPECT_EQ(8, grey->bits_per_pixel);
    EXPECT_EQ((30 * 200 + 59 * 50 + 11 * 100) / 100, grey->pixels[0]);
    page_image_free(page);
    page_image_free(grey);
}

TEST(PageImage, ThresholdSplitsAtTheGivenLevel) {
    PageImage* page = make_plain_page(10, 1, 8, 0);
    page->pixels[0] = 127;
    page->pixels[1] = 128;
    PageImage* mono = page_image_threshold(page, 128);
    ASSERT_NE(nullptr, mono);
    EXPECT_EQ(1, mono->bits_per_pixel);
    EXPECT_FALSE(bit_at(mono, 0, 0));
    EXPECT_TRUE(bit_at(mono, 1, 0));
    EXPECT_FALSE(bit_at(mono, 9, 0));
    EXPECT_EQ(0x3F, mono->pixels[1]);  // pixels 8, 9 black, padding bits stay white
    PageImage* back = page_image_to_rgb(mono);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(0, back->pixels[0]);
    EXPECT_EQ(255, back->pixels[3]);
    EXPECT_EQ(255, back->pixels[5]);
    page_image_free(back);
    page_image_free(page);
    page_image_free(mono);
}

// ---- geometry

TEST(PageImage, RotateClockwiseMovesTopLeftToTopRight) {
    PageImage* page = make_plain_page(3, 2, 24, 255);
    pixel_at(page, 0, 0)[0] = 1;
    pixel_at(page, 2, 1)[2] = 2;
    PageImage* turned = page_image_rotate90(page, true);
    ASSERT_NE(nullptr, turned);
    EXPECT_EQ(2, turned->width);
    EXPECT_EQ(3, turned->height);
    EXPECT_EQ(1, pixel_at(turned, 1, 0)[0]);
    EXPECT_EQ(2, pixel_at(turned, 0, 2)[2]);
    PageImage* back = page_image_rotate90(turned, false);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(1, pixel_at(back, 0, 0)[0]);
    page_image_free(page);
    page_image_free(turned);
    page_image_free(back);
}

TEST(PageImage, RotateKeepsOneBitPagesOneBit) {
    PageImage* grey = make_plain_page(40, 9, 8, 255);
    *pixel_at(grey, 35, 2) = 0;
    PageImage* mono = page_image_threshold(grey, 128);
    PageImage* turned = page_image_rotate90(mono, true);
    ASSERT_NE(nullptr, turned);
    EXPECT_EQ(1, turned->bits_per_pixel);
    EXPECT_FALSE(bit_at(turned, 9 - 1 - 2, 35));
    EXPECT_TRUE(bit_at(turned, 9 - 1 - 2, 34));
    page_image_free(grey);
    page_image_free(mono);
    page_image_free(turned);
}

TEST(PageImage, CropIsTrimmedToThePage) {
    PageImage* page = make_plain_page(10, 8, 8, 0);
    *pixel_at(page, 9, 7) = 42;
    PageImage* part = page_image_crop(page, 6, 5, 100, 100);
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(4, part->width);
    EXPECT_EQ(3, part->height);
    EXPECT_EQ(42, *pixel_at(part, 3, 2));
    page_image_free(part);

    PageImage* whole = page_image_crop(page, 3, 3, 0, 2);
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(10, whole->width);
    EXPECT_EQ(8, whole->height);
    page_image_free(whole);
    page_image_free(page);
}

TEST(PageImage, CropOfOneBitPageCopiesBits) {
    PageImage* grey = make_plain_page(20, 3, 8, 255);
    *pixel_at(grey, 13, 1) = 0;
    PageImage* mono = page_image_threshold(grey, 128);
    PageImage* part = page_image_crop(mono, 11, 1, 5, 1);
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(1, part->bits_per_pixel);
    EXPECT_EQ(0xDF, part->pixels[0]);  // pixel 2 black, the rest and the padding white
    page_image_free(grey);
    page_image_free(mono);
    page_image_free(part);
}

TEST(PageImage, ScaleToFitNeverEnlargesAndAverages) {
    PageImage* page = make_plain_page(100, 50, 8, 0);
    PageImage* same = page_image_scale_to_fit(page, 700, 700);
    ASSERT_NE(nullptr, same);
    EXPECT_EQ(100, same->width);
    EXPECT_EQ(50, same->height);
    page_image_free(same);

    // Left half 0, right half 200 with one odd column in the 10-column block of target column 9.
    fill_rect(page, 50, 0, 50, 50, 200);
    fill_rect(page, 99, 0, 1, 50, 110);
    PageImage* small = page_image_scale_to_fit(page, 10, 10);
    ASSERT_NE(nullptr, small);
    EXPECT_EQ(10, small->width);
    EXPECT_EQ(5, small->height);
    EXPECT_EQ(0, small->pixels[0]);
    EXPECT_EQ(200, small->pixels[5]);
    EXPECT_EQ((9 * 200 + 110) / 10, small->pixels[9]);
    EXPECT_EQ(0, small->pixels[10]);  // row padding
    page_image_free(small);
    page_image_free(page);
}

TEST(PageImage, ScaleOfAHugeBlockSumsInSixtyFourBits) {
    // 4200 x 4100 white pixels into one: 4.4e9, past what 32-bit sums hold.
    PageImage* page = make_plain_page(4200, 4100, 8, 255);
    PageImage* dot = page_image_scale_to_fit(page, 1, 1);
    ASSERT_NE(nullptr, dot);
    EXPECT_EQ(1, dot->width);
    EXPECT_EQ(1, dot->height);
    EXPECT_EQ(255, dot->pixels[0]);
    page_image_free(dot);
    page_image_free(page);
}

TEST(PageImage, ScaleOfOneBitPageGivesGrey) {
    PageImage* grey = make_plain_page(16, 16, 8, 255);
    fill_rect(grey, 0, 0, 8, 16, 0);
    PageImage* mono = page_image_threshold(grey, 128);
    PageImage* copy = page_image_scale_to_fit(mono, 100, 100);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(8, copy->bits_per_pixel);
    EXPECT_EQ(255, copy->pixels[15]);
    PageImage* small = page_image_scale_to_fit(mono, 2, 2);
    ASSERT_NE(nullptr, small);
    EXPECT_EQ(8, small->bits_per_pixel);
    EXPECT_EQ(0, small->pixels[0]);
    EXPECT_EQ(255, small->pixels[1]);
    page_image_free(grey);
    page_image_free(mono);
    page_image_free(copy);
    page_image_free(small);
}

TEST(PageImage, AnalysisCopyIsGreyAndFitsTheBox) {
    PageImage* page = make_plain_page(2480, 3508, 24, 90);
    PageImage* work = page_image_analysis_copy(page, 700);
    ASSERT_NE(nullptr, work);
    EXPECT_EQ(8, work->bits_per_pixel);
    EXPECT_EQ(700, work->height);
    EXPECT_EQ(494, work->width);
    EXPECT_EQ(90, work->pixels[100]);
    page_image_free(page);
    page_image_free(work);
}

TEST(PageImage, BgraPixelsForDisplay) {
    PageImage* page = make_plain_page(2, 1, 24, 0);
    page->pixels[3] = 1;
    page->pixels[4] = 2;
    page->pixels[5] = 3;
    std::vector<uint8_t> out(8, 9);
    ASSERT_TRUE(page_image_write_bgra(page, out.data(), 8));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 255, 1, 2, 3, 255}), out);
    page_image_free(page);
}
