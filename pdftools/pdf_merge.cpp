// pdftools/pdf_merge.cpp
// Output files for merge and split, the page copier and the merge itself. Copied objects
// keep their bytes (streams stay encoded) but are renumbered on first use, so an object
// shared by several pages of one source is written once per output file.
#include "pdftools/pdf_merge.h"

#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/text.h"
#include "output/pdf_image.h"

static const int kFallbackDpi = 150;

// ---------------------------------------------------------------- output file

static void reserve_fixed_objects(PdfOutput* out) {
    pdf_append_header(&out->writer);
    pdf_reserve_object(&out->writer);  // PDF_OUTPUT_CATALOG
    pdf_reserve_object(&out->writer);  // PDF_OUTPUT_PAGE_TREE
    pdf_reserve_object(&out->writer);  // PDF_OUTPUT_INFO
}

bool pdf_output_open(PdfOutput* out, const wchar_t* path, PdfMessage* error) {
    *out = PdfOutput{};
    if (!pdf_writer_open(&out->writer, path, error)) return false;
    reserve_fixed_objects(out);
    return true;
}

void pdf_output_open_in_memory(PdfOutput* out) {
    *out = PdfOutput{};
    pdf_writer_open_in_memory(&out->writer);
    reserve_fixed_objects(out);
}

void pdf_output_note_version(PdfOutput* out, int version) {
    if (version > out->version) out->version = version;
}

bool pdf_output_add_page(PdfOutput* out, int page_object) {
    if (out->page_count == out->page_capacity) {
        const int capacity = out->page_capacity ? out->page_capacity * 2 : 64;
        if (capacity < out->page_capacity) return false;
        void* grown = mem_realloc(out->pages, (size_t)capacity * sizeof(int));
        if (!grown) return false;
        out->pages = static_cast<int*>(grown);
        out->page_capacity = capacity;
    }
    out->pages[out->page_count++] = page_object;
    return true;
}

static void free_pages(PdfOutput* out) {
    mem_free(out->pages);
    out->pages = nullptr;
    out->page_count = 0;
    out->page_capacity = 0;
}

bool pdf_output_finish(PdfOutput* out, PdfMessage* error) {
    PdfWriter* w = &out->writer;
    ByteBuffer tree = {};
    bool ok = append_text(&tree, "<</Type/Pages/Count ") && append_int64(&tree, out->page_count) &&
              append_text(&tree, "/Kids[");
    for (int i = 0; ok && i < out->page_count; ++i) {
        ok = append_int64(&tree, out->pages[i]) && append_text(&tree, " 0 R ");
    }
    ok = ok && append_text(&tree, "]>>");
    if (!ok) w->write_failed = true;
    pdf_write_dictionary_object(w, PDF_OUTPUT_PAGE_TREE, reinterpret_cast<const char*>(tree.data), tree.length);
    release(&tree);
    // The header was written before any source was read; a later version of a source is
    // declared in the catalog, which the standard lets override the header.
    char catalog[64] = "<</Type/Catalog/Pages 2 0 R";
    int length = (int)text8_length(catalog);
    if (out->version > pdf_writer_version(w) && out->version < 100) {
        const char version[] = {'/', 'V', 'e', 'r', 's', 'i', 'o', 'n', '/', (char)('0' + out->version / 10), '.',
                                (char)('0' + out->version % 10)};
        mem_copy(catalog + length, version, sizeof version);
        length += (int)sizeof version;
    }
    mem_copy(catalog + length, ">>", 2);
    length += 2;
    static const char kInfo[] = "<</Producer(Zan Group Scanner 2.0.0)>>";
    pdf_write_dictionary_object(w, PDF_OUTPUT_CATALOG, catalog, length);
    pdf_write_dictionary_object(w, PDF_OUTPUT_INFO, kInfo, (int)sizeof kInfo - 1);
    free_pages(out);
    return pdf_writer_finish(w, error);
}

void pdf_output_abandon(PdfOutput* out) {
    pdf_writer_abandon(&out->writer);
    free_pages(out);
}

