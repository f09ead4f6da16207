// tests/scan/twain_values_test.cpp
#include "scan/twain_values.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

TEST(TwainValues, Fix32WholeNumbersHaveNoFraction) {
    EXPECT_EQ(twain_fix32_item(250), 250u);
    EXPECT_EQ(twain_fix32_item(200), 200u);
    EXPECT_EQ(twain_fix32_item(0), 0u);
}

TEST(TwainValues, Fix32FractionGoesToTheHighHalf) {
    EXPECT_EQ(twain_fix32_item(200.5), 200u | (0x8000u << 16));
    EXPECT_EQ(twain_fix32_item(1.25), 1u | (0x4000u << 16));
}

TEST(TwainValues, Fix32FractionThatRoundsUpCarriesIntoTheWholePart) {
    // 0.9999999 * 65536 + 0.5 truncates to 65536: one more whole unit, not Frac 0 on the same Whole.
    EXPECT_EQ(twain_fix32_item(199.9999999), 200u);
    EXPECT_EQ(twain_fix32_item(-0.0000001), 0u);
    EXPECT_EQ(twain_fix32_item(0.99999), 0u | (0xFFFFu << 16));  // still below the carry
}

TEST(TwainValues, Fix32NegativeValuesUseFloor) {
    EXPECT_EQ(twain_fix32_item(-100), 0xFF9Cu);               // Whole -100, Frac 0
    EXPECT_EQ(twain_fix32_item(-0.5), 0xFFFFu | (0x8000u << 16));  // floor -1, Frac 0.5
}

TEST(TwainValues, ImageDpiRoundsAndFallsBackOutsideRange) {
    EXPECT_EQ(twain_image_dpi(TW_FIX32{300, 0}, 200), 300);
    EXPECT_EQ(twain_image_dpi(TW_FIX32{299, 0x8000}, 200), 300);
    EXPECT_EQ(twain_image_dpi(TW_FIX32{299, 0x7FFF}, 200), 299);
    EXPECT_EQ(twain_image_dpi(TW_FIX32{19, 0}, 200), 200);
    EXPECT_EQ(twain_image_dpi(TW_FIX32{4801, 0}, 150), 150);
    EXPECT_EQ(twain_image_dpi(TW_FIX32{20, 0}, 150), 20);
}

TEST(TwainValues, PixelTypesAndPaperSizes) {
    EXPECT_EQ(twain_pixel_type(0), TWPT_RGB);
    EXPECT_EQ(twain_pixel_type(1), TWPT_GRAY);
    EXPECT_EQ(twain_pixel_type(2), TWPT_BW);
    EXPECT_EQ(twain_paper_size(0), 1);
    EXPECT_EQ(twain_paper_size(1), 11);
    EXPECT_EQ(twain_paper_size(2), 5);
    EXPECT_EQ(twain_paper_size(3), 4);
    EXPECT_EQ(twain_paper_size(4), 3);
    EXPECT_EQ(twain_paper_size(9), 1);
    EXPECT_EQ(twain_paper_size(-1), 1);
}

static std::vector<uint8_t> onevalue(TW_UINT16 type, TW_UINT32 item) {
    TW_ONEVALUE one = {type, item};
    std::vector<uint8_t> b(sizeof(one));
    std::memcpy(b.data(), &one, sizeof(one));
    return b;
}

static std::vector<uint8_t> enumeration(TW_UINT16 type, TW_UINT32 count, TW_UINT32 current,
                                        const std::vector<TW_UINT16>& items) {
    const size_t header = offsetof(TW_ENUMERATION, ItemList);
    std::vector<uint8_t> b(header + items.size() * 2);
    TW_ENUMERATION e = {};
    e.ItemType = type;
    e.NumItems = count;
    e.CurrentIndex = current;
    std::memcpy(b.data(), &e, header);
    if (!items.empty()) std::memcpy(b.data() + header, items.data(), items.size() * 2);
    return b;
}

TEST(TwainValues, BoolFromOneValueUsesLow16Bits) {
    auto yes = onevalue(TWTY_BOOL, 1);
    auto high_only = onevalue(TWTY_BOOL, 0x10000);
    EXPECT_EQ(twain_bool_from_container(TWON_ONEVALUE, yes.data(), yes.size()), 1);
    EXPECT_EQ(twain_bool_from_container(TWON_ONEVALUE, high_only.data(), high_only.size()), 0);
    EXPECT_EQ(twain_bool_from_container(TWON_ONEVALUE, yes.data(), 4), TWAIN_BOOL_UNKNOWN);
}

TEST(TwainValues, BoolFromEnumerationReadsTheCurrentItem) {
    auto e = enumeration(TWTY_BOOL, 2, 1, {1, 0});
    EXPECT_EQ(twain_bool_from_container(TWON_ENUMERATION, e.data(), e.size()), 0);
    auto f = enumeration(TWTY_UINT16, 2, 0, {1, 0});
    EXPECT_EQ(twain_bool_from_container(TWON_ENUMERATION, f.data(), f.size()), 1);
}

TEST(TwainValues, EnumerationIndexOutsideItemsIsUnknown) {
    auto past = enumeration(TWTY_BOOL, 2, 2, {1, 1, 1});
    EXPECT_EQ(twain_bool_from_container(TWON_ENUMERATION, past.data(), past.size()), TWAIN_BOOL_UNKNOWN);
    auto huge = enumeration(TWTY_BOOL, 0xFFFFFFFFu, 0x7FFFFFFFu, {1});
    EXPECT_EQ(twain_bool_from_container(TWON_ENUMERATION, huge.data(), huge.size()), TWAIN_BOOL_UNKNOWN);
}

TEST(TwainValues, OtherTypesAndContainersAreUnknown) {
    auto wide = enumeration(2 /* TWTY_INT32 */, 1, 0, {1, 0});
    EXPECT_EQ(twain_bool_from_container(TWON_ENUMERATION, wide.data(), wide.size()), TWAIN_BOOL_UNKNOWN);
    auto one = onevalue(TWTY_BOOL, 1);
    EXPECT_EQ(twain_bool_from_container(3 /* TWON_ARRAY */, one.data(), one.size()), TWAIN_BOOL_UNKNOWN);
    EXPECT_EQ(twain_bool_from_container(TWON_ONEVALUE, nullptr, 6), TWAIN_BOOL_UNKNOWN);
}
