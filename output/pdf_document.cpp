// output/pdf_document.cpp
// Objects 1-3 (catalog, page tree, info) and 4-8 (the text layer's font) have fixed
// numbers; each page then takes three: the page, its content stream, its image. Pages are
// encoded, written and freed one at a time, so memory does not grow with the page count.
#include "output/pdf_document.h"

#include "core/heap.h"
#include "core/zlib_buffer.h"
#include "output/pdf_crypt.h"
#include "output/pdf_image.h"
#include "output/pdf_writer.h"
#include "output/text_layer.h"

static const int kCatalog = 1;
static const int kPageTree = 2;
static const int kInfo = 3;
static const int kLastFontObject = PDF_OBJECT_TO_UNICODE;
static const int kCompressAbove = 200;   // shorter content streams are stored as they are
static const char kProducer[] = "Zan Group Scanner 2.0.0";
static const char kCatalogText[] = "<</Type/Catalog/Pages 2 0 R>>";
static const char kFlateFilter[] = "/Filter/FlateDecode";

static bool append_two_digits(ByteBuffer* out, int value) {
    const char digits[2] = {(char)('0' + value / 10 % 10), (char)('0' + value % 10)};
    return append_bytes(out, digits, 2);
}

bool pdf_format_creation_date(const LocalTime* time, ByteBuffer* out) {
    // The system's bias is UTC minus local time; a bias of 0 or below is written "+".
    const int bias = -time->utc_offset_minutes;
    const int magnitude = bias < 0 ? -bias : bias;
    const int year = time->year < 0 ? 0 : time->year % 10000;
    return append_text(out, "D:") && append_two_digits(out, year / 100) && append_two_digits(out, year % 100) &&
           append_two_digits(out, time->month) && append_two_digits(out, time->day) &&
           append_two_digits(out, time->hour) && append_two_digits(out, time->minute) &&
           append_two_digits(out, time->second) && append_bytes(out, bias <= 0 ? "+" : "-", 1) &&
           append_two_digits(out, magnitude / 60) && append_text(out, "'") &&
           append_two_digits(out, magnitude % 60) && append_text(out, "'");
}

static bool has_words(const OcrResult* ocr) {
    return ocr && ocr->count > 0;
}

static void write_image(PdfWriter* w, int number, const EncodedImage& image) {
    ByteBuffer d = {};
    append_text(&d, "/Type/XObject/Subtype/Image/Width ");
    append_int64(&d, image.width);
    append_text(&d, "/Height ");
    append_int64(&d, image.height);
    append_text(&d, "/BitsPerComponent ");
    append_int64(&d, image.bits_per_component);
    append_text(&d, image.components == 3 ? "/ColorSpace/DeviceRGB" : "/ColorSpace/DeviceGray");
    const bool ok = append_text(&d, image.is_jpeg ? "/Filter/DCTDecode" : "/Filter/FlateDecode");
    if (!ok) w->write_failed = true;
    pdf_write_stream_object(w, number, (const char*)d.data, d.length, image.bytes.data, image.bytes.length);
    release(&d);
}

static void write_content(PdfWriter* w, int number, const PageImage* page, const OcrResult* ocr, double width_pt,
                          double height_pt, GlyphList* glyphs) {
    ByteBuffer text = {};
    bool ok = append_text(&text, "q ") && pdf_format_real(&text, width_pt) && append_text(&text, " 0 0 ") &&
              pdf_format_real(&text, height_pt) && append_text(&text, " 0 0 cm /Im0 Do Q\n");
    if (ok && has_words(ocr)) ok = text_layer_append_block(&text, page, height_pt, ocr, glyphs);
    if (!ok) w->write_failed = true;
    ByteBuffer packed = {};
    if (text.length > kCompressAbove && deflate_buffer(text.data, text.length, 6, &packed))
        pdf_write_stream_object(w, number, kFlateFilter, (int)sizeof kFlateFilter - 1, packed.data, packed.length);
    else
        pdf_write_stream_object(w, number, "", 0, text.data, text.length);
    release(&packed);
    release(&text);
}

