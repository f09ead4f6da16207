// app/cli_pdftools.cpp
// zancli info, merge, split and bench-pdftools: the PDF tools of the merge and split dialogs
// from a script, plus a benchmark that prints the time and peak memory of a large merge and
// split.
#include <windows.h>

#include <psapi.h>

#include "app/cli.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"
#include "image/codec.h"
#include "pdftools/pdf_merge.h"
#include "pdftools/pdf_reader.h"
#include "pdftools/pdf_split.h"

// The console speaks English: a message is worded from its id with the English table.
static void print_message(const PdfMessage& message) {
    WideString text = {};
    pdf_message_text(&message, LANGUAGE_ENGLISH, tr_in, &text);
    cli_error(text.length ? text_of(text) : tr_in(LANGUAGE_ENGLISH, PDF_MESSAGE_UNREADABLE));
    release(&text);
}

int cli_info(int argc, wchar_t** argv) {
    if (argc != 1) return cli_usage(L"info");
    PdfDocument doc = {};
    PdfPageList pages = {};
    const bool ok = pdf_read_document(argv[0], &doc, &pages);
    WideString line = {};
    if (ok) {
        format(&line, L"pages=%d", pages.count);
        cli_print(text_of(line));
    } else {
        PdfMessage message = {};
        pdf_message_set(&message, doc.error_id);
        print_message(message);
        pdf_message_release(&message);
    }
    release(&line);
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return ok ? 0 : 1;
}

int cli_merge(int argc, wchar_t** argv) {
    if (argc < 2) return cli_usage(L"merge");
    PdfMessage error = {};
    const bool ok = pdf_merge(argv + 1, argc - 1, argv[0], &error);
    codec_shutdown();
    if (ok) {
        cli_print(argv[0]);
    } else {
        print_message(error);
    }
    pdf_message_release(&error);
    return ok ? 0 : 1;
}

// A whole positive number, or -1.
static int parse_count(const wchar_t* text) {
    int value = 0;
    if (!text || !text[0]) return -1;
    for (int i = 0; text[i]; ++i) {
        if (text[i] < L'0' || text[i] > L'9' || value > 100000000) return -1;
        value = value * 10 + (text[i] - L'0');
    }
    return value;
}

int cli_split(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 4) return cli_usage(L"split");
    int mode = PDF_SPLIT_EACH_PAGE;
    int n = 0;
    const wchar_t* ranges = nullptr;
    if (argc == 4) {
        if (text_equals(argv[2], L"--every") == 0) {
            mode = PDF_SPLIT_EVERY_N;
            n = parse_count(argv[3]);
            if (n < 0) return cli_usage(L"split");
        } else if (text_equals(argv[2], L"--ranges") == 0) {
            mode = PDF_SPLIT_RANGES;
            ranges = argv[3];
        } else {
            return cli_usage(L"split");
        }
    }
    PdfPathList created = {};
    PdfMessage error = {};
    const bool ok = pdf_split(argv[0], argv[1], mode, n, ranges, &created, &error);
    for (int i = 0; i < created.count; ++i) cli_print(text_of(created.items[i]));
    if (!ok) print_message(error);
    pdf_path_list_free(&created);
    pdf_message_release(&error);
    return ok ? 0 : 1;
}

// ---- benchmark

static const int kBenchFiles = 50;
static const int kBenchPagesPerFile = 20;

