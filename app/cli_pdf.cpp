// app/cli_pdf.cpp
// zancli pdf: image files to one PDF through the program's own writer, with the options
// of the save dialog and, from a words file, the OCR result of each page, so the text
// layer and the encryption can be checked by other tools without an OCR engine.
// zancli bench-pdf: pages per second and peak memory of the writer.
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
#include "output/ocr.h"
#include "output/pdf_document.h"

struct PdfJob {
    PdfSaveOptions options;
    const wchar_t* mode;        // "color", "gray" or "bw"
    const wchar_t* words_path;  // null: no text layer
    const wchar_t* output;
    wchar_t** images;
    int image_count;
};

static bool parse_int(const wchar_t* text, int* value) {
    *value = 0;
    if (!text || !text[0]) return false;
    int64_t v = 0;
    for (int k = 0; text[k]; ++k) {
        if (text[k] < L'0' || text[k] > L'9' || v > 100000000) return false;
        v = v * 10 + (text[k] - L'0');
    }
    *value = (int)v;
    return true;
}

static bool parse_options(int argc, wchar_t** argv, PdfJob* job) {
    *job = PdfJob{};
    job->options.compression_level = 1;
    job->mode = L"color";
    int k = 0;
    for (; k < argc && argv[k][0] == L'-' && argv[k][1] == L'-'; k += 2) {
        if (k + 1 >= argc) return false;
        const wchar_t* name = argv[k];
        const wchar_t* value = argv[k + 1];
        if (text_equals(name, L"--level") == 0) {
            if (!parse_int(value, &job->options.compression_level) || job->options.compression_level > 2) return false;
        } else if (text_equals(name, L"--mode") == 0) {
            if (text_equals(value, L"color") != 0 && text_equals(value, L"gray") != 0 && text_equals(value, L"bw") != 0)
                return false;
            job->mode = value;
        } else if (text_equals(name, L"--password") == 0) {
            job->options.protect = true;
            assign(&job->options.password, value);
        } else if (text_equals(name, L"--cipher") == 0) {
            if (text_equals(value, L"aes") == 0)
                job->options.cipher = 0;
            else if (text_equals(value, L"rc4") == 0)
                job->options.cipher = 1;
            else
                return false;
        } else if (text_equals(name, L"--title") == 0) {
            assign(&job->options.title, value);
        } else if (text_equals(name, L"--words") == 0) {
            job->words_path = value;
        } else {
            return false;
        }
    }
    if (argc - k < 2) return false;
    job->output = argv[k];
    job->images = argv + k + 1;
    job->image_count = argc - k - 1;
    return true;
}

// ---- words file: "PAGE X Y W H TEXT" per line, UTF-8
static const wchar_t* skip_spaces(const wchar_t* p, const wchar_t* end) {
    while (p < end && (*p == L' ' || *p == L'\t')) ++p;
    return p;
}

static bool read_number(const wchar_t** at, const wchar_t* end, double* value) {
    const wchar_t* p = skip_spaces(*at, end);
    bool negative = false;
    if (p < end && *p == L'-') {
        negative = true;
        ++p;
    }
    double v = 0, scale = 1;
    bool digits = false, fraction = false;
    for (; p < end && ((*p >= L'0' && *p <= L'9') || (*p == L'.' && !fraction)); ++p) {
        if (*p == L'.') {
            fraction = true;
            continue;
        }
        digits = true;
        if (fraction) {
            scale /= 10;
            v += (*p - L'0') * scale;
        } else {
            v = v * 10 + (*p - L'0');
        }
    }
    if (!digits || (p < end && *p != L' ' && *p != L'\t')) return false;
    *value = negative ? -v : v;
    *at = p;
    return true;
}

