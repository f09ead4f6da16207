// output/save_worker.cpp
// One save from pages to files. Every file goes through a temporary file in the target
// folder that replaces the target only when complete (core/file.h), so a failed save
// leaves any earlier file as it was. A page to be watermarked is stamped when it is
// pinned for writing and the copy is freed as soon as the page is written.
#include "output/save_worker.h"

#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "output/pdf_document.h"
#include "output/pdf_writer.h"
#include "output/save_naming.h"
#include "output/tiff_writer.h"
#include "output/watermark.h"

// ---- settings and page sources

bool save_settings_copy(const SaveSettings& from, SaveSettings* out) {
    *out = from;
    out->ocr_lang = wide_copy(text_of(from.ocr_lang));
    out->watermark = wide_copy(text_of(from.watermark));
    out->password = wide_copy(text_of(from.password));
    if (out->ocr_lang.data && out->watermark.data && out->password.data) return true;
    save_settings_release(out);
    return false;
}

void save_settings_release(SaveSettings* settings) {
    release(&settings->ocr_lang);
    release(&settings->watermark);
    release(&settings->password);
}

static const PageImage* array_pin(void* context, int index, WideString*) {
    return static_cast<const PageImage* const*>(context)[index];
}

static void array_unpin(void*, int) {}

SavePages save_pages_of_array(const PageImage* const* pages, int count) {
    return SavePages{const_cast<const PageImage**>(pages), pages ? count : 0, array_pin, array_unpin};
}

// The store's own source, its failure worded in English like the worker's other errors.
static const PageImage* store_pin(void* context, int index, WideString* error) {
    const PdfPageSource source = pdf_page_source_of_store(static_cast<PdfStorePages*>(context));
    PdfMessage message = {};
    const PageImage* page = source.pin(context, index, &message);
    if (!page) pdf_message_text(&message, 1, nullptr, error);
    pdf_message_release(&message);
    return page;
}

static void store_unpin(void* context, int index) {
    pdf_page_source_of_store(static_cast<PdfStorePages*>(context)).unpin(context, index);
}

SavePages save_pages_of_store(PdfStorePages* pages) {
    return SavePages{pages, pages ? pages->count : 0, store_pin, store_unpin};
}

void save_message_text_free(WideString* text) {
    if (!text) return;
    release(text);
    mem_free(text);
}

SaveOcr save_default_ocr() {
    return SaveOcr{ocr_is_available, ocr_recognize_page};
}

// ---- saved files

static WideString* g_saved = nullptr;
static int g_saved_count = 0;
static int g_saved_capacity = 0;

static void saved_files_clear() {
    for (int k = 0; k < g_saved_count; ++k) release(&g_saved[k]);
    mem_free(g_saved);
    g_saved = nullptr;
    g_saved_count = g_saved_capacity = 0;
}

static void saved_files_add(const wchar_t* path) {
    if (g_saved_count == g_saved_capacity) {
        const int capacity = g_saved_capacity ? g_saved_capacity * 2 : 16;
        void* grown = mem_realloc(g_saved, (size_t)capacity * sizeof(WideString));
        if (!grown) return;
        g_saved = static_cast<WideString*>(grown);
        g_saved_capacity = capacity;
    }
    g_saved[g_saved_count] = wide_copy(path);
    if (g_saved[g_saved_count].data) ++g_saved_count;
}

int save_saved_file_count() {
    return g_saved_count;
}

const wchar_t* save_saved_file(int index) {
    return index >= 0 && index < g_saved_count ? text_of(g_saved[index]) : L"";
}

// ---- messages

namespace {

struct Run {
    SaveJob* job;
    WideString error;
    // The page pinned for writing and its stamped copy, if any.
    const PageImage* pinned;
    PageImage* stamped;
    int pinned_index;
};

const wchar_t* text_of_id(Run* run, int id) {
    const SaveReceiver& r = run->job->receiver;
    return r.text ? r.text(r.context, id) : L"";
}

void post(Run* run, unsigned message, unsigned wparam, WideString* text) {
    const SaveReceiver& r = run->job->receiver;
    if (r.post)
        r.post(r.context, message, wparam, text);
    else
        save_message_text_free(text);
}

void post_progress(Run* run, int percent, const WideString* text) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    WideString* copy = nullptr;
    if (text) {
        copy = static_cast<WideString*>(mem_alloc(sizeof(WideString)));
        if (copy) *copy = wide_copy(text_of(*text));
    }
    post(run, SAVE_MESSAGE_PROGRESS, (unsigned)percent, copy);
}

void post_status(Run* run, int percent, int id) {
    WideString text = wide_copy(text_of_id(run, id));
    post_progress(run, percent, &text);
    release(&text);
}

