// The main window's geometry, placement, enable table and right-to-left values: every
// size and both DPIs, the Arabic layout held against the English one rectangle by
// rectangle, and the placement edge cases.
#include "ui/main_layout.h"

#include <gtest/gtest.h>

#include "app/strings.h"
#include "ui/bidi_text.h"
#include "ui/theme.h"

namespace {

MainLayoutInput input(int w, int h, int dpi, int language) {
    MainLayoutInput in = {};
    in.client_w = w;
    in.client_h = h;
    in.dpi = dpi;
    in.language = language;
    in.help_tw = scaled_at(30, dpi);
    in.language_tw = scaled_at(40, dpi);
    in.service_tw = scaled_at(110, dpi);
    const int tools[PAGE_TOOL_COUNT] = {70, 80, 55, 60, 50, 95};
    for (int i = 0; i < PAGE_TOOL_COUNT; ++i) in.tool_tw[i] = scaled_at(tools[i], dpi);
    in.choose_folder_tw = scaled_at(115, dpi);
    in.open_folder_tw = scaled_at(75, dpi);
    return in;
}

RECT rect_of(const MainLayout& l, int id) {
    return placed_rect(l.controls, l.count, id);
}

void expect_rect(const RECT& r, int left, int top, int right, int bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

void expect_mirror(const RECT& en, const RECT& ar, int client_w) {
    EXPECT_EQ(ar.left, client_w - en.right);
    EXPECT_EQ(ar.right, client_w - en.left);
    EXPECT_EQ(ar.top, en.top);
    EXPECT_EQ(ar.bottom, en.bottom);
}

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(MainLayout, EnglishAtTheDefaultSize) {
    const MainLayout l = main_layout(input(1184, 741, 96, LANGUAGE_ENGLISH));
    expect_rect(rect_of(l, ID_HELP), 1184 - 12 - 100, 18, 1172, 54);
    expect_rect(rect_of(l, ID_LANGUAGE), 960, 18, 1064, 54);
    EXPECT_EQ(rect_of(l, ID_SERVICE).right, rect_of(l, ID_LANGUAGE).left - 8);
    EXPECT_EQ(rect_of(l, ID_SERVICE).right - rect_of(l, ID_SERVICE).left, 164);   // 110 + 54
    EXPECT_EQ(rect_of(l, ID_PHONE).right, rect_of(l, ID_SERVICE).left - 14);
    expect_rect(rect_of(l, ID_WEB), rect_of(l, ID_PHONE).left, 36, rect_of(l, ID_PHONE).right, 60);
    EXPECT_EQ(l.footer_top, 741 - 30);
    expect_rect(rect_of(l, ID_PROGRESS), 1184 - 212, 711 + 8, 1172, 711 + 22);
    expect_rect(rect_of(l, ID_SCAN), 12, 711 - 12 - 58, 384, 699);
    expect_rect(rect_of(l, ID_PANEL), 12, 84, 384, 641 - 10);
    // Page tools: one row at the top of the work area, 8 apart.
    expect_rect(rect_of(l, ID_ROTATE), 396, 84, 396 + 122, 120);
    EXPECT_EQ(rect_of(l, ID_DELETE_PAGE).left, 396 + 122 + 8);
    EXPECT_EQ(rect_of(l, ID_REMOVE_BLANKS).top, 84);
    EXPECT_EQ(l.toolbar_bottom, 120);
    expect_rect(l.save_card, 396, 699 - 118, 1172, 699);
    expect_rect(rect_of(l, ID_STRIP), 396, 581 - 10 - 122, 1172, 571);
    expect_rect(rect_of(l, ID_PREVIEW), 396, 130, 1172, 449 - 10);
    // Save card: labels, lists, the save button right-aligned, the folder row below it.
    expect_rect(rect_of(l, ID_FORMAT_LABEL), 408, 589, 548, 605);
    expect_rect(rect_of(l, ID_AFTER_SAVE), 560, 607, 730, 639);
    expect_rect(rect_of(l, ID_SAVE), 1160 - (752 - 334), 605, 1160, 643);
    expect_rect(rect_of(l, ID_OPEN_FOLDER), 1160 - 131, 653, 1160, 685);
    EXPECT_EQ(rect_of(l, ID_CHOOSE_FOLDER).right, 1160 - 131 - 8);
    EXPECT_EQ(rect_of(l, ID_FOLDER_LABEL).left, 396 + 38);
    EXPECT_EQ(rect_of(l, ID_FOLDER_LABEL).right, rect_of(l, ID_CHOOSE_FOLDER).left - 20);
    EXPECT_EQ(l.folder_box.left, 396 + 12);
    EXPECT_FALSE(overlap(rect_of(l, ID_SAVE), rect_of(l, ID_CHOOSE_FOLDER)));
    expect_rect(l.logo, 14, 8, 126, 64);
}

TEST(MainLayout, ArabicIsTheMirrorOfEnglishAtEverySizeAndDpi) {
    const int sizes[][2] = {{1184, 741}, {984, 621}, {1600, 1000}, {1760, 1110}};
    for (const auto& size : sizes) {
        for (int dpi : {96, 144}) {
            const MainLayout en = main_layout(input(size[0], size[1], dpi, LANGUAGE_ENGLISH));
            const MainLayout ar = main_layout(input(size[0], size[1], dpi, LANGUAGE_ARABIC));
            ASSERT_EQ(en.count, ar.count);
            ASSERT_EQ(en.count, 24);
            for (int i = 0; i < en.count; ++i) {
                SCOPED_TRACE(en.controls[i].id);
                EXPECT_EQ(en.controls[i].id, ar.controls[i].id);
                expect_mirror(en.controls[i].rect, ar.controls[i].rect, size[0]);
            }
            expect_mirror(en.save_card, ar.save_card, size[0]);
            expect_mirror(en.folder_box, ar.folder_box, size[0]);
            expect_mirror(en.folder_icon, ar.folder_icon, size[0]);
            expect_mirror(en.logo, ar.logo, size[0]);
        }
    }
    // In Arabic the panel is at the right, the save button at the left end of the card and
    // the logo at the top right.
    const MainLayout ar = main_layout(input(1184, 741, 96, LANGUAGE_ARABIC));
    EXPECT_EQ(rect_of(ar, ID_PANEL).right, 1184 - 12);
    EXPECT_EQ(rect_of(ar, ID_SAVE).left, ar.save_card.left + 12);
    EXPECT_EQ(ar.logo.right, 1184 - 14);
    EXPECT_GT(rect_of(ar, ID_ROTATE).left, rect_of(ar, ID_DELETE_PAGE).left);
}

TEST(MainLayout, ScalesAt144Dpi) {
    const MainLayout l = main_layout(input(1776, 1112, 144, LANGUAGE_ENGLISH));
    expect_rect(rect_of(l, ID_SCAN), 18, 962, 576, 1049);
    expect_rect(rect_of(l, ID_PANEL), 18, 126, 576, 962 - 15);
    EXPECT_EQ(rect_of(l, ID_ROTATE).top, 126);
    EXPECT_EQ(rect_of(l, ID_ROTATE).left, 18 + 558 + 18);
    EXPECT_EQ(l.header_bottom, 108);
}

TEST(MainLayout, ShortWindowsGetTheSmallStripAndThePreviewKeeps80) {
    // 660 high: the preview would get less than 220 with the tall strip.
    const MainLayout l = main_layout(input(984, 621, 96, LANGUAGE_ENGLISH));
    const RECT strip = rect_of(l, ID_STRIP);
    EXPECT_EQ(strip.bottom - strip.top, 100);
    const MainLayout tall = main_layout(input(1184, 900, 96, LANGUAGE_ENGLISH));
    EXPECT_EQ(rect_of(tall, ID_STRIP).bottom - rect_of(tall, ID_STRIP).top, 122);
    const MainLayout tiny = main_layout(input(984, 300, 96, LANGUAGE_ENGLISH));
    const RECT preview = rect_of(tiny, ID_PREVIEW);
    EXPECT_EQ(preview.bottom - preview.top, 80);
}

TEST(MainLayout, PageToolsWrapAndALongCaptionGetsItsOwnRow) {
    // At the minimum width the six tools need two rows.
    const MainLayout narrow = main_layout(input(984, 621, 96, LANGUAGE_ENGLISH));
    EXPECT_EQ(rect_of(narrow, ID_AUTO_CROP).top, 84);
    EXPECT_EQ(rect_of(narrow, ID_DESKEW).top, 84 + 44);
    EXPECT_EQ(rect_of(narrow, ID_DESKEW).left, 396);
    EXPECT_EQ(rect_of(narrow, ID_REMOVE_BLANKS).left, 396 + 102 + 8);
    EXPECT_EQ(narrow.toolbar_bottom, 84 + 44 + 36);
    // A caption wider than the work area starts a row of its own, and so does the next.
    MainLayoutInput in = input(984, 621, 96, LANGUAGE_ENGLISH);
    in.tool_tw[1] = 900;
    const MainLayout l = main_layout(in);
    EXPECT_EQ(rect_of(l, ID_ROTATE).top, 84);
    EXPECT_EQ(rect_of(l, ID_DELETE_PAGE).top, 128);
    EXPECT_EQ(rect_of(l, ID_DELETE_PAGE).left, 396);
    EXPECT_EQ(rect_of(l, ID_CLEAR_ALL).top, 172);
}

TEST(MainLayout, NarrowSaveCardKeepsTheSaveButtonAt150) {
    const MainLayout l = main_layout(input(984, 621, 96, LANGUAGE_ENGLISH));
    const int inner = (984 - 12) - 396 - 24;   // 552
    EXPECT_EQ(rect_of(l, ID_SAVE).right - rect_of(l, ID_SAVE).left, inner - 334 >= 150 ? inner - 334 : 150);
    MainLayoutInput in = input(700, 621, 96, LANGUAGE_ENGLISH);
    const MainLayout cramped = main_layout(in);
    EXPECT_EQ(rect_of(cramped, ID_SAVE).right - rect_of(cramped, ID_SAVE).left, 150);
    const RECT after = rect_of(cramped, ID_AFTER_SAVE);
    EXPECT_EQ(after.right - after.left, 110);
}

TEST(PanelLayout, CardsRowsAndPairs) {
    PanelLayoutInput in = {};
    in.width = 372;
    in.dpi = 96;
    in.language = LANGUAGE_ENGLISH;
    in.pair_tw[0] = 90;    // fits a column of 158: side by side
    in.pair_tw[1] = 120;   // does not: stacked
    in.pair_tw[2] = 60;
    const PanelLayout l = panel_layout(in);
    const RECT devices = placed_rect(l.controls, l.count, ID_DEVICES);
    expect_rect(devices, 16, 40, 320, 68);
    expect_rect(placed_rect(l.controls, l.count, ID_ADD_NETWORK_SCANNER), 324, 40, 356, 68);
    const RECT refresh = placed_rect(l.controls, l.count, ID_REFRESH);
    const RECT select = placed_rect(l.controls, l.count, ID_SELECT_WINDOWS);
    EXPECT_EQ(refresh.top, select.top);
    EXPECT_EQ(refresh.right - refresh.left, 166);
    EXPECT_EQ(select.left, 16 + 166 + 8);
    const RECT diag = placed_rect(l.controls, l.count, ID_DIAGNOSTICS);
    const RECT download = placed_rect(l.controls, l.count, ID_DOWNLOAD);
    EXPECT_EQ(diag.right - diag.left, 340);
    EXPECT_EQ(download.top, diag.bottom + 4);
    EXPECT_EQ(l.cards[0].box.top, 4);
    EXPECT_EQ(l.cards[0].box.bottom, placed_rect(l.controls, l.count, ID_CONNECTION).bottom + 14);
    EXPECT_EQ(l.cards[1].box.top, l.cards[0].box.bottom + 10);
    EXPECT_EQ(l.cards[1].box.bottom, placed_rect(l.controls, l.count, ID_HINT).top + 41);
    EXPECT_EQ(placed_rect(l.controls, l.count, ID_PRESETS).right, 16 + 340 - 72);
    EXPECT_EQ(placed_rect(l.controls, l.count, ID_PRESET_DELETE).right, 356);
    EXPECT_EQ(placed_rect(l.controls, l.count, ID_BRIGHTNESS_VALUE).left, 356 - 40);
    EXPECT_EQ(l.content_height, l.cards[3].box.bottom + 4);
    EXPECT_EQ(l.cards[3].heading_id, 284);
    expect_rect(l.cards[0].heading, 40, 11, 332, 35);

    // Taller content than the panel: laid out without the scroll bar's width.
    EXPECT_EQ(panel_layout_width(in, 400, 17), 355);
    EXPECT_EQ(panel_layout_width(in, 2000, 17), 372);

    for (int dpi : {96, 144}) {
        in.dpi = dpi;
        in.width = scaled_at(372, dpi) - 17;
        in.language = LANGUAGE_ENGLISH;
        const PanelLayout en = panel_layout(in);
        in.language = LANGUAGE_ARABIC;
        const PanelLayout ar = panel_layout(in);
        ASSERT_EQ(en.count, ar.count);
        for (int i = 0; i < en.count; ++i) expect_mirror(en.controls[i].rect, ar.controls[i].rect, in.width);
        for (int i = 0; i < PANEL_CARD_COUNT; ++i) {
            expect_mirror(en.cards[i].box, ar.cards[i].box, in.width);
            expect_mirror(en.cards[i].icon, ar.cards[i].icon, in.width);
        }
    }
}

TEST(MainPlacement, DefaultsStoredValuesAndUnreachablePositions) {
    const RECT work = {0, 0, 1920, 1040};
    RECT r = main_window_rect(work, 96, 50, 60, 400, 900);   // WinW 400: never placed, centred
    expect_rect(r, 360, 130, 1560, 910);
    r = main_window_rect(work, 96, 100, 80, 1000, 700);
    expect_rect(r, 100, 80, 1100, 780);
    // A monitor that is gone: x beyond the right work edge - 60.
    r = main_window_rect(work, 96, 1900, 80, 1000, 700);
    expect_rect(r, 460, 170, 1460, 870);
    r = main_window_rect(work, 96, -950, 80, 1000, 700);   // only 50 pixels left on screen
    EXPECT_EQ(r.left, 460);
    r = main_window_rect(work, 96, 100, -20, 1000, 700);   // title bar above the work area
    EXPECT_EQ(r.top, 170);
    // Limited to the work area; at 144 DPI the default is 1800 x 1170.
    const RECT small = {0, 0, 1280, 720};
    r = main_window_rect(small, 144, 0, 0, 0, 0);
    expect_rect(r, 0, 0, 1280, 720);
    // The taskbar at the left: stored workspace coordinates come back where they were.
    const RECT left_bar = {60, 0, 1920, 1080};
    r = main_window_rect(left_bar, 96, 100, 80, 1000, 700);
    expect_rect(r, 160, 80, 1160, 780);
}

TEST(MainPlacement, MinimumTrackingSizeFitsTheWorkArea) {
    SIZE s = main_min_track_size(RECT{0, 0, 1920, 1040}, 96);
    EXPECT_EQ(s.cx, 1000);
    EXPECT_EQ(s.cy, 660);
    s = main_min_track_size(RECT{0, 0, 900, 600}, 96);
    EXPECT_EQ(s.cx, 900);
    EXPECT_EQ(s.cy, 600);
    s = main_min_track_size(RECT{0, 0, 1920, 1040}, 144);
    EXPECT_EQ(s.cx, 1500);
    EXPECT_EQ(s.cy, 990);
}

TEST(EnableTable, NoPagesBusyAndIdle) {
    MainState empty = {};
    EXPECT_FALSE(main_control_enabled(ID_ROTATE, empty));
    EXPECT_FALSE(main_control_enabled(ID_SAVE, empty));
    EXPECT_FALSE(main_control_enabled(ID_CLEAR_ALL, empty));
    EXPECT_FALSE(main_control_enabled(ID_DEVICES, empty));
    EXPECT_TRUE(main_control_enabled(ID_SCAN, empty));
    EXPECT_TRUE(main_control_enabled(ID_REFRESH, empty));
    EXPECT_TRUE(main_control_enabled(ID_MERGE, empty));

    MainState pages = {3, false, 1, false, false, false};
    EXPECT_TRUE(main_control_enabled(ID_SAVE, pages));
    EXPECT_TRUE(main_control_enabled(ID_REMOVE_BLANKS, pages));
    EXPECT_FALSE(main_control_enabled(ID_DESKEW, pages));   // nothing selected
    pages.page_selected = true;
    EXPECT_TRUE(main_control_enabled(ID_DESKEW, pages));
    EXPECT_TRUE(main_control_enabled(ID_DEVICES, pages));

    MainState scanning = pages;
    scanning.scanning = true;
    EXPECT_TRUE(main_control_enabled(ID_SCAN, scanning));   // it cancels
    EXPECT_FALSE(main_control_enabled(ID_SAVE, scanning));
    EXPECT_FALSE(main_control_enabled(ID_ROTATE, scanning));
    EXPECT_FALSE(main_control_enabled(ID_REFRESH, scanning));
    EXPECT_FALSE(main_control_enabled(ID_DEVICES, scanning));
    EXPECT_FALSE(main_control_enabled(ID_FIREWALL, scanning));
    EXPECT_TRUE(main_control_enabled(ID_DIAGNOSTICS, scanning));

    MainState saving = pages;
    saving.saving = true;
    EXPECT_FALSE(main_control_enabled(ID_SCAN, saving));
    EXPECT_FALSE(main_control_enabled(ID_CLEAR_ALL, saving));
    EXPECT_FALSE(main_control_enabled(ID_ADVANCED, saving));

    MainState enumerating = pages;
    enumerating.enumerating = true;
    EXPECT_FALSE(main_control_enabled(ID_SCAN, enumerating));
    EXPECT_FALSE(main_control_enabled(ID_SELECT_WINDOWS, enumerating));
    EXPECT_FALSE(main_control_enabled(ID_ADD_NETWORK_SCANNER, enumerating));
    EXPECT_TRUE(main_control_enabled(ID_ADD_NETWORK_SCANNER, pages));
    EXPECT_TRUE(main_control_enabled(ID_SAVE, enumerating));

    const int* ids = nullptr;
    EXPECT_EQ(main_enable_ids(&ids), 19);
}

TEST(BidiText, LatinValuesKeepTheirOrderInArabicLines) {
    WideString s = {};
    bidi_append_ltr(&s, L"C:\\Scans\\a.pdf", LANGUAGE_ENGLISH);
    EXPECT_STREQ(text_of(s), L"C:\\Scans\\a.pdf");
    assign(&s, L"");
    bidi_append_ltr(&s, L"+966 11 234", LANGUAGE_ARABIC);
    EXPECT_STREQ(text_of(s), L"\x202A+966 11 234\x202C");
    assign(&s, L"");
    bidi_append_marked_parentheses(&s, L"Scanner  (TWAIN)", LANGUAGE_ARABIC);
    EXPECT_STREQ(text_of(s), L"Scanner  \x200E(TWAIN)\x200E");
    assign(&s, L"");
    bidi_append_marked_parentheses(&s, L"Scanner  (WIA)", LANGUAGE_ENGLISH);
    EXPECT_STREQ(text_of(s), L"Scanner  (WIA)");
    release(&s);
}

}  // namespace
