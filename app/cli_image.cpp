// app/cli_image.cpp
// zancli analyze, process and bench-image: the page analyses and the arrival path of a
// scanned page applied to image files, and a benchmark of the page operations on a
// synthetic A4 page at 300 dpi.
#include <windows.h>

#include <psapi.h>

#include "app/cli.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/text.h"
#include "image/auto_process.h"
#include "image/codec.h"

// ---- text helpers

// Appends value with two decimals, rounded half away from zero (the platform formatter
// has no floating-point conversions).
static void append_fixed2(WideString* s, double value) {
    const bool negative = value < 0;
    const int64_t hundredths = (int64_t)((negative ? -value : value) * 100.0 + 0.5);
    if (negative && hundredths != 0) append_char(s, L'-');
    append_int(s, (int)(hundredths / 100));
    append_char(s, L'.');
    append_char(s, (wchar_t)(L'0' + hundredths / 10 % 10));
    append_char(s, (wchar_t)(L'0' + hundredths % 10));
}

// A whole number 0..limit, or -1.
static int parse_small(const wchar_t* text, int limit) {
    if (!text || !text[0]) return -1;
    int value = 0;
    for (int i = 0; text[i]; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return -1;
        value = value * 10 + (text[i] - L'0');
        if (value > limit) return -1;
    }
    return value;
}

static void report_error(const wchar_t* path, const wchar_t* what) {
    WideString line = {};
    format(&line, L"%s: %s", path, what);
    cli_error(text_of(line));
    release(&line);
}

// ---- analyze

int cli_analyze(int argc, wchar_t** argv) {
    if (argc < 1) return cli_usage(L"analyze");
    if (!codec_startup()) {
        cli_error(L"GDI+ not available");
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < argc; ++i) {
        PageImage* page = codec_decode_file(argv[i]);
        if (!page) {
            report_error(argv[i], L"cannot read image");
            ++failures;
            continue;
        }
        WideString line = {};
        format(&line, L"%s blank=%d skew=", argv[i], page_is_blank(page) ? 1 : 0);
        append_fixed2(&line, page_estimate_skew(page));
        PageRect rect = {};
        if (page_find_content(page, &rect)) {
            WideString box = {};
            format(&box, L" content=%d,%d,%d,%d", rect.x, rect.y, rect.w, rect.h);
            append(&line, text_of(box));
            release(&box);
        } else {
            append(&line, L" content=none");
        }
        cli_print(text_of(line));
        release(&line);
        page_image_free(page);
    }
    codec_shutdown();
    return failures ? 1 : 0;
}

// ---- process

static bool write_png(const PageImage* page, const wchar_t* path) {
    ByteBuffer png = {};
    const bool ok = codec_encode_page(page, CODEC_FORMAT_PNG, 0, &png) && write_whole_file(path, png.data, png.length);
    release(&png);
    return ok;
}

// Clockwise quarter turns, replacing *page; false when a turn could not be made.
static bool turn_page(PageImage** page, int quarter_turns) {
    for (int i = 0; i < quarter_turns; ++i) {
        PageImage* turned = page_image_rotate90(*page, true);
        if (!turned) return false;
        page_image_free(*page);
        *page = turned;
    }
    return true;
}

int cli_process(int argc, wchar_t** argv) {
    ArrivalOptions options = {false, false, false};
    int quarter_turns = 0;
    int i = 0;
    for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
        if (text_equals(argv[i], L"--deskew") == 0) {
            options.deskew = true;
        } else if (text_equals(argv[i], L"--crop") == 0) {
            options.crop = true;
        } else if (text_equals(argv[i], L"--rotate90") == 0 && i + 1 < argc) {
            quarter_turns = parse_small(argv[++i], 3);
            if (quarter_turns < 0) return cli_usage(L"process");
        } else {
            return cli_usage(L"process");
        }
    }
    if (argc - i != 2) return cli_usage(L"process");
    const wchar_t* in = argv[i];
    const wchar_t* out = argv[i + 1];
    if (!codec_startup()) {
        cli_error(L"GDI+ not available");
        return 1;
    }
    int code = 1;
    PageImage* page = codec_decode_file(in);
    if (!page) {
        report_error(in, L"cannot read image");
    } else {
        // As the main window does: a page arrives (deskew, crop), then the user turns it.
        const double applied = page_process_arrival(&page, options).angle;
        if (!turn_page(&page, quarter_turns)) {
            report_error(in, L"out of memory");
        } else if (!write_png(page, out)) {
            report_error(out, L"cannot write PNG");
        } else {
            WideString line = {};
            format(&line, L"%s width=%d height=%d deskew=", out, page->width, page->height);
            append_fixed2(&line, applied);
            cli_print(text_of(line));
            release(&line);
            code = 0;
        }
    }
    page_image_free(page);
    codec_shutdown();
    return code;
}

// ---- benchmark

// A colour A4 page at 300 dpi: a coloured heading band and lines of dark-blue word
// blocks on white paper, as a typed letter.
static PageImage* make_letter_page() {
    const int width = 2480, height = 3508;
    PageImage* page = page_image_new();
    if (!page || !page_image_alloc(page, width, height, 24, 300)) {
        page_image_free(page);
        return nullptr;
    }
    mem_fill(page->pixels, 255, (size_t)((int64_t)page->stride * height));
    const int margin = 240, line = 50, glyph = 30;
    uint32_t seed = 2026;
    for (int y = margin; y + line < height - margin; y += line) {
        const bool heading = y < margin + 3 * line;
        int x = margin;
        while (true) {
            seed = seed * 1103515245u + 12345u;
            const int word = glyph * (2 + (int)((seed >> 16) % 6)) / 2;
            if (x + word > width - margin) break;
            for (int row = y; row < y + glyph; ++row) {
                uint8_t* p = page->pixels + (int64_t)row * page->stride + (int64_t)x * 3;
                for (int k = 0; k < word; ++k, p += 3) {
                    p[0] = heading ? 40 : 90;
                    p[1] = heading ? 40 : 30;
                    p[2] = heading ? 180 : 20;
                }
            }
            x += word + glyph / 2;
        }
    }
    return page;
}

