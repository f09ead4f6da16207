// app/cli_store.cpp
// zancli bench-store: the page store under a feeder-sized batch. Adds generated A4 300 dpi
// colour pages, pins each in order and in random order, replaces every tenth with its
// rotation, writes them all as one PDF through the store, and prints the time of each
// step, the cost of pinning a parked page, a comparison of raw and zlib parking, and
// last the peak private bytes and the temporary file's peak size.
#include <windows.h>

#include <psapi.h>

#include "app/cli.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"
#include "image/codec.h"
#include "image/page_image.h"
#include "image/page_store.h"
#include "output/pdf_document.h"

static const int kA4Width = 2480;   // 300 dpi
static const int kA4Height = 3508;

struct BenchOptions {
    int pages;
    int64_t budget;      // 0: the store's default
    bool compress;
    const wchar_t* pdf_folder;
};

static uint32_t next_random(uint32_t* state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

// A scanned-looking colour page: paper tint, lines of dark "words", a coloured stamp,
// and a little sensor noise on every pixel, as a real scan has (a noise-free page would
// flatter any compression).
static PageImage* scanned_page(uint32_t seed) {
    PageImage* page = page_image_new();
    if (!page || !page_image_alloc(page, kA4Width, kA4Height, 24, 300)) {
        page_image_free(page);
        return nullptr;
    }
    uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < kA4Height; ++y) {
        uint8_t* row = page->pixels + (int64_t)y * page->stride;
        const bool line = y > 300 && y < kA4Height - 300 && y % 50 > 14;
        const bool stamp_rows = y > 2600 && y < 3000;
        for (int x = 0; x < kA4Width; ++x) {
            const uint32_t noise = next_random(&state);
            int blue = 232, green = 240, red = 244;
            if (line && x > 250 && x < kA4Width - 250 && ((x + (int)seed * 31 + y / 50 * 97) / 19) % 6 < 4) {
                blue = green = red = 35;
            } else if (stamp_rows && x > 1600 && x < 2100) {
                blue = 200;
                green = 90;
                red = 60;
            }
            row[3 * x] = (uint8_t)(blue + (int)(noise & 7) - 3);
            row[3 * x + 1] = (uint8_t)(green + (int)((noise >> 3) & 7) - 3);
            row[3 * x + 2] = (uint8_t)(red + (int)((noise >> 6) & 7) - 3);
        }
    }
    return page;
}

static uint64_t peak_private_bytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    // The peak of the private commit charge. Wine reports no commit charge at all, so there
    // the peak working set (private pages plus a few mapped files) stands in for it.
    uint64_t peak = counters.PeakPagefileUsage;
    if (counters.PrivateUsage > peak) peak = counters.PrivateUsage;
    if (counters.PeakWorkingSetSize > peak) peak = counters.PeakWorkingSetSize;
    return peak;
}

static void print_step(const wchar_t* step, int pages, uint64_t ms) {
    const unsigned centi = ms ? (unsigned)((uint64_t)pages * 100000 / ms) : 0;
    WideString line = {};
    format(&line, L"%s pages=%d ms=%u pages_per_s=%u.%02u", step, pages, (unsigned)ms, centi / 100, centi % 100);
    cli_print(text_of(line));
    release(&line);
}

// Times of pins that had to read the page back.
struct PinTimes {
    uint64_t total_ms;
    uint64_t worst_ms;
    int count;
};

static bool pin_and_unpin(PageStore* store, StoredPage* page, PinTimes* times) {
    const int64_t loads = page_store_stats(store).loads;
    int message = 0;
    const uint64_t start = clock_milliseconds();
    const PageImage* image = page_store_pin(store, page, &message);
    const uint64_t ms = clock_milliseconds() - start;
    if (!image) {
        WideString line = {};
        format(&line, L"pin failed: message %d", message);
        cli_error(text_of(line));
        release(&line);
        return false;
    }
    // Touch the pixels as a reader would, so a lazily mapped page would show its cost.
    volatile uint8_t sink = image->pixels[(int64_t)image->stride * image->height - 1];
    (void)sink;
    const bool was_parked = page_store_stats(store).loads > loads;
    page_store_unpin(store, page);
    if (was_parked) {
        times->total_ms += ms;
        if (ms > times->worst_ms) times->worst_ms = ms;
        ++times->count;
    }
    return true;
}

