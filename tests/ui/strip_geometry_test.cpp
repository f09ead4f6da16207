// The page strip's arithmetic in both reading directions and at 96 and 144 DPI, and the
// preview caption.
#include "ui/strip_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

StripShape shape(int count, int client_width, bool rtl) {
    StripShape s;
    s.m = strip_metrics_96();
    s.count = count;
    s.client_width = client_width;
    s.rtl = rtl;
    return s;
}

TEST(StripGeometry, ContentWidthIsTheClientUntilThePagesNeedMore) {
    EXPECT_EQ(strip_content_width(shape(0, 500, false)), 500);
    EXPECT_EQ(strip_content_width(shape(4, 500, false)), 500);    // 412 fits
    EXPECT_EQ(strip_content_width(shape(5, 500, false)), 512);
    EXPECT_EQ(strip_content_width(shape(30, 500, true)), 3012);
    EXPECT_EQ(strip_content_width(shape(3, 0, false)), 312);
}

TEST(StripGeometry, CellsRunLeftToRightInEnglishAndRightToLeftInArabic) {
    const StripShape en = shape(3, 600, false);
    EXPECT_EQ(strip_cell_x(en, 0), 8);
    EXPECT_EQ(strip_cell_x(en, 2), 208);
    const StripShape ar = shape(3, 600, true);
    EXPECT_EQ(strip_cell_x(ar, 0), 600 - 8 - 92);   // page 1 at the right end
    EXPECT_EQ(strip_cell_x(ar, 2), 600 - 8 - 92 - 200);
    // With more pages than fit, Arabic page 1 sits at the right end of the content.
    const StripShape long_ar = shape(10, 300, true);
    EXPECT_EQ(strip_cell_x(long_ar, 0), 1012 - 100);
    EXPECT_EQ(strip_cell_x(long_ar, 9), 12);
}

TEST(StripGeometry, APointerHitsACellOnlyInsideItsSpan) {
    for (bool rtl : {false, true}) {
        const StripShape s = shape(3, 600, rtl);
        for (int i = 0; i < 3; ++i) {
            const int x = strip_cell_x(s, i);
            EXPECT_EQ(strip_cell_at(s, x), i);
            EXPECT_EQ(strip_cell_at(s, x + 91), i);
            EXPECT_EQ(strip_cell_at(s, x + 92), -1);   // the gap
            EXPECT_EQ(strip_cell_at(s, x - 1), -1);
        }
    }
    EXPECT_EQ(strip_cell_at(shape(0, 600, false), 10), -1);
}

TEST(StripGeometry, MarkersSitInTheGapOnTheReadingStartSideOfTheirCell) {
    const StripShape en = shape(3, 600, false);
    EXPECT_EQ(strip_marker_x(en, 0), 4);
    EXPECT_EQ(strip_marker_x(en, 1), 104);
    EXPECT_EQ(strip_marker_x(en, 3), 304);   // after the last: one pitch on
    const StripShape ar = shape(3, 600, true);
    EXPECT_EQ(strip_marker_x(ar, 0), 596);
    EXPECT_EQ(strip_marker_x(ar, 1), 496);
    EXPECT_EQ(strip_marker_x(ar, 3), 296);
    EXPECT_EQ(strip_marker_x(shape(0, 600, true), 0), 4);
}

TEST(StripGeometry, TheDropTargetIsTheNearestMarkerAndTheFirstWinsATie) {
    const StripShape en = shape(3, 600, false);
    EXPECT_EQ(strip_drop_target(en, -50), 0);
    EXPECT_EQ(strip_drop_target(en, 53), 0);
    EXPECT_EQ(strip_drop_target(en, 54), 0);    // halfway between 4 and 104: the first
    EXPECT_EQ(strip_drop_target(en, 55), 1);
    EXPECT_EQ(strip_drop_target(en, 290), 3);
    EXPECT_EQ(strip_drop_target(en, 5000), 3);
    const StripShape ar = shape(3, 600, true);
    EXPECT_EQ(strip_drop_target(ar, 599), 0);
    EXPECT_EQ(strip_drop_target(ar, 546), 0);   // halfway between 596 and 496
    EXPECT_EQ(strip_drop_target(ar, 545), 1);
    EXPECT_EQ(strip_drop_target(ar, 0), 3);
    EXPECT_EQ(strip_drop_target(shape(0, 600, false), 10), -1);
}

