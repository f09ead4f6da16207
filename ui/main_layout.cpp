// ui/main_layout.cpp
// The geometry is worked out in English pixel coordinates (each 96-DPI length scaled on
// its own, so neighbouring edges meet exactly) and mirrored at the end for Arabic.
#include "ui/main_layout.h"

#include "app/strings.h"
#include "ui/icons.h"
#include "ui/theme.h"

namespace {

int max_of(int a, int b) {
    return a > b ? a : b;
}

RECT rect_of(int x, int y, int w, int h) {
    RECT r = {x, y, x + w, y + h};
    return r;
}

// Collects placed controls and mirrors them for Arabic.
struct Placer {
    PlacedControl* controls;
    int* count;
    int limit;
    void put(int id, const RECT& r) {
        if (*count >= limit) return;
        controls[*count].id = id;
        controls[*count].rect = r;
        ++*count;
    }
};

RECT mirrored(const RECT& r, int client_w, int language) {
    if (language != LANGUAGE_ARABIC) return r;
    RECT m = {client_w - r.right, r.top, client_w - r.left, r.bottom};
    return m;
}

void mirror_all(PlacedControl* controls, int count, int client_w, int language) {
    for (int i = 0; i < count; ++i) controls[i].rect = mirrored(controls[i].rect, client_w, language);
}

const int kToolIds[PAGE_TOOL_COUNT] = {ID_ROTATE, ID_DELETE_PAGE, ID_CLEAR_ALL, ID_AUTO_CROP, ID_DESKEW,
                                       ID_REMOVE_BLANKS};

}  // namespace

RECT placed_rect(const PlacedControl* controls, int count, int id) {
    for (int i = 0; i < count; ++i)
        if (controls[i].id == id) return controls[i].rect;
    RECT none = {0, 0, 0, 0};
    return none;
}