// Fills results[page - 1] from the file. The line number of the first bad line goes to error.
static bool read_words(const wchar_t* path, OcrResult* results, int page_count, WideString* error) {
    ByteBuffer bytes = {};
    if (!read_whole_file(path, &bytes)) {
        format(error, L"cannot read %s", path);
        return false;
    }
    int skip = bytes.length >= 3 && bytes.data[0] == 0xEF && bytes.data[1] == 0xBB && bytes.data[2] == 0xBF ? 3 : 0;
    WideString text = multibyte_to_wide((const char*)bytes.data + skip, bytes.length - skip, CODE_PAGE_UTF8);
    release(&bytes);
    bool ok = true;
    int line_number = 0;
    const wchar_t* p = text_of(text);
    const wchar_t* end = p + text.length;
    while (ok && p < end) {
        ++line_number;
        const wchar_t* line_end = p;
        while (line_end < end && *line_end != L'\n') ++line_end;
        const wchar_t* stop = line_end;
        if (stop > p && stop[-1] == L'\r') --stop;
        const wchar_t* at = skip_spaces(p, stop);
        if (at < stop) {
            double fields[5] = {};
            for (int f = 0; f < 5 && ok; ++f) ok = read_number(&at, stop, &fields[f]);
            at = skip_spaces(at, stop);
            const int page = (int)fields[0];
            ok = ok && at < stop && page >= 1 && page <= page_count && fields[0] == page;
            if (ok)
                ok = ocr_result_add(&results[page - 1], at, (int)(stop - at), (float)fields[1], (float)fields[2],
                                    (float)fields[3], (float)fields[4]);
            if (!ok) format(error, L"%s line %d: expected PAGE X Y W H TEXT", path, line_number);
        }
        p = line_end + 1;
    }
    release(&text);
    return ok;
}

static const int kBilevelThreshold = 128;

PageImage* cli_load_page(const wchar_t* path, const wchar_t* mode) {
    PageImage* page = codec_decode_file(path);
    if (!page) return nullptr;
    PageImage* converted = nullptr;
    if (text_equals(mode, L"gray") == 0)
        converted = page_image_to_grey(page);
    else if (text_equals(mode, L"bw") == 0)
        converted = page_image_threshold(page, kBilevelThreshold);
    else
        return page;
    page_image_free(page);
    return converted;
}

static void free_job(PdfJob* job) {
    release(&job->options.password);
    release(&job->options.title);
}

int cli_pdf(int argc, wchar_t** argv) {
    PdfJob job;
    if (!parse_options(argc, argv, &job)) {
        free_job(&job);
        return cli_usage(L"pdf");
    }
    if (!codec_startup()) {
        cli_error(L"image codec not available");
        free_job(&job);
        return 1;
    }
    const int n = job.image_count;
    PageImage** pages = static_cast<PageImage**>(mem_alloc_array((size_t)n, sizeof(PageImage*)));
    OcrResult* results = static_cast<OcrResult*>(mem_alloc_array((size_t)n, sizeof(OcrResult)));
    PdfPageInput* inputs = static_cast<PdfPageInput*>(mem_alloc_array((size_t)n, sizeof(PdfPageInput)));
    WideString error = {};
    bool ok = pages && results && inputs;
    if (!ok) assign(&error, L"out of memory");
    for (int k = 0; ok && k < n; ++k) {
        pages[k] = cli_load_page(job.images[k], job.mode);
        if (!pages[k]) {
            format(&error, L"cannot read image %s", job.images[k]);
            ok = false;
        }
    }
    if (ok && job.words_path) ok = read_words(job.words_path, results, n, &error);
    if (ok) {
        for (int k = 0; k < n; ++k) {
            inputs[k].page = pages[k];
            inputs[k].ocr = results[k].count > 0 ? &results[k] : nullptr;
        }
        ok = pdf_write_document(job.output, inputs, n, &job.options, &error);
    }
    if (ok)
        cli_print(job.output);
    else
        cli_error(text_of(error));
    for (int k = 0; k < n; ++k) {
        if (pages) page_image_free(pages[k]);
        if (results) ocr_result_release(&results[k]);
    }
    mem_free(pages);
    mem_free(results);
    mem_free(inputs);
    release(&error);
    free_job(&job);
    codec_shutdown();
    return ok ? 0 : 1;
}

// ---- benchmark
static const int kBenchWidth = 2480;    // A4 at 300 dpi
static const int kBenchHeight = 3508;