// ---------------------------------------------------------------- page copier

bool pdf_copy_begin(PdfCopyContext* copy, PdfWriter* writer, const PdfDocument* source) {
    *copy = PdfCopyContext{};
    copy->writer = writer;
    copy->source = source;
    copy->number_map = static_cast<int*>(mem_alloc_array((size_t)source->max_number + 1, sizeof(int)));
    return copy->number_map != nullptr;
}

void pdf_copy_end(PdfCopyContext* copy) {
    mem_free(copy->number_map);
    mem_free(copy->pending);
    mem_free(copy->inherited_values);
    mem_free(copy->inherited_numbers);
    *copy = PdfCopyContext{};
}

// The output number of source object k, numbering it (and queueing it) on first use; 0 when
// k names no object of the source.
static int output_number(PdfCopyContext* copy, int64_t k) {
    if (k < 1 || k > copy->source->max_number) return 0;
    int& mapped = copy->number_map[k];
    if (mapped) return mapped;
    if (copy->pending_count == copy->pending_capacity) {
        const int capacity = copy->pending_capacity ? copy->pending_capacity * 2 : 64;
        void* grown = capacity > copy->pending_capacity ? mem_realloc(copy->pending, (size_t)capacity * sizeof(int)) : nullptr;
        if (!grown) {
            copy->failed = true;
            return 0;
        }
        copy->pending = static_cast<int*>(grown);
        copy->pending_capacity = capacity;
    }
    mapped = pdf_reserve_object(copy->writer);
    copy->pending[copy->pending_count++] = (int)k;
    return mapped;
}

static bool append_name(ByteBuffer* out, const PdfObject* name) {
    static const char kHex[] = "0123456789ABCDEF";
    bool ok = append_bytes(out, "/", 1);
    for (int i = 0; ok && i < name->length; ++i) {
        const uint8_t c = name->text[i];
        const bool plain = c >= '!' && c <= '~' && c != '(' && c != ')' && c != '<' && c != '>' && c != '[' &&
                           c != ']' && c != '{' && c != '}' && c != '/' && c != '%' && c != '#';
        if (plain) {
            ok = append_bytes(out, &c, 1);
        } else {
            const char escaped[3] = {'#', kHex[c >> 4], kHex[c & 15]};
            ok = append_bytes(out, escaped, 3);
        }
    }
    return ok;
}

static bool append_hex_string(ByteBuffer* out, const PdfObject* string) {
    static const char kHex[] = "0123456789ABCDEF";
    bool ok = append_bytes(out, "<", 1);
    for (int i = 0; ok && i < string->length; ++i) {
        const char pair[2] = {kHex[string->text[i] >> 4], kHex[string->text[i] & 15]};
        ok = append_bytes(out, pair, 2);
    }
    return ok && append_bytes(out, ">", 1);
}

static uint32_t name_hash(const PdfObject* name) {
    uint32_t h = 2166136261u;
    for (int i = 0; i < name->length; ++i) h = (h ^ name->text[i]) * 16777619u;
    return h;
}

static bool same_name(const PdfObject* a, const PdfObject* b) {
    return a->length == b->length && mem_compare(a->text, b->text, (size_t)a->length) == 0;
}

// Marks the entries whose key did not occur earlier: only the first of duplicate keys is
// written, because it is the one every reader (this one included) looks up. A hash table
// keeps dictionaries with very many keys linear.
static uint8_t* first_keys(const PdfObject* dict) {
    const int n = dict->count;
    uint8_t* keep = static_cast<uint8_t*>(mem_alloc((size_t)n + 1));
    if (!keep) return nullptr;
    if (n <= 16) {
        for (int i = 0; i < n; ++i) {
            keep[i] = 1;
            for (int j = 0; j < i; ++j) {
                if (same_name(dict->items[2 * j], dict->items[2 * i])) {
                    keep[i] = 0;
                    break;
                }
            }
        }
        return keep;
    }
    size_t slots = 32;
    while (slots < (size_t)n * 2) slots *= 2;
    int* table = static_cast<int*>(mem_alloc_array(slots, sizeof(int)));
    if (!table) {
        mem_free(keep);
        return nullptr;
    }
    for (int i = 0; i < n; ++i) {
        const PdfObject* key = dict->items[2 * i];
        size_t s = name_hash(key) & (slots - 1);
        keep[i] = 1;
        while (table[s]) {
            if (same_name(dict->items[2 * (table[s] - 1)], key)) {
                keep[i] = 0;
                break;
            }
            s = (s + 1) & (slots - 1);
        }
        if (keep[i]) table[s] = i + 1;
    }
    mem_free(table);
    return keep;
}