TEST(StripGeometry, ADropOnItsOwnPlaceOrTheGapAfterItChangesNothing) {
    EXPECT_EQ(strip_drop_destination(0, 3, 3), 2);   // page 1 of 3 after page 3: last
    EXPECT_EQ(strip_drop_destination(2, 0, 3), 0);
    EXPECT_EQ(strip_drop_destination(1, 1, 3), -1);  // own place
    EXPECT_EQ(strip_drop_destination(1, 2, 3), -1);  // the gap right after itself
    EXPECT_EQ(strip_drop_destination(1, 3, 3), 2);
    EXPECT_EQ(strip_drop_destination(1, 4, 3), -1);
    EXPECT_EQ(strip_drop_destination(-1, 0, 3), -1);
    EXPECT_EQ(strip_drop_destination(3, 0, 3), -1);
}

TEST(StripGeometry, ScrollingToACellLeavesTheMarginFreeAndStaysInRange) {
    const StripShape en = shape(10, 300, false);    // content 1012, offsets 0..712
    EXPECT_EQ(strip_ensure_visible(en, 0, 0), 0);
    EXPECT_EQ(strip_ensure_visible(en, 0, 2), 0);    // 208..300 still fits
    EXPECT_EQ(strip_ensure_visible(en, 0, 3), 408 - 300);
    EXPECT_EQ(strip_ensure_visible(en, 500, 4), 400);
    EXPECT_EQ(strip_ensure_visible(en, 500, 0), 0);  // 8 - 8
    EXPECT_EQ(strip_ensure_visible(en, 0, 9), 708);  // the margin after it
    EXPECT_EQ(strip_ensure_visible(en, 900, -1), 712);
    const StripShape ar = shape(10, 300, true);
    EXPECT_EQ(strip_ensure_visible(ar, 0, 0), 712);  // page 1 at the right end
    EXPECT_EQ(strip_ensure_visible(ar, 712, 9), 4);
    EXPECT_EQ(strip_clamp_offset(ar, -5), 0);
    EXPECT_EQ(strip_clamp_offset(shape(2, 300, false), 40), 0);   // nothing to scroll
}

TEST(StripGeometry, EdgesScrollWhileDraggingAndTheWheelMovesAPitchPerNotch) {
    EXPECT_EQ(strip_auto_scroll(0, 400, 24, 12), -12);
    EXPECT_EQ(strip_auto_scroll(23, 400, 24, 12), -12);
    EXPECT_EQ(strip_auto_scroll(24, 400, 24, 12), 0);
    EXPECT_EQ(strip_auto_scroll(375, 400, 24, 12), 0);
    EXPECT_EQ(strip_auto_scroll(376, 400, 24, 12), 12);
    EXPECT_EQ(strip_auto_scroll(-30, 400, 24, 12), -12);
    EXPECT_EQ(strip_auto_scroll(430, 400, 24, 12), 12);
    const StripShape s = shape(3, 300, false);
    EXPECT_EQ(strip_wheel_scroll(s, 120), -100);
    EXPECT_EQ(strip_wheel_scroll(s, -240), 200);
    EXPECT_EQ(strip_wheel_scroll(s, 60), -50);
}

