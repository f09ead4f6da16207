#include "image/page_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "core/heap.h"
#include "core/system.h"
#include "tests/test_temp_folder.h"

namespace {

// A page of the given size filled from seed, padding bytes included, so a round trip
// that loses any byte shows.
PageImage* make_page(int width, int height, int bits, unsigned seed) {
    PageImage* page = page_image_new();
    if (!page_image_alloc(page, width, height, bits, 150 + (int)(seed % 300))) {
        page_image_free(page);
        return nullptr;
    }
    std::mt19937 random(seed);
    const int64_t size = (int64_t)page->stride * page->height;
    for (int64_t k = 0; k < size; ++k) page->pixels[k] = (uint8_t)(random() >> 7);
    // A run of equal bytes, so the compressed form differs in size from the raw one.
    for (int64_t k = 0; k < size / 3; ++k) page->pixels[k] = 0xEE;
    return page;
}

std::vector<uint8_t> bytes_of(const PageImage* page) {
    return std::vector<uint8_t>(page->pixels, page->pixels + (int64_t)page->stride * page->height);
}

int64_t size_of(const PageImage* page) {
    return (int64_t)page->stride * page->height;
}

// The expected content of each stored page, and the store's view of it.
struct Model {
    PageStore* store = nullptr;
    std::vector<StoredPage*> pages;
    std::map<StoredPage*, std::vector<uint8_t>> content;
    std::map<StoredPage*, PageImage> header;
    std::map<StoredPage*, int> pins;

    explicit Model(const PageStoreOptions& options) { store = page_store_open(&options); }
    ~Model() { page_store_close(store); }

    StoredPage* add(PageImage* page) {
        const std::vector<uint8_t> copy = bytes_of(page);
        PageImage h = *page;
        h.pixels = nullptr;
        StoredPage* stored = page_store_add(store, page);
        if (!stored) return nullptr;
        pages.push_back(stored);
        content[stored] = copy;
        header[stored] = h;
        return stored;
    }

    // Pins, compares every byte and every size field, unpins.
    void check(StoredPage* p) {
        int message = -1;
        const PageImage* image = page_store_pin(store, p, &message);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(0, message);
        const PageImage& h = header[p];
        EXPECT_EQ(h.width, image->width);
        EXPECT_EQ(h.height, image->height);
        EXPECT_EQ(h.bits_per_pixel, image->bits_per_pixel);
        EXPECT_EQ(h.stride, image->stride);
        EXPECT_EQ(h.dpi, image->dpi);
        EXPECT_TRUE(bytes_of(image) == content[p]);
        page_store_unpin(store, p);
    }

    int64_t pinned_bytes() const {
        int64_t bytes = 0;
        for (const auto& pin : pins)
            if (pin.second > 0) bytes += (int64_t)content.at(pin.first).size();
        return bytes;
    }

    // The budget holds unless pinned pages alone pass it, and the counts agree.
    void expect_budget_held() {
        const PageStoreStats stats = page_store_stats(store);
        EXPECT_EQ((int)pages.size(), stats.pages);
        EXPECT_LE(stats.resident_bytes, std::max(stats.budget, pinned_bytes()));
        EXPECT_EQ(0, stats.park_failures);
    }
};

PageStoreOptions options_with_budget(int64_t budget, bool compress = false) {
    PageStoreOptions options = {};
    options.memory_budget = budget;
    options.compress = compress;
    return options;
}

const int W = 301, H = 207;   // 24-bit rows of 903 bytes: 1 byte of padding
const int64_t PAGE_BYTES = 904 * 207;

}  // namespace

