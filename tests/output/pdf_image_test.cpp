// tests/output/pdf_image_test.cpp
// The JPEG header check on well-formed and hostile data, and the encoder's choices:
// Flate for bilevel pages, reduction to the level's cap, fallback when a JPEG is unusable.
#include <gtest/gtest.h>

#include <vector>

#include "core/zlib_buffer.h"
#include "output/pdf_image.h"

// SOI, an APP0 segment, a frame header, then EOI.
static std::vector<uint8_t> jpeg_with_frame(uint8_t sof, int width, int height, int components) {
    std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'J', 'F', 'I', 'F',
                              0xFF, 0xFF,   // fill byte
                              0xFF, sof,  0x00, (uint8_t)(8 + 3 * components), 8,
                              (uint8_t)(height >> 8), (uint8_t)height, (uint8_t)(width >> 8), (uint8_t)width,
                              (uint8_t)components};
    for (int c = 0; c < components; ++c) {
        j.push_back((uint8_t)(c + 1));
        j.push_back(0x11);
        j.push_back(0);
    }
    j.push_back(0xFF);
    j.push_back(0xD9);
    return j;
}

TEST(JpegHeader, ReadsBaselineAndProgressiveFrames) {
    JpegInfo info;
    std::vector<uint8_t> j = jpeg_with_frame(0xC0, 1240, 1754, 1);
    ASSERT_TRUE(pdf_jpeg_header_check(j.data(), j.size(), &info));
    EXPECT_EQ(info.width, 1240);
    EXPECT_EQ(info.height, 1754);
    EXPECT_EQ(info.components, 1);
    EXPECT_EQ(info.precision, 8);
    j = jpeg_with_frame(0xC2, 10, 20, 3);
    ASSERT_TRUE(pdf_jpeg_header_check(j.data(), j.size(), &info));
    EXPECT_EQ(info.components, 3);
}

TEST(JpegHeader, RejectsOtherFramesAndBrokenData) {
    JpegInfo info;
    for (uint8_t sof : {0xC3, 0xC5, 0xC9, 0xCF}) {
        std::vector<uint8_t> j = jpeg_with_frame(sof, 10, 10, 1);
        EXPECT_FALSE(pdf_jpeg_header_check(j.data(), j.size(), &info)) << (int)sof;
    }
    std::vector<uint8_t> zero = jpeg_with_frame(0xC0, 0, 10, 1);
    EXPECT_FALSE(pdf_jpeg_header_check(zero.data(), zero.size(), &info));
    zero = jpeg_with_frame(0xC0, 10, 0, 1);
    EXPECT_FALSE(pdf_jpeg_header_check(zero.data(), zero.size(), &info));
    const uint8_t not_jpeg[] = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    EXPECT_FALSE(pdf_jpeg_header_check(not_jpeg, sizeof not_jpeg, &info));
    EXPECT_FALSE(pdf_jpeg_header_check(nullptr, 0, &info));
}

TEST(JpegHeader, NeverReadsPastTheData) {
    // Every truncation of a valid header, each copied into a block of exactly that size so
    // the sanitizers catch any read beyond it.
    const std::vector<uint8_t> j = jpeg_with_frame(0xC0, 300, 200, 3);
    JpegInfo info;
    const size_t frame_end = 12 + 4 + 6 + 9;   // through the frame's component records
    for (size_t n = 0; n < j.size(); ++n) {
        std::vector<uint8_t> cut(j.begin(), j.begin() + (long)n);
        uint8_t* exact = new uint8_t[n ? n : 1];
        for (size_t k = 0; k < n; ++k) exact[k] = cut[k];
        const bool ok = pdf_jpeg_header_check(n ? exact : nullptr, n, &info);
        EXPECT_EQ(ok, n >= frame_end) << n;
        delete[] exact;
    }
    // A segment whose length runs past the end, and a frame header shorter than its fields.
    std::vector<uint8_t> long_segment = {0xFF, 0xD8, 0xFF, 0xE1, 0x40, 0x00, 1, 2, 3, 4};
    EXPECT_FALSE(pdf_jpeg_header_check(long_segment.data(), long_segment.size(), &info));
    std::vector<uint8_t> short_frame = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04, 8, 0, 0xFF, 0xD9};
    EXPECT_FALSE(pdf_jpeg_header_check(short_frame.data(), short_frame.size(), &info));
}

static PageImage* make_page(int width, int height, int bits, int dpi, uint8_t fill) {
    PageImage* p = page_image_new();
    EXPECT_TRUE(page_image_alloc(p, width, height, bits, dpi));
    for (int64_t k = 0; k < (int64_t)p->stride * height; ++k) p->pixels[k] = fill;
    return p;
}

static std::vector<uint8_t> inflate_all(const ByteBuffer& b) {
    ByteBuffer out = {};
    EXPECT_TRUE(inflate_buffer(b.data, b.length, &out, 1 << 28));
    std::vector<uint8_t> v(out.data, out.data + out.length);
    release(&out);
    return v;
}

static int g_encoder_calls;
static int g_last_quality;
static int g_last_width;
static std::vector<uint8_t> g_jpeg;
static bool fake_encoder(const PageImage* page, int quality, ByteBuffer* out) {
    ++g_encoder_calls;
    g_last_quality = quality;
    g_last_width = page->width;
    return append_bytes(out, g_jpeg.data(), (int)g_jpeg.size());
}

