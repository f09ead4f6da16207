// core/text.h
// Comparison and conversion of zero-terminated UTF-16 text, and the platform formatter.
// Options, keys and identities compare exactly; names typed by users compare ignoring
// case with the invariant locale.
#ifndef ZAN_CORE_TEXT_H
#define ZAN_CORE_TEXT_H

#include <stdarg.h>

#include "core/wide_string.h"

// Code pages understood by multibyte_to_wide (the Windows values).
const unsigned CODE_PAGE_ANSI = 0;
const unsigned CODE_PAGE_UTF8 = 65001;

// ---- comparison (null counts as empty)
// Exact; the difference of the first differing units, 0 when equal.
int text_equals(const wchar_t* a, const wchar_t* b);
// Invariant, case-ignoring comparison of whole strings: -1, 0 or 1.
int compare_no_case(const wchar_t* a, const wchar_t* b);
bool starts_with_no_case(const wchar_t* text, const wchar_t* prefix);
bool contains_no_case(const wchar_t* text, const wchar_t* part);
// Copies at most count - 1 units and terminates; count <= 0 leaves dst untouched.
void copy_bounded(wchar_t* dst, int count, const wchar_t* src);

// ---- conversion
// count < 0: up to the terminating zero. Null or empty input gives an empty string.
WideString multibyte_to_wide(const char* bytes, int count, unsigned code_page);
// Appends the UTF-8 form of text (no terminator, no byte-order mark).
bool append_utf8(ByteBuffer* buffer, const wchar_t* text);

// ---- formatting
// The platform's printf-like formatter (wvsprintfW on Windows): %s is UTF-16 text,
// %S 8-bit text, %c, %d, %i, %u, %x, %X with flags '-', '0', '#', width and precision.
// Writes at most capacity - 1 units and always terminates; returns the units written.
const int FORMAT_LIMIT = 1024;
int text_vformat(wchar_t* out, int capacity, const wchar_t* fmt, va_list args);

#endif
