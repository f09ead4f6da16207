// output/text_layer.cpp
// Each word is drawn in rendering mode 3 (invisible) with a font size from the box height
// and a horizontal scaling that stretches its empty 500-unit glyphs over the box width,
// so selection and search in a viewer land where the word is on the image.
#include "output/text_layer.h"

#include "core/heap.h"
#include "core/zlib_buffer.h"
#include "output/md5.h"
#include "output/ocr_font.h"

int glyph_list_id(GlyphList* list, uint32_t character) {
    for (int k = 0; k < list->count; ++k)
        if (list->characters[k] == character) return k + 1;
    if (list->count >= GLYPH_LIST_MAX) return 1;
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : 64;
        uint32_t* grown =
            static_cast<uint32_t*>(mem_realloc(list->characters, sizeof(uint32_t) * (size_t)capacity));
        if (!grown) return 1;
        list->characters = grown;
        list->capacity = capacity;
    }
    list->characters[list->count++] = character;
    return list->count;
}

void glyph_list_release(GlyphList* list) {
    mem_free(list->characters);
    *list = GlyphList{};
}

static bool is_right_to_left(uint32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);
}

static bool is_left_to_right(uint32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 0x00C0 && c <= 0x024F);
}

static bool is_high_surrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

static bool is_low_surrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

static void reverse(uint32_t* characters, int from, int to) {
    for (--to; from < to; ++from, --to) {
        const uint32_t t = characters[from];
        characters[from] = characters[to];
        characters[to] = t;
    }
}

// Characters of the first `units` UTF-16 units.
static int decode_characters(const wchar_t* text, int units, uint32_t* out) {
    int n = 0;
    for (int k = 0; k < units; ++k) {
        const uint32_t u = (uint16_t)text[k];
        if (is_high_surrogate(u) && k + 1 < units && is_low_surrogate((uint16_t)text[k + 1])) {
            out[n++] = 0x10000 + ((u - 0xD800) << 10) + ((uint16_t)text[k + 1] - 0xDC00);
            ++k;
        } else {
            out[n++] = u;
        }
    }
    return n;
}

int text_layer_visual_order(const wchar_t* text, int length, uint32_t* out) {
    if (!text || length <= 0) return 0;
    int units = length < TEXT_LAYER_MAX_WORD ? length : TEXT_LAYER_MAX_WORD;
    // A surrogate pair that the cut would split is left out whole.
    if (units < length && is_high_surrogate((uint16_t)text[units - 1]) && is_low_surrogate((uint16_t)text[units])) --units;
    const int n = decode_characters(text, units, out);
    bool right_to_left = false;
    for (int k = 0; k < n; ++k) right_to_left = right_to_left || is_right_to_left(out[k]);
    if (!right_to_left) return n;
    // Readers lay glyphs out left to right, so an Arabic word is stored mirrored; numbers
    // and Latin parts inside it keep their own reading order.
    reverse(out, 0, n);
    for (int k = 0; k < n;) {
        if (!is_left_to_right(out[k])) {
            ++k;
            continue;
        }
        int end = k;
        while (end < n && is_left_to_right(out[end])) ++end;
        reverse(out, k, end);
        k = end;
    }
    return n;
}

static bool append_real(ByteBuffer* b, double value) {
    return pdf_format_real(b, value);
}

static bool append_hex4(ByteBuffer* b, int value) {
    static const char kHex[] = "0123456789ABCDEF";
    const char digits[4] = {kHex[(value >> 12) & 15], kHex[(value >> 8) & 15], kHex[(value >> 4) & 15], kHex[value & 15]};
    return append_bytes(b, digits, 4);
}

bool text_layer_append_block(ByteBuffer* content, const PageImage* page, double height_pt, const OcrResult* words,
                             GlyphList* glyphs) {
    if (!page || page->dpi <= 0 || !words) return false;
    const double k = 72.0 / page->dpi;
    bool ok = append_text(content, "BT 3 Tr\n");
    for (int i = 0; i < words->count && ok; ++i) {
        const OcrWord& w = words->items[i];
        if (w.text.length <= 0 || !(w.width > 0) || !(w.height > 0)) continue;
        const double x_pt = w.x * k;
        const double w_pt = w.width * k;
        const double h_pt = w.height * k;
        const double y_pt = height_pt - ((double)w.y + w.height) * k + 0.2 * h_pt;
        const double size = 0.85 * h_pt > 1 ? 0.85 * h_pt : 1;
        // The word's width is spread over its characters: a surrogate pair is one glyph.
        int characters = w.text.length;
        for (int u = 1; u < w.text.length; ++u) {
            if (is_high_surrogate((uint16_t)w.text.data[u - 1]) && is_low_surrogate((uint16_t)w.text.data[u])) {
                --characters;
                ++u;
            }
        }
        double scaling = w_pt / (characters * 0.5 * size) * 100;
        if (scaling < 1) scaling = 1;
        if (scaling > 2000) scaling = 2000;
        uint32_t units[TEXT_LAYER_MAX_WORD];
        const int n = text_layer_visual_order(w.text.data, w.text.length, units);
        ok = append_text(content, "/F1 ") && append_real(content, size) && append_text(content, " Tf ") &&
             append_real(content, scaling) && append_text(content, " Tz 1 0 0 1 ") && append_real(content, x_pt) &&
             append_text(content, " ") && append_real(content, y_pt) && append_text(content, " Tm <");
        for (int u = 0; u < n && ok; ++u) ok = append_hex4(content, glyph_list_id(glyphs, units[u]));
        ok = ok && append_text(content, "> Tj\n");
    }
    return ok && append_text(content, "ET\n");
}

