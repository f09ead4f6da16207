// ui/page_view.h
// The preview (class ZanPreview) and the page strip (class ZanStrip) of the main window.
// Both read the page list directly on the main thread; the strip changes the selection
// and the page order itself and then calls back into the main window.
#ifndef ZAN_UI_PAGE_VIEW_H
#define ZAN_UI_PAGE_VIEW_H

#include <windows.h>

#include "ui/page_list.h"

// What the two windows need from the main window.
struct PageViewHost {
    PageList* pages;
    void* context;
    bool (*is_idle)(void* context);           // neither scanning nor saving
    void (*state_update)(void* context);      // enable table, labels, footer
    void (*delete_selected)(void* context);   // the delete command, without a status text
};

// Registers ZanPreview and ZanStrip (the strip with double-click messages). False on failure.
bool page_view_register(HINSTANCE instance);
// The host is kept by pointer and must outlive both windows.
HWND create_preview(HWND parent, int id, const PageViewHost* host);
HWND create_strip(HWND parent, int id, const PageViewHost* host);

// Drops the preview cache and repaints the preview.
void refresh_preview();
// With ensure_visible and a selection, scrolls the selected cell into view; then updates
// the scroll bar and repaints the strip.
void refresh_strip(bool ensure_visible);

// Makes (again) the thumbnail of page index for a box of 84 x 104 (scaled). Called after
// a page is added or replaced and for every page after a DPI change.
void page_view_make_thumbnail(PageList* list, int index);
// The release function for thumbnails, given to the page store.
void page_view_release_thumbnail(void* bitmap);

#endif
