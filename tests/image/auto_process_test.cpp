#include "image/auto_process.h"

#include <gtest/gtest.h>

#include "tests/image/synthetic_page.h"

// ---- Otsu

TEST(Otsu, SplitsTwoPeaksBetweenThem) {
    uint32_t histogram[256] = {};
    histogram[40] = 300;
    histogram[210] = 700;
    // Every level from 40 to 209 separates the peaks equally well: the first one is kept.
    EXPECT_EQ(40, otsu_threshold(histogram, 1000));
}

TEST(Otsu, SingleLevelOrEmptyGives128) {
    uint32_t histogram[256] = {};
    EXPECT_EQ(128, otsu_threshold(histogram, 0));
    histogram[17] = 50;
    EXPECT_EQ(128, otsu_threshold(histogram, 50));
}

TEST(Otsu, FirstOfEqualMaximaWins) {
    uint32_t histogram[256] = {};
    histogram[10] = 1;
    histogram[20] = 1;
    // Every level from 10 to 19 separates the two equally well.
    EXPECT_EQ(10, otsu_threshold(histogram, 2));
}

// ---- blank test

TEST(Blank, WhitePageWithEdgeFrameIsBlank) {
    PageImage* page = make_plain_page(700, 700, 8, 255);
    fill_rect(page, 0, 0, 700, 1, 0);
    fill_rect(page, 0, 699, 700, 1, 0);
    fill_rect(page, 0, 0, 1, 700, 0);
    fill_rect(page, 699, 0, 1, 700, 0);
    EXPECT_TRUE(page_is_blank(page));
    page_image_free(page);
}

TEST(Blank, DarknessIsMeasuredFromThePaper) {
    // Paper 200 with marks 50 levels darker: still blank.
    PageImage* page = make_plain_page(700, 700, 8, 200);
    fill_rect(page, 100, 100, 300, 300, 150);
    EXPECT_TRUE(page_is_blank(page));
    page_image_free(page);

    // Marks 56 levels darker over 0.2 % of the inner area (644 x 644): not blank.
    page = make_plain_page(700, 700, 8, 200);
    fill_rect(page, 300, 300, 30, 28, 144);
    EXPECT_FALSE(page_is_blank(page));
    page_image_free(page);

    // The same marks over 0.1 % stay below the limit.
    page = make_plain_page(700, 700, 8, 200);
    fill_rect(page, 300, 300, 20, 20, 144);
    EXPECT_TRUE(page_is_blank(page));
    page_image_free(page);
}

TEST(Blank, TextPageIsNotBlankAndFullSizePagesAreReduced) {
    PageImage* page = make_text_page(1240, 1754, 24);
    EXPECT_FALSE(page_is_blank(page));
    page_image_free(page);
    page = make_plain_page(1240, 1754, 24, 250);
    EXPECT_TRUE(page_is_blank(page));
    page_image_free(page);
}

TEST(Blank, NoPageIsNotBlank) {
    EXPECT_FALSE(page_is_blank(nullptr));
}

// ---- content rectangle

TEST(Crop, WhiteLidKeepsAMarginOfTwoPercent) {
    PageImage* page = make_plain_page(700, 700, 8, 255);
    fill_rect(page, 200, 150, 300, 400, 0);
    PageRect r = {};
    ASSERT_TRUE(page_find_content(page, &r));
    EXPECT_EQ(200 - 14, r.x);
    EXPECT_EQ(150 - 14, r.y);
    EXPECT_EQ(300 + 28, r.w);
    EXPECT_EQ(400 + 28, r.h);
    page_image_free(page);
}

TEST(Crop, BlackLidCropsToThePaperWithoutMargin) {
    PageImage* page = make_plain_page(700, 700, 8, 0);
    fill_rect(page, 100, 50, 500, 600, 240);
    fill_rect(page, 200, 200, 100, 10, 20);  // text on the paper
    PageRect r = {};
    ASSERT_TRUE(page_find_content(page, &r));
    EXPECT_EQ(100, r.x);
    EXPECT_EQ(50, r.y);
    EXPECT_EQ(500, r.w);
    EXPECT_EQ(600, r.h);
    page_image_free(page);
}