TEST(PageStore, PagesComeBackByteForByteAfterParkingInEveryDepth) {
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress);
        Model m(options_with_budget(PAGE_BYTES, compress));
        unsigned seed = 1;
        int64_t total = 0, largest = 0;
        for (int bits : {1, 8, 24})
            for (int k = 0; k < 3; ++k) {
                PageImage* page = make_page(W - k, H + k, bits, seed++);
                total += size_of(page);
                largest = std::max(largest, size_of(page));
                ASSERT_NE(nullptr, m.add(page));
                m.expect_budget_held();
            }
        const PageStoreStats stats = page_store_stats(m.store);
        EXPECT_GE(stats.parked, 8);
        // Raw: every parked row; compressed: the third of each page that is one byte shrinks.
        if (compress)
            EXPECT_LT(stats.temp_file_bytes, total * 4 / 5);
        else
            EXPECT_GE(stats.temp_file_bytes, total - largest);
        for (StoredPage* p : m.pages) {
            m.check(p);
            m.expect_budget_held();
        }
        std::reverse(m.pages.begin(), m.pages.end());
        for (StoredPage* p : m.pages) m.check(p);
        EXPECT_GT(page_store_stats(m.store).loads, 9);
    }
}

TEST(PageStore, ReadingBackAgainDoesNotWriteAgain) {
    Model m(options_with_budget(PAGE_BYTES));
    for (unsigned k = 0; k < 4; ++k) m.add(make_page(W, H, 24, k));
    for (int round = 0; round < 3; ++round)
        for (StoredPage* p : m.pages) m.check(p);
    const PageStoreStats stats = page_store_stats(m.store);
    EXPECT_EQ(4, stats.parks);
    EXPECT_EQ(4 * PAGE_BYTES, stats.temp_file_bytes);
}

TEST(PageStore, RandomOrdersOfAddPinUnpinReplaceRemoveKeepContentAndBudget) {
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress);
        Model m(options_with_budget(3 * PAGE_BYTES, compress));
        std::mt19937 random(compress ? 7 : 3);
        unsigned seed = 100;
        for (int step = 0; step < 400; ++step) {
            SCOPED_TRACE(step);
            const int op = (int)(random() % 6);
            StoredPage* p = m.pages.empty() ? nullptr : m.pages[random() % m.pages.size()];
            if (op == 0 || !p) {
                m.add(make_page(W - (int)(random() % 5), H, random() % 3 == 0 ? 8 : 24, seed++));
            } else if (op == 1) {
                int message = 0;
                const PageImage* image = page_store_pin(m.store, p, &message);
                ASSERT_NE(nullptr, image);
                EXPECT_TRUE(bytes_of(image) == m.content[p]);
                ++m.pins[p];
            } else if (op == 2 && m.pins[p] > 0) {
                page_store_unpin(m.store, p);
                --m.pins[p];
            } else if (op == 3) {
                PageImage* next = make_page(H, W, 24, seed++);
                const bool pinned = m.pins[p] > 0;
                const std::vector<uint8_t> copy = bytes_of(next);
                const bool replaced = page_store_replace(m.store, p, next);
                EXPECT_EQ(!pinned, replaced);
                if (replaced) {
                    m.content[p] = copy;
                    m.header[p] = page_store_header(m.store, p);
                    EXPECT_EQ(H, m.header[p].width);
                } else {
                    page_image_free(next);
                }
            } else if (op == 4) {
                const bool pinned = m.pins[p] > 0;
                EXPECT_EQ(!pinned, page_store_remove(m.store, p));
                if (!pinned) {
                    m.pages.erase(std::find(m.pages.begin(), m.pages.end(), p));
                    m.content.erase(p);
                    m.pins.erase(p);
                }
            } else if (m.pins[p] == 0) {
                m.check(p);
            }
            m.expect_budget_held();
        }
        for (auto& pin : m.pins)
            for (; pin.second > 0; --pin.second) page_store_unpin(m.store, pin.first);
        for (StoredPage* p : m.pages) m.check(p);
        m.expect_budget_held();
    }
}