TEST(StripGeometry, ArrowsFollowTheReadingDirection) {
    EXPECT_EQ(strip_arrow_target(0, 3, true, false), 1);
    EXPECT_EQ(strip_arrow_target(2, 3, true, false), 2);    // clamped
    EXPECT_EQ(strip_arrow_target(1, 3, false, false), 0);
    EXPECT_EQ(strip_arrow_target(0, 3, false, false), 0);
    EXPECT_EQ(strip_arrow_target(1, 3, true, true), 0);     // Arabic: Right is back
    EXPECT_EQ(strip_arrow_target(1, 3, false, true), 2);
    EXPECT_EQ(strip_arrow_target(-1, 2, true, false), 1);   // none: the second page
    EXPECT_EQ(strip_arrow_target(-1, 1, true, false), 0);
    EXPECT_EQ(strip_arrow_target(-1, 3, false, false), 0);
    EXPECT_EQ(strip_arrow_target(-1, 0, true, false), -1);
}

TEST(StripGeometry, At144DpiEveryLengthIsScaled) {
    StripShape s = shape(3, 600, false);
    s.m = StripMetrics{138, 150, 12, 6, 6};
    EXPECT_EQ(strip_content_width(s), 600);
    EXPECT_EQ(strip_cell_x(s, 2), 312);
    EXPECT_EQ(strip_marker_x(s, 3), 456);
    EXPECT_EQ(strip_drop_target(s, 400), 3);
    s.rtl = true;
    EXPECT_EQ(strip_cell_x(s, 0), 600 - 12 - 138);
    EXPECT_EQ(strip_marker_x(s, 0), 594);
    EXPECT_EQ(strip_wheel_scroll(s, 120), -150);
}

TEST(StripGeometry, ThumbnailsShrinkToTheirSpaceKeepingTheirShapeAndNeverGrow) {
    int w = 0, h = 0;
    fit_picture(74, 104, 84, 66, &w, &h);   // a portrait page in a low strip
    EXPECT_EQ(w, 46);
    EXPECT_EQ(h, 66);
    fit_picture(84, 59, 84, 66, &w, &h);    // a landscape page fits as it is
    EXPECT_EQ(w, 84);
    EXPECT_EQ(h, 59);
    fit_picture(200, 100, 84, 66, &w, &h);
    EXPECT_EQ(w, 84);
    EXPECT_EQ(h, 42);
    fit_picture(1000, 1, 84, 66, &w, &h);   // a sliver stays visible
    EXPECT_EQ(w, 84);
    EXPECT_EQ(h, 1);
    fit_picture(74, 104, 84, 0, &w, &h);    // no room at all
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

PageImage* make_page(int width, int height, int dpi) {
    PageImage* page = page_image_new();
    if (!page_image_alloc(page, width, height, 1, dpi)) {
        page_image_free(page);
        return nullptr;
    }
    return page;
}

TEST(PreviewCaption, NamesThePositionAndTheSizeOfTheSelectedPage) {
    PageList list = {};
    ASSERT_TRUE(page_list_init(&list, nullptr));
    PreviewCaption caption = {};
    EXPECT_FALSE(preview_caption(&list, &caption));
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(page_list_append(&list, make_page(k == 1 ? 2480 : 100, k == 1 ? 3508 : 100, 300)));
    EXPECT_FALSE(preview_caption(&list, &caption));   // nothing selected
    list.selected = 1;
    ASSERT_TRUE(preview_caption(&list, &caption));
    EXPECT_EQ(caption.position, 2);
    EXPECT_EQ(caption.count, 5);
    EXPECT_EQ(caption.format_id, 193);
    EXPECT_EQ(caption.width, 2480);
    EXPECT_EQ(caption.height, 3508);
    EXPECT_EQ(caption.dpi, 300);
    WideString text = {};
    ASSERT_TRUE(preview_caption_text(caption, L"%d x %d px, %d DPI", &text));
    const std::u16string expected = u"2 / 5    2480 x 3508 px, 300 DPI";
    EXPECT_EQ(std::u16string((const char16_t*)text_of(text)), expected);
    release(&text);
    list.selected = 5;
    EXPECT_FALSE(preview_caption(&list, &caption));
    page_list_free(&list);
}

}  // namespace