TEST(Crop, RectangleIsScaledToTheFullPage) {
    PageImage* page = make_plain_page(1400, 2100, 24, 255);
    fill_rect(page, 400, 600, 600, 800, 0);
    PageRect r = {};
    ASSERT_TRUE(page_find_content(page, &r));
    // The working copy is 466 x 700: a factor of about 3 each way.
    EXPECT_NEAR(400 - 28, r.x, 6);
    EXPECT_NEAR(600 - 42, r.y, 6);
    EXPECT_NEAR(600 + 56, r.w, 8);
    EXPECT_NEAR(800 + 84, r.h, 8);
    EXPECT_LE(r.x + r.w, 1400);
    EXPECT_LE(r.y + r.h, 2100);
    page_image_free(page);
}

TEST(Crop, TooLittleOrTooMuchIsRefused) {
    // Content reaching every edge: the crop would keep 100 %.
    PageImage* page = make_plain_page(700, 700, 8, 255);
    fill_rect(page, 0, 0, 700, 2, 0);
    fill_rect(page, 0, 698, 700, 2, 0);
    PageRect r = {1, 1, 1, 1};
    EXPECT_FALSE(page_find_content(page, &r));
    EXPECT_EQ(0, r.w);
    page_image_free(page);

    // With its margins the box keeps 98.3 % of the page.
    page = make_plain_page(700, 700, 8, 255);
    fill_rect(page, 17, 17, 666, 2, 0);
    fill_rect(page, 17, 681, 666, 2, 0);
    EXPECT_FALSE(page_find_content(page, &r));
    page_image_free(page);

    // A small mark: about 1 % of the page would stay.
    page = make_plain_page(700, 700, 8, 255);
    fill_rect(page, 300, 300, 50, 50, 0);
    EXPECT_FALSE(page_find_content(page, &r));
    page_image_free(page);

    // A blank page has no content.
    page = make_plain_page(700, 700, 8, 255);
    EXPECT_FALSE(page_find_content(page, &r));
    page_image_free(page);
}

// ---- arrival path

TEST(Arrival, SkewedPageIsStraightenedThenCropped) {
    PageImage* straight = make_text_page(1240, 1754, 24);
    PageImage* page = page_rotate_by(straight, -2.0);
    page_image_free(straight);
    ASSERT_NE(nullptr, page);
    const double applied = page_process_arrival(&page, ArrivalOptions{true, true, true}).angle;
    EXPECT_NEAR(2.0, applied, 0.1);
    ASSERT_NE(nullptr, page);
    EXPECT_LT(page->width, 1240);
    EXPECT_LT(page->height, 1754);
    EXPECT_EQ(24, page->bits_per_pixel);
    page_image_free(page);
}

TEST(Arrival, SmallAnglesAreLeftAlone) {
    PageImage* straight = make_text_page(1240, 1754, 8);
    PageImage* page = page_rotate_by(straight, -0.2);
    page_image_free(straight);
    // A small tilt is seen, but below the arrival threshold it is left alone.
    const double estimate = page_estimate_skew(page);
    EXPECT_GT(estimate, 0.05);
    EXPECT_LT(estimate, DESKEW_ARRIVAL_MIN_DEGREES);
    PageImage* before = page;
    EXPECT_EQ(0, page_process_arrival(&page, ArrivalOptions{true, false, false}).angle);
    EXPECT_EQ(before, page);
    page_image_free(page);
}

TEST(Arrival, BlankPageIsReportedAndLeftAlone) {
    PageImage* page = make_plain_page(1240, 1754, 24, 250);
    PageImage* before = page;
    const ArrivalResult result = page_process_arrival(&page, ArrivalOptions{true, true, true});
    EXPECT_TRUE(result.blank);
    EXPECT_EQ(before, page);
    EXPECT_FALSE(page_process_arrival(&page, ArrivalOptions{true, true, false}).blank);
    page_image_free(page);
}