TEST(PageStore, EveryOrderOfPinReplaceRemoveAndAddAroundParkedPages) {
    enum Op { PIN_A, REPLACE_A, REMOVE_B, ADD_C };
    std::vector<int> order = {PIN_A, REPLACE_A, REMOVE_B, ADD_C};
    int orders = 0;
    do {
        SCOPED_TRACE(orders);
        Model m(options_with_budget(PAGE_BYTES));
        StoredPage* a = m.add(make_page(W, H, 24, 1));
        StoredPage* b = m.add(make_page(W, H, 24, 2));
        m.add(make_page(W, H, 8, 3));   // a and b are parked now
        bool a_pinned = false;
        for (int op : order) {
            if (op == PIN_A) {
                int message = 0;
                ASSERT_NE(nullptr, page_store_pin(m.store, a, &message));
                a_pinned = true;
            } else if (op == REPLACE_A) {
                PageImage* next = make_page(W + 3, H, 24, 9);
                const std::vector<uint8_t> copy = bytes_of(next);
                if (a_pinned) {
                    EXPECT_FALSE(page_store_replace(m.store, a, next));
                    page_image_free(next);
                } else {
                    ASSERT_TRUE(page_store_replace(m.store, a, next));
                    m.content[a] = copy;
                    m.header[a] = page_store_header(m.store, a);
                }
            } else if (op == REMOVE_B) {
                ASSERT_TRUE(page_store_remove(m.store, b));
                m.pages.erase(std::find(m.pages.begin(), m.pages.end(), b));
            } else {
                m.add(make_page(W, H - 1, 24, 4));
            }
            m.pins[a] = a_pinned ? 1 : 0;
            m.expect_budget_held();
        }
        if (a_pinned) page_store_unpin(m.store, a);
        m.pins.clear();
        for (StoredPage* p : m.pages) m.check(p);
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(24, orders);
}

TEST(PageStore, RemovedPagesSpaceIsReusedAndTheLastRemovalEmptiesEverything) {
    Model m(options_with_budget(PAGE_BYTES));
    for (unsigned k = 0; k < 6; ++k) m.add(make_page(W, H, 24, k));
    // Once pages were parked, each new page is written as it arrives.
    EXPECT_EQ(6 * PAGE_BYTES, page_store_stats(m.store).temp_file_bytes);
    // Remove two parked pages in the middle while the others stay parked.
    for (int k : {2, 1}) {
        ASSERT_TRUE(page_store_remove(m.store, m.pages[k]));
        m.pages.erase(m.pages.begin() + k);
    }
    for (StoredPage* p : m.pages) m.check(p);
    for (unsigned k = 0; k < 2; ++k) m.add(make_page(W, H, 24, 50 + k));
    for (StoredPage* p : m.pages) m.check(p);
    // Six pages, each with one copy in the file: the removed pages' space was taken again.
    EXPECT_EQ(6 * PAGE_BYTES, page_store_stats(m.store).temp_file_peak_bytes);
    while (!m.pages.empty()) {
        ASSERT_TRUE(page_store_remove(m.store, m.pages.back()));
        m.pages.pop_back();
        for (StoredPage* p : m.pages) m.check(p);
    }
    const PageStoreStats stats = page_store_stats(m.store);
    EXPECT_EQ(0, stats.temp_file_bytes);
    EXPECT_EQ(0, stats.resident_bytes);
}

TEST(PageStore, PinnedPagesStayAndRefuseChange) {
    Model m(options_with_budget(PAGE_BYTES));
    StoredPage* a = m.add(make_page(W, H, 24, 1));
    int message = 0;
    const PageImage* first = page_store_pin(m.store, a, &message);
    const PageImage* second = page_store_pin(m.store, a, &message);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    m.add(make_page(W, H, 24, 2));
    m.add(make_page(W, H, 24, 3));
    page_store_unpin(m.store, a);
    // Still pinned once: neither parked nor changed.
    PageImage* other = make_page(W, H, 8, 4);
    EXPECT_FALSE(page_store_replace(m.store, a, other));
    EXPECT_FALSE(page_store_remove(m.store, a));
    EXPECT_TRUE(bytes_of(first) == m.content[a]);
    page_store_unpin(m.store, a);
    EXPECT_TRUE(page_store_replace(m.store, a, other));
    EXPECT_EQ(8, page_store_header(m.store, a).bits_per_pixel);
    EXPECT_EQ(3, page_store_stats(m.store).pages);
}

static int g_released = 0;
static void count_release(void* bitmap) {
    EXPECT_NE(nullptr, bitmap);
    ++g_released;
}

TEST(PageStore, ThumbnailsStayInMemoryAndAreFreedWithTheirPage) {
    PageStoreOptions options = options_with_budget(PAGE_BYTES);
    options.release_thumbnail = count_release;
    g_released = 0;
    {
        Model m(options);
        static int bitmaps[3];
        for (int k = 0; k < 3; ++k) {
            StoredPage* p = m.add(make_page(W, H, 24, (unsigned)k));
            *page_store_thumbnail(p) = PageThumbnail{&bitmaps[k], 84, 60};
        }
        EXPECT_EQ(2, page_store_stats(m.store).parked);
        EXPECT_EQ(&bitmaps[0], page_store_thumbnail(m.pages[0])->bitmap);
        EXPECT_EQ(84, page_store_thumbnail(m.pages[0])->width);
        ASSERT_TRUE(page_store_replace(m.store, m.pages[1], make_page(W, H, 8, 9)));
        EXPECT_EQ(1, g_released);
        EXPECT_EQ(nullptr, page_store_thumbnail(m.pages[1])->bitmap);
        ASSERT_TRUE(page_store_remove(m.store, m.pages[0]));
        EXPECT_EQ(2, g_released);
    }
    EXPECT_EQ(3, g_released);
}

TEST(PageStore, FailedParkKeepsThePageInMemoryAndWarnsOnce) {
    PageStoreOptions options = options_with_budget(PAGE_BYTES);
    // Room for two parked pages: the third park meets a full disk.
    options.temp_file_limit = 2 * PAGE_BYTES + 10;
    Model m(options);
    for (unsigned k = 0; k < 2; ++k) m.add(make_page(W, H, 24, k));
    EXPECT_EQ(2, page_store_stats(m.store).parks);
    EXPECT_EQ(0, page_store_take_warning(m.store));
    for (unsigned k = 2; k < 6; ++k) m.add(make_page(W, H, 24, k));
    PageStoreStats stats = page_store_stats(m.store);
    EXPECT_EQ(2, stats.parked);
    EXPECT_EQ(4 * PAGE_BYTES, stats.resident_bytes);
    EXPECT_GE(stats.park_failures, 3);
    EXPECT_EQ(PAGE_STORE_MESSAGE_NO_SPACE, page_store_take_warning(m.store));
    EXPECT_EQ(0, page_store_take_warning(m.store));
    for (StoredPage* p : m.pages) m.check(p);
    EXPECT_EQ(0, page_store_take_warning(m.store));
    // Space comes back: parking works again, and a later failure is reported again.
    ASSERT_TRUE(page_store_remove(m.store, m.pages[0]));
    m.pages.erase(m.pages.begin());
    m.add(make_page(W, H, 24, 7));
    stats = page_store_stats(m.store);
    EXPECT_GT(stats.parks, 2);
    m.add(make_page(W, H, 24, 8));
    EXPECT_EQ(PAGE_STORE_MESSAGE_NO_SPACE, page_store_take_warning(m.store));
    for (StoredPage* p : m.pages) m.check(p);
}

TEST(PageStore, AMissingTempFolderKeepsEveryPageInMemory) {
    TempFolder t;
    WideString missing = t.file(L"no such folder");
    PageStoreOptions options = options_with_budget(PAGE_BYTES);
    options.temp_folder = missing.data;
    {
        Model m(options);
        for (unsigned k = 0; k < 3; ++k) m.add(make_page(W, H, 24, k));
        EXPECT_EQ(0, page_store_stats(m.store).parked);
        EXPECT_EQ(PAGE_STORE_MESSAGE_NO_SPACE, page_store_take_warning(m.store));
        for (StoredPage* p : m.pages) m.check(p);
    }
    release(&missing);
}

TEST(PageStore, ADamagedParkedCopyIsAnErrorNeverATornPage) {
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress);
        Model m(options_with_budget(PAGE_BYTES, compress));
        for (unsigned k = 0; k < 3; ++k) m.add(make_page(W, H, 24, k));
        StoredPage* parked = m.pages[0];
        int message = 0;
        const PageImage* resident = page_store_pin(m.store, m.pages[2], &message);
        ASSERT_NE(nullptr, resident);
        ScratchFile* file = page_store_file(m.store);
        ASSERT_NE(nullptr, file->handle);
        // A few bytes flipped in the middle of every parked copy, as a failing disk would.
        const int64_t end = page_store_stats(m.store).temp_file_bytes;
        for (int64_t at = 0; at + 4 <= end; at += 997) ASSERT_TRUE(scratch_file_write_at(file, at, "\x55\xAA", 2));
        EXPECT_EQ(nullptr, page_store_pin(m.store, parked, &message));
        EXPECT_EQ(PAGE_STORE_MESSAGE_READ_FAILED, message);
        EXPECT_EQ(1, page_store_stats(m.store).pinned);
        // The page in memory is unaffected, and the parked one fails again rather than
        // coming back blank.
        EXPECT_TRUE(bytes_of(resident) == m.content[m.pages[2]]);
        page_store_unpin(m.store, m.pages[2]);
        EXPECT_EQ(nullptr, page_store_pin(m.store, parked, &message));
        EXPECT_EQ(PAGE_STORE_MESSAGE_READ_FAILED, message);
        EXPECT_TRUE(page_store_remove(m.store, parked));
        m.pages.erase(m.pages.begin());
    }
}

