#include "image/auto_process.h"

#include <gtest/gtest.h>
#include <math.h>

#include "tests/image/synthetic_page.h"

static bool bit_at(const PageImage* page, int x, int y) {
    return (page->pixels[(int64_t)y * page->stride + x / 8] >> (7 - x % 8)) & 1;
}

TEST(Skew, TextPageRotatedByTwoDegreesIsMeasured) {
    PageImage* straight = make_text_page(2480, 3508, 8);
    for (double angle : {2.0, -2.0}) {
        PageImage* skewed = page_rotate_by(straight, -angle);
        ASSERT_NE(nullptr, skewed);
        EXPECT_NEAR(angle, page_estimate_skew(skewed), 0.1) << angle;
        page_image_free(skewed);
    }
    EXPECT_NEAR(0.0, page_estimate_skew(straight), 0.05);
    page_image_free(straight);
}

TEST(Skew, TooFewDarkPixelsGiveZero) {
    PageImage* page = make_plain_page(700, 700, 8, 255);
    // 150 dark pixels on a slanted line: a clear angle, but too little to measure.
    for (int i = 0; i < 150; ++i) *pixel_at(page, 100 + i * 3, 300 + i / 10) = 0;
    EXPECT_EQ(0.0, page_estimate_skew(page));
    page_image_free(page);
}

TEST(Skew, SlantedLinesGiveTheirAngle) {
    PageImage* straight = make_text_page(1000, 1000, 24);
    PageImage* skewed = page_rotate_by(straight, 5.0);
    EXPECT_NEAR(-5.0, page_estimate_skew(skewed), 0.1);
    page_image_free(straight);
    page_image_free(skewed);
}

TEST(Rotate, ZeroAngleKeepsThePixels) {
    PageImage* page = make_text_page(300, 200, 24);
    PageImage* same = page_rotate_by(page, 0.0);
    ASSERT_NE(nullptr, same);
    // The last row and column have no neighbour to interpolate with and turn white.
    for (int y = 0; y < 199; ++y)
        for (int x = 0; x < 299 * 3; ++x)
            ASSERT_EQ(page->pixels[y * page->stride + x], same->pixels[y * same->stride + x]) << x << "," << y;
    EXPECT_EQ(255, same->pixels[199 * same->stride]);
    page_image_free(page);
    page_image_free(same);
}

TEST(Rotate, QuarterTurnAboutTheCentre) {
    PageImage* page = make_plain_page(101, 101, 8, 255);
    fill_rect(page, 60, 50, 20, 1, 0);  // a dash right of the centre
    PageImage* turned = page_rotate_by(page, 90.0);
    ASSERT_NE(nullptr, turned);
    // Target (x, y) samples the source at (cx - (y - cy), cy + (x - cx)): the dash
    // ends up above the centre.
    EXPECT_LT(*pixel_at(turned, 50, 30), 128);
    EXPECT_EQ(255, *pixel_at(turned, 70, 50));
    page_image_free(page);
    page_image_free(turned);
}

TEST(Rotate, OneBitPageStaysOneBitWithWhiteCorners) {
    PageImage* grey = make_plain_page(400, 300, 8, 0);
    PageImage* mono = page_image_threshold(grey, 128);  // all black
    PageImage* turned = page_rotate_by(mono, 0.5);
    ASSERT_NE(nullptr, turned);
    EXPECT_EQ(1, turned->bits_per_pixel);
    EXPECT_EQ(400, turned->width);
    EXPECT_EQ(300, turned->height);
    EXPECT_TRUE(bit_at(turned, 0, 0));
    EXPECT_TRUE(bit_at(turned, 399, 299));
    EXPECT_FALSE(bit_at(turned, 200, 150));
    page_image_free(grey);
    page_image_free(mono);
    page_image_free(turned);
}

TEST(Rotate, MeaninglessAnglesAreRefused) {
    PageImage* page = make_plain_page(20, 20, 8, 255);
    EXPECT_EQ(nullptr, page_rotate_by(page, __builtin_nan("")));
    EXPECT_EQ(nullptr, page_rotate_by(page, 1e300));
    page_image_free(page);
}

// The sampling rule worked in doubles: position, 8-bit fractions, the four weights.
static int reference_rotated_value(const PageImage* src, double degrees, int x, int y) {
    const double theta = degrees * 3.14159265358979323846 / 180.0;
    const double cx = src->width * 0.5, cy = src->height * 0.5;
    const double sx = (x - cx) * cos(theta) - (y - cy) * sin(theta) + cx;
    const double sy = (x - cx) * sin(theta) + (y - cy) * cos(theta) + cy;
    const int ax = (int)floor(sx), ay = (int)floor(sy);
    if (ax < 0 || ay < 0 || ax >= src->width - 1 || ay >= src->height - 1) return 255;
    const int fx = (int)((sx - ax) * 256), fy = (int)((sy - ay) * 256);
    const uint8_t* p = src->pixels + (int64_t)ay * src->stride + ax;
    const uint8_t* q = p + src->stride;
    return ((256 - fx) * (256 - fy) * p[0] + fx * (256 - fy) * p[1] + (256 - fx) * fy * q[0] + fx * fy * q[1]) >> 16;
}

TEST(Rotate, BilinearWeightsAlongATurnedEdge) {
    // A vertical edge (0 left, 200 right) over a gradient down the page: every one of the
    // four neighbours carries a different value, so a wrong weight shows.
    PageImage* page = make_plain_page(16, 16, 8, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) *pixel_at(page, x, y) = (uint8_t)((x >= 8 ? 200 : 0) + y * 3);
    const double angle = 10.0;
    PageImage* turned = page_rotate_by(page, angle);
    ASSERT_NE(nullptr, turned);
    int mixed = 0;
    for (int y = 1; y < 15; ++y) {
        for (int x = 1; x < 15; ++x) {
            const int expected = reference_rotated_value(page, angle, x, y);
            EXPECT_NEAR(expected, *pixel_at(turned, x, y), 1) << x << "," << y;
            // Left of the edge is at most 45, right of it at least 200: between is a blend.
            if (expected > 50 && expected < 195) ++mixed;
        }
    }
    // The rows cross the edge: some samples must be blends, not copies of a neighbour.
    EXPECT_GT(mixed, 8);
    EXPECT_EQ(255, *pixel_at(turned, 0, 0));
    page_image_free(turned);
    page_image_free(page);
}