bool text_layer_to_unicode(const GlyphList* glyphs, ByteBuffer* out) {
    bool ok = append_text(out,
                          "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                          "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>> def\n"
                          "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
                          "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n");
    // A bfchar block may hold at most 100 entries.
    for (int start = 0; start < glyphs->count && ok; start += 100) {
        const int block = glyphs->count - start < 100 ? glyphs->count - start : 100;
        ok = append_int64(out, block) && append_text(out, " beginbfchar\n");
        for (int k = start; k < start + block && ok; ++k) {
            const uint32_t c = glyphs->characters[k];
            ok = append_text(out, "<") && append_hex4(out, k + 1) && append_text(out, "> <");
            if (c > 0xFFFF) {
                ok = ok && append_hex4(out, (int)(0xD800 + ((c - 0x10000) >> 10))) &&
                     append_hex4(out, (int)(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                ok = ok && append_hex4(out, (int)c);
            }
            ok = ok && append_text(out, ">\n");
        }
        ok = ok && append_text(out, "endbfchar\n");
    }
    return ok && append_text(out, "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
}

void text_layer_subset_tag(const GlyphList* glyphs, char tag[7]) {
    Md5 m;
    md5_init(&m);
    for (int k = 0; k < glyphs->count; ++k) {
        const uint32_t c = glyphs->characters[k];
        const uint8_t bytes[4] = {(uint8_t)(c >> 24), (uint8_t)(c >> 16), (uint8_t)(c >> 8), (uint8_t)c};
        md5_update(&m, bytes, 4);
    }
    uint8_t digest[16];
    md5_final(&m, digest);
    for (int i = 0; i < 6; ++i) tag[i] = (char)('A' + digest[i] % 26);
    tag[6] = 0;
}

// before + tag + "+ZanOcr" + after as dictionary object number.
static void write_font_object(PdfWriter* w, int number, const char* before, const char tag[7], const char* after) {
    ByteBuffer b = {};
    if (!(append_text(&b, before) && append_text(&b, tag) && append_text(&b, "+ZanOcr") && append_text(&b, after)))
        w->write_failed = true;
    pdf_write_dictionary_object(w, number, (const char*)b.data, b.length);
    release(&b);
}

bool text_layer_write_font_objects(PdfWriter* w, const GlyphList* glyphs) {
    ByteBuffer font = {}, packed = {}, dictionary = {}, cmap = {};
    bool ok = ocr_font_build(glyphs->count + 1, &font) && deflate_buffer(font.data, font.length, 6, &packed) &&
              append_text(&dictionary, "/Filter/FlateDecode/Length1 ") && append_int64(&dictionary, font.length) &&
              text_layer_to_unicode(glyphs, &cmap);
    if (ok) {
        pdf_write_stream_object(w, PDF_OBJECT_FONT_FILE, (const char*)dictionary.data, dictionary.length, packed.data,
                                packed.length);
        pdf_write_stream_object(w, PDF_OBJECT_TO_UNICODE, "", 0, cmap.data, cmap.length);
        char tag[7];
        text_layer_subset_tag(glyphs, tag);
        write_font_object(w, PDF_OBJECT_FONT_DESCRIPTOR, "<</Type/FontDescriptor/FontName/", tag,
                          "/Flags 4/FontBBox[0 -200 500 800]/ItalicAngle 0/Ascent 800/Descent -200/CapHeight 700"
                          "/StemV 80/FontFile2 7 0 R>>");
        write_font_object(w, PDF_OBJECT_CID_FONT, "<</Type/Font/Subtype/CIDFontType2/BaseFont/", tag,
                          "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor 6 0 R"
                          "/DW 500/CIDToGIDMap/Identity>>");
        write_font_object(w, PDF_OBJECT_TYPE0_FONT, "<</Type/Font/Subtype/Type0/BaseFont/", tag,
                          "/Encoding/Identity-H/DescendantFonts[5 0 R]/ToUnicode 8 0 R>>");
    }
    release(&font);
    release(&packed);
    release(&dictionary);
    release(&cmap);
    return ok;
}