TEST(PageStore, APageLargerThanTheBudgetIsParkedAtOnce) {
    Model m(options_with_budget(PAGE_BYTES / 2));
    StoredPage* p = m.add(make_page(W, H, 24, 5));
    EXPECT_EQ(1, page_store_stats(m.store).parked);
    int message = 0;
    ASSERT_NE(nullptr, page_store_pin(m.store, p, &message));
    EXPECT_EQ(PAGE_BYTES, page_store_stats(m.store).resident_bytes);
    page_store_unpin(m.store, p);
    EXPECT_EQ(0, page_store_stats(m.store).resident_bytes);
    m.check(p);
}

TEST(PixelRecycling, KeepsOneBlockAndGivesItBack) {
    page_image_release_kept_block();
    PageImage* pages[3];
    for (int k = 0; k < 3; ++k) pages[k] = make_page(1200 + k, 1700, 24, (unsigned)k);
    for (PageImage* page : pages) page_image_free(page);
    // Only the last of the three blocks is kept.
    EXPECT_EQ(3608 * 1700, page_image_kept_block_bytes());
    page_image_release_kept_block();
    EXPECT_EQ(0, page_image_kept_block_bytes());

    // The store hands the block back when its last page goes.
    PageStore* store = page_store_open(nullptr);
    StoredPage* p = page_store_add(store, make_page(1200, 1700, 24, 1));
    PageImage* replaced = make_page(1200, 1700, 24, 2);
    ASSERT_TRUE(page_store_replace(store, p, replaced));
    EXPECT_GT(page_image_kept_block_bytes(), 0);
    ASSERT_TRUE(page_store_remove(store, p));
    EXPECT_EQ(0, page_image_kept_block_bytes());
    page_store_close(store);
}

TEST(PixelRecycling, TheKeptBlockGoesBackAfterTwoIdleSeconds) {
    page_image_free(make_page(1500, 1500, 24, 3));
    EXPECT_GT(page_image_kept_block_bytes(), 0);
    page_image_release_idle_block();
    EXPECT_GT(page_image_kept_block_bytes(), 0);
    const uint64_t start = clock_milliseconds();
    // Nothing allocates meanwhile: the timer alone gives the block back.
    while (page_image_kept_block_bytes() > 0 && clock_milliseconds() - start < 6000)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(0, page_image_kept_block_bytes());
    EXPECT_GE(clock_milliseconds() - start, 1500u);
}
