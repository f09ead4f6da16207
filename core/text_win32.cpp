// core/text_win32.cpp
// Text services of Windows: invariant comparison, code-page conversion, wvsprintfW.
#include "core/text.h"

#include <windows.h>

#include "core/heap.h"
#include "core/text_platform.h"

int compare_units_no_case(const wchar_t* a, int na, const wchar_t* b, int nb) {
    // CompareStringW rejects a zero length only when it is -1-terminated text; an empty
    // span compares as empty.
    if (na == 0 || nb == 0) return na == nb ? 0 : (na == 0 ? -1 : 1);
    const int r = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a, na, b, nb);
    if (r == CSTR_LESS_THAN) return -1;
    if (r == CSTR_GREATER_THAN) return 1;
    if (r == CSTR_EQUAL) return 0;
    // The comparison failed: that is no proof of equality (a preset would replace another
    // one), so only identical units count as equal.
    if (!a || !b) return a == b && na == nb ? 0 : (a ? 1 : -1);
    const int n = na < nb ? na : nb;
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i]) return (uint16_t)a[i] < (uint16_t)b[i] ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

WideString multibyte_to_wide(const char* bytes, int count, unsigned code_page) {
    WideString s = {};
    if (!bytes) return s;
    if (count < 0) count = (int)text8_length(bytes);
    if (count == 0) return s;
    const int n = MultiByteToWideChar(code_page, 0, bytes, count, nullptr, 0);
    if (n <= 0 || !reserve(&s, n)) return s;
    MultiByteToWideChar(code_page, 0, bytes, count, s.data, n);
    s.length = n;
    s.data[n] = 0;
    return s;
}

bool append_utf8(ByteBuffer* buffer, const wchar_t* text) {
    const int units = (int)text_length(text);
    if (units == 0) return true;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    const int64_t need = (int64_t)buffer->length + n + 1;
    if (need > 0x7fffffff || !reserve(buffer, (int)need)) return false;
    WideCharToMultiByte(CP_UTF8, 0, text, units, reinterpret_cast<char*>(buffer->data + buffer->length),
                        n, nullptr, nullptr);
    buffer->length += n;
    buffer->data[buffer->length] = 0;
    return true;
}

int text_vformat(wchar_t* out, int capacity, const wchar_t* fmt, va_list args) {
    if (capacity <= 0) return 0;
    // wvsprintfW writes at most 1024 units; give it a full-size buffer and copy the cut.
    wchar_t buffer[1025];
    int n = wvsprintfW(buffer, fmt, args);
    if (n < 0) n = 0;
    if (n > 1024) n = 1024;
    if (n > capacity - 1) n = capacity - 1;
    mem_copy(out, buffer, (size_t)n * sizeof(wchar_t));
    out[n] = 0;
    return n;
}
