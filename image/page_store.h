// image/page_store.h
// The page store: where the pixels of the page list live. A stored page is in memory or
// parked in one private temporary file, so a batch of several hundred colour pages fits
// the 32-bit process. The store owns every page added to it; a caller that needs the
// pixels pins the page, uses them, and unpins it. Safe to call from several threads.
#ifndef ZAN_IMAGE_PAGE_STORE_H
#define ZAN_IMAGE_PAGE_STORE_H

#include <stdint.h>

#include "core/file.h"
#include "image/page_image.h"

// ---- messages (string-table ids)
// A page could not be parked (disk full, write error, no temporary file) and stays in
// memory: "Out of memory while scanning..." holds for a full disk as well.
const int PAGE_STORE_MESSAGE_NO_SPACE = 151;
// A parked page could not be read back: "A page could not be read back from the
// program's temporary file...". The page stays parked; nothing blank is handed out.
const int PAGE_STORE_MESSAGE_READ_FAILED = 302;

// Pixel bytes the store keeps in memory before it parks pages: 1 GiB, half of what the
// 32-bit process can count on, leaving room for the save, the preview and the scan.
const int64_t PAGE_STORE_DEFAULT_BUDGET = (int64_t)1 << 30;

struct PageStore;
struct StoredPage;

// The strip's cached picture of a page: filled and read by the interface only, freed
// through the store's release function when the page is removed or replaced, and never
// parked, so scrolling the strip does not touch the disk.
struct PageThumbnail {
    void* bitmap;   // null: not made yet
    int width;
    int height;
};
typedef void (*PageThumbnailRelease)(void* bitmap);

struct PageStoreOptions {
    int64_t memory_budget;              // 0: PAGE_STORE_DEFAULT_BUDGET
    const wchar_t* temp_folder;         // null: the user's temporary folder
    // Pages are parked with zlib at level 1 instead of as raw rows. Off by default: for
    // scanned colour pages it costs far more time than it saves on disk.
    bool compress;
    int64_t temp_file_limit;            // largest temporary file in bytes, 0: no limit
    PageThumbnailRelease release_thumbnail;   // null: thumbnails need no freeing
};

struct PageStoreStats {
    int pages;
    int pinned;
    int parked;                         // pages whose pixels are only in the file
    int64_t resident_bytes;             // pixel bytes in memory
    int64_t budget;
    int64_t temp_file_bytes;            // current end of the temporary file
    int64_t temp_file_peak_bytes;
    int64_t parks;                      // pages written to the file
    int64_t loads;                      // pages read back
    int park_failures;
};

// ---- the store
// Null when out of memory. The temporary file is made on the first park.
PageStore* page_store_open(const PageStoreOptions* options);
// Frees every page (pinned or not) and thumbnail and deletes the temporary file.
void page_store_close(PageStore* store);

// ---- pages
// Adds page unpinned and takes ownership of it; parks older pages first when it would
// pass the budget. Null (page still the caller's) when out of memory.
StoredPage* page_store_add(PageStore* store, PageImage* page);
// Pixels in memory until the matching unpin (pins nest). A parked page is read back,
// parking others to keep the budget. Null on failure with *message_id set to
// PAGE_STORE_MESSAGE_READ_FAILED or PAGE_STORE_MESSAGE_NO_SPACE (no memory for it).
const PageImage* page_store_pin(PageStore* store, StoredPage* page, int* message_id);
void page_store_unpin(PageStore* store, StoredPage* page);
// Puts new_image (taken over) in place of the page's pixels; the old image, its parked
// copy and its thumbnail are freed. False, and nothing taken, while the page is pinned.
bool page_store_replace(PageStore* store, StoredPage* page, PageImage* new_image);
// Frees the page, its parked copy and its thumbnail. False, and nothing done, while the
// page is pinned. Removing the last page also hands the kept pixel block back.
bool page_store_remove(PageStore* store, StoredPage* page);

// ---- what the interface reads without pinning
// The size fields of the page (pixels null): width, height, depth, stride, dpi.
PageImage page_store_header(PageStore* store, const StoredPage* page);
// The page's thumbnail slot (the interface's thread only).
PageThumbnail* page_store_thumbnail(StoredPage* page);
PageStoreStats page_store_stats(PageStore* store);
// PAGE_STORE_MESSAGE_NO_SPACE once after parking started failing (again), else 0.
int page_store_take_warning(PageStore* store);
// The temporary file (handle null before the first park), for diagnostics: the tests
// damage it to meet a failing disk.
ScratchFile* page_store_file(PageStore* store);

#endif
