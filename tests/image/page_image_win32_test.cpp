#include "image/page_image.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/image/synthetic_page.h"

TEST(DisplayBitmap, ScaledTopDownThirtyTwoBit) {
    PageImage* page = make_plain_page(100, 50, 8, 200);
    fill_rect(page, 0, 0, 10, 10, 0);  // the first target pixel's whole block
    HBITMAP bitmap = page_image_to_display_bitmap(page, 10, 10);
    ASSERT_NE(nullptr, bitmap);
    DIBSECTION section = {};
    ASSERT_EQ((int)sizeof section, GetObjectW(bitmap, sizeof section, &section));
    EXPECT_EQ(10, section.dsBm.bmWidth);
    EXPECT_EQ(5, section.dsBm.bmHeight);
    EXPECT_EQ(32, section.dsBm.bmBitsPixel);
    const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    ASSERT_NE(nullptr, bits);
    // The top-left block is black and the first row in memory is the top row.
    EXPECT_EQ(0, bits[0]);
    EXPECT_EQ(255, bits[3]);
    EXPECT_EQ(200, bits[4]);
    EXPECT_EQ(200, bits[4 * 10 * 4 + 2]);
    DeleteObject(bitmap);
    page_image_free(page);
}

TEST(DisplayBitmap, OneBitPageIsShownGrey) {
    PageImage* grey = make_plain_page(16, 8, 8, 255);
    fill_rect(grey, 0, 0, 1, 8, 0);
    PageImage* mono = page_image_threshold(grey, 128);
    HBITMAP bitmap = page_image_to_display_bitmap(mono, 100, 100);
    ASSERT_NE(nullptr, bitmap);
    DIBSECTION section = {};
    ASSERT_EQ((int)sizeof section, GetObjectW(bitmap, sizeof section, &section));
    EXPECT_EQ(16, section.dsBm.bmWidth);
    const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    EXPECT_EQ(0, bits[0]);
    EXPECT_EQ(255, bits[4]);
    DeleteObject(bitmap);
    page_image_free(grey);
    page_image_free(mono);
}
