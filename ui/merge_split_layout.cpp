// ui/merge_split_layout.cpp
#include "ui/merge_split_layout.h"

#include "app/strings.h"
#include "ui/theme.h"

const RowButtonSpec kMergeButtons[2] = {{18, 170}, {198, 110}};
const RowButtonSpec kSplitButtons[2] = {{18, 120}, {148, 110}};

// The row starts at the trailing edge: right in English, left in Arabic, which is where the
// shared row puts it for the other language.
static void trailing_row(const RowButtonSpec* specs, const int* needed, int client_w, int client_h, int dpi,
                         int language, RECT* out) {
    const int other = language == LANGUAGE_ARABIC ? LANGUAGE_ENGLISH : LANGUAGE_ARABIC;
    layout_button_row(specs, 2, needed, client_w, client_h, dpi, other, out);
}

// (x, y, w, h) in pixels, x measured in English terms, mirrored for Arabic.
static RECT placed(int x, int y, int w, int h, int client_w, int language) {
    const int left = language == LANGUAGE_ARABIC ? client_w - x - w : x;
    RECT r = {left, y, left + w, y + h};
    return r;
}

MergeLayout merge_layout(int client_w, int client_h, const int* needed, int dpi, int language) {
    MergeLayout l = {};
    const int margin = scaled_at(20, dpi);
    l.heading = placed(margin, scaled_at(16, dpi), client_w - 2 * margin, scaled_at(24, dpi), client_w, language);
    const int list_w = client_w - scaled_at(182, dpi);
    const int list_h = client_h - scaled_at(136, dpi);
    l.list = placed(margin, scaled_at(52, dpi), list_w, list_h, client_w, language);
    const int column_x = client_w - scaled_at(150, dpi);
    for (int i = 0; i < MERGE_COLUMN_BUTTONS; ++i) {
        l.column[i] = placed(column_x, scaled_at(52 + i * (36 + 8), dpi), scaled_at(130, dpi), scaled_at(36, dpi),
                             client_w, language);
    }
    // The list ends 84 above the bottom and the row begins 50 above it.
    l.progress = placed(margin, client_h - scaled_at(76, dpi), list_w, scaled_at(18, dpi), client_w, language);
    RECT row[2];
    trailing_row(kMergeButtons, needed, client_w, client_h, dpi, language, row);
    l.merge = row[0];
    l.close = row[1];
    return l;
}

SplitLayout split_layout(int client_w, int client_h, const int* needed, int dpi, int language) {
    SplitLayout l = {};
    const int margin = scaled_at(20, dpi);
    const int content = client_w - 2 * margin;
    l.label = placed(margin, scaled_at(18, dpi), content, scaled_at(20, dpi), client_w, language);
    l.path = placed(margin, scaled_at(42, dpi), content - scaled_at(138, dpi), scaled_at(30, dpi), client_w, language);
    l.browse = placed(client_w - margin - scaled_at(130, dpi), scaled_at(40, dpi), scaled_at(130, dpi),
                      scaled_at(34, dpi), client_w, language);
    l.heading = placed(margin, scaled_at(94, dpi), content, scaled_at(22, dpi), client_w, language);
    l.each_page = placed(margin, scaled_at(124, dpi), content, scaled_at(24, dpi), client_w, language);
    l.every_n = placed(margin, scaled_at(158, dpi), content, scaled_at(24, dpi), client_w, language);
    l.ranges = placed(margin, scaled_at(228, dpi), content, scaled_at(24, dpi), client_w, language);
    l.n_field = placed(scaled_at(46, dpi), scaled_at(186, dpi), scaled_at(90, dpi), scaled_at(30, dpi), client_w,
                       language);
    l.ranges_field = placed(scaled_at(46, dpi), scaled_at(256, dpi), content - scaled_at(26, dpi), scaled_at(30, dpi),
                            client_w, language);
    l.progress = placed(margin, scaled_at(312, dpi), content, scaled_at(18, dpi), client_w, language);
    RECT row[2];
    trailing_row(kSplitButtons, needed, client_w, client_h, dpi, language, row);
    l.split = row[0];
    l.close = row[1];
    return l;
}
