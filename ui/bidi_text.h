// ui/bidi_text.h
// Left-to-right values (paths, phone numbers, device names with their kind) joined into
// right-to-left Arabic lines: without help the bidirectional algorithm reorders their
// parts (a path's folders, a phone number's digit groups, a closing parenthesis at the
// line's end). These helpers add the Unicode direction controls that keep each value in
// the order it was typed, in Arabic only; English text is returned unchanged.
#ifndef ZAN_UI_BIDI_TEXT_H
#define ZAN_UI_BIDI_TEXT_H

#include "core/wide_string.h"

const wchar_t BIDI_LRE = 0x202A;   // left-to-right embedding
const wchar_t BIDI_PDF = 0x202C;   // pop directional formatting
const wchar_t BIDI_LRM = 0x200E;   // left-to-right mark

// Appends value to out, embedded left to right in Arabic (LRE value PDF).
bool bidi_append_ltr(WideString* out, const wchar_t* value, int language);
// Appends line to out with a left-to-right mark before every '(' and after every ')' in
// Arabic, so "Name  (TWAIN)" keeps both parentheses around the kind whatever follows.
bool bidi_append_marked_parentheses(WideString* out, const wchar_t* line, int language);

#endif
