// net/net_dialog_layout.cpp
#include "net/net_dialog_layout.h"

#include "app/strings.h"
#include "ui/dialog_layout.h"
#include "ui/theme.h"

namespace {

// A control whose width runs from x to the client's far edge less `right_margin` (all at
// 96 DPI): symmetric around the centre when x equals the margin, so it needs no mirroring.
RECT stretched(int x, int y, int right_margin, int h, int client_w, int dpi, int language) {
    const int left = scaled_at(x, dpi), right = client_w - scaled_at(right_margin, dpi);
    RECT r = {left, scaled_at(y, dpi), right, scaled_at(y, dpi) + scaled_at(h, dpi)};
    return language == LANGUAGE_ARABIC ? mirror_rect(r, client_w) : r;
}

// A control placed from the bottom edge: y is client height - from_bottom.
RECT from_bottom(int x, int from_bottom_y, int w, int h, int client_w, int client_h, int dpi, int language) {
    RECT r = layout_rect(x, 0, w, h, client_w, dpi, language);
    r.top = client_h - scaled_at(from_bottom_y, dpi);
    r.bottom = r.top + scaled_at(h, dpi);
    return r;
}

// The bottom-right Close button: width - 140 in English, 20 in Arabic.
RECT close_button(int client_w, int client_h, int dpi, int language) {
    RECT r = from_bottom(20, 50, 120, 36, client_w, client_h, dpi, language);
    return mirror_rect(r, client_w);
}

// A painted header icon: its English x, and its own Arabic x measured from the right edge.
RECT header_icon(int x, int arabic_from_right, int y, int size, int client_w, int dpi, int language) {
    const int left = language == LANGUAGE_ARABIC ? client_w - scaled_at(arabic_from_right, dpi) : scaled_at(x, dpi);
    RECT r = {left, scaled_at(y, dpi), left + scaled_at(size, dpi), scaled_at(y + size, dpi)};
    return r;
}

// A painted title from x to the far edge (Arabic: from the near edge to width - x).
RECT header_title(int x, int y, int h, int client_w, int dpi, int language) {
    RECT r = {scaled_at(x, dpi), scaled_at(y, dpi), client_w, scaled_at(y + h, dpi)};
    return language == LANGUAGE_ARABIC ? mirror_rect(r, client_w) : r;
}

}  // namespace

ConnectionDialogLayout connection_dialog_layout(int client_w, int client_h, int dpi, int language) {
    ConnectionDialogLayout l = {};
    l.band = {0, 0, client_w, scaled_at(62, dpi)};
    l.icon = header_icon(18, 54, 15, 32, client_w, dpi, language);
    l.title = header_title(64, 12, 48, client_w, dpi, language);
    l.label = layout_rect(20, 78, 300, 24, client_w, dpi, language);
    l.address = stretched(20, 106, 20, 32, client_w, dpi, language);
    l.check = layout_rect(20, 150, 180, 36, client_w, dpi, language);
    l.open_page = layout_rect(212, 150, 210, 36, client_w, dpi, language);
    l.tip = stretched(20, 200, 20, 100, client_w, dpi, language);
    l.results = stretched(20, 312, 20, 0, client_w, dpi, language);
    l.results.bottom = client_h - scaled_at(64, dpi);
    if (l.results.bottom < l.results.top) l.results.bottom = l.results.top;
    l.close = from_bottom(20, 50, 120, 36, client_w, client_h, dpi, language);
    return l;
}

FirewallDialogLayout firewall_dialog_layout(int client_w, int client_h, int dpi, int language, const int* needed) {
    FirewallDialogLayout l = {};
    l.icon = header_icon(20, 66, 16, 42, client_w, dpi, language);
    l.title = header_title(74, 18, 54, client_w, dpi, language);
    l.status = stretched(20, 78, 20, 142, client_w, dpi, language);
    l.lock = layout_rect(20, 238, 210, 36, client_w, dpi, LANGUAGE_ENGLISH);
    l.restore = layout_rect(242, 238, 210, 36, client_w, dpi, LANGUAGE_ENGLISH);
    if (needed && needed[0] > l.lock.right - l.lock.left) {
        const int grow = needed[0] - (l.lock.right - l.lock.left);
        l.lock.right += grow;
        OffsetRect(&l.restore, grow, 0);
    }
    const int room = client_w - scaled_at(20, dpi) - l.restore.left;
    if (needed && needed[1] > l.restore.right - l.restore.left)
        l.restore.right = l.restore.left + (needed[1] < room ? needed[1] : room);
    if (language == LANGUAGE_ARABIC) {
        l.lock = mirror_rect(l.lock, client_w);
        l.restore = mirror_rect(l.restore, client_w);
    }
    l.run_again = layout_rect(20, 288, 160, 36, client_w, dpi, language);
    l.note = stretched(20, 334, 20, 36, client_w, dpi, language);
    l.close = close_button(client_w, client_h, dpi, language);
    return l;
}