// A colour page with smooth gradients and a grid of dark "text" bars, so JPEG and zlib see
// something between a blank page and noise. seed varies the content between pages.
static PageImage* synthetic_page(int seed) {
    PageImage* page = page_image_new();
    if (!page || !page_image_alloc(page, kBenchWidth, kBenchHeight, 24, 300)) {
        page_image_free(page);
        return nullptr;
    }
    for (int y = 0; y < kBenchHeight; ++y) {
        uint8_t* row = page->pixels + (size_t)y * (size_t)page->stride;
        const bool text_row = (y / 40) % 2 == 1 && y % 40 > 8;
        for (int x = 0; x < kBenchWidth; ++x) {
            const bool ink = text_row && ((x + seed * 37) / 23) % 7 < 5 && x > 200 && x < kBenchWidth - 200;
            row[3 * x] = ink ? 30 : (uint8_t)(235 + (x + seed) % 16);
            row[3 * x + 1] = ink ? 30 : (uint8_t)(240 + (y / 64) % 12);
            row[3 * x + 2] = ink ? 40 : (uint8_t)(245 + ((x ^ y) & 7));
        }
    }
    return page;
}

uint64_t cli_peak_private_bytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakPagefileUsage;
}

// Writes `count` pages (two distinct synthetic pages, alternating) and prints the rate.
static bool bench_run(const wchar_t* path, PageImage* const* samples, int count, int level, bool aes, bool quiet) {
    PdfPageInput* inputs = static_cast<PdfPageInput*>(mem_alloc_array((size_t)count, sizeof(PdfPageInput)));
    if (!inputs) return false;
    for (int k = 0; k < count; ++k) inputs[k].page = samples[k % 2];
    PdfSaveOptions options = {};
    options.compression_level = level;
    if (aes) {
        options.protect = true;
        assign(&options.password, L"bench");
    }
    WideString error = {};
    const uint64_t start = clock_milliseconds();
    const bool ok = pdf_write_document(path, inputs, count, &options, &error);
    const uint64_t elapsed = clock_milliseconds() - start;
    if (!ok) {
        cli_error(text_of(error));
    } else if (!quiet) {
        const int64_t size = file_size(path);
        const unsigned centi_pages = elapsed ? (unsigned)((uint64_t)count * 100000 / elapsed) : 0;
        WideString line = {};
        format(&line, L"level=%d aes=%s pages=%d ms=%u pages_per_s=%u.%02u file_kib=%u peak_mib=%u", level,
               aes ? L"yes" : L"no", count, (unsigned)elapsed, centi_pages / 100, centi_pages % 100,
               (unsigned)(size / 1024), (unsigned)(cli_peak_private_bytes() >> 20));
        cli_print(text_of(line));
        release(&line);
    }
    release(&options.password);
    release(&error);
    mem_free(inputs);
    return ok;
}

int cli_bench_pdf(int argc, wchar_t** argv) {
    int count = 20;
    if (argc < 1 || argc > 2 || (argc == 2 && (!parse_int(argv[1], &count) || count < 1))) return cli_usage(L"bench-pdf");
    if (!codec_startup()) {
        cli_error(L"image codec not available");
        return 1;
    }
    WideString path = path_join(argv[0], L"bench.pdf");
    PageImage* samples[2] = {synthetic_page(0), synthetic_page(1)};
    bool ok = samples[0] && samples[1];
    // One single-page document per setting first: the peak after it is the baseline that
    // the long documents must not exceed by more than noise.
    for (int level = 0; ok && level <= 2; ++level)
        for (int aes = 0; ok && aes <= 1; ++aes) ok = bench_run(text_of(path), samples, 1, level, aes != 0, true);
    const uint64_t baseline = cli_peak_private_bytes();
    for (int level = 0; ok && level <= 2; ++level)
        for (int aes = 0; ok && aes <= 1; ++aes) ok = bench_run(text_of(path), samples, count, level, aes != 0, false);
    if (ok) {
        WideString line = {};
        format(&line, L"peak_mib_after_1_page=%u peak_mib_after_%d_pages=%u (two source pages of %u MiB held)",
               (unsigned)(baseline >> 20), count, (unsigned)(cli_peak_private_bytes() >> 20),
               (unsigned)(((uint64_t)samples[0]->stride * kBenchHeight * 2) >> 20));
        cli_print(text_of(line));
        release(&line);
    }
    delete_file(text_of(path));
    page_image_free(samples[0]);
    page_image_free(samples[1]);
    release(&path);
    codec_shutdown();
    return ok ? 0 : 1;
}
