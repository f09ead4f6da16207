// core/wide_string.h
// WideString (growable UTF-16 text) and ByteBuffer (growable bytes). The record owns its
// block: copying a record copies the pointer, so exactly one owner calls release().
// Growth that fails keeps the old block and returns false; the content is then unchanged.
#ifndef ZAN_CORE_WIDE_STRING_H
#define ZAN_CORE_WIDE_STRING_H

#include <stdint.h>

struct WideString {
    wchar_t* data;  // zero-terminated when not null; null reads as ""
    int length;     // code units, terminator excluded
    int capacity;   // code units the block holds, terminator included
};

struct ByteBuffer {
    uint8_t* data;
    int length;
    int capacity;
};

// ---- WideString
// The text, never null ("" for an empty record).
const wchar_t* text_of(const WideString& s);
// Guarantees capacity > n (room for n units and the terminator).
bool reserve(WideString* s, int n);
// count < 0: up to the terminator. Null text empties the string. Text may point into s.
bool assign(WideString* s, const wchar_t* text, int count = -1);
// Null text changes nothing. Text may point into s.
bool append(WideString* s, const wchar_t* text, int count = -1);
bool append_char(WideString* s, wchar_t unit);
bool append_int(WideString* s, int value);
// Formats with the platform formatter into 1024 units (longer results are cut) and
// assigns the result to s. Never pass user, device or file text as fmt: use L"%s".
bool format(WideString* s, const wchar_t* fmt, ...);
// A new string holding a copy of text (count < 0: up to the terminator).
WideString wide_copy(const wchar_t* text, int count = -1);
void release(WideString* s);

// ---- ByteBuffer
// Guarantees capacity >= n.
bool reserve(ByteBuffer* b, int n);
// count <= 0 does nothing (and succeeds). Keeps one zero byte behind the content.
bool append_bytes(ByteBuffer* b, const void* bytes, int count);
bool append_text(ByteBuffer* b, const char* text8);
bool append_int64(ByteBuffer* b, int64_t value);
void release(ByteBuffer* b);

#endif