MainLayout main_layout(const MainLayoutInput& in) {
    MainLayout out = {};
    Placer place = {out.controls, &out.count, MAIN_PLACED_MAX};
    const int dpi = in.dpi, W = in.client_w, H = in.client_h;
    auto s = [dpi](int v) { return scaled_at(v, dpi); };

    // Header: buttons from the right margin inwards.
    out.header_bottom = s(72);
    const int help_w = max_of(s(100), in.help_tw + s(54));
    const int language_w = max_of(s(104), in.language_tw + s(54));
    const int service_w = max_of(s(150), in.service_tw + s(54));
    const RECT help = rect_of(W - s(12) - help_w, s(18), help_w, s(36));
    const RECT language = rect_of(help.left - s(8) - language_w, s(18), language_w, s(36));
    const RECT service = rect_of(language.left - s(8) - service_w, s(18), service_w, s(36));
    const int link_left = service.left - s(14) - s(150);
    place.put(ID_LANGUAGE, language);
    place.put(ID_HELP, help);
    place.put(ID_SERVICE, service);
    place.put(ID_PHONE, rect_of(link_left, s(12), s(150), s(24)));
    place.put(ID_WEB, rect_of(link_left, s(36), s(150), s(24)));
    out.logo = rect_of(s(14), s(8), s(112), s(56));
    out.product_name = rect_of(out.logo.right + s(12), s(10), s(300), s(28));
    out.subtitle = rect_of(out.logo.right + s(12), s(38), s(300), s(22));

    // Footer and progress bar.
    out.footer_top = H - s(30);
    place.put(ID_PROGRESS, rect_of(W - s(12) - s(200), out.footer_top + s(8), s(200), s(14)));

    // Side panel and the scan button under it.
    const int content_top = out.header_bottom + s(12);
    const int scan_bottom = out.footer_top - s(12);
    const RECT scan = rect_of(s(12), scan_bottom - s(58), s(372), s(58));
    const RECT panel = {s(12), content_top, s(12) + s(372), scan.top - s(10)};
    place.put(ID_PANEL, panel);
    place.put(ID_SCAN, scan);

    // Work area: the page tools in rows.
    const int work_left = panel.right + s(12), work_right = W - s(12);
    int x = work_left, y = content_top;
    bool row_empty = true;
    for (int i = 0; i < PAGE_TOOL_COUNT; ++i) {
        const int w = in.tool_tw[i] + s(52);
        if (!row_empty && x + w > work_right) {
            x = work_left;
            y += s(44);
        }
        place.put(kToolIds[i], rect_of(x, y, w, s(36)));
        x += w + s(8);
        row_empty = false;
    }
    out.toolbar_bottom = y + s(36);

    // Save card, strip and preview from the bottom up.
    const int card_bottom = out.footer_top - s(12);
    out.save_card = RECT{work_left, card_bottom - s(118), work_right, card_bottom};
    const int preview_top = out.toolbar_bottom + s(10);
    int strip_h = s(122);
    if (out.save_card.top - s(10) - strip_h - s(10) - preview_top < s(220)) strip_h = s(100);
    const RECT strip = {work_left, out.save_card.top - s(10) - strip_h, work_right, out.save_card.top - s(10)};
    int preview_bottom = strip.top - s(10);
    if (preview_bottom - preview_top < s(80)) preview_bottom = preview_top + s(80);
    place.put(ID_PREVIEW, RECT{work_left, preview_top, work_right, preview_bottom});
    place.put(ID_STRIP, strip);

    // Inside the save card.
    const int card_top = out.save_card.top;
    const int inner_left = work_left + s(12), inner_right = work_right - s(12);
    const int inner = inner_right - inner_left;
    int after_w = s(170);
    int save_w = inner - s(140) - s(170) - s(24);
    if (save_w < s(150)) {
        save_w = s(150);
        after_w = max_of(s(110), inner - s(140) - s(150) - s(24));
    }
    const int after_left = inner_left + s(140) + s(12);
    place.put(ID_FORMAT_LABEL, rect_of(inner_left, card_top + s(8), s(140), s(16)));
    place.put(ID_AFTER_SAVE_LABEL, rect_of(after_left, card_top + s(8), after_w, s(16)));
    place.put(ID_FORMAT, rect_of(inner_left, card_top + s(26), s(140), s(32)));
    place.put(ID_AFTER_SAVE, rect_of(after_left, card_top + s(26), after_w, s(32)));
    place.put(ID_SAVE, rect_of(inner_right - save_w, card_top + s(24), save_w, s(38)));
    // The second row starts below the save button (card top + 24 + 38) with the card's
    // padding left under it, so the folder buttons never overlap the save button.
    const int row2 = card_top + s(72);
    const int open_w = max_of(s(100), in.open_folder_tw + s(56));
    const int choose_w = max_of(s(110), in.choose_folder_tw + s(56));
    const RECT open = rect_of(inner_right - open_w, row2, open_w, s(32));
    const RECT choose = rect_of(open.left - s(8) - choose_w, row2, choose_w, s(32));
    const int label_left = work_left + s(38);
    const RECT folder_label = {label_left, row2, max_of(label_left, choose.left - s(20)), row2 + s(32)};
    place.put(ID_FOLDER_LABEL, folder_label);
    place.put(ID_CHOOSE_FOLDER, choose);
    place.put(ID_OPEN_FOLDER, open);
    out.folder_box = RECT{folder_label.left - s(26), folder_label.top, folder_label.right, folder_label.bottom};
    const int icon_top = folder_label.top + (folder_label.bottom - folder_label.top - s(16)) / 2;
    out.folder_icon = rect_of(out.folder_box.left + s(8), icon_top, s(16), s(16));

    mirror_all(out.controls, out.count, W, in.language);
    out.save_card = mirrored(out.save_card, W, in.language);
    out.folder_box = mirrored(out.folder_box, W, in.language);
    out.folder_icon = mirrored(out.folder_icon, W, in.language);
    out.logo = mirrored(out.logo, W, in.language);
    out.product_name = mirrored(out.product_name, W, in.language);
    out.subtitle = mirrored(out.subtitle, W, in.language);
    return out;
}

// ---- side panel

namespace {

struct PanelWriter {
    PanelLayout* out;
    int dpi;
    int inner_x, inner_w, column_w;
    int y;
    int s(int v) const { return scaled_at(v, dpi); }
    void put(int id, int x, int w, int h) {
        if (out->count >= PANEL_PLACED_MAX) return;
        out->controls[out->count].id = id;
        out->controls[out->count].rect = rect_of(x, y, w, h);
        ++out->count;
    }
    void full(int id, int h, int gap) {
        put(id, inner_x, inner_w, s(h));
        y += s(h) + s(gap);
    }
    // Two controls side by side in the columns.
    void columns(int first, int second, int h, int gap) {
        put(first, inner_x, column_w, s(h));
        put(second, inner_x + column_w + s(8), column_w, s(h));
        y += s(h) + s(gap);
    }
    // A button pair: side by side when the wider caption fits a column, else stacked.
    void pair(int first, int second, int caption_w, int gap) {
        if (column_w >= caption_w + s(54)) {
            columns(first, second, 32, gap);
        } else {
            full(first, 32, 4);
            full(second, 32, gap);
        }
    }
    // A label with its value at the right end.
    void labelled_value(int label, int value) {
        put(label, inner_x, inner_w - s(40), s(17));
        put(value, inner_x + inner_w - s(40), s(40), s(17));
        y += s(17);
    }
    int card_top;
    void begin_card(int index, int heading_id, int icon_id) {
        card_top = y;
        PanelCard& card = out->cards[index];
        card.heading_id = heading_id;
        card.icon_id = icon_id;
        y += s(36);
    }
    void end_card(int index, int bottom, int width) {
        PanelCard& card = out->cards[index];
        card.box = RECT{s(2), card_top, width - s(2), bottom};
        card.icon = rect_of(s(2) + s(14), card_top + s(8), s(18), s(18));
        card.heading = RECT{s(40), card_top + s(7), width - s(40), card_top + s(31)};
        y = bottom + s(10);
    }
};

}  // namespace