// "key value " for each first occurrence of a key; /Length left out when skip_length is set.
static bool append_entries(PdfCopyContext* copy, const PdfObject* dict, bool skip_length, ByteBuffer* out) {
    uint8_t* keep = first_keys(dict);
    if (!keep) return false;
    bool ok = true;
    for (int i = 0; ok && i < dict->count; ++i) {
        const PdfObject* key = dict->items[2 * i];
        if (!keep[i] || (skip_length && pdf_is_name(key, "Length"))) continue;
        ok = append_name(out, key) && append_bytes(out, " ", 1) &&
             pdf_serialize_value(copy, dict->items[2 * i + 1], out) && append_bytes(out, " ", 1);
    }
    mem_free(keep);
    return ok;
}

bool pdf_serialize_value(PdfCopyContext* copy, const PdfObject* value, ByteBuffer* out) {
    if (!value) return append_text(out, "null");
    switch (value->kind) {
        case PDF_BOOL:
            return append_text(out, value->value ? "true" : "false");
        case PDF_INTEGER:
        case PDF_REAL:
            return append_bytes(out, value->text, value->length);
        case PDF_NAME:
            return append_name(out, value);
        case PDF_STRING:
            return append_hex_string(out, value);
        case PDF_ARRAY: {
            bool ok = append_bytes(out, "[", 1);
            for (int i = 0; ok && i < value->count; ++i) {
                if (i > 0) ok = append_bytes(out, " ", 1);
                ok = ok && pdf_serialize_value(copy, value->items[i], out);
            }
            return ok && append_bytes(out, "]", 1);
        }
        case PDF_DICTIONARY:
        case PDF_STREAM:
            return append_bytes(out, "<<", 2) && append_entries(copy, value, false, out) && append_bytes(out, ">>", 2);
        case PDF_REFERENCE: {
            const int n = output_number(copy, value->value);
            if (!n) return append_text(out, "null");
            return append_int64(out, n) && append_text(out, " 0 R");
        }
    }
    return append_text(out, "null");
}

static void write_pending(PdfCopyContext* copy) {
    PdfWriter* w = copy->writer;
    ByteBuffer text = {};
    while (copy->pending_count > 0 && !copy->failed) {
        const int k = copy->pending[--copy->pending_count];
        const int number = copy->number_map[k];
        const PdfObject* o = pdf_object_at(copy->source, k);
        text.length = 0;
        if (o && o->kind == PDF_STREAM) {
            if (!append_entries(copy, o, true, &text) || o->data_length > 0x7fffffff) copy->failed = true;
            pdf_write_stream_object(w, number, reinterpret_cast<const char*>(text.data), text.length, o->data,
                                    (int)o->data_length);
        } else {
            if (!pdf_serialize_value(copy, o, &text)) copy->failed = true;
            pdf_write_dictionary_object(w, number, reinterpret_cast<const char*>(text.data), text.length);
        }
    }
    release(&text);
}

static size_t address_slot(const PdfObject* value, int capacity) {
    const uint64_t a = (uint64_t)(uintptr_t)value;
    return (size_t)((a >> 4) * 0x9E3779B97F4A7C15ull >> 20) & (size_t)(capacity - 1);
}