static void write_page(PdfWriter* w, int number, double width_pt, double height_pt, bool text_layer) {
    pdf_begin_object(w, number);
    pdf_append_text(w, "<</Type/Page/Parent 2 0 R/MediaBox[0 0 ");
    pdf_append_real(w, width_pt);
    pdf_append_text(w, " ");
    pdf_append_real(w, height_pt);
    pdf_append_text(w, "]/Resources<</XObject<</Im0 ");
    pdf_append_int(w, number + 2);
    pdf_append_text(w, " 0 R>>");
    if (text_layer) pdf_append_text(w, "/Font<</F1 4 0 R>>");
    pdf_append_text(w, ">>/Contents ");
    pdf_append_int(w, number + 1);
    pdf_append_text(w, " 0 R>>\nendobj\n");
}

static void write_info(PdfWriter* w, const WideString& title) {
    pdf_begin_object(w, kInfo);
    pdf_append_text(w, "<</Producer ");
    pdf_append_string(w, kInfo, kProducer, (int)sizeof kProducer - 1);
    LocalTime now;
    local_time_now(&now);
    ByteBuffer date = {};
    if (!pdf_format_creation_date(&now, &date)) w->write_failed = true;
    pdf_append_text(w, "/CreationDate ");
    pdf_append_string(w, kInfo, date.data, date.length);
    release(&date);
    if (title.length > 0) {
        // UTF-16 big-endian with its byte-order mark, the PDF text string form for any script.
        ByteBuffer bytes = {};
        bool ok = append_bytes(&bytes, "\xFE\xFF", 2);
        for (int k = 0; k < title.length && ok; ++k) {
            const uint8_t unit[2] = {(uint8_t)(title.data[k] >> 8), (uint8_t)title.data[k]};
            ok = append_bytes(&bytes, unit, 2);
        }
        if (!ok) w->write_failed = true;
        pdf_append_text(w, "/Title ");
        pdf_append_string(w, kInfo, bytes.data, bytes.length);
        release(&bytes);
    }
    pdf_append_text(w, ">>\nendobj\n");
}

static void write_page_tree(PdfWriter* w, const int* page_numbers, int page_count) {
    pdf_begin_object(w, kPageTree);
    pdf_append_text(w, "<</Type/Pages/Count ");
    pdf_append_int(w, page_count);
    pdf_append_text(w, "/Kids[");
    for (int k = 0; k < page_count; ++k) {
        pdf_append_int(w, page_numbers[k]);
        pdf_append_text(w, " 0 R ");
    }
    pdf_append_text(w, "]>>\nendobj\n");
}

// Every page, the font, page tree, catalog, info and encryption dictionary. On failure the
// writer is abandoned and message says why.
static bool write_body(PdfWriter* w, const PdfPageSource* source, const PdfSaveOptions* options,
                       PdfMessage* message) {
    const int page_count = source->count;
    bool text_layer = false;
    for (int k = 0; k < page_count; ++k) text_layer = text_layer || has_words(source->words(source->context, k));
    w->next_object = text_layer ? kLastFontObject + 1 : kInfo + 1;

    int* page_numbers = static_cast<int*>(mem_alloc_array((size_t)page_count, sizeof(int)));
    int failure = page_numbers ? PDF_MESSAGE_NONE : PDF_MESSAGE_WRITE_ERROR;
    GlyphList glyphs = {};
    for (int k = 0; k < page_count && failure == PDF_MESSAGE_NONE; ++k) {
        pdf_report_progress(k, page_count);
        const PageImage* page = source->pin(source->context, k, message);
        if (!page) {
            failure = message->id != PDF_MESSAGE_NONE ? message->id : PDF_MESSAGE_PAGE_NO_MEMORY;
            break;
        }
        EncodedImage image;
        int quality = 0;
        if (!pdf_encode_page_image(options->compression_level, page, &image, &quality)) {
            source->unpin(source->context, k);
            failure = PDF_MESSAGE_IMAGE_ENCODE;
            break;
        }
        const int number = pdf_reserve_object(w);
        pdf_reserve_object(w);
        pdf_reserve_object(w);
        page_numbers[k] = number;
        // The page keeps its physical size even when the image was reduced.
        const double width_pt = page->width * 72.0 / page->dpi;
        const double height_pt = page->height * 72.0 / page->dpi;
        write_image(w, number + 2, image);
        encoded_image_release(&image);
        write_content(w, number + 1, page, source->words(source->context, k), width_pt, height_pt, &glyphs);
        source->unpin(source->context, k);
        write_page(w, number, width_pt, height_pt, text_layer);
        if (w->write_failed) failure = PDF_MESSAGE_WRITE_ERROR;
    }
    if (failure == PDF_MESSAGE_NONE && text_layer && !text_layer_write_font_objects(w, &glyphs))
        failure = PDF_MESSAGE_WRITE_ERROR;
    glyph_list_release(&glyphs);
    if (failure == PDF_MESSAGE_NONE) {
        write_page_tree(w, page_numbers, page_count);
        pdf_write_dictionary_object(w, kCatalog, kCatalogText, (int)sizeof kCatalogText - 1);
        write_info(w, options->title);
        if (w->encryption.enabled) pdf_crypt_write_dictionary(w);
    }
    mem_free(page_numbers);
    if (failure == PDF_MESSAGE_NONE) return true;
    pdf_writer_abandon(w);
    // A page the source could not give keeps the source's arguments (its page number).
    if (message->id != failure) pdf_message_set(message, failure);
    return false;
}