PanelLayout panel_layout(const PanelLayoutInput& in) {
    PanelLayout out = {};
    PanelWriter p = {};
    p.out = &out;
    p.dpi = in.dpi;
    p.inner_x = p.s(16);
    p.inner_w = in.width - p.s(32);
    p.column_w = (p.inner_w - p.s(8)) / 2;
    p.y = p.s(4);

    p.begin_card(0, 2, ICON_PRINT);
    // The device list leaves room for the icon button that adds a network scanner.
    p.put(ID_DEVICES, p.inner_x, p.inner_w - p.s(36), p.s(28));
    p.put(ID_ADD_NETWORK_SCANNER, p.inner_x + p.inner_w - p.s(32), p.s(32), p.s(28));
    p.y += p.s(28) + p.s(5);
    p.full(ID_DEVICE_STATE, 17, 2);
    p.full(ID_DEVICE_DETAILS, 27, 2);
    p.pair(ID_REFRESH, ID_SELECT_WINDOWS, in.pair_tw[0], 5);
    p.pair(ID_DIAGNOSTICS, ID_DOWNLOAD, in.pair_tw[1], 5);
    p.full(ID_SHOW_ALL_WIA, 20, 2);
    p.full(ID_CONNECTION, 32, 0);
    p.end_card(0, p.y + p.s(14), in.width);

    p.begin_card(1, 3, ICON_SCANNER);
    p.put(ID_PRESETS, p.inner_x, p.inner_w - p.s(72), p.s(28));
    p.put(ID_PRESET_SAVE, p.inner_x + p.inner_w - p.s(68), p.s(32), p.s(28));
    p.put(ID_PRESET_DELETE, p.inner_x + p.inner_w - p.s(32), p.s(32), p.s(28));
    p.y += p.s(28) + p.s(8);
    p.columns(ID_COLOR_LABEL, ID_DPI_LABEL, 17, 2);
    p.columns(ID_COLOR, ID_DPI, 28, 7);
    p.columns(ID_SOURCE_LABEL, ID_PAPER_LABEL, 17, 2);
    p.columns(ID_SOURCE, ID_PAPER, 28, 8);
    p.labelled_value(ID_BRIGHTNESS_LABEL, ID_BRIGHTNESS_VALUE);
    p.full(ID_BRIGHTNESS, 24, 2);
    p.labelled_value(ID_CONTRAST_LABEL, ID_CONTRAST_VALUE);
    p.full(ID_CONTRAST, 24, 2);
    p.labelled_value(ID_THRESHOLD_LABEL, ID_THRESHOLD_VALUE);
    p.full(ID_THRESHOLD, 24, 4);
    p.full(ID_DRIVER_UI, 23, 1);
    p.full(ID_APPEND, 29, 2);
    const int hint_top = p.y;
    p.full(ID_HINT, 29, 0);
    p.end_card(1, hint_top + p.s(41), in.width);

    p.begin_card(2, 66, ICON_SETTINGS);
    p.full(ID_ADVANCED, 32, 6);
    p.pair(ID_MERGE, ID_SPLIT, in.pair_tw[2], 0);
    p.end_card(2, p.y + p.s(14), in.width);

    p.begin_card(3, 284, ICON_NETWORK);
    p.full(ID_SHARE_WIZARD, 32, 6);
    p.full(ID_FIREWALL, 32, 0);
    p.end_card(3, p.y + p.s(14), in.width);

    out.content_height = out.cards[3].box.bottom + p.s(4);
    mirror_all(out.controls, out.count, in.width, in.language);
    for (int i = 0; i < PANEL_CARD_COUNT; ++i) {
        out.cards[i].box = mirrored(out.cards[i].box, in.width, in.language);
        out.cards[i].icon = mirrored(out.cards[i].icon, in.width, in.language);
        out.cards[i].heading = mirrored(out.cards[i].heading, in.width, in.language);
    }
    return out;
}