static bool inherited_grow(PdfCopyContext* copy) {
    const int capacity = copy->inherited_capacity ? copy->inherited_capacity * 2 : 64;
    if (capacity < copy->inherited_capacity) return false;
    const PdfObject** values = static_cast<const PdfObject**>(mem_alloc_array((size_t)capacity, sizeof(PdfObject*)));
    int* numbers = static_cast<int*>(mem_alloc_array((size_t)capacity, sizeof(int)));
    if (!values || !numbers) {
        mem_free(values);
        mem_free(numbers);
        return false;
    }
    for (int i = 0; i < copy->inherited_capacity; ++i) {
        if (!copy->inherited_values[i]) continue;
        size_t s = address_slot(copy->inherited_values[i], capacity);
        while (values[s]) s = (s + 1) & (size_t)(capacity - 1);
        values[s] = copy->inherited_values[i];
        numbers[s] = copy->inherited_numbers[i];
    }
    mem_free(copy->inherited_values);
    mem_free(copy->inherited_numbers);
    copy->inherited_values = values;
    copy->inherited_numbers = numbers;
    copy->inherited_capacity = capacity;
    return true;
}

// An ancestor's direct dictionary or array, written once per output file as an object of its
// own: copied inline into every page, one large /Resources in a page-tree node would make
// the output grow with pages x size from a small input.
static int inherited_object(PdfCopyContext* copy, const PdfObject* value) {
    if (copy->inherited_count * 2 >= copy->inherited_capacity && !inherited_grow(copy)) return 0;
    size_t s = address_slot(value, copy->inherited_capacity);
    while (copy->inherited_values[s]) {
        if (copy->inherited_values[s] == value) return copy->inherited_numbers[s];
        s = (s + 1) & (size_t)(copy->inherited_capacity - 1);
    }
    ByteBuffer text = {};
    if (!pdf_serialize_value(copy, value, &text)) {
        release(&text);
        return 0;
    }
    const int number = pdf_reserve_object(copy->writer);
    pdf_write_dictionary_object(copy->writer, number, reinterpret_cast<const char*>(text.data), text.length);
    release(&text);
    copy->inherited_values[s] = value;
    copy->inherited_numbers[s] = number;
    ++copy->inherited_count;
    return number;
}

// "/key value " for one of the inheritable entries.
static bool append_inheritable(PdfCopyContext* copy, const char* key, const PdfObject* value, bool own,
                               ByteBuffer* text) {
    if (!(append_text(text, "/") && append_text(text, key) && append_text(text, " "))) return false;
    if (!own && (value->kind == PDF_DICTIONARY || value->kind == PDF_ARRAY)) {
        const int number = inherited_object(copy, value);
        return number && append_int64(text, number) && append_text(text, " 0 R ");
    }
    return pdf_serialize_value(copy, value, text) && append_text(text, " ");
}

int pdf_copy_page(PdfCopyContext* copy, const PdfPage* page, int page_tree) {
    if (!copy || !page || !page->dictionary || copy->failed) return 0;
    static const char* const kCopiedKeys[] = {"Contents", "Group", "UserUnit", "BleedBox", "TrimBox", "ArtBox"};
    static const char* const kInheritedKeys[] = {"Resources", "MediaBox", "CropBox", "Rotate"};
    const PdfObject* inherited[] = {page->resources, page->media_box, page->crop_box, page->rotate};
    ByteBuffer text = {};
    bool ok = append_text(&text, "<</Type/Page/Parent ") && append_int64(&text, page_tree) && append_text(&text, " 0 R");
    for (const char* key : kCopiedKeys) {
        const PdfObject* v = pdf_dict_get(page->dictionary, key);
        if (!v) continue;
        ok = ok && append_text(&text, "/") && append_text(&text, key) && append_text(&text, " ") &&
             pdf_serialize_value(copy, v, &text) && append_text(&text, " ");
    }
    for (int i = 0; i < 4; ++i) {
        const PdfObject* own = pdf_dict_get(page->dictionary, kInheritedKeys[i]);
        const PdfObject* v = own ? own : inherited[i];
        if (v) {
            ok = ok && append_inheritable(copy, kInheritedKeys[i], v, own != nullptr, &text);
        } else if (i == 0) {
            ok = ok && append_text(&text, "/Resources<<>> ");
        } else if (i == 1) {
            ok = ok && append_text(&text, "/MediaBox[0 0 612 792] ");
        }
    }
    ok = ok && append_text(&text, ">>");
    const int number = pdf_reserve_object(copy->writer);
    pdf_write_dictionary_object(copy->writer, number, reinterpret_cast<const char*>(text.data), text.length);
    release(&text);
    if (!ok) copy->failed = true;
    write_pending(copy);
    return copy->failed ? 0 : number;
}