// A PDF of page_count text pages that share one font, with a classic cross-reference table.
static bool bench_source(int file, int page_count, ByteBuffer* out) {
    int64_t offsets[2 + 1 + 2 * kBenchPagesPerFile] = {};
    const int objects = 3 + 2 * page_count;
    bool ok = append_text(out, "%PDF-1.4\n");
    for (int n = 1; ok && n <= objects; ++n) {
        offsets[n - 1] = out->length;
        ok = append_int64(out, n) && append_text(out, " 0 obj\n");
        if (n == 1) {
            ok = ok && append_text(out, "<</Type/Catalog/Pages 2 0 R>>");
        } else if (n == 2) {
            ok = ok && append_text(out, "<</Type/Pages/MediaBox[0 0 595 842]/Resources<</Font<</F1 3 0 R>>>>/Count ") &&
                 append_int64(out, page_count) && append_text(out, "/Kids[");
            for (int k = 0; ok && k < page_count; ++k) ok = append_int64(out, 4 + 2 * k) && append_text(out, " 0 R ");
            ok = ok && append_text(out, "]>>");
        } else if (n == 3) {
            ok = ok && append_text(out, "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>");
        } else if (n % 2 == 0) {
            ok = ok && append_text(out, "<</Type/Page/Parent 2 0 R/Contents ") && append_int64(out, n + 1) &&
                 append_text(out, " 0 R>>");
        } else {
            char text[160];
            const int length = wsprintfA(text, "BT /F1 18 Tf 72 760 Td (File %d page %d) Tj 0 -24 Td "
                                               "(The quick brown fox jumps over the lazy dog.) Tj ET",
                                         file + 1, (n - 4) / 2 + 1);
            ok = ok && append_text(out, "<</Length ") && append_int64(out, length) && append_text(out, ">>\nstream\n") &&
                 append_bytes(out, text, length) && append_text(out, "\nendstream");
        }
        ok = ok && append_text(out, "\nendobj\n");
    }
    const int64_t xref = out->length;
    ok = ok && append_text(out, "xref\n0 ") && append_int64(out, objects + 1) && append_text(out, "\n0000000000 65535 f \n");
    for (int n = 1; ok && n <= objects; ++n) {
        char line[32];
        wsprintfA(line, "%010d 00000 n \n", (int)offsets[n - 1]);
        ok = append_text(out, line);
    }
    return ok && append_text(out, "trailer\n<</Size ") && append_int64(out, objects + 1) &&
           append_text(out, "/Root 1 0 R>>\nstartxref\n") && append_int64(out, xref) && append_text(out, "\n%%EOF\n");
}

static unsigned peak_megabytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return (unsigned)(counters.PeakWorkingSetSize >> 20);
}

// bench-pdftools DIR merge: makes 50 sources of 20 pages in DIR and merges them to
// DIR\merged.pdf. bench-pdftools DIR split: splits DIR\merged.pdf every 10 pages. Run each
// in its own process so each peak figure belongs to one operation.
int cli_bench_pdftools(int argc, wchar_t** argv) {
    if (argc != 2) return cli_usage(L"bench-pdftools");
    const bool merge = text_equals(argv[1], L"merge") == 0;
    if (!merge && text_equals(argv[1], L"split") != 0) return cli_usage(L"bench-pdftools");
    WideString merged = path_join(argv[0], L"merged.pdf");
    create_parent_folders(text_of(merged));
    WideString line = {};
    PdfMessage error = {};
    bool ok = true;
    if (merge) {
        WideString paths[kBenchFiles] = {};
        const wchar_t* inputs[kBenchFiles] = {};
        for (int i = 0; ok && i < kBenchFiles; ++i) {
            WideString name = {};
            format(&name, L"source_%02d.pdf", i + 1);
            paths[i] = path_join(argv[0], text_of(name));
            inputs[i] = text_of(paths[i]);
            ByteBuffer bytes = {};
            ok = bench_source(i, kBenchPagesPerFile, &bytes) && write_whole_file(inputs[i], bytes.data, bytes.length);
            release(&bytes);
            release(&name);
        }
        const uint64_t start = clock_milliseconds();
        ok = ok && pdf_merge(inputs, kBenchFiles, text_of(merged), &error);
        const uint64_t elapsed = clock_milliseconds() - start;
        format(&line, L"merge files=%d pages=%d ms=%u peak_mb=%u", kBenchFiles, kBenchFiles * kBenchPagesPerFile,
               (unsigned)elapsed, peak_megabytes());
        for (WideString& p : paths) release(&p);
    } else {
        WideString folder = path_join(argv[0], L"parts");
        PdfPathList created = {};
        const uint64_t start = clock_milliseconds();
        ok = pdf_split(text_of(merged), text_of(folder), PDF_SPLIT_EVERY_N, 10, nullptr, &created, &error);
        const uint64_t elapsed = clock_milliseconds() - start;
        format(&line, L"split every=10 files=%d ms=%u peak_mb=%u", created.count, (unsigned)elapsed, peak_megabytes());
        pdf_path_list_free(&created);
        release(&folder);
    }
    if (ok) {
        cli_print(text_of(line));
    } else {
        if (error.id == PDF_MESSAGE_NONE) pdf_message_set(&error, PDF_MESSAGE_WRITE_ERROR);
        print_message(error);
    }
    pdf_message_release(&error);
    release(&line);
    release(&merged);
    return ok ? 0 : 1;
}