int panel_layout_width(const PanelLayoutInput& in, int panel_height, int scrollbar_w) {
    const PanelLayout full = panel_layout(in);
    return full.content_height > panel_height ? in.width - scrollbar_w : in.width;
}

// ---- placement

RECT main_window_rect(const RECT& work, int dpi, int stored_x, int stored_y, int stored_w, int stored_h) {
    const int work_w = work.right - work.left, work_h = work.bottom - work.top;
    int w = scaled_at(1200, dpi), h = scaled_at(780, dpi);
    // A width of 400 or less means the window was never placed: the stored height and
    // position are ignored with it.
    if (stored_w > 400) {
        w = stored_w;
        if (stored_h > 300) h = stored_h;
    }
    if (w > work_w) w = work_w;
    if (h > work_h) h = work_h;
    int x = work.left + (work_w - w) / 2, y = work.top + (work_h - h) / 2;
    if (stored_w > 400) {
        // The stored corner is in workspace coordinates.
        const int sx = work.left + stored_x, sy = work.top + stored_y;
        const bool unreachable = work.right < sx + 60 || sx + w < work.left + 60 || work.bottom < sy + 40 ||
                                 sy < work.top - 10;
        if (!unreachable) {
            x = sx;
            y = sy;
        }
    }
    return rect_of(x, y, w, h);
}

SIZE main_min_track_size(const RECT& work, int dpi) {
    SIZE size = {scaled_at(1000, dpi), scaled_at(660, dpi)};
    if (size.cx > work.right - work.left) size.cx = work.right - work.left;
    if (size.cy > work.bottom - work.top) size.cy = work.bottom - work.top;
    return size;
}

// ---- the enable table

namespace {

enum EnableRule { RULE_SELECTED_IDLE, RULE_PAGES_IDLE, RULE_NOT_BUSY, RULE_ALWAYS, RULE_DEVICES_IDLE, RULE_SCAN,
                  RULE_IDLE };
struct EnableEntry {
    int id;
    EnableRule rule;
};
const EnableEntry kEnableTable[] = {
    {ID_ROTATE, RULE_SELECTED_IDLE},  {ID_DELETE_PAGE, RULE_SELECTED_IDLE}, {ID_AUTO_CROP, RULE_SELECTED_IDLE},
    {ID_DESKEW, RULE_SELECTED_IDLE},  {ID_CLEAR_ALL, RULE_PAGES_IDLE},      {ID_REMOVE_BLANKS, RULE_PAGES_IDLE},
    {ID_SAVE, RULE_PAGES_IDLE},       {ID_REFRESH, RULE_NOT_BUSY},          {ID_SELECT_WINDOWS, RULE_NOT_BUSY}, {ID_ADD_NETWORK_SCANNER, RULE_NOT_BUSY},
    {ID_DIAGNOSTICS, RULE_ALWAYS},    {ID_DEVICES, RULE_DEVICES_IDLE},      {ID_SCAN, RULE_SCAN},
    {ID_ADVANCED, RULE_IDLE},         {ID_MERGE, RULE_IDLE},                {ID_SPLIT, RULE_IDLE},
    {ID_CONNECTION, RULE_IDLE},       {ID_FIREWALL, RULE_IDLE},             {ID_SHARE_WIZARD, RULE_IDLE},
};
const int kEnableCount = sizeof kEnableTable / sizeof kEnableTable[0];
int g_enable_ids[kEnableCount];

bool rule_holds(EnableRule rule, const MainState& st) {
    const bool idle = !st.scanning && !st.saving;
    switch (rule) {
    case RULE_SELECTED_IDLE: return st.page_selected && idle;
    case RULE_PAGES_IDLE: return st.pages > 0 && idle;
    case RULE_NOT_BUSY: return idle && !st.enumerating;
    case RULE_ALWAYS: return true;
    case RULE_DEVICES_IDLE: return st.devices > 0 && idle;
    case RULE_SCAN: return st.scanning || (!st.enumerating && !st.saving);
    case RULE_IDLE: return idle;
    }
    return true;
}

}  // namespace

bool main_control_enabled(int id, const MainState& state) {
    for (const EnableEntry& entry : kEnableTable)
        if (entry.id == id) return rule_holds(entry.rule, state);
    return true;
}

int main_enable_ids(const int** ids) {
    for (int i = 0; i < kEnableCount; ++i) g_enable_ids[i] = kEnableTable[i].id;
    *ids = g_enable_ids;
    return kEnableCount;
}