// "%s %d / %d" or, for OCR, "%s  %d / %d".
void post_counted(Run* run, int percent, int id, const wchar_t* pattern, int index, int count) {
    WideString text = {};
    format(&text, pattern, text_of_id(run, id), index, count);
    post_progress(run, percent, &text);
    release(&text);
}

void log_text(Run* run, const wchar_t* line) {
    const SaveReceiver& r = run->job->receiver;
    if (r.log) r.log(r.context, line);
}

// ---- one page at a time

// The page to write for index: the page itself, or a stamped copy when a watermark is set.
const PageImage* take_page(Run* run, int index, WideString* error) {
    const SavePages& pages = run->job->pages;
    const PageImage* page = pages.pin(pages.context, index, error);
    if (!page) {
        if (error->length == 0) format(error, L"page %d could not be read", index + 1);
        return nullptr;
    }
    run->pinned = page;
    run->pinned_index = index;
    const SaveSettings& s = run->job->settings;
    if (s.watermark.length == 0) return page;
    run->stamped = watermark_apply(text_of(s.watermark), page, s.watermark_opacity);
    if (!run->stamped) {
        pages.unpin(pages.context, index);
        run->pinned = nullptr;
        format(error, L"page %d: the watermark could not be drawn", index + 1);
        return nullptr;
    }
    return run->stamped;
}

void give_back_page(Run* run) {
    page_image_free(run->stamped);
    run->stamped = nullptr;
    if (run->pinned) run->job->pages.unpin(run->job->pages.context, run->pinned_index);
    run->pinned = nullptr;
}

// ---- PDF

Run* g_pdf_run = nullptr;   // the writer's progress callback has no context
int g_pdf_base = 0;
int g_pdf_span = 100;

void pdf_progress(int index, int count) {
    if (!g_pdf_run) return;
    post_progress(g_pdf_run, g_pdf_base + index * g_pdf_span / (count > 1 ? count : 1), nullptr);
}

struct PdfPass {
    Run* run;
    OcrResult* results;   // one per page, or null without OCR
    WideString failure;   // why a page could not be given to the writer
};

const OcrResult* pdf_words(void* context, int index) {
    const PdfPass* pass = static_cast<const PdfPass*>(context);
    return pass->results && pass->results[index].count > 0 ? &pass->results[index] : nullptr;
}

const PageImage* pdf_pin(void* context, int index, PdfMessage* message) {
    PdfPass* pass = static_cast<PdfPass*>(context);
    const PageImage* page = take_page(pass->run, index, &pass->failure);
    if (!page) pdf_message_set(message, PDF_MESSAGE_PAGE_UNREADABLE, nullptr, index + 1);
    return page;
}

void pdf_unpin(void* context, int) {
    give_back_page(static_cast<PdfPass*>(context)->run);
}

// Recognises every page as scanned (never the stamped copy). A failed page is logged and
// gets no words; a page that cannot be pinned fails the save.
bool run_ocr(Run* run, OcrResult* results, int* words) {
    SaveJob* job = run->job;
    const int count = job->pages.count;
    WideString error = {};
    WideString line = {};
    bool ok = true;
    for (int k = 0; k < count && ok; ++k) {
        post_counted(run, 55 * k / count, SAVE_TEXT_RUNNING_OCR, L"%s  %d / %d", k + 1, count);
        assign(&error, L"");
        const PageImage* page = job->pages.pin(job->pages.context, k, &run->error);
        if (!page) {
            if (run->error.length == 0) format(&run->error, L"page %d could not be read", k + 1);
            ok = false;
            break;
        }
        if (!job->ocr.recognize(page, text_of(job->settings.ocr_lang), &results[k], &error)) {
            format(&line, L"OCR page %d failed: %s", k + 1, text_of(error));
            log_text(run, text_of(line));
        }
        job->pages.unpin(job->pages.context, k);
        *words += results[k].count;
    }
    release(&error);
    release(&line);
    return ok;
}

void free_results(OcrResult* results, int count) {
    if (results)
        for (int k = 0; k < count; ++k) ocr_result_release(&results[k]);
    mem_free(results);
}

