// ui/page_list.cpp
// The page list: an array of page-store handles in document order plus the selection.
#include "ui/page_list.h"

#include "core/heap.h"

static const int FIRST_CAPACITY = 8;

bool page_list_init(PageList* list, const PageStoreOptions* options) {
    mem_fill(list, 0, sizeof(*list));
    list->selected = -1;
    PageStoreOptions defaults = {};
    list->store = page_store_open(options ? options : &defaults);
    list->items = (StoredPage**)mem_alloc_array(FIRST_CAPACITY, sizeof(StoredPage*));
    if (!list->store || !list->items) {
        page_list_free(list);
        return false;
    }
    list->capacity = FIRST_CAPACITY;
    return true;
}

void page_list_free(PageList* list) {
    // Closing the store frees every page, pinned or not, and every thumbnail.
    if (list->store) page_store_close(list->store);
    mem_free(list->items);
    mem_fill(list, 0, sizeof(*list));
    list->selected = -1;
}

static bool grow(PageList* list) {
    if (list->count < list->capacity) return true;
    const int capacity = list->capacity > 0 ? list->capacity * 2 : FIRST_CAPACITY;
    if (capacity <= list->capacity) return false;
    size_t bytes = 0;
    if (!size_mul((size_t)capacity, sizeof(StoredPage*), &bytes)) return false;
    StoredPage** items = (StoredPage**)mem_realloc(list->items, bytes);
    if (!items) return false;
    list->items = items;
    list->capacity = capacity;
    return true;
}

bool page_list_append(PageList* list, PageImage* page) {
    if (!list->store || !page || !grow(list)) return false;
    StoredPage* stored = page_store_add(list->store, page);
    if (!stored) return false;
    list->items[list->count++] = stored;
    return true;
}

bool page_list_replace(PageList* list, int index, PageImage* image) {
    if (index < 0 || index >= list->count || !image) return false;
    return page_store_replace(list->store, list->items[index], image);
}

static void remove_item(PageList* list, int index) {
    for (int i = index; i + 1 < list->count; ++i) list->items[i] = list->items[i + 1];
    list->count -= 1;
    list->items[list->count] = nullptr;
}

void page_list_delete(PageList* list, int index) {
    if (index < 0 || index >= list->count) return;
    // A page a save still reads stays where it is (the commands are disabled meanwhile).
    if (!page_store_remove(list->store, list->items[index])) return;
    const bool was_last = index == list->count - 1;
    remove_item(list, index);
    if (list->selected < 0) return;
    if (index < list->selected) {
        list->selected -= 1;          // the selected page moved up one place
    } else if (index == list->selected && was_last) {
        list->selected = list->count - 1;
    }
}

void page_list_clear(PageList* list) {
    int kept = 0;
    for (int i = 0; i < list->count; ++i) {
        if (!page_store_remove(list->store, list->items[i])) list->items[kept++] = list->items[i];
    }
    for (int i = kept; i < list->count; ++i) list->items[i] = nullptr;
    list->count = kept;
    list->selected = -1;
}

bool page_list_move(PageList* list, int from, int to) {
    if (from < 0 || from >= list->count || to < 0 || to >= list->count || from == to) return false;
    StoredPage* moving = list->items[from];
    if (from < to) {
        for (int i = from; i < to; ++i) list->items[i] = list->items[i + 1];
    } else {
        for (int i = from; i > to; --i) list->items[i] = list->items[i - 1];
    }
    list->items[to] = moving;
    list->selected = to;
    return true;
}

// A page that cannot be read back is never taken for blank: it stays.
static bool page_matches(PageList* list, StoredPage* stored, PageTest test, void* context) {
    int message_id = 0;
    const PageImage* image = page_store_pin(list->store, stored, &message_id);
    if (!image) return false;
    const bool yes = test(image, context);
    page_store_unpin(list->store, stored);
    return yes;
}

int page_list_remove_where(PageList* list, PageTest is_blank, void* context) {
    int removed = 0;
    for (int i = list->count - 1; i >= 0; --i) {
        if (!page_matches(list, list->items[i], is_blank, context)) continue;
        if (!page_store_remove(list->store, list->items[i])) continue;
        remove_item(list, i);
        removed += 1;
    }
    if (list->selected >= list->count) list->selected = list->count - 1;
    if (list->selected < 0 && list->count > 0) list->selected = 0;
    return removed;
}