static double now_ms() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// CPU time of this thread: on a shared machine the wall clock also counts the time
// other processes held the core.
static double thread_cpu_ms() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    const uint64_t k = ((uint64_t)kernel.dwHighDateTime << 32) | kernel.dwLowDateTime;
    const uint64_t u = ((uint64_t)user.dwHighDateTime << 32) | user.dwLowDateTime;
    return (double)(k + u) / 10000.0;
}

static double median(double* values, int count) {
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && values[j - 1] > values[j]; --j) {
            const double t = values[j];
            values[j] = values[j - 1];
            values[j - 1] = t;
        }
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) * 0.5;
}

enum BenchStep {
    STEP_ANALYSIS_COPY,
    STEP_BLANK,
    STEP_CONTENT,
    STEP_SKEW,
    STEP_ROTATE,
    STEP_GREY,
    STEP_JPEG,
    STEP_ARRIVAL,
    STEP_COUNT
};

static const wchar_t* const kStepNames[STEP_COUNT] = {
    L"analysis-copy", L"blank-test", L"content-rectangle", L"skew-estimate",
    L"rotate-by-angle", L"to-grey", L"jpeg-encode", L"blank+skew+rotate+crop",
};

// One timed run of a step on the page; false when the step failed.
static bool run_step(int step, const PageImage* page, double angle, double* ms) {
    *ms = 0;
    // The arrival path replaces and frees the page it is given: it gets a copy, made
    // before the clock starts, standing for the page the scanner handed over.
    PageImage* arrived = nullptr;
    if (step == STEP_ARRIVAL && !(arrived = page_image_clone(page))) return false;
    const double start = now_ms();
    bool ok = true;
    switch (step) {
    case STEP_ANALYSIS_COPY: {
        PageImage* copy = page_image_analysis_copy(page, ANALYSIS_BOX);
        ok = copy != nullptr;
        page_image_free(copy);
        break;
    }
    case STEP_BLANK:
        ok = !page_is_blank(page);
        break;
    case STEP_CONTENT: {
        PageRect rect = {};
        ok = page_find_content(page, &rect);
        break;
    }
    case STEP_SKEW:
        ok = page_estimate_skew(page) != 0;
        break;
    case STEP_ROTATE: {
        PageImage* rotated = page_rotate_by(page, angle);
        ok = rotated != nullptr;
        page_image_free(rotated);
        break;
    }
    case STEP_GREY: {
        PageImage* grey = page_image_to_grey(page);
        ok = grey != nullptr;
        page_image_free(grey);
        break;
    }
    case STEP_JPEG: {
        ByteBuffer jpeg = {};
        ok = codec_encode_page(page, CODEC_FORMAT_JPEG, 90, &jpeg);
        release(&jpeg);
        break;
    }
    default:
        ok = !page_process_arrival(&arrived, ArrivalOptions{true, true, true}).blank;
        break;
    }
    *ms = now_ms() - start;
    page_image_free(arrived);
    return ok;
}

static double peak_working_set_mb() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return (double)counters.PeakWorkingSetSize / (1024.0 * 1024.0);
}

int cli_bench_image(int argc, wchar_t** argv) {
    int runs = 7;
    if (argc > 1 || (argc == 1 && (runs = parse_small(argv[0], 1000)) < 1)) return cli_usage(L"bench-image");
    if (!codec_startup()) {
        cli_error(L"GDI+ not available");
        return 1;
    }
    PageImage* straight = make_letter_page();
    PageImage* page = straight ? page_rotate_by(straight, -2.0) : nullptr;
    page_image_free(straight);
    double* times = static_cast<double*>(mem_alloc_array((size_t)runs, sizeof(double)));
    if (!page || !times) {
        cli_error(L"out of memory");
        page_image_free(page);
        mem_free(times);
        codec_shutdown();
        return 1;
    }
    const double angle = page_estimate_skew(page);
    const double page_mb = (double)page->stride * page->height / (1024.0 * 1024.0);
    const double peak_before = peak_working_set_mb();
    bool ok = true;
    for (int step = 0; step < STEP_COUNT && ok; ++step) {
        const double cpu_start = thread_cpu_ms();
        for (int r = 0; r < runs && ok; ++r) ok = run_step(step, page, angle, &times[r]);
        const double cpu_per_run = (thread_cpu_ms() - cpu_start) / runs;
        if (!ok) break;
        WideString line = {};
        format(&line, L"%s median-ms=", kStepNames[step]);
        append_fixed2(&line, median(times, runs));
        // Includes the untimed copy the arrival path starts from.
        append(&line, L" cpu-ms-per-run=");
        append_fixed2(&line, cpu_per_run);
        cli_print(text_of(line));
        release(&line);
    }
    if (ok) {
        WideString line = {};
        format(&line, L"page 2480x3508 24-bit runs=%d skew=", runs);
        append_fixed2(&line, angle);
        append(&line, L" page-mb=");
        append_fixed2(&line, page_mb);
        append(&line, L" peak-working-set-mb before=");
        append_fixed2(&line, peak_before);
        append(&line, L" after=");
        append_fixed2(&line, peak_working_set_mb());
        cli_print(text_of(line));
    } else {
        cli_error(L"a benchmark step failed");
    }
    mem_free(times);
    page_image_free(page);
    codec_shutdown();
    return ok ? 0 : 1;
}
