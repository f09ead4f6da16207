// pdftools/pdf_split.cpp
// Each output file gets a fresh copy context, so it holds the objects its own pages reach
// and nothing else.
#include "pdftools/pdf_split.h"

#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "output/pdf_writer.h"
#include "pdftools/pdf_merge.h"
#include "pdftools/pdf_reader.h"

static bool range_push(PdfRangeList* ranges, int first, int last) {
    if (ranges->count == ranges->capacity) {
        const int capacity = ranges->capacity ? ranges->capacity * 2 : 16;
        if (capacity < ranges->capacity) return false;
        void* grown = mem_realloc(ranges->items, (size_t)capacity * sizeof(PdfRange));
        if (!grown) return false;
        ranges->items = static_cast<PdfRange*>(grown);
        ranges->capacity = capacity;
    }
    ranges->items[ranges->count++] = PdfRange{first, last};
    return true;
}

void pdf_range_list_free(PdfRangeList* ranges) {
    if (!ranges) return;
    mem_free(ranges->items);
    *ranges = PdfRangeList{};
}

static bool is_separator_char(wchar_t c) {
    return c == L',' || c == L';';
}

// A run of digits as a page number; values beyond any page count stop growing.
static int64_t read_number(const wchar_t* text, int* i, bool* any) {
    int64_t v = 0;
    *any = false;
    while (text[*i] >= L'0' && text[*i] <= L'9') {
        if (v < 100000000000LL) v = v * 10 + (text[*i] - L'0');
        *any = true;
        ++*i;
    }
    return v;
}

int pdf_split_parse_ranges(const wchar_t* text, int page_count, PdfRangeList* ranges) {
    if (!text || !ranges) return 0;
    const int before = ranges->count;
    int i = 0;
    while (true) {
        while (text[i] == L' ' || is_separator_char(text[i])) ++i;
        if (!text[i]) break;
        bool has_a = false;
        int64_t a = read_number(text, &i, &has_a);
        while (text[i] == L' ') ++i;
        int64_t b = a;
        if (text[i] == L'-') {
            ++i;
            while (text[i] == L' ') ++i;
            bool has_b = false;
            b = read_number(text, &i, &has_b);
            if (!has_b) b = page_count;
            if (!has_a) a = 1;
        } else if (!has_a) {
            ++i;  // neither a number nor a dash: not an item
            continue;
        }
        const int64_t first = a < 1 ? 1 : a;
        const int64_t last = b > page_count ? page_count : b;
        if (last >= first && !range_push(ranges, (int)first, (int)last)) break;
        while (text[i] && !is_separator_char(text[i])) ++i;
    }
    return ranges->count - before;
}

bool pdf_split_build_ranges(int mode, int n, const wchar_t* text, int page_count, PdfRangeList* ranges) {
    if (!ranges) return false;
    if (mode == PDF_SPLIT_RANGES) return pdf_split_parse_ranges(text, page_count, ranges) > 0;
    const int64_t step = mode == PDF_SPLIT_EVERY_N && n >= 2 ? n : 1;
    for (int64_t s = 1; s <= page_count; s += step) {
        const int64_t last = s + step - 1 < page_count ? s + step - 1 : page_count;
        if (!range_push(ranges, (int)s, (int)last)) return false;
    }
    return ranges->count > 0;
}

void pdf_path_list_free(PdfPathList* paths) {
    if (!paths) return;
    for (int i = 0; i < paths->count; ++i) release(&paths->items[i]);
    mem_free(paths->items);
    *paths = PdfPathList{};
}

static bool path_push(PdfPathList* paths, const WideString& path) {
    if (paths->count == paths->capacity) {
        const int capacity = paths->capacity ? paths->capacity * 2 : 16;
        if (capacity < paths->capacity) return false;
        void* grown = mem_realloc(paths->items, (size_t)capacity * sizeof(WideString));
        if (!grown) return false;
        paths->items = static_cast<WideString*>(grown);
        paths->capacity = capacity;
    }
    paths->items[paths->count++] = wide_copy(text_of(path));
    return true;
}

