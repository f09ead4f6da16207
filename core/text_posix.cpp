// core/text_posix.cpp
// Text services for the native build: simple case folding, UTF-8 conversion and a
// formatter with the conversions of wvsprintfW. wchar_t is 16 bits here (-fshort-wchar),
// so the C library's wide-character functions are never called.
#include "core/text.h"

#include "core/heap.h"
#include "core/text_platform.h"

// Lower case for the scripts office users type names in; other units compare as they are.
static unsigned fold_case(unsigned c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x100 && c <= 0x17F && (c % 2) == 0 && c != 0x130 && c != 0x138) return c + 1;
    return c;
}

int compare_units_no_case(const wchar_t* a, int na, const wchar_t* b, int nb) {
    const int n = na < nb ? na : nb;
    for (int i = 0; i < n; ++i) {
        const unsigned x = fold_case((unsigned)(uint16_t)a[i]);
        const unsigned y = fold_case((unsigned)(uint16_t)b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

// Decodes one UTF-8 sequence at s[*i]; malformed input gives U+FFFD and skips one byte.
static unsigned decode_utf8(const unsigned char* s, int count, int* i) {
    const unsigned c = s[*i];
    if (c < 0x80) {
        ++*i;
        return c;
    }
    const int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xC2 && c <= 0xDF ? 1 : 0;
    if (extra == 0 || *i + extra >= count) {
        ++*i;
        return 0xFFFD;
    }
    unsigned cp = c & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((s[*i + k] & 0xC0) != 0x80) {
            ++*i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (s[*i + k] & 0x3Fu);
    }
    const unsigned minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++*i;
        return 0xFFFD;
    }
    *i += extra + 1;
    return cp;
}

WideString multibyte_to_wide(const char* bytes, int count, unsigned code_page) {
    WideString s = {};
    if (!bytes) return s;
    if (count < 0) count = (int)text8_length(bytes);
    if (count == 0 || !reserve(&s, count)) return s;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes);
    int i = 0;
    while (i < count) {
        if (code_page != CODE_PAGE_UTF8) {
            append_char(&s, (wchar_t)u[i++]);  // the ANSI page taken as Latin-1 here
            continue;
        }
        const unsigned cp = decode_utf8(u, count, &i);
        if (cp >= 0x10000) {
            append_char(&s, (wchar_t)(0xD800 + ((cp - 0x10000) >> 10)));
            append_char(&s, (wchar_t)(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            append_char(&s, (wchar_t)cp);
        }
    }
    return s;
}

bool append_utf8(ByteBuffer* buffer, const wchar_t* text) {
    const int units = (int)text_length(text);
    for (int i = 0; i < units; ++i) {
        unsigned cp = (uint16_t)text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && (uint16_t)text[i + 1] >= 0xDC00 &&
            (uint16_t)text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + ((uint16_t)text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate, as Windows converts it
        }
        unsigned char out[4];
        int n = 0;
        if (cp < 0x80) {
            out[n++] = (unsigned char)cp;
        } else if (cp < 0x800) {
            out[n++] = (unsigned char)(0xC0 | (cp >> 6));
            out[n++] = (unsigned char)(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out[n++] = (unsigned char)(0xE0 | (cp >> 12));
            out[n++] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
            out[n++] = (unsigned char)(0x80 | (cp & 0x3F));
        } else {
            out[n++] = (unsigned char)(0xF0 | (cp >> 18));
            out[n++] = (unsigned char)(0x80 | ((cp >> 12) & 0x3F));
            out[n++] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
            out[n++] = (unsigned char)(0x80 | (cp & 0x3F));
        }
        if (!append_bytes(buffer, out, n)) return false;
    }
    return true;
}

namespace {
struct FormatOut {
    wchar_t* out;
    int capacity;
    int length;
};
}

static void put_unit(FormatOut* f, wchar_t c) {
    if (f->length < f->capacity - 1) f->out[f->length++] = c;
}

static void put_field(FormatOut* f, const wchar_t* body, int n, int width, bool left, wchar_t pad) {
    if (!left)
        for (int i = n; i < width; ++i) put_unit(f, pad);
    for (int i = 0; i < n; ++i) put_unit(f, body[i]);
    if (left)
        for (int i = n; i < width; ++i) put_unit(f, L' ');
}

int text_vformat(wchar_t* out, int capacity, const wchar_t* fmt, va_list args) {
    if (capacity <= 0) return 0;
    FormatOut f = {out, capacity, 0};
    for (const wchar_t* p = fmt; *p; ++p) {
        if (*p != L'%') {
            put_unit(&f, *p);
            continue;
        }
        ++p;
        bool left = false, zero = false, alt = false;
        for (;; ++p) {
            if (*p == L'-') left = true;
            else if (*p == L'0') zero = true;
            else if (*p == L'#') alt = true;
            else break;
        }
        int width = 0;
        while (*p >= L'0' && *p <= L'9') width = width * 10 + (*p++ - L'0');
        int precision = -1;
        if (*p == L'.') {
            precision = 0;
            ++p;
            while (*p >= L'0' && *p <= L'9') precision = precision * 10 + (*p++ - L'0');
        }
        bool wide_arg = false, narrow_arg = false;
        if (*p == L'l') {
            wide_arg = true;
            ++p;
        } else if (*p == L'h') {
            narrow_arg = true;
            ++p;
        }
        wchar_t body[40];
        int n = 0;
        const wchar_t conversion = *p;
        if (conversion == 0) break;
        switch (conversion) {
        case L'%':
            put_unit(&f, L'%');
            break;
        case L'c':
        case L'C': {
            body[0] = (wchar_t)va_arg(args, int);
            put_field(&f, body, 1, width, left, L' ');
            break;
        }
        case L's':
        case L'S': {
            const bool eight = narrow_arg || (conversion == L'S' && !wide_arg);
            const void* arg = va_arg(args, const void*);
            if (eight) {
                const char* s = arg ? static_cast<const char*>(arg) : "(null)";
                int len = (int)text8_length(s);
                if (precision >= 0 && len > precision) len = precision;
                if (!left)
                    for (int i = len; i < width; ++i) put_unit(&f, L' ');
                for (int i = 0; i < len; ++i) put_unit(&f, (wchar_t)(unsigned char)s[i]);
                if (left)
                    for (int i = len; i < width; ++i) put_unit(&f, L' ');
            } else {
                const wchar_t* s = arg ? static_cast<const wchar_t*>(arg) : L"(null)";
                int len = (int)text_length(s);
                if (precision >= 0 && len > precision) len = precision;
                put_field(&f, s, len, width, left, L' ');
            }
            break;
        }
        case L'd':
        case L'i':
        case L'u':
        case L'x':
        case L'X': {
            const int raw = va_arg(args, int);
            const bool is_signed = conversion == L'd' || conversion == L'i';
            const bool negative = is_signed && raw < 0;
            unsigned value = negative ? 0u - (unsigned)raw : (unsigned)raw;
            const unsigned base = (conversion == L'x' || conversion == L'X') ? 16 : 10;
            const wchar_t* digits = conversion == L'X' ? L"0123456789ABCDEF" : L"0123456789abcdef";
            wchar_t rev[16];
            int nd = 0;
            do {
                rev[nd++] = digits[value % base];
                value /= base;
            } while (value);
            while (nd < precision && nd < 16) rev[nd++] = L'0';
            if (negative) body[n++] = L'-';
            if (alt && base == 16 && raw != 0) {
                body[n++] = L'0';
                body[n++] = conversion;
            }
            if (zero && !left && precision < 0)
                for (int i = n + nd; i < width && n < 32 - nd; ++i) body[n++] = L'0';
            for (int i = nd - 1; i >= 0; --i) body[n++] = rev[i];
            put_field(&f, body, n, width, left, L' ');
            break;
        }
        default:
            put_unit(&f, conversion);  // unknown conversion: the character itself, as wvsprintfW
            break;
        }
    }
    f.out[f.length] = 0;
    return f.length;
}
