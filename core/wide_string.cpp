// core/wide_string.cpp
// WideString and ByteBuffer growth. Capacities double (from 16 units and 256 bytes) so
// appends are amortised constant. Sizes are computed in 64 bits and checked against the
// int fields before any allocation, so a huge request fails instead of wrapping.
#include "core/wide_string.h"

#include <limits.h>
#include <stdarg.h>

#include "core/heap.h"
#include "core/text.h"

static const wchar_t kEmpty[1] = {0};

const wchar_t* text_of(const WideString& s) {
    return s.data ? s.data : kEmpty;
}

// Next capacity for a request of `need` slots: double the old one (or start at `first`),
// raised to `need` if still short. 0 when the result does not fit in an int.
static int64_t grown_capacity(int64_t old_capacity, int64_t need, int64_t first) {
    int64_t cap = old_capacity > 0 ? old_capacity * 2 : first;
    if (cap < need) cap = need;
    if (cap > INT_MAX) cap = need;  // doubling overshoots: take just what is needed
    if (cap > INT_MAX) return 0;
    return cap;
}

bool reserve(WideString* s, int n) {
    if (n < 0) return false;
    if (s->data && n < s->capacity) return true;
    const int64_t cap = grown_capacity(s->data ? s->capacity : 0, (int64_t)n + 1, 16);
    if (cap == 0) return false;
    size_t bytes = 0;
    if (!size_mul((size_t)cap, sizeof(wchar_t), &bytes)) return false;
    wchar_t* block = static_cast<wchar_t*>(mem_realloc(s->data, bytes));
    if (!block) return false;
    s->data = block;
    s->capacity = (int)cap;
    return true;
}

// Length of the text to take: count < 0 means up to the terminator.
static int64_t source_length(const wchar_t* text, int count) {
    return count < 0 ? (int64_t)text_length(text) : count;
}

static bool points_into(const WideString* s, const wchar_t* text) {
    return s->data && text >= s->data && text < s->data + s->capacity;
}

// Writes text[0..count) at position `at` of s and terminates. Handles text inside s.
static bool put_text(WideString* s, int at, const wchar_t* text, int64_t count) {
    if (count < 0 || (int64_t)at + count >= INT_MAX) return false;
    wchar_t* temp = nullptr;
    if (points_into(s, text)) {
        temp = static_cast<wchar_t*>(mem_alloc_array((size_t)count + 1, sizeof(wchar_t)));
        if (!temp) return false;
        mem_copy(temp, text, (size_t)count * sizeof(wchar_t));
        text = temp;
    }
    const bool ok = reserve(s, at + (int)count);
    if (ok) {
        mem_copy(s->data + at, text, (size_t)count * sizeof(wchar_t));
        s->length = at + (int)count;
        s->data[s->length] = 0;
    }
    mem_free(temp);
    return ok;
}

bool assign(WideString* s, const wchar_t* text, int count) {
    if (!text) {
        s->length = 0;
        if (s->data) s->data[0] = 0;
        return true;
    }
    return put_text(s, 0, text, source_length(text, count));
}

bool append(WideString* s, const wchar_t* text, int count) {
    if (!text) return true;
    return put_text(s, s->length, text, source_length(text, count));
}

bool append_char(WideString* s, wchar_t unit) {
    return put_text(s, s->length, &unit, 1);
}

bool append_int(WideString* s, int value) {
    WideString digits = {};
    const bool ok = format(&digits, L"%d", value) && append(s, text_of(digits), digits.length);
    release(&digits);
    return ok;
}

bool format(WideString* s, const wchar_t* fmt, ...) {
    wchar_t buffer[FORMAT_LIMIT];
    va_list args;
    va_start(args, fmt);
    const int n = text_vformat(buffer, FORMAT_LIMIT, fmt ? fmt : kEmpty, args);
    va_end(args);
    return assign(s, buffer, n);
}

WideString wide_copy(const wchar_t* text, int count) {
    WideString s = {};
    assign(&s, text ? text : kEmpty, text ? count : 0);
    return s;
}

void release(WideString* s) {
    mem_free(s->data);
    s->data = nullptr;
    s->length = 0;
    s->capacity = 0;
}

bool reserve(ByteBuffer* b, int n) {
    if (n < 0) return false;
    if (b->data && n <= b->capacity) return true;
    const int64_t cap = grown_capacity(b->data ? b->capacity : 0, n, 256);
    if (cap == 0) return false;
    uint8_t* block = static_cast<uint8_t*>(mem_realloc(b->data, (size_t)cap));
    if (!block) return false;
    b->data = block;
    b->capacity = (int)cap;
    return true;
}

bool append_bytes(ByteBuffer* b, const void* bytes, int count) {
    if (count <= 0) return true;
    const int64_t need = (int64_t)b->length + count + 1;
    if (need > INT_MAX) return false;
    const uint8_t* src = static_cast<const uint8_t*>(bytes);
    // Appending a part of the buffer to itself: keep the offset across reallocation.
    const bool inside = b->data && src >= b->data && src < b->data + b->capacity;
    const size_t offset = inside ? (size_t)(src - b->data) : 0;
    if (!reserve(b, (int)need)) return false;
    if (inside) src = b->data + offset;
    mem_copy(b->data + b->length, src, (size_t)count);
    b->length += count;
    b->data[b->length] = 0;
    return true;
}

bool append_text(ByteBuffer* b, const char* text8) {
    return append_bytes(b, text8, (int)text8_length(text8));
}

bool append_int64(ByteBuffer* b, int64_t value) {
    char digits[24];
    int n = 0;
    // Work on the magnitude as unsigned so INT64_MIN has no overflow.
    uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[n++] = '-';
    char out[24];
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    return append_bytes(b, out, n);
}

void release(ByteBuffer* b) {
    mem_free(b->data);
    b->data = nullptr;
    b->length = 0;
    b->capacity = 0;
}
