// tests/output/watermark_test.cpp
// The stamp: opacity floor and ceiling, the right-to-left rule, the blend, and (on
// Windows, through the real rasteriser) that a stamp is drawn across the page centre at
// the asked strength, that Arabic is shaped and laid out right to left, and that the
// scanned page itself is never changed.
#include <gtest/gtest.h>

#include <vector>

#include "core/heap.h"
#include "output/watermark.h"

static PageImage* white_page(int width, int height, int bits) {
    PageImage* p = page_image_new();
    EXPECT_TRUE(page_image_alloc(p, width, height, bits, 150));
    mem_fill(p->pixels, 255, (size_t)p->stride * (size_t)height);
    return p;
}

TEST(Watermark, OpacityIsClampedToFiveToHundredPercent) {
    EXPECT_EQ(watermark_alpha(-10), 12);
    EXPECT_EQ(watermark_alpha(1), 12);
    EXPECT_EQ(watermark_alpha(5), 12);
    EXPECT_EQ(watermark_alpha(6), 15);
    EXPECT_EQ(watermark_alpha(25), 63);
    EXPECT_EQ(watermark_alpha(100), 255);
    EXPECT_EQ(watermark_alpha(250), 255);
}

TEST(Watermark, ArabicLettersMakeTheLayoutRightToLeft) {
    EXPECT_FALSE(watermark_is_rtl(L"TRUE COPY"));
    EXPECT_FALSE(watermark_is_rtl(nullptr));
    EXPECT_TRUE(watermark_is_rtl(L"COPY \x0646\x0633\x062E\x0629"));
    EXPECT_TRUE(watermark_is_rtl(L"\x06F1"));   // extended Arabic-Indic digit
    EXPECT_FALSE(watermark_is_rtl(L"\x05D0"));   // Hebrew is outside the rule
    EXPECT_EQ(watermark_font_size(2480, 3508), 275);
    EXPECT_EQ(watermark_font_size(900, 300), 33);
}

TEST(Watermark, BlendMovesPixelsTowardsTheStampGrey) {
    PageImage* page = white_page(3, 1, 24);
    page->pixels[6] = 0;   // third pixel: blue 0
    // Level, a mask the size of the page lies on it pixel for pixel.
    const uint8_t coverage[3] = {0, 255, 255};
    watermark_blend(page, coverage, 3, 1, 0, 255);
    EXPECT_EQ(page->pixels[0], 255);                 // no coverage: untouched
    EXPECT_EQ(page->pixels[3], WATERMARK_GREY);      // full: the grey itself
    EXPECT_EQ(page->pixels[6], WATERMARK_GREY);      // darker pixels are lifted to it
    const uint8_t half[3] = {0, 128, 0};
    PageImage* second = white_page(3, 1, 24);
    watermark_blend(second, half, 3, 1, 0, watermark_alpha(25));
    EXPECT_EQ(second->pixels[3], 255 - (255 - WATERMARK_GREY) * (63 * 128 / 255) / 255);
    page_image_free(page);
    page_image_free(second);
}

TEST(Watermark, TheMaskIsTurnedAboutThePageCentre) {
    // A horizontal bar through the middle of a mask, turned 90 degrees, is a vertical
    // bar through the middle of the page; turned -35 degrees it rises to the right.
    std::vector<uint8_t> bar(41 * 5, 0);
    for (int x = 0; x < 41; ++x) bar[2 * 41 + x] = 255;
    PageImage* page = white_page(61, 61, 24);
    watermark_blend(page, bar.data(), 41, 5, 90, 255);
    auto grey_at = [&](const PageImage* p, int x, int y) { return p->pixels[(int64_t)y * p->stride + 3 * x]; };
    EXPECT_EQ(grey_at(page, 30, 30), WATERMARK_GREY);
    EXPECT_EQ(grey_at(page, 30, 12), WATERMARK_GREY);
    EXPECT_EQ(grey_at(page, 12, 30), 255);
    EXPECT_EQ(grey_at(page, 30, 5), 255);   // past the bar's half length of 20
    PageImage* tilted = white_page(61, 61, 24);
    watermark_blend(tilted, bar.data(), 41, 5, WATERMARK_ANGLE_DEGREES, 255);
    EXPECT_LT(grey_at(tilted, 30 + 14, 30 - 10), 200);   // up and to the right
    EXPECT_LT(grey_at(tilted, 30 - 14, 30 + 10), 200);
    EXPECT_EQ(grey_at(tilted, 30 + 14, 30 + 10), 255);
    page_image_free(page);
    page_image_free(tilted);
}

TEST(Watermark, EmptyTextGivesAPlainColourCopy) {
    PageImage* grey = white_page(20, 10, 8);
    PageImage* copy = watermark_apply(L"", grey, 25);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->bits_per_pixel, 24);
    EXPECT_EQ(copy->dpi, 150);
    page_image_free(copy);
    page_image_free(grey);
}

#ifndef _WIN32
TEST(Watermark, WithoutARasteriserNoUnmarkedCopyIsHandedOut) {
    PageImage* page = white_page(20, 10, 24);
    EXPECT_EQ(watermark_apply(L"TRUE COPY", page, 25), nullptr);
    page_image_free(page);
}
#else
// ---- the real rasteriser

struct Ink {
    int count = 0;
    int darkest = 255;
    double sum_x = 0, sum_y = 0;
};

static Ink ink_of(const PageImage* page) {
    Ink ink;
    for (int y = 0; y < page->height; ++y)
        for (int x = 0; x < page->width; ++x) {
            const uint8_t* px = page->pixels + (int64_t)y * page->stride + 3 * x;
            if (px[0] == 255 && px[1] == 255 && px[2] == 255) continue;
            EXPECT_TRUE(px[0] == px[1] && px[1] == px[2]);   // grey only
            ++ink.count;
            ink.sum_x += x;
            ink.sum_y += y;
            if (px[0] < ink.darkest) ink.darkest = px[0];
        }
    return ink;
}

