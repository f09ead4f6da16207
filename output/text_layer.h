// output/text_layer.h
// The invisible text over each page image: text operators placing every OCR word on its
// box, glyph ids numbered per document in order of first use, and the five font objects
// (Type0 font, CIDFontType2, descriptor, embedded "ZanOcr" program, ToUnicode map).
// The GlyphList belongs to the document being written; the caller releases it.
#ifndef ZAN_OUTPUT_TEXT_LAYER_H
#define ZAN_OUTPUT_TEXT_LAYER_H

#include <stdint.h>

#include "core/wide_string.h"
#include "output/ocr.h"
#include "output/pdf_writer.h"

// Font object numbers, fixed for every document that has a text layer.
const int PDF_OBJECT_TYPE0_FONT = 4;
const int PDF_OBJECT_CID_FONT = 5;
const int PDF_OBJECT_FONT_DESCRIPTOR = 6;
const int PDF_OBJECT_FONT_FILE = 7;
const int PDF_OBJECT_TO_UNICODE = 8;

const int GLYPH_LIST_MAX = 60000;
const int TEXT_LAYER_MAX_WORD = 512;   // longer words are cut here

// ---- glyph numbering: glyph id = 1-based position of the character in characters. A
// character is a Unicode code point: a UTF-16 surrogate pair is one character (one glyph),
// an unpaired surrogate unit stands for itself.
struct GlyphList {
    uint32_t* characters;
    int count;
    int capacity;
};
// The character's glyph id, appending it when new; 1 when the list is full (or out of memory).
int glyph_list_id(GlyphList* list, uint32_t character);
void glyph_list_release(GlyphList* list);

// ---- words
// The characters of the first min(length, 512) units in display order (a surrogate pair
// that the cut would split is left out): unchanged without right-to-left characters, else
// reversed with runs of Latin letters and digits turned back. Returns the number of
// characters written to out (which holds TEXT_LAYER_MAX_WORD entries).
int text_layer_visual_order(const wchar_t* text, int length, uint32_t* out);

// ---- page content
// Appends "BT 3 Tr\n", one positioned Tj per usable word and "ET\n" to content. page gives
// width, height and dpi; height_pt is the page height in points. False if content cannot
// grow or dpi <= 0.
bool text_layer_append_block(ByteBuffer* content, const PageImage* page, double height_pt, const OcrResult* words,
                             GlyphList* glyphs);

// ---- document font
// Writes objects 7, 8, 6, 5 and 4 in this order. False if the font program could not be made.
bool text_layer_write_font_objects(PdfWriter* w, const GlyphList* glyphs);
// The ToUnicode CMap text for the glyph list (appended to out). A character beyond U+FFFF
// maps to its UTF-16 surrogate pair (8 hexadecimal digits).
bool text_layer_to_unicode(const GlyphList* glyphs, ByteBuffer* out);
// The font's six-capital subset tag ("ABCDEF" in "ABCDEF+ZanOcr"), derived from the glyph
// list: documents with the same list share a font, other lists get other names, so fonts
// of several scans merged into one file never meet under one name. Writes 6 letters and a
// terminating zero.
void text_layer_subset_tag(const GlyphList* glyphs, char tag[7]);

#endif