SavedSetupLayout saved_setup_layout(int client_w, int client_h, int dpi, int language) {
    SavedSetupLayout l = {};
    l.title = stretched(20, 14, 20, 28, client_w, dpi, language);
    l.note = stretched(20, 48, 20, 40, client_w, dpi, language);
    l.details = stretched(20, 96, 20, 0, client_w, dpi, language);
    l.details.bottom = client_h - scaled_at(70, dpi);
    if (l.details.bottom < l.details.top) l.details.bottom = l.details.top;
    l.open_folder = from_bottom(20, 50, 200, 36, client_w, client_h, dpi, language);
    l.resetup = from_bottom(232, 50, 180, 36, client_w, client_h, dpi, language);
    l.close = close_button(client_w, client_h, dpi, language);
    return l;
}

WizardLayout wizard_layout(int client_w, int client_h, int dpi, int language, const int* needed) {
    const int browse_needed = needed ? needed[WIZARD_NEED_BROWSE] : 0;
    const int copy_needed = needed ? needed[WIZARD_NEED_COPY] : 0;
    const int watch_needed = needed ? needed[WIZARD_NEED_WATCH] : 0;
    WizardLayout l = {};
    int give = scaled_at(WIZARD_DIALOG_H, dpi) - client_h;
    if (give < 0) give = 0;
    const int explanation_give = give < scaled_at(210 - 60, dpi) ? give : scaled_at(210 - 60, dpi);
    int status_give = give - explanation_give;
    if (status_give > scaled_at(82 - 44, dpi)) status_give = scaled_at(82 - 44, dpi);
    l.title = stretched(20, 14, 20, 28, client_w, dpi, language);
    l.location_label = layout_rect(20, 48, 330, 22, client_w, dpi, language);
    l.share_label = layout_rect(366, 48, 240, 22, client_w, dpi, language);
    l.location = layout_rect(20, 74, 320, 30, client_w, dpi, language);
    // Browse may grow by what the share edit can give (190 down to 100 units).
    int browse_grow = browse_needed - scaled_at(100, dpi);
    if (browse_grow < 0) browse_grow = 0;
    if (browse_grow > scaled_at(90, dpi)) browse_grow = scaled_at(90, dpi);
    l.browse = layout_rect(348, 72, 100, 36, client_w, dpi, LANGUAGE_ENGLISH);
    l.browse.right += browse_grow;
    l.share = layout_rect(462, 74, 190, 30, client_w, dpi, LANGUAGE_ENGLISH);
    l.share.left += browse_grow;
    if (language == LANGUAGE_ARABIC) {
        l.browse = mirror_rect(l.browse, client_w);
        l.share = mirror_rect(l.share, client_w);
    }
    l.preview = stretched(20, 112, 20, 52, client_w, dpi, language);
    l.ip_label = layout_rect(20, 172, 330, 22, client_w, dpi, language);
    l.ip = layout_rect(20, 196, 320, 30, client_w, dpi, language);
    l.open_page = layout_rect(348, 194, 220, 36, client_w, dpi, language);
    l.mode_label = stretched(20, 238, 20, 22, client_w, dpi, language);
    l.dedicated = stretched(20, 266, 20, 26, client_w, dpi, language);
    l.everyone = stretched(20, 294, 20, 26, client_w, dpi, language);
    l.password_label = layout_rect(20, 330, 360, 22, client_w, dpi, language);
    l.password_hint = stretched(390, 330, 20, 48, client_w, dpi, language);
    l.password = layout_rect(20, 356, 220, 30, client_w, dpi, language);
    l.create = layout_rect(20, 400, 280, 36, client_w, dpi, language);
    l.copy = layout_rect(312, 400, 190, 36, client_w, dpi, LANGUAGE_ENGLISH);
    const int copy_room = client_w - scaled_at(20, dpi) - l.copy.left;
    if (copy_needed > l.copy.right - l.copy.left) l.copy.right = l.copy.left + (copy_needed < copy_room ? copy_needed : copy_room);
    if (language == LANGUAGE_ARABIC) l.copy = mirror_rect(l.copy, client_w);
    l.explanation = stretched(20, 448, 20, 210, client_w, dpi, language);
    l.explanation.bottom -= explanation_give;
    l.status = stretched(20, 668, 20, 82, client_w, dpi, language);
    OffsetRect(&l.status, 0, -explanation_give);
    l.status.bottom -= status_give;
    l.open_folder = from_bottom(20, 50, 200, 36, client_w, client_h, dpi, language);
    l.watch = from_bottom(232, 50, 250, 36, client_w, client_h, dpi, LANGUAGE_ENGLISH);
    const int watch_room = client_w - scaled_at(140 + 12, dpi) - l.watch.left;
    if (watch_needed > l.watch.right - l.watch.left)
        l.watch.right = l.watch.left + (watch_needed < watch_room ? watch_needed : watch_room);
    if (language == LANGUAGE_ARABIC) l.watch = mirror_rect(l.watch, client_w);
    l.close = close_button(client_w, client_h, dpi, language);
    return l;
}