// Raw against zlib parking of the same pages: time to park, time to pin back, bytes on disk.
static bool compare_parking(const wchar_t* temp_folder) {
    const int samples = 3;
    for (int compress = 0; compress <= 1; ++compress) {
        PageStoreOptions options = {};
        options.memory_budget = 1;   // every page goes to the file as soon as it is added
        options.compress = compress != 0;
        options.temp_folder = temp_folder;
        PageStore* store = page_store_open(&options);
        if (!store) return false;
        StoredPage* pages[samples] = {};
        uint64_t park_ms = 0;
        bool ok = true;
        for (int k = 0; k < samples && ok; ++k) {
            PageImage* image = scanned_page(900 + (uint32_t)k);
            const uint64_t start = clock_milliseconds();
            pages[k] = image ? page_store_add(store, image) : nullptr;
            park_ms += clock_milliseconds() - start;
            ok = pages[k] != nullptr;
            if (!ok) page_image_free(image);
        }
        PinTimes times = {};
        for (int k = 0; k < samples && ok; ++k) ok = pin_and_unpin(store, pages[k], &times);
        const PageStoreStats stats = page_store_stats(store);
        if (ok) {
            const int64_t raw = (int64_t)samples * page_image_row_bytes(kA4Width, 24) * kA4Height;
            WideString line = {};
            format(&line, L"parking %s park_ms_per_page=%u pin_ms_per_page=%u disk_percent_of_raw=%u",
                   compress ? L"zlib1" : L"raw", (unsigned)(park_ms / samples),
                   (unsigned)(times.count ? times.total_ms / times.count : 0),
                   (unsigned)(stats.temp_file_peak_bytes * 100 / raw));
            cli_print(text_of(line));
            release(&line);
        }
        page_store_close(store);
        if (!ok) return false;
    }
    return true;
}

static bool parse_number(const wchar_t* text, int* value) {
    int64_t v = 0;
    for (int k = 0; text[k]; ++k) {
        if (text[k] < L'0' || text[k] > L'9' || v > 10000000) return false;
        v = v * 10 + (text[k] - L'0');
    }
    *value = (int)v;
    return text[0] != 0;
}

static bool parse_bench_options(int argc, wchar_t** argv, BenchOptions* o) {
    *o = BenchOptions{500, 0, false, nullptr};
    for (int k = 0; k < argc; ++k) {
        int value = 0;
        if (text_equals(argv[k], L"--budget-mb") == 0 && k + 1 < argc && parse_number(argv[k + 1], &value) &&
            value > 0) {
            o->budget = (int64_t)value << 20;
            ++k;
        } else if (text_equals(argv[k], L"--compress") == 0) {
            o->compress = true;
        } else if (text_equals(argv[k], L"--out") == 0 && k + 1 < argc) {
            o->pdf_folder = argv[++k];
        } else if (parse_number(argv[k], &value) && value > 0) {
            o->pages = value;
        } else {
            return false;
        }
    }
    return true;
}

