// The toolkit's pure rules: scaling, text alignment, button looks and layout, dialog
// placement and the dialogs' layouts in both reading directions and at 96 and 144 DPI.
#include "ui/dialog_layout.h"

#include <gtest/gtest.h>

#include "app/strings.h"
#include "ui/controls.h"
#include "ui/dialog_frame.h"
#include "ui/icons.h"
#include "ui/paint.h"
#include "ui/theme.h"

namespace {

int width(const RECT& r) {
    return r.right - r.left;
}

// The Arabic rectangle is the English one mirrored inside the same client width.
void expect_mirror(const RECT& en, const RECT& ar, int client_w) {
    EXPECT_EQ(ar.left, client_w - en.right);
    EXPECT_EQ(ar.right, client_w - en.left);
    EXPECT_EQ(ar.top, en.top);
    EXPECT_EQ(ar.bottom, en.bottom);
}

TEST(Scaling, MulDivRoundsAndDpiNeverFallsBelow96) {
    EXPECT_EQ(scaled_at(7, 144), 11);   // 10.5 rounds up
    EXPECT_EQ(scaled_at(18, 144), 27);
    EXPECT_EQ(scaled_at(460, 96), 460);
    EXPECT_EQ(scaled_at(7, 120), 9);
    ui_set_dpi(72);
    EXPECT_EQ(ui_dpi(), 96);
    ui_set_dpi(144);
    EXPECT_EQ(scaled(36), 54);
    ui_set_dpi(96);
}

TEST(Fonts, HeightsFollowPointSizeAndDpi) {
    EXPECT_EQ(font_height_at(100, 96), -13);
    EXPECT_EQ(font_height_at(85, 96), -11);
    EXPECT_EQ(font_height_at(150, 144), -30);
    EXPECT_EQ(font_height_at(220, 96), -29);
}

TEST(Text, ArabicMirrorsAlignmentAndReadsRightToLeft) {
    const UINT left = text_flags_for(DT_LEFT | DT_SINGLELINE, LANGUAGE_ARABIC);
    EXPECT_TRUE(left & DT_RIGHT);
    EXPECT_TRUE(left & DT_RTLREADING);
    EXPECT_TRUE(left & DT_NOPREFIX);
    EXPECT_FALSE(text_flags_for(DT_RIGHT, LANGUAGE_ARABIC) & DT_RIGHT);
    const UINT centre = text_flags_for(DT_CENTER, LANGUAGE_ARABIC);
    EXPECT_TRUE(centre & DT_CENTER);
    EXPECT_FALSE(centre & DT_RIGHT);
    EXPECT_EQ(text_flags_for(DT_LEFT, LANGUAGE_ENGLISH), (UINT)(DT_LEFT | DT_NOPREFIX));
}

TEST(Shapes, CornerDiameterAndColours) {
    EXPECT_EQ(round_rect_diameter(7, 100, 36), 14);
    EXPECT_EQ(round_rect_diameter(7, 8, 36), 7);   // width - 1
    EXPECT_EQ(round_rect_diameter(7, 100, 1), 0);  // plain rectangle
    EXPECT_EQ(opaque_argb(0xD47800), 0xFF0078D4u);
    EXPECT_FLOAT_EQ(icon_stroke_width(24), 2.04f);
    EXPECT_FLOAT_EQ(icon_stroke_width(12), 1.4f);
}

TEST(ButtonLook, KindsAndStates) {
    ButtonLook primary = button_look(BUTTON_PRIMARY, true, false, false);
    EXPECT_EQ(primary.fill, COLOR_ACCENT);
    EXPECT_EQ(primary.text, COLOR_WHITE);
    EXPECT_TRUE(primary.semibold);
    EXPECT_EQ(button_look(BUTTON_PRIMARY, true, true, false).fill, COLOR_ACCENT_HOVER);
    EXPECT_EQ(button_look(BUTTON_PRIMARY, true, true, true).fill, COLOR_ACCENT_PRESSED);
    ButtonLook secondary = button_look(BUTTON_SECONDARY, true, true, false);
    EXPECT_EQ(secondary.fill, COLOR_TINT_HOVER);
    EXPECT_EQ(secondary.border, COLOR_ACCENT);
    EXPECT_EQ(button_look(BUTTON_SECONDARY, true, false, false).border, COLOR_LINE);
    ButtonLook link = button_look(BUTTON_LINK, true, true, false);
    EXPECT_EQ(link.fill, COLOR_NONE);
    EXPECT_TRUE(link.underline);
    EXPECT_EQ(link.text, COLOR_ACCENT_HOVER);
    EXPECT_EQ(button_look(BUTTON_ICON, true, false, false).fill, COLOR_NONE);
    EXPECT_EQ(button_look(BUTTON_ICON, true, false, true).fill, COLOR_TINT_PRESSED);
    EXPECT_EQ(button_look(BUTTON_OUTLINE, true, false, false).border, COLOR_ACCENT);
    ButtonLook danger = button_look(BUTTON_DANGER, true, true, false);
    EXPECT_EQ(danger.fill, COLOR_DANGER);
    EXPECT_EQ(danger.text, COLOR_WHITE);
    EXPECT_EQ(button_look(BUTTON_DANGER, true, false, false).text, COLOR_DANGER);
    EXPECT_EQ(button_look(BUTTON_SUCCESS, true, false, true).fill, COLOR_SUCCESS_PRESSED);
    // Disabled: muted text; fill and border change except for links and icon buttons.
    ButtonLook off = button_look(BUTTON_PRIMARY, false, true, true);
    EXPECT_EQ(off.fill, COLOR_DISABLED_FILL);
    EXPECT_EQ(off.border, COLOR_LINE);
    EXPECT_EQ(off.text, COLOR_DISABLED_TEXT);
    ButtonLook off_link = button_look(BUTTON_LINK, false, true, false);
    EXPECT_EQ(off_link.fill, COLOR_NONE);
    EXPECT_EQ(off_link.border, COLOR_NONE);
    EXPECT_FALSE(off_link.underline);
}

TEST(ButtonLayout, CentredGroupIconBeforeCaptionInEnglishAfterInArabic) {
    const ButtonLayout en = button_layout(BUTTON_PRIMARY, ICON_SAVE, true, 60, 200, 36, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(en.icon_size, 18);
    EXPECT_EQ(en.icon.left, (200 - (18 + 8 + 60)) / 2);
    EXPECT_EQ(en.caption.left, en.icon.right + 8);
    EXPECT_EQ(en.icon.top, 9);
    const ButtonLayout ar = button_layout(BUTTON_PRIMARY, ICON_SAVE, true, 60, 200, 36, 96, LANGUAGE_ARABIC);
    EXPECT_EQ(ar.caption.left, en.icon.left);
    EXPECT_EQ(ar.icon.left, ar.caption.right + 8);
}

TEST(ButtonLayout, LinkStartsAtPaddingAndEndsAtItInArabic) {
    const ButtonLayout en = button_layout(BUTTON_LINK, ICON_WEB, true, 50, 300, 30, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(en.icon.left, 2);
    const ButtonLayout ar = button_layout(BUTTON_LINK, ICON_WEB, true, 50, 300, 30, 96, LANGUAGE_ARABIC);
    EXPECT_EQ(ar.icon.right, 300 - 2);
}

TEST(ButtonLayout, NarrowButtonKeepsTenPixelsOfCaption) {
    const ButtonLayout l = button_layout(BUTTON_SECONDARY, ICON_SAVE, true, 80, 40, 36, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(width(l.caption), 10);
}

TEST(ButtonLayout, IconOnlyButtonsDrawNoCaption) {
    const ButtonLayout with_tip = button_layout(BUTTON_ICON, ICON_ADD, true, 80, 36, 36, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(with_tip.icon_size, 18);
    EXPECT_EQ(width(with_tip.caption), 0);
    EXPECT_EQ(with_tip.icon.left, 9);
    EXPECT_EQ(button_layout(BUTTON_ICON, ICON_ADD, false, 0, 36, 36, 96, LANGUAGE_ENGLISH).icon_size, 20);
    EXPECT_EQ(button_layout(BUTTON_SECONDARY, ICON_SAVE, true, 60, 200, 54, 144, LANGUAGE_ENGLISH).icon_size, 27);
}

TEST(DialogPlacement, CentredOnOwnerAndKeptInsideTheWorkArea) {
    const RECT work = {0, 0, 1280, 1000};
    const RECT owner = {100, 100, 900, 700};
    const RECT r = dialog_placement(work, &owner, 400, 300, 8, 30, 20);
    EXPECT_EQ(r.right - r.left, 408);
    EXPECT_EQ(r.bottom - r.top, 330);
    EXPECT_EQ(r.left, 100 + (800 - 408) / 2);
    // A dialog taller than the work area shrinks so the whole window, frame included, fits.
    const RECT tall = dialog_placement(work, nullptr, 600, 2000, 8, 30, 20);
    EXPECT_EQ(tall.bottom - tall.top, 980);
    EXPECT_GE(tall.top, 0);
    EXPECT_LE(tall.bottom, 1000);
    // An owner near the corner: the dialog is pushed back inside.
    const RECT corner = {1200, 950, 1400, 1100};
    const RECT pushed = dialog_placement(work, &corner, 400, 300, 8, 30, 20);
    EXPECT_EQ(pushed.right, 1280);
    EXPECT_EQ(pushed.bottom, 1000);
}

TEST(MessageBoxLayout, OneLineBoxIs144HighAndWrappedTextGrowsIt) {
    const MessageBoxLayout one = message_box_layout(17, nullptr, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(one.client_w, 460);
    EXPECT_EQ(one.text_width, 366);
    EXPECT_EQ(one.client_h, 144);
    EXPECT_EQ(one.separator_y, 144 - 64);
    EXPECT_EQ(one.ok.top, 144 - 36 - 14);
    EXPECT_EQ(one.ok.left, 18);
    EXPECT_EQ(width(one.ok), 120);
    EXPECT_EQ(one.no.left, 148);
    EXPECT_EQ(one.text.left, 72);
    EXPECT_EQ(one.text.top, 22 + (36 - 17) / 2);
    const MessageBoxLayout five = message_box_layout(5 * 17, nullptr, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(five.client_h, 14 + 36 + 14 + 85 + 44);
}

TEST(MessageBoxLayout, ArabicPutsIconRightTextAtLeftMarginOkAtRight) {
    const MessageBoxLayout ar = message_box_layout(17, nullptr, 96, LANGUAGE_ARABIC);
    EXPECT_EQ(ar.icon.left, 460 - 36 - 22);
    EXPECT_EQ(ar.text.left, 22);
    EXPECT_EQ(ar.ok.left, 460 - 120 - 18);
    EXPECT_EQ(ar.no.left, 460 - 110 - 148);
}

TEST(ButtonRow, GrowsForLongCaptionsAndKeepsGaps) {
    const int needed[4] = {0, 170, 0, 0};
    RECT row[4];
    layout_button_row(kHelpButtons, 4, needed, 700, 600, 96, LANGUAGE_ENGLISH, row);
    EXPECT_EQ(row[0].left, 18);
    EXPECT_EQ(width(row[1]), 170);
    EXPECT_EQ(row[2].left, row[1].right + 10);
    EXPECT_EQ(button_row_width(kHelpButtons, 4, needed, 96), 18 + 110 + 10 + 170 + 10 + 150 + 10 + 150 + 18);
    EXPECT_EQ(button_row_width(kHelpButtons, 4, nullptr, 96), 626);
}

// Every dialog's Arabic layout is the mirror of its English one, at both DPIs.
class MirroredLayouts : public ::testing::TestWithParam<int> {};

TEST_P(MirroredLayouts, ArabicIsTheMirrorOfEnglish) {
    const int dpi = GetParam();
    const int needed[4] = {scaled_at(100, dpi), scaled_at(170, dpi), 0, scaled_at(160, dpi)};
    const MessageBoxLayout box_en = message_box_layout(40, needed, dpi, LANGUAGE_ENGLISH);
    const MessageBoxLayout box_ar = message_box_layout(40, needed, dpi, LANGUAGE_ARABIC);
    for (const auto& pair : {std::make_pair(box_en.icon, box_ar.icon), std::make_pair(box_en.text, box_ar.text),
                             std::make_pair(box_en.ok, box_ar.ok), std::make_pair(box_en.no, box_ar.no)})
        expect_mirror(pair.first, pair.second, box_en.client_w);

    const TextInputLayout in_en = text_input_layout(needed, dpi, LANGUAGE_ENGLISH);
    const TextInputLayout in_ar = text_input_layout(needed, dpi, LANGUAGE_ARABIC);
    for (const auto& pair : {std::make_pair(in_en.label, in_ar.label), std::make_pair(in_en.edit, in_ar.edit),
                             std::make_pair(in_en.ok, in_ar.ok), std::make_pair(in_en.cancel, in_ar.cancel)})
        expect_mirror(pair.first, pair.second, in_en.client_w);

    const int w = scaled_at(700, dpi), h = scaled_at(600, dpi);
    const HelpLayout help_en = help_layout(w, h, needed, dpi, LANGUAGE_ENGLISH);
    const HelpLayout help_ar = help_layout(w, h, needed, dpi, LANGUAGE_ARABIC);
    for (const auto& pair : {std::make_pair(help_en.logo, help_ar.logo), std::make_pair(help_en.name, help_ar.name),
                             std::make_pair(help_en.version, help_ar.version), std::make_pair(help_en.text, help_ar.text),
                             std::make_pair(help_en.close, help_ar.close), std::make_pair(help_en.service, help_ar.service),
                             std::make_pair(help_en.web, help_ar.web), std::make_pair(help_en.drivers, help_ar.drivers)})
        expect_mirror(pair.first, pair.second, w);

    const DiagnosticsLayout diag_en = diagnostics_layout(w, h, needed, dpi, LANGUAGE_ENGLISH);
    const DiagnosticsLayout diag_ar = diagnostics_layout(w, h, needed, dpi, LANGUAGE_ARABIC);
    expect_mirror(diag_en.report, diag_ar.report, w);
    expect_mirror(diag_en.close, diag_ar.close, w);
    expect_mirror(diag_en.run_again, diag_ar.run_again, w);

    const SettingsLayout set_en = settings_layout(w, h, needed, dpi, LANGUAGE_ENGLISH);
    const SettingsLayout set_ar = settings_layout(w, h, needed, dpi, LANGUAGE_ARABIC);
    expect_mirror(set_en.ok, set_ar.ok, w);
    expect_mirror(set_en.cancel, set_ar.cancel, w);
    expect_mirror(set_en.panel, set_ar.panel, w);
}

INSTANTIATE_TEST_SUITE_P(Dpi, MirroredLayouts, ::testing::Values(96, 144));

TEST(HelpLayout, SizesAt96Dpi) {
    const HelpLayout l = help_layout(640, 600, nullptr, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(l.logo.left, 20);
    EXPECT_EQ(width(l.logo), 120);
    EXPECT_EQ(l.name.left, 154);
    EXPECT_EQ(l.text.top, 98);
    EXPECT_EQ(l.text.bottom, 600 - 84);
    EXPECT_EQ(l.separator_y, 600 - 66);
    EXPECT_EQ(l.drivers.left, 458);
    const HelpLayout ar = help_layout(640, 600, nullptr, 96, LANGUAGE_ARABIC);
    EXPECT_EQ(ar.logo.left, 640 - 140);
    EXPECT_EQ(ar.name.left, 20);
}

TEST(PanelClamp, PositionStaysWithinContent) {
    EXPECT_EQ(panel_clamp(-60, 1000, 400), 0);
    EXPECT_EQ(panel_clamp(700, 1000, 400), 600);
    EXPECT_EQ(panel_clamp(60, 300, 400), 0);
}

TEST(ControlColours, AccentMutedAndInkById) {
    EXPECT_EQ(control_text_colour(4990), COLOR_ACCENT);
    EXPECT_EQ(control_text_colour(5000), COLOR_MUTED);
    EXPECT_EQ(control_text_colour(5999), COLOR_MUTED);
    EXPECT_EQ(control_text_colour(6000), COLOR_INK);
    EXPECT_EQ(control_text_colour(101), COLOR_INK);
}

}  // namespace