TEST(WatermarkDrawn, StampSitsOnTheCentreDiagonalAtItsStrength) {
    PageImage* page = white_page(600, 800, 8);
    PageImage* stamped = watermark_apply(L"TRUE COPY", page, 25);
    ASSERT_NE(stamped, nullptr);
    EXPECT_EQ(stamped->bits_per_pixel, 24);
    for (int64_t k = 0; k < (int64_t)page->stride * page->height; ++k) ASSERT_EQ(page->pixels[k], 255);
    const Ink ink = ink_of(stamped);
    EXPECT_GT(ink.count, 600 * 800 / 50);
    // Full coverage at 25 % gives 255 - 155 * 63 / 255 = 217; nothing goes darker.
    EXPECT_EQ(ink.darkest, 255 - (255 - WATERMARK_GREY) * 63 / 255);
    EXPECT_NEAR(ink.sum_x / ink.count, 300, 30);
    EXPECT_NEAR(ink.sum_y / ink.count, 400, 30);
    // Rising to the right: ink left of the centre lies lower than ink right of it.
    double left_y = 0, right_y = 0;
    int left = 0, right = 0;
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 600; ++x)
            if (stamped->pixels[(int64_t)y * stamped->stride + 3 * x] != 255) {
                if (x < 200) left_y += y, ++left;
                if (x > 400) right_y += y, ++right;
            }
    ASSERT_GT(left, 0);
    ASSERT_GT(right, 0);
    EXPECT_GT(left_y / left, right_y / right + 100);
    // The opacity floor: 1 % draws as 5 %.
    PageImage* faint = watermark_apply(L"TRUE COPY", page, 1);
    PageImage* floor = watermark_apply(L"TRUE COPY", page, 5);
    ASSERT_NE(faint, nullptr);
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(mem_compare(faint->pixels, floor->pixels, (size_t)faint->stride * faint->height), 0);
    EXPECT_EQ(ink_of(faint).darkest, 255 - (255 - WATERMARK_GREY) * 12 / 255);
    page_image_free(faint);
    page_image_free(floor);
    page_image_free(stamped);
    page_image_free(page);
}

// The level mask of text at 40 pixels, in a frame of 900 x 160 so masks of texts of
// different widths can be compared pixel by pixel.
static std::vector<uint8_t> coverage(const wchar_t* text, bool rtl) {
    int width = 0, height = 0;
    uint8_t* mask = watermark_render_text(text, 40, 900, rtl, &width, &height);
    std::vector<uint8_t> framed(900 * 160, 0);
    EXPECT_NE(mask, nullptr);
    EXPECT_EQ(height, 160);
    EXPECT_LE(width, 900);
    if (!mask || height != 160 || width > 900) return framed;
    const int left = (900 - width) / 2;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < width; ++x) framed[(size_t)(y * 900 + left + x)] = mask[y * width + x];
    mem_free(mask);
    return framed;
}

static int differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int n = 0;
    for (size_t k = 0; k < a.size(); ++k) n += (a[k] > 127) != (b[k] > 127);
    return n;
}

static int inked(const std::vector<uint8_t>& a) {
    int n = 0;
    for (uint8_t v : a) n += v > 127;
    return n;
}

TEST(WatermarkDrawn, ArabicIsJoinedAndReadsRightToLeft) {
    // "ABC سلام": right to left, the Latin run that comes first stands at the right, so
    // the picture is that of "سلام ABC" laid out left to right.
    const std::vector<uint8_t> rtl = coverage(L"ABC \x0633\x0644\x0627\x0645", true);
    const std::vector<uint8_t> ltr = coverage(L"ABC \x0633\x0644\x0627\x0645", false);
    const std::vector<uint8_t> visual = coverage(L"\x0633\x0644\x0627\x0645 ABC", false);
    ASSERT_GT(inked(rtl), 500);
    EXPECT_LT(differing(rtl, visual), inked(rtl) / 20);
    EXPECT_GT(differing(rtl, ltr), inked(rtl) / 4);
    // Joined letters differ from the same letters kept apart by zero-width non-joiners.
    const std::vector<uint8_t> joined = coverage(L"\x0633\x0644\x0627\x0645", true);
    const std::vector<uint8_t> apart = coverage(L"\x0633\x200C\x0644\x200C\x0627\x200C\x0645", true);
    EXPECT_GT(differing(joined, apart), inked(joined) / 10);
}

TEST(WatermarkDrawn, LongTextIsShrunkToStayOnThePage) {
    PageImage* page = white_page(400, 300, 24);
    PageImage* stamped = watermark_apply(L"A VERY LONG WATERMARK TEXT THAT WOULD NOT FIT", page, 100);
    ASSERT_NE(stamped, nullptr);
    // Shrunk to 0.8 of the 500-pixel diagonal along the 35-degree line, centred: the ink
    // spans at most 400 * cos 35 = 328 pixels across, so the outer 30 columns stay white.
    const Ink ink = ink_of(stamped);
    EXPECT_GT(ink.count, 1000);
    for (int y = 0; y < 300; ++y)
        for (int x : {0, 10, 29, 370, 389, 399})
            EXPECT_EQ(stamped->pixels[(int64_t)y * stamped->stride + 3 * x], 255) << x << "," << y;
    EXPECT_NEAR(ink.sum_x / ink.count, 200, 15);
    EXPECT_NEAR(ink.sum_y / ink.count, 150, 15);
    page_image_free(stamped);
    page_image_free(page);
}
#endif