static bool run_bench(const BenchOptions& o, PageStore* store, StoredPage** pages, const wchar_t* pdf_path) {
    const int n = o.pages;
    uint64_t add_ms = 0;
    for (int k = 0; k < n; ++k) {
        PageImage* image = scanned_page((uint32_t)k);
        const uint64_t start = clock_milliseconds();
        pages[k] = image ? page_store_add(store, image) : nullptr;
        add_ms += clock_milliseconds() - start;
        if (!pages[k]) {
            page_image_free(image);
            cli_error(L"out of memory while adding pages");
            return false;
        }
    }
    print_step(L"add", n, add_ms);

    PinTimes times = {};
    uint64_t start = clock_milliseconds();
    for (int k = 0; k < n; ++k)
        if (!pin_and_unpin(store, pages[k], &times)) return false;
    print_step(L"pin_in_order", n, clock_milliseconds() - start);

    uint32_t state = 12345;
    int* order = static_cast<int*>(mem_alloc_array((size_t)n, sizeof(int)));
    if (!order) return false;
    for (int k = 0; k < n; ++k) order[k] = k;
    for (int k = n - 1; k > 0; --k) {
        const int j = (int)(next_random(&state) % (uint32_t)(k + 1));
        const int t = order[k];
        order[k] = order[j];
        order[j] = t;
    }
    start = clock_milliseconds();
    bool ok = true;
    for (int k = 0; k < n && ok; ++k) ok = pin_and_unpin(store, pages[order[k]], &times);
    mem_free(order);
    if (!ok) return false;
    print_step(L"pin_random", n, clock_milliseconds() - start);

    start = clock_milliseconds();
    int replaced = 0;
    for (int k = 0; k < n; k += 10) {
        int message = 0;
        const PageImage* image = page_store_pin(store, pages[k], &message);
        PageImage* turned = image ? page_image_rotate90(image, true) : nullptr;
        page_store_unpin(store, pages[k]);
        if (!turned || !page_store_replace(store, pages[k], turned)) {
            page_image_free(turned);
            cli_error(L"replace failed");
            return false;
        }
        ++replaced;
    }
    print_step(L"replace_every_tenth", replaced, clock_milliseconds() - start);

    PdfStorePages source_pages = {store, pages, nullptr, n, 0};
    const PdfPageSource source = pdf_page_source_of_store(&source_pages);
    PdfSaveOptions pdf_options = {};
    pdf_options.compression_level = 1;
    WideString error = {};
    start = clock_milliseconds();
    ok = pdf_write_document_from(pdf_path, &source, &pdf_options, &error);
    if (ok) {
        print_step(L"pdf", n, clock_milliseconds() - start);
        WideString line = {};
        format(&line, L"pdf_mb=%u", (unsigned)(file_size(pdf_path) >> 20));
        cli_print(text_of(line));
        release(&line);
    } else {
        cli_error(text_of(error));
    }
    release(&error);
    if (!o.pdf_folder) delete_file(pdf_path);

    WideString line = {};
    format(&line, L"pin_parked count=%d avg_ms=%u worst_ms=%u", times.count,
           (unsigned)(times.count ? times.total_ms / times.count : 0), (unsigned)times.worst_ms);
    cli_print(text_of(line));
    release(&line);
    return ok;
}

int cli_bench_store(int argc, wchar_t** argv) {
    BenchOptions o;
    if (!parse_bench_options(argc, argv, &o)) return cli_usage(L"bench-store");
    if (!codec_startup()) {
        cli_error(L"image codec not available");
        return 1;
    }
    WideString folder = o.pdf_folder ? wide_copy(o.pdf_folder) : temp_folder();
    WideString pdf_path = path_join(text_of(folder), L"zan_bench_store.pdf");
    const uint64_t start = clock_milliseconds();
    bool ok = compare_parking(nullptr);
    const uint64_t compare_ms = clock_milliseconds() - start;

    PageStoreOptions options = {};
    options.memory_budget = o.budget;
    options.compress = o.compress;
    PageStore* store = ok ? page_store_open(&options) : nullptr;
    StoredPage** pages = static_cast<StoredPage**>(mem_alloc_array((size_t)o.pages, sizeof(StoredPage*)));
    ok = store && pages;
    const uint64_t bench_start = clock_milliseconds();
    if (ok) ok = run_bench(o, store, pages, text_of(pdf_path));
    const uint64_t bench_ms = clock_milliseconds() - bench_start;
    const PageStoreStats stats = store ? page_store_stats(store) : PageStoreStats{};
    page_store_close(store);
    mem_free(pages);
    if (ok) {
        WideString line = {};
        format(&line, L"total pages=%d budget_mb=%u parks=%u loads=%u ms=%u (parking comparison ms=%u)", o.pages,
               (unsigned)(stats.budget >> 20), (unsigned)stats.parks, (unsigned)stats.loads, (unsigned)bench_ms,
               (unsigned)compare_ms);
        cli_print(text_of(line));
        format(&line, L"peak_private_mb=%u temp_file_peak_mb=%u", (unsigned)(peak_private_bytes() >> 20),
               (unsigned)(stats.temp_file_peak_bytes >> 20));
        cli_print(text_of(line));
        release(&line);
    }
    release(&pdf_path);
    release(&folder);
    codec_shutdown();
    return ok ? 0 : 1;
}