// ---------------------------------------------------------------- images

int pdf_jpeg_file_dpi(const uint8_t* data, size_t size) {
    if (!data || size < 16 || data[2] != 0xFF || data[3] != 0xE0 || mem_compare(data + 6, "JFIF", 4) != 0) {
        return kFallbackDpi;
    }
    const int unit = data[13];
    const int density = data[14] << 8 | data[15];
    int dpi = 0;
    if (unit == 1) dpi = density;
    if (unit == 2) dpi = density * 254 / 100;
    // Per centimetre, a density that looks plausible can still give an absurd page size.
    return dpi >= 20 && dpi <= 4800 ? dpi : kFallbackDpi;
}

static uint32_t tiff_read(const uint8_t* p, int bytes, bool little) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= (uint32_t)p[i] << (8 * (little ? i : bytes - 1 - i));
    return v;
}

// The offsets of the IFDs in chain order; returns how many (at most PDF_TIFF_MAX_FRAMES).
static int tiff_frames(const uint8_t* data, size_t size, uint32_t* offsets) {
    if (!data || size < 8) return 0;
    const bool little = data[0] == 'I' && data[1] == 'I';
    if (!little && !(data[0] == 'M' && data[1] == 'M')) return 0;
    if (tiff_read(data + 2, 2, little) != 42) return 0;
    uint32_t offset = tiff_read(data + 4, 4, little);
    int count = 0;
    while (offset >= 8 && count < PDF_TIFF_MAX_FRAMES && (uint64_t)offset + 2 <= size) {
        for (int i = 0; i < count; ++i) {
            if (offsets[i] == offset) return count;  // the chain loops
        }
        const uint64_t entries = tiff_read(data + offset, 2, little);
        const uint64_t next_at = (uint64_t)offset + 2 + entries * 12;
        if (next_at + 4 > size) break;
        offsets[count++] = offset;
        offset = tiff_read(data + next_at, 4, little);
    }
    return count;
}

int pdf_tiff_frame_count(const uint8_t* data, size_t size) {
    uint32_t* offsets = static_cast<uint32_t*>(mem_alloc_array(PDF_TIFF_MAX_FRAMES, sizeof(uint32_t)));
    const int count = offsets ? tiff_frames(data, size, offsets) : 0;
    mem_free(offsets);
    return count;
}

bool pdf_tiff_select_frame(uint8_t* data, size_t size, int frame) {
    uint32_t* offsets = static_cast<uint32_t*>(mem_alloc_array(PDF_TIFF_MAX_FRAMES, sizeof(uint32_t)));
    const int count = offsets ? tiff_frames(data, size, offsets) : 0;
    const bool ok = frame >= 0 && frame < count;
    if (ok) {
        const bool little = data[0] == 'I';
        for (int i = 0; i < 4; ++i) data[4 + i] = (uint8_t)(offsets[frame] >> (8 * (little ? i : 3 - i)));
    }
    mem_free(offsets);
    return ok;
}

struct ImagePage {
    const void* data;
    int length;
    bool is_jpeg;
    int width, height;          // pixels of the image data
    int components;
    int bits;
    int page_width, page_height, dpi;  // physical size: pixels at dpi
};

