// ui/page_list.h
// The page list of the main window: the pages in document order (their pixels live in
// the page store), the selected page and the count of pages that arrived during the
// current scan. Pure logic, main thread only; the selection rules of every page command
// live here so they can be tested without a window.
#ifndef ZAN_UI_PAGE_LIST_H
#define ZAN_UI_PAGE_LIST_H

#include "image/page_store.h"

struct PageList {
    PageStore* store;       // owns the pixels of every item
    StoredPage** items;     // in document order; capacity starts at 8 and doubles
    int count;
    int capacity;
    int selected;           // -1: none
    int scanned_this_run;   // pages that arrived during the current scan (blank ones too)
};

// Opens the store with the given options (null: defaults). False when out of memory.
bool page_list_init(PageList* list, const PageStoreOptions* options);
// Removes every page and closes the store.
void page_list_free(PageList* list);

// Adds page (taken over) at the end. False, and the page still the caller's, when out of
// memory.
bool page_list_append(PageList* list, PageImage* page);
// Puts image (taken over) in place of the pixels of page index; the thumbnail goes with
// the old pixels. False, and nothing taken, when the page is in use by a save.
bool page_list_replace(PageList* list, int index, PageImage* image);
// Removes page index; the following pages move up one place. Selection: the removed last
// page selects the new last page (-1 when none remain); otherwise the index stays.
void page_list_delete(PageList* list, int index);
// Removes every page; selected := -1.
void page_list_clear(PageList* list);
// Moves the item at from to position to (the items in between shift by one) and selects
// it. False when either index is out of range or they are equal.
bool page_list_move(PageList* list, int from, int to);
// Removes, from last to first, every page for which is_blank says yes; returns how many.
// Selection: beyond the new end moves to the last page (-1 if none remain); with none
// selected and pages remaining, the first page is selected.
typedef bool (*PageTest)(const PageImage* page, void* context);
int page_list_remove_where(PageList* list, PageTest is_blank, void* context);

#endif