bool save_pdf(Run* run) {
    SaveJob* job = run->job;
    const int count = job->pages.count;
    const bool use_ocr = job->settings.ocr && job->ocr.available && job->ocr.recognize && job->ocr.available();
    OcrResult* results = nullptr;
    int words = 0;
    if (use_ocr) {
        results = static_cast<OcrResult*>(mem_alloc_array((size_t)count, sizeof(OcrResult)));
        if (!results) {
            assign(&run->error, L"out of memory");
            return false;
        }
        if (!run_ocr(run, results, &words)) {
            free_results(results, count);
            return false;
        }
    }
    PdfSaveOptions options = {};
    options.compression_level = job->settings.compression;
    options.protect = job->settings.protect && job->settings.password.length > 0;
    options.password = job->settings.password;
    options.cipher = job->settings.cipher;
    WideString file = path_file_name(text_of(job->target));
    options.title = path_without_extension(text_of(file));
    release(&file);

    PdfPass pass = {run, results, {}};
    const PdfPageSource source = {&pass, count, pdf_words, pdf_pin, pdf_unpin};
    g_pdf_run = run;
    g_pdf_base = use_ocr ? 55 : 0;
    g_pdf_span = use_ocr ? 45 : 100;
    pdf_set_progress_callback(pdf_progress);
    post_status(run, g_pdf_base, SAVE_TEXT_SAVING);
    const bool ok = pdf_write_document_from(text_of(job->target), &source, &options, &run->error);
    // The worker's own reason (a watermark that could not be drawn, say) beats the writer's.
    if (!ok && pass.failure.length > 0) assign(&run->error, text_of(pass.failure));
    release(&pass.failure);
    pdf_set_progress_callback(nullptr);
    g_pdf_run = nullptr;
    give_back_page(run);

    free_results(results, count);
    release(&options.title);
    if (ok) {
        saved_files_add(text_of(job->target));
        if (use_ocr && words == 0) log_text(run, text_of_id(run, SAVE_TEXT_NO_OCR_TEXT));
    }
    return ok;
}

// ---- JPG and PNG

int jpeg_quality(int compression) {
    return compression <= 0 ? 92 : (compression == 1 ? 80 : 65);
}

bool save_images(Run* run) {
    SaveJob* job = run->job;
    const int count = job->pages.count;
    const int file_format = job->settings.format;
    WideString path = {};
    ByteBuffer bytes = {};
    bool ok = true;
    for (int k = 0; k < count && ok; ++k) {
        post_counted(run, 100 * k / count, SAVE_TEXT_SAVING_PAGE, L"%s %d / %d", k + 1, count);
        const PageImage* page = take_page(run, k, &run->error);
        if (!page) {
            ok = false;
            break;
        }
        bytes.length = 0;
        ok = save_encode_image(page, file_format, jpeg_quality(job->settings.compression), &bytes);
        give_back_page(run);
        if (!ok) {
            assign(&run->error, L"GDI+ encode failed");
            break;
        }
        save_output_path(text_of(job->target), file_format, count, k, &path);
        ok = write_whole_file(text_of(path), bytes.data, bytes.length);
        if (ok)
            saved_files_add(text_of(path));
        else
            format(&run->error, L"%s (%u)", text_of(path), last_error_code());
    }
    release(&bytes);
    release(&path);
    return ok;
}

// ---- TIFF

bool save_tiff(Run* run) {
    SaveJob* job = run->job;
    const int count = job->pages.count;
    post_status(run, 30, SAVE_TEXT_SAVING);
    TiffWriter writer;
    if (!tiff_writer_open(&writer, text_of(job->target), count, &run->error)) return false;
    bool ok = true;
    for (int k = 0; k < count && ok; ++k) {
        const PageImage* page = take_page(run, k, &run->error);
        ok = page && tiff_writer_add_page(&writer, page, &run->error);
        give_back_page(run);
    }
    if (!ok) {
        tiff_writer_abandon(&writer);
        return false;
    }
    if (!tiff_writer_finish(&writer, &run->error)) return false;
    saved_files_add(text_of(job->target));
    return true;
}

}  // namespace

bool save_run(SaveJob* job) {
    Run run = {};
    run.job = job;
    saved_files_clear();
    bool ok = job->pages.count > 0 && job->pages.pin && job->pages.unpin;
    if (!ok) assign(&run.error, L"no pages");
    if (ok) {
        create_parent_folders(text_of(job->target));
        if (job->settings.format == SAVE_FORMAT_PDF)
            ok = save_pdf(&run);
        else if (job->settings.format == SAVE_FORMAT_JPG || job->settings.format == SAVE_FORMAT_PNG)
            ok = save_images(&run);
        else
            ok = save_tiff(&run);
    }
    WideString* result = static_cast<WideString*>(mem_alloc(sizeof(WideString)));
    if (!ok) {
        WideString line = {};
        format(&line, L"Save failed: %s", text_of(run.error));
        log_text(&run, text_of(line));
        release(&line);
    }
    if (result) *result = wide_copy(ok ? text_of(job->target) : text_of(run.error));
    post(&run, SAVE_MESSAGE_DONE, ok ? 1u : 0u, result);
    release(&run.error);
    return ok;
}
