// output/text_layer.cpp
// Each word is drawn in rendering mode 3 (invisible) with a font size from the box height
// and a horizontal scaling that stretches its empty 500-unit glyphs over the box width,
// so selection and search in a viewer land where the word is on the image.
#include "output/text_layer.h"

#include "core/heap.h"
#include "core/zlib_buffer.h"
#include "output/ocr_font.h"

int glyph_list_id(GlyphList* list, uint16_t unit) {
    for (int k = 0; k < list->count; ++k)
        if (list->units[k] == unit) return k + 1;
    if (list->count >= GLYPH_LIST_MAX) return 1;
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : 64;
        uint16_t* grown = static_cast<uint16_t*>(mem_realloc(list->units, sizeof(uint16_t) * (size_t)capacity));
        if (!grown) return 1;
        list->units = grown;
        list->capacity = capacity;
    }
    list->units[list->count++] = unit;
    return list->count;
}

void glyph_list_release(GlyphList* list) {
    mem_free(list->units);
    *list = GlyphList{};
}

static bool is_right_to_left(uint16_t u) {
    return (u >= 0x0590 && u <= 0x08FF) || (u >= 0xFB1D && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF);
}

static bool is_left_to_right(uint16_t u) {
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || (u >= 0x00C0 && u <= 0x024F);
}

static void reverse(uint16_t* units, int from, int to) {
    for (--to; from < to; ++from, --to) {
        const uint16_t t = units[from];
        units[from] = units[to];
        units[to] = t;
    }
}

int text_layer_visual_order(const wchar_t* text, int length, uint16_t* out) {
    if (!text || length <= 0) return 0;
    const int n = length < TEXT_LAYER_MAX_WORD ? length : TEXT_LAYER_MAX_WORD;
    bool right_to_left = false;
    for (int k = 0; k < n; ++k) {
        out[k] = (uint16_t)text[k];
        right_to_left = right_to_left || is_right_to_left(out[k]);
    }
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
        double scaling = w_pt / (w.text.length * 0.5 * size) * 100;
        if (scaling < 1) scaling = 1;
        if (scaling > 2000) scaling = 2000;
        uint16_t units[TEXT_LAYER_MAX_WORD];
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
            ok = append_text(out, "<") && append_hex4(out, k + 1) && append_text(out, "> <") &&
                 append_hex4(out, glyphs->units[k]) && append_text(out, ">\n");
        }
        ok = ok && append_text(out, "endbfchar\n");
    }
    return ok && append_text(out, "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
}

static void write_text_object(PdfWriter* w, int number, const char* text) {
    pdf_write_dictionary_object(w, number, text, (int)text8_length(text));
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
        write_text_object(w, PDF_OBJECT_FONT_DESCRIPTOR,
                          "<</Type/FontDescriptor/FontName/AAAAAA+ZanOcr/Flags 4/FontBBox[0 -200 500 800]"
                          "/ItalicAngle 0/Ascent 800/Descent -200/CapHeight 700/StemV 80/FontFile2 7 0 R>>");
        write_text_object(w, PDF_OBJECT_CID_FONT,
                          "<</Type/Font/Subtype/CIDFontType2/BaseFont/AAAAAA+ZanOcr/CIDSystemInfo<</Registry(Adobe)"
                          "/Ordering(Identity)/Supplement 0>>/FontDescriptor 6 0 R/DW 500/CIDToGIDMap/Identity>>");
        write_text_object(w, PDF_OBJECT_TYPE0_FONT,
                          "<</Type/Font/Subtype/Type0/BaseFont/AAAAAA+ZanOcr/Encoding/Identity-H/DescendantFonts"
                          "[5 0 R]/ToUnicode 8 0 R>>");
    }
    release(&font);
    release(&packed);
    release(&dictionary);
    release(&cmap);
    return ok;
}
