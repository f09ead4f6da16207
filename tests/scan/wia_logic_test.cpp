// tests/scan/wia_logic_test.cpp
// The WIA rules without a device: values per setting, the scan area against the device
// maximum, range scaling, the choice of the item and the import of BMP streams.
#include "scan/wia.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(WiaValues, SettingsMapToDeviceValues) {
    EXPECT_EQ(wia_document_handling(0), 2);
    EXPECT_EQ(wia_document_handling(1), 1);
    EXPECT_EQ(wia_document_handling(2), 5);
    EXPECT_EQ(wia_data_type(0), 3);
    EXPECT_EQ(wia_data_type(1), 2);
    EXPECT_EQ(wia_data_type(2), 0);
    EXPECT_EQ(wia_depth(0), 24);
    EXPECT_EQ(wia_depth(1), 8);
    EXPECT_EQ(wia_depth(2), 1);
}

TEST(WiaArea, PaperIsCutToTheDeviceMaximum) {
    int w = 0, h = 0;
    wia_paper_thousandths(4, &w, &h);   // Letter
    EXPECT_EQ(w, 8500);
    EXPECT_EQ(h, 11000);
    wia_paper_thousandths(9, &w, &h);   // out of range: A4
    EXPECT_EQ(w, 8268);
    EXPECT_EQ(h, 11693);
    wia_paper_thousandths(3, &w, &h);   // Legal on a bed of 8500 x 11690
    EXPECT_EQ(wia_pixels(wia_area_thousandths(w, true, 8500), 300), 2550);
    EXPECT_EQ(wia_pixels(wia_area_thousandths(h, true, 11690), 300), 3507);
    // Letter fits the bed: the paper stands; unread or zero maxima are ignored.
    EXPECT_EQ(wia_area_thousandths(11000, true, 11690), 11000);
    EXPECT_EQ(wia_area_thousandths(14000, false, 11690), 14000);
    EXPECT_EQ(wia_area_thousandths(14000, true, 0), 14000);
    EXPECT_EQ(wia_area_thousandths(14000, true, -5), 14000);
    // 64-bit and truncating.
    EXPECT_EQ(wia_pixels(11693, 4800), 56126);
    EXPECT_EQ(wia_pixels(8268, 75), 620);
}

TEST(WiaScale, RangesMapLinearly) {
    EXPECT_EQ(wia_scale(50, -100, 100, 0, 1000), 750);
    EXPECT_EQ(wia_scale(-100, -100, 100, 0, 1000), 0);
    EXPECT_EQ(wia_scale(100, -100, 100, -1000, 1000), 1000);
    EXPECT_EQ(wia_scale(128, 0, 255, 0, 255), 128);
    EXPECT_EQ(wia_scale(100, -100, 100, INT32_MIN + 1, INT32_MAX), INT32_MAX);   // no overflow
}

TEST(WiaItemChoice, FeederAndFlatbedRules) {
    const int32_t scan = 0x1 | 0x2000;
    const WiaChildInfo children[] = {
        {0x1, WIA_CATEGORY_KIND_FLATBED},          // not a transfer item
        {scan, WIA_CATEGORY_UNREADABLE},           // category unknown
        {scan, WIA_CATEGORY_KIND_OTHER},           // film, say
        {scan, WIA_CATEGORY_KIND_FEEDER},
        {scan, WIA_CATEGORY_KIND_FLATBED},
    };
    EXPECT_EQ(wia_choose_child(children, 5, true), 3);
    EXPECT_EQ(wia_choose_child(children, 5, false), 4);
    EXPECT_EQ(wia_choose_child(children, 4, false), 2);   // no flatbed: another category, never the feeder
    EXPECT_EQ(wia_choose_child(children + 3, 1, false), -1);
    EXPECT_EQ(wia_choose_child(children, 3, true), -1);
    EXPECT_EQ(wia_choose_child(nullptr, 0, false), -1);
}

// ---- BMP streams
static void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

// A 2 x 2, 24-bit bottom-up BMP whose rows start gap bytes after the header.
static std::vector<uint8_t> bmp(int gap) {
    const size_t offset = 14 + 40 + (size_t)gap;
    std::vector<uint8_t> b(offset + 2 * 8, 0xEE);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, (uint32_t)b.size());
    put32(b, 6, 0);
    put32(b, 10, (uint32_t)offset);
    std::memset(&b[14], 0, 40);
    put32(b, 14, 40);
    put32(b, 18, 2);
    put32(b, 22, 2);
    b[26] = 1;
    b[28] = 24;
    for (int row = 0; row < 2; ++row) {
        uint8_t* r = &b[offset + (size_t)row * 8];
        std::memset(r, row == 0 ? 0x10 : 0xF0, 6);   // bottom row dark, top row light
        r[6] = r[7] = 0;
    }
    return b;
}

TEST(WiaBmp, RowsStartAtTheirOffset) {
    for (int gap : {0, 16}) {
        std::vector<uint8_t> b = bmp(gap);
        PageImage* p = wia_bmp_page(b.data(), b.size(), 300);
        ASSERT_NE(p, nullptr) << gap;
        EXPECT_EQ(p->width, 2);
        EXPECT_EQ(p->height, 2);
        EXPECT_EQ(p->pixels[0], 0xF0) << gap;                // top row first
        EXPECT_EQ(p->pixels[p->stride], 0x10) << gap;
        page_image_free(p);
    }
}

TEST(WiaBmp, StreamLengthCountsNotTheHeader) {
    std::vector<uint8_t> b = bmp(0);
    put32(b, 2, 0x7FFFFFFF);   // bfSize claims far more than there is: ignored
    PageImage* p = wia_bmp_page(b.data(), b.size(), 300);
    ASSERT_NE(p, nullptr);
    page_image_free(p);
    // The stream ends before the last row: refused, not read past the end.
    EXPECT_EQ(wia_bmp_page(b.data(), b.size() - 4, 300), nullptr);
}

TEST(WiaBmp, BadOffsetsAreRefused) {
    std::vector<uint8_t> b = bmp(0);
    put32(b, 10, 20);   // inside the header
    EXPECT_EQ(wia_bmp_page(b.data(), b.size(), 300), nullptr);
    put32(b, 10, (uint32_t)b.size());   // at the end: no rows
    EXPECT_EQ(wia_bmp_page(b.data(), b.size(), 300), nullptr);
    put32(b, 10, 0xFFFFFFF0u);
    EXPECT_EQ(wia_bmp_page(b.data(), b.size(), 300), nullptr);
    std::vector<uint8_t> c = bmp(0);
    c[1] = 'X';
    EXPECT_EQ(wia_bmp_page(c.data(), c.size(), 300), nullptr);
    EXPECT_EQ(wia_bmp_page(c.data(), 54, 300), nullptr);
    EXPECT_EQ(wia_bmp_page(nullptr, 100, 300), nullptr);
}
