// ui/strip_geometry.cpp
// The page strip's arithmetic and the preview caption.
#include "ui/strip_geometry.h"

StripMetrics strip_metrics_96() {
    StripMetrics m;
    m.cell = 92;
    m.pitch = 100;
    m.margin = 8;
    m.tail = 4;
    m.marker = 4;
    return m;
}

int strip_content_width(const StripShape& s) {
    const int64_t needed = (int64_t)s.m.margin + s.m.tail + (int64_t)s.count * s.m.pitch;
    const int64_t width = needed > s.client_width ? needed : s.client_width;
    return width > INT32_MAX ? INT32_MAX : (int)width;
}

int strip_cell_x(const StripShape& s, int index) {
    if (s.rtl) return strip_content_width(s) - s.m.margin - s.m.cell - index * s.m.pitch;
    return s.m.margin + index * s.m.pitch;
}

int strip_cell_at(const StripShape& s, int content_x) {
    for (int i = 0; i < s.count; ++i) {
        const int x = strip_cell_x(s, i);
        if (content_x >= x && content_x < x + s.m.cell) return i;
    }
    return -1;
}

int strip_marker_x(const StripShape& s, int position) {
    if (s.count <= 0) return s.m.marker;
    // The place after the last page lies where one more cell would start.
    const int x = strip_cell_x(s, position);
    return s.rtl ? x + s.m.cell + s.m.marker : x - s.m.marker;
}

int strip_drop_target(const StripShape& s, int content_x) {
    if (s.count <= 0) return -1;
    int best = 0;
    int64_t best_distance = -1;
    for (int p = 0; p <= s.count; ++p) {
        int64_t d = (int64_t)strip_marker_x(s, p) - content_x;
        if (d < 0) d = -d;
        if (best_distance < 0 || d < best_distance) {
            best = p;
            best_distance = d;
        }
    }
    return best;
}

int strip_drop_destination(int source, int target, int count) {
    if (source < 0 || source >= count || target < 0 || target > count) return -1;
    const int to = source < target ? target - 1 : target;
    return to == source ? -1 : to;
}

int strip_clamp_offset(const StripShape& s, int offset) {
    const int most = strip_content_width(s) - s.client_width;
    if (offset > most) offset = most;
    return offset < 0 ? 0 : offset;
}

int strip_ensure_visible(const StripShape& s, int offset, int index) {
    if (index >= 0 && index < s.count) {
        const int x = strip_cell_x(s, index);
        if (x < offset) {
            offset = x - s.m.margin;
        } else if (x + s.m.cell > offset + s.client_width) {
            offset = x + s.m.cell + s.m.margin - s.client_width;
        }
    }
    return strip_clamp_offset(s, offset);
}

int strip_auto_scroll(int client_x, int client_width, int edge, int step) {
    if (client_x < edge) return -step;
    if (client_x >= client_width - edge) return step;
    return 0;
}

int strip_wheel_scroll(const StripShape& s, int delta) {
    return (int)((int64_t)delta * s.m.pitch / -120);
}

int strip_arrow_target(int selected, int count, bool right_key, bool rtl) {
    if (count <= 0) return -1;
    const int step = right_key != rtl ? 1 : -1;
    int next = (selected < 0 ? 0 : selected) + step;
    if (next < 0) next = 0;
    if (next > count - 1) next = count - 1;
    return next;
}

void fit_picture(int w, int h, int box_w, int box_h, int* out_w, int* out_h) {
    *out_w = 0;
    *out_h = 0;
    if (w <= 0 || h <= 0 || box_w <= 0 || box_h <= 0) return;
    if (w <= box_w && h <= box_h) {
        *out_w = w;
        *out_h = h;
    } else if ((int64_t)w * box_h >= (int64_t)h * box_w) {   // the width limits
        *out_w = box_w;
        *out_h = (int)((int64_t)h * box_w / w);
    } else {
        *out_w = (int)((int64_t)w * box_h / h);
        *out_h = box_h;
    }
    if (*out_w < 1) *out_w = 1;
    if (*out_h < 1) *out_h = 1;
}

bool preview_caption(PageList* list, PreviewCaption* caption) {
    if (list->selected < 0 || list->selected >= list->count) return false;
    const PageImage header = page_store_header(list->store, list->items[list->selected]);
    caption->position = list->selected + 1;
    caption->count = list->count;
    caption->format_id = 193;
    caption->width = header.width;
    caption->height = header.height;
    caption->dpi = header.dpi;
    return true;
}

bool preview_caption_text(const PreviewCaption& caption, const wchar_t* page_format, WideString* out) {
    WideString size = {};
    const bool ok = format(out, L"%d / %d    ", caption.position, caption.count) &&
                    format(&size, page_format, caption.width, caption.height, caption.dpi) &&
                    append(out, text_of(size));
    release(&size);
    return ok;
}
