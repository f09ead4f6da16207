// output/ocr_font.h
// The TrueType font program "ZanOcr" embedded for the invisible text layer: every glyph is
// empty and 500 units wide and there is no character map; readers get the text back
// through the ToUnicode map. The caller owns the returned bytes.
#ifndef ZAN_OUTPUT_OCR_FONT_H
#define ZAN_OUTPUT_OCR_FONT_H

#include "core/wide_string.h"

// Appends a font with glyph_count glyphs (glyph 0 is .notdef), 1 .. 65535. False when
// glyph_count is out of range or out cannot grow.
bool ocr_font_build(int glyph_count, ByteBuffer* out);

#endif