TEST(PdfEncodePage, BilevelPageIsOneBitFlateWithRowsUnchanged) {
    PageImage* p = make_page(10, 3, 1, 600, 0);
    p->pixels[0] = 0xA5;
    p->pixels[1] = 0xC0;
    p->pixels[p->stride] = 0xFF;
    EncodedImage e;
    int quality = 0;
    g_encoder_calls = 0;
    ASSERT_TRUE(pdf_encode_page_image_with(2, p, fake_encoder, &e, &quality));
    EXPECT_EQ(g_encoder_calls, 0);
    EXPECT_FALSE(e.is_jpeg);
    EXPECT_EQ(e.bits_per_component, 1);
    EXPECT_EQ(e.components, 1);
    EXPECT_EQ(e.width, 10);   // never reduced, whatever the dpi
    const std::vector<uint8_t> rows = inflate_all(e.bytes);
    ASSERT_EQ(rows.size(), 6u);   // 2 bytes per row, padding dropped
    EXPECT_EQ(rows[0], 0xA5);
    EXPECT_EQ(rows[1], 0xC0);
    EXPECT_EQ(rows[2], 0xFF);
    encoded_image_release(&e);
    page_image_free(p);
}

TEST(PdfEncodePage, ColourFallbackIsRgbOrder) {
    PageImage* p = make_page(2, 1, 24, 100, 0);
    const uint8_t bgr[6] = {1, 2, 3, 4, 5, 6};
    for (int k = 0; k < 6; ++k) p->pixels[k] = bgr[k];
    EncodedImage e;
    int quality = 0;
    ASSERT_TRUE(pdf_encode_page_image_with(0, p, nullptr, &e, &quality));
    EXPECT_EQ(quality, 90);
    EXPECT_FALSE(e.is_jpeg);
    EXPECT_EQ(e.components, 3);
    EXPECT_EQ(e.bits_per_component, 8);
    EXPECT_EQ(inflate_all(e.bytes), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
    encoded_image_release(&e);
    page_image_free(p);
}

TEST(PdfEncodePage, Level2ReducesA300DpiPageTo150Dpi) {
    PageImage* p = make_page(2480, 3508, 8, 300, 200);
    g_jpeg = jpeg_with_frame(0xC0, 1240, 1754, 1);
    g_encoder_calls = 0;
    EncodedImage e;
    int quality = 0;
    ASSERT_TRUE(pdf_encode_page_image_with(2, p, fake_encoder, &e, &quality));
    EXPECT_EQ(quality, 55);
    EXPECT_EQ(g_last_quality, 55);
    EXPECT_EQ(g_last_width, 1240);
    EXPECT_TRUE(e.is_jpeg);
    EXPECT_EQ(e.width, 1240);
    EXPECT_EQ(e.height, 1754);
    EXPECT_EQ(e.components, 1);
    encoded_image_release(&e);
    // Level 1 caps at 200 dpi, level 0 keeps the page.
    g_jpeg = jpeg_with_frame(0xC0, 1, 1, 1);
    ASSERT_TRUE(pdf_encode_page_image_with(1, p, fake_encoder, &e, &quality));
    EXPECT_NEAR(g_last_width, 1653, 1);   // 2480 x 3508 fitted into 1653 x 2338
    EXPECT_EQ(quality, 75);
    encoded_image_release(&e);
    ASSERT_TRUE(pdf_encode_page_image_with(0, p, fake_encoder, &e, &quality));
    EXPECT_EQ(g_last_width, 2480);
    encoded_image_release(&e);
    page_image_free(p);
}

TEST(PdfEncodePage, UnusableJpegFallsBackToFlate) {
    PageImage* p = make_page(20, 20, 8, 100, 7);
    EncodedImage e;
    int quality = 0;
    for (auto bad : {jpeg_with_frame(0xC0, 20, 20, 4), jpeg_with_frame(0xC3, 20, 20, 1), std::vector<uint8_t>{1, 2}}) {
        g_jpeg = bad;
        ASSERT_TRUE(pdf_encode_page_image_with(1, p, fake_encoder, &e, &quality));
        EXPECT_FALSE(e.is_jpeg);
        EXPECT_EQ(e.components, 1);
        EXPECT_EQ(inflate_all(e.bytes).size(), 400u);
        encoded_image_release(&e);
    }
    page_image_free(p);
}

TEST(PdfEncodePage, RefusesPagesWithoutResolutionOrPixels) {
    PageImage* p = make_page(20, 20, 8, 0, 7);
    EncodedImage e;
    int quality = 0;
    EXPECT_FALSE(pdf_encode_page_image_with(1, p, nullptr, &e, &quality));
    p->dpi = -300;
    EXPECT_FALSE(pdf_encode_page_image_with(1, p, nullptr, &e, &quality));
    EXPECT_EQ(e.bytes.data, nullptr);
    page_image_free(p);
    PageImage empty = {};
    EXPECT_FALSE(pdf_encode_page_image_with(1, &empty, nullptr, &e, &quality));
    EXPECT_FALSE(pdf_encode_page_image_with(1, nullptr, nullptr, &e, &quality));
}
