// ui/strip_geometry.h
// The arithmetic of the page strip and the preview caption, free of any window so every
// edge can be tested: where each cell lies in both reading directions, how wide the
// content is, where a dragged page would land, how far to scroll, which page an arrow
// key selects. Positions are in content coordinates (the strip offset not subtracted)
// unless a name says "client".
#ifndef ZAN_UI_STRIP_GEOMETRY_H
#define ZAN_UI_STRIP_GEOMETRY_H

#include "core/wide_string.h"
#include "ui/page_list.h"

// The strip's lengths at the current DPI (the window fills them with scaled values).
struct StripMetrics {
    int cell;         // cell width: 92
    int pitch;        // cell plus gap: 100
    int margin;       // before the first cell: 8
    int tail;         // extra room after the last cell: 4
    int marker;       // insertion bar distance from its cell: 4
};
// The 96-DPI lengths (the tests' and the window's starting point).
StripMetrics strip_metrics_96();

// The geometry of one strip: its pages, its client width and its reading direction.
struct StripShape {
    StripMetrics m;
    int count;
    int client_width;
    bool rtl;         // Arabic: page 1 at the right end
};

// max(client width, margin + tail + count * pitch).
int strip_content_width(const StripShape& s);
// Left edge of cell index (any index, also one past the last).
int strip_cell_x(const StripShape& s, int index);
// The cell whose span [x, x + cell) holds content_x, or -1.
int strip_cell_at(const StripShape& s, int content_x);
// The insertion bar's x for position 0..count: before the cell on its reading-start side;
// the position after the last page is one pitch on from the last cell; with no pages the
// bar sits at `marker`.
int strip_marker_x(const StripShape& s, int position);
// The insertion position 0..count whose marker is nearest to content_x (the first one
// wins a tie); -1 with no pages.
int strip_drop_target(const StripShape& s, int content_x);
// Where a page dragged from source to insertion position target ends up, or -1 when the
// drop changes nothing (its own place, the gap right after it, out of range).
int strip_drop_destination(int source, int target, int count);
// The offset clamped to 0..max(0, content width - client width).
int strip_clamp_offset(const StripShape& s, int offset);
// The offset after scrolling the cell of index into view (margin left free), clamped.
int strip_ensure_visible(const StripShape& s, int offset, int index);
// The scroll of one pointer move while dragging: -step when the pointer is in the edge
// pixels at the left side, +step in those at the right side, else 0 (client coordinates).
int strip_auto_scroll(int client_x, int client_width, int edge, int step);
// The offset change of a wheel turn: delta * pitch / -120.
int strip_wheel_scroll(const StripShape& s, int delta);
// The page an arrow key selects: Right is +1 in English and -1 in Arabic, Left the
// opposite; added to the selection (0 when none) and clamped to the pages. -1 with no pages.
int strip_arrow_target(int selected, int count, bool right_key, bool rtl);
// The size of a w x h picture fitted into box_w x box_h keeping its proportions; never
// enlarged, never below 1 x 1. Both 0 for an empty picture or box.
void fit_picture(int w, int h, int box_w, int box_h, int* out_w, int* out_h);

// ---- the preview caption: "%d / %d    " (position, count) followed by the text of
// format_id (width, height, dpi)
struct PreviewCaption {
    int position;     // counted from 1
    int count;
    int format_id;    // 193: "%d × %d px · %d DPI"
    int width;
    int height;
    int dpi;
};
// The caption of the selected page; false with no valid selection.
bool preview_caption(PageList* list, PreviewCaption* caption);
// The caption's text with the format of format_id given as `page_format`.
bool preview_caption_text(const PreviewCaption& caption, const wchar_t* page_format, WideString* out);

#endif