static bool write_image_page(PdfOutput* out, const ImagePage& img) {
    PdfWriter* w = &out->writer;
    const int page = pdf_reserve_object(w);
    const int content = pdf_reserve_object(w);
    const int image = pdf_reserve_object(w);
    const int dpi = img.dpi > 0 ? img.dpi : kFallbackDpi;
    const double width_pt = (double)img.page_width * 72.0 / dpi;
    const double height_pt = (double)img.page_height * 72.0 / dpi;
    ByteBuffer t = {};
    bool ok = append_text(&t, "/Type/XObject/Subtype/Image/Width ") && append_int64(&t, img.width) &&
              append_text(&t, "/Height ") && append_int64(&t, img.height) && append_text(&t, "/BitsPerComponent ") &&
              append_int64(&t, img.bits) &&
              append_text(&t, img.components == 3 ? "/ColorSpace/DeviceRGB" : "/ColorSpace/DeviceGray") &&
              append_text(&t, img.is_jpeg ? "/Filter/DCTDecode" : "/Filter/FlateDecode");
    pdf_write_stream_object(w, image, reinterpret_cast<const char*>(t.data), t.length, img.data, img.length);
    t.length = 0;
    ok = ok && append_text(&t, "q ") && pdf_format_real(&t, width_pt) && append_text(&t, " 0 0 ") &&
         pdf_format_real(&t, height_pt) && append_text(&t, " 0 0 cm /Im0 Do Q\n");
    pdf_write_stream_object(w, content, "", 0, t.data, t.length);
    t.length = 0;
    ok = ok && append_text(&t, "<</Type/Page/Parent 2 0 R/MediaBox[0 0 ") && pdf_format_real(&t, width_pt) &&
         append_text(&t, " ") && pdf_format_real(&t, height_pt) && append_text(&t, "]/Resources<</XObject<</Im0 ") &&
         append_int64(&t, image) && append_text(&t, " 0 R>>>>/Contents ") && append_int64(&t, content) &&
         append_text(&t, " 0 R>>");
    pdf_write_dictionary_object(w, page, reinterpret_cast<const char*>(t.data), t.length);
    release(&t);
    return ok && pdf_output_add_page(out, page);
}

// A JPEG of 8-bit grey or RGB samples goes into the PDF byte for byte.
static bool add_jpeg_unchanged(PdfOutput* out, const ByteBuffer& bytes, bool* handled) {
    JpegInfo info = {};
    *handled = bytes.length > 0 && pdf_jpeg_header_check(bytes.data, (size_t)bytes.length, &info) &&
               (info.components == 1 || info.components == 3) && info.precision == 8;
    if (!*handled) return true;
    ImagePage img = {};
    img.data = bytes.data;
    img.length = bytes.length;
    img.is_jpeg = true;
    img.width = img.page_width = info.width;
    img.height = img.page_height = info.height;
    img.components = info.components;
    img.bits = 8;
    img.dpi = pdf_jpeg_file_dpi(bytes.data, (size_t)bytes.length);
    return write_image_page(out, img);
}

static bool add_frames(PdfOutput* out, void* image, int frames, const PdfImageDecoder* decoder, const wchar_t* path,
                       PdfMessage* error) {
    for (int frame = 0; frame < frames; ++frame) {
        PageImage* decoded = decoder->decode(image, frame);
        if (!decoded) {
            pdf_message_set(error, PDF_MESSAGE_IMAGE_UNREADABLE, path);
            return false;
        }
        EncodedImage encoded = {};
        int quality = 0;
        if (!pdf_encode_page_image(1, decoded, &encoded, &quality)) {
            page_image_free(decoded);
            pdf_message_set(error, PDF_MESSAGE_ENCODE);
            return false;
        }
        ImagePage img = {};
        img.data = encoded.bytes.data;
        img.length = encoded.bytes.length;
        img.is_jpeg = encoded.is_jpeg;
        img.width = encoded.width;
        img.height = encoded.height;
        img.components = encoded.components;
        img.bits = encoded.bits_per_component;
        img.page_width = decoded->width;
        img.page_height = decoded->height;
        img.dpi = decoded->dpi;
        const bool ok = write_image_page(out, img);
        encoded_image_release(&encoded);
        page_image_free(decoded);
        if (!ok) {
            pdf_message_set(error, PDF_MESSAGE_WRITE_ERROR);
            return false;
        }
    }
    return true;
}