bool pdf_write_document_from(const wchar_t* path, const PdfPageSource* source, const PdfSaveOptions* options,
                             WideString* error) {
    if (!source || source->count < 1 || !options) {
        assign(error, L"no pages");
        return false;
    }
    PdfWriter w;
    PdfMessage message = {};
    bool ok = pdf_writer_open(&w, path, &message);
    if (ok) {
        if (options->protect && options->password.length > 0)
            pdf_crypt_setup(&w.encryption, text_of(options->password), options->cipher);
        pdf_append_header(&w);
        ok = write_body(&w, source, options, &message) && pdf_writer_finish(&w, &message);
    }
    // A write failure here is most likely a full disk; a failed move keeps its own message.
    // The messages are English: the save worker shows them after its own sentence.
    if (message.id == PDF_MESSAGE_WRITE_ERROR) message.id = PDF_MESSAGE_DISK_FULL;
    if (!ok) pdf_message_text(&message, 1, nullptr, error);
    pdf_message_release(&message);
    return ok;
}

// ---- sources

static const OcrResult* array_words(void* context, int index) {
    return static_cast<const PdfPageInput*>(context)[index].ocr;
}

static const PageImage* array_pin(void* context, int index, PdfMessage*) {
    return static_cast<const PdfPageInput*>(context)[index].page;
}

static void array_unpin(void*, int) {}

bool pdf_write_document(const wchar_t* path, const PdfPageInput* pages, int page_count,
                        const PdfSaveOptions* options, WideString* error) {
    if (!pages) page_count = 0;
    const PdfPageSource source = {const_cast<PdfPageInput*>(pages), page_count, array_words, array_pin, array_unpin};
    return pdf_write_document_from(path, &source, options, error);
}

static const OcrResult* store_words(void* context, int index) {
    const PdfStorePages* p = static_cast<const PdfStorePages*>(context);
    return p->ocr ? p->ocr[index] : nullptr;
}

static const PageImage* store_pin(void* context, int index, PdfMessage* message) {
    PdfStorePages* p = static_cast<PdfStorePages*>(context);
    const PageImage* page = page_store_pin(p->store, p->pages[index], &p->message_id);
    if (!page) {
        const int id = p->message_id == PAGE_STORE_MESSAGE_READ_FAILED ? PDF_MESSAGE_PAGE_UNREADABLE
                                                                        : PDF_MESSAGE_PAGE_NO_MEMORY;
        pdf_message_set(message, id, nullptr, index + 1);
    }
    return page;
}

static void store_unpin(void* context, int index) {
    PdfStorePages* p = static_cast<PdfStorePages*>(context);
    page_store_unpin(p->store, p->pages[index]);
}

PdfPageSource pdf_page_source_of_store(PdfStorePages* pages) {
    pages->message_id = 0;
    return PdfPageSource{pages, pages->count, store_words, store_pin, store_unpin};
}