WideString pdf_split_file_name(const wchar_t* base, int first, int last) {
    WideString name = {};
    if (first == last) {
        format(&name, L"%s_p%03d.pdf", base ? base : L"", first);
    } else {
        format(&name, L"%s_p%03d-%03d.pdf", base ? base : L"", first, last);
    }
    return name;
}

// One output file with pages first..last of the source.
static bool write_part(const PdfDocument& doc, const PdfPageList& pages, const PdfRange& range,
                       const wchar_t* path, PdfMessage* error) {
    PdfOutput out = {};
    if (!pdf_output_open(&out, path, error)) return false;
    pdf_output_note_version(&out, doc.version);
    PdfCopyContext copy = {};
    bool ok = pdf_copy_begin(&copy, &out.writer, &doc);
    bool cancelled = false;
    for (int p = range.first; ok && p <= range.last; ++p) {
        cancelled = pdf_cancel_requested();
        const int number = cancelled ? 0 : pdf_copy_page(&copy, &pages.pages[p - 1], PDF_OUTPUT_PAGE_TREE);
        ok = number != 0 && pdf_output_add_page(&out, number);
    }
    pdf_copy_end(&copy);
    if (!ok || out.writer.write_failed) {
        pdf_output_abandon(&out);
        pdf_message_set(error, cancelled ? PDF_MESSAGE_CANCELLED : PDF_MESSAGE_WRITE_ERROR);
        return false;
    }
    return pdf_output_finish(&out, error);
}

// The path of range k's file (a new string).
static WideString part_path(const wchar_t* folder, const wchar_t* base, const PdfRange& range) {
    WideString name = pdf_split_file_name(base, range.first, range.last);
    WideString path = path_join(folder, text_of(name));
    release(&name);
    return path;
}

// Every target is checked before the first file is written: a part that cannot be
// replaced (open in a viewer, read-only, a folder of that name) stops the split at once.
static bool check_parts(const wchar_t* folder, const wchar_t* base, const PdfRangeList& ranges, PdfMessage* error) {
    bool ok = true;
    for (int k = 0; ok && k < ranges.count; ++k) {
        WideString path = part_path(folder, base, ranges.items[k]);
        ok = file_check_target(text_of(path));
        if (!ok) pdf_message_set(error, PDF_MESSAGE_CANNOT_CREATE, text_of(path), (int)last_error_code());
        release(&path);
    }
    return ok;
}

bool pdf_split(const wchar_t* input, const wchar_t* folder, int mode, int n, const wchar_t* ranges_text,
               PdfPathList* created, PdfMessage* error) {
    if (!error || !created) return false;
    pdf_message_set(error, PDF_MESSAGE_NONE);
    if (!input || !folder) {
        pdf_message_set(error, PDF_MESSAGE_UNREADABLE);
        return false;
    }
    PdfDocument doc = {};
    PdfPageList pages = {};
    if (!pdf_read_document(input, &doc, &pages)) {
        pdf_message_set(error, doc.error_id);
        pdf_page_list_free(&pages);
        pdf_document_free(&doc);
        return false;
    }
    PdfRangeList ranges = {};
    bool ok = pdf_split_build_ranges(mode, n, ranges_text, pages.count, &ranges);
    if (!ok) pdf_message_set(error, PDF_MESSAGE_NO_RANGE, nullptr, pages.count);
    WideString file = path_file_name(input);
    WideString base = path_without_extension(text_of(file));
    if (ok) ensure_folder(folder);
    ok = ok && check_parts(folder, text_of(base), ranges, error);
    for (int k = 0; ok && k < ranges.count; ++k) {
        pdf_report_progress(k, ranges.count);
        if (pdf_cancel_requested()) {
            pdf_message_set(error, PDF_MESSAGE_CANCELLED);
            ok = false;
            break;
        }
        WideString path = part_path(folder, text_of(base), ranges.items[k]);
        ok = write_part(doc, pages, ranges.items[k], text_of(path), error);
        if (ok && !path_push(created, path)) {
            pdf_message_set(error, PDF_MESSAGE_WRITE_ERROR);
            ok = false;
        }
        release(&path);
    }
    release(&base);
    release(&file);
    pdf_range_list_free(&ranges);
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return ok;
}