static bool add_image(PdfOutput* out, const wchar_t* path, const PdfImageDecoder* decoder, PdfMessage* error) {
    ByteBuffer bytes = {};
    bool handled = false;
    bool ok = true;
    const bool read = read_whole_file(path, &bytes);
    if (read) ok = add_jpeg_unchanged(out, bytes, &handled);
    if (handled) {
        release(&bytes);
        if (!ok) pdf_message_set(error, PDF_MESSAGE_WRITE_ERROR);
        return ok;
    }
    // The file is read and opened once; every frame of a multi-page image (TIFF) becomes
    // its own page.
    int frames = 0;
    void* image = read && decoder ? decoder->open(bytes.data, (size_t)bytes.length, &frames) : nullptr;
    release(&bytes);
    if (!image || frames < 1) {
        if (image) decoder->close(image);
        pdf_message_set(error, PDF_MESSAGE_IMAGE_UNREADABLE, path);
        return false;
    }
    ok = add_frames(out, image, frames, decoder, path, error);
    decoder->close(image);
    return ok;
}

static bool add_pdf(PdfOutput* out, const wchar_t* path, PdfMessage* error) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    bool ok = pdf_read_document(path, &doc, &pages);
    if (!ok) {
        WideString name = path_file_name(path);
        pdf_message_set(error, doc.error_id, text_of(name));
        release(&name);
    } else {
        pdf_output_note_version(out, doc.version);
        PdfCopyContext copy = {};
        ok = pdf_copy_begin(&copy, &out->writer, &doc);
        bool cancelled = false;
        for (int i = 0; ok && i < pages.count; ++i) {
            cancelled = pdf_cancel_requested();
            const int number = cancelled ? 0 : pdf_copy_page(&copy, &pages.pages[i], PDF_OUTPUT_PAGE_TREE);
            ok = number != 0 && pdf_output_add_page(out, number);
        }
        pdf_copy_end(&copy);
        if (!ok) pdf_message_set(error, cancelled ? PDF_MESSAGE_CANCELLED : PDF_MESSAGE_WRITE_ERROR);
    }
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return ok;
}

static bool is_pdf_path(const wchar_t* path) {
    WideString ext = path_extension(path);
    const bool pdf = compare_no_case(text_of(ext), L".pdf") == 0;
    release(&ext);
    return pdf;
}

bool pdf_merge_with(const wchar_t* const* paths, int count, const wchar_t* output, const PdfImageDecoder* decoder,
                    PdfMessage* error) {
    if (!error) return false;
    pdf_message_set(error, PDF_MESSAGE_NONE);
    if (!paths || count <= 0) {
        pdf_message_set(error, PDF_MESSAGE_ADD_FILES);
        return false;
    }
    if (!output || !output[0]) {
        pdf_message_set(error, PDF_MESSAGE_CANNOT_CREATE, L"", 0);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        // The same file under another name would be destroyed by its own merge.
        if (paths[i] && files_are_same(output, paths[i])) {
            pdf_message_set(error, PDF_MESSAGE_OUTPUT_IS_INPUT, output);
            return false;
        }
    }
    PdfOutput out = {};
    if (!pdf_output_open(&out, output, error)) return false;
    for (int i = 0; i < count; ++i) {
        pdf_report_progress(i, count);
        if (pdf_cancel_requested()) {
            pdf_message_set(error, PDF_MESSAGE_CANCELLED);
            pdf_output_abandon(&out);
            return false;
        }
        const wchar_t* path = paths[i] ? paths[i] : L"";
        const bool ok = is_pdf_path(path) ? add_pdf(&out, path, error) : add_image(&out, path, decoder, error);
        if (ok && out.writer.write_failed) pdf_message_set(error, PDF_MESSAGE_WRITE_ERROR);
        if (!ok || out.writer.write_failed) {
            pdf_output_abandon(&out);
            return false;
        }
    }
    return pdf_output_finish(&out, error);
}

bool pdf_merge(const wchar_t* const* paths, int count, const wchar_t* output, PdfMessage* error) {
    return pdf_merge_with(paths, count, output, pdf_platform_image_decoder(), error);
}
