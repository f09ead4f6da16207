// core/text.cpp
// Portable text comparison on top of the platform's case-ignoring primitive.
#include "core/text.h"

#include "core/heap.h"
#include "core/text_platform.h"

static const wchar_t kEmpty[1] = {0};

int text_equals(const wchar_t* a, const wchar_t* b) {
    if (!a) a = kEmpty;
    if (!b) b = kEmpty;
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return (int)*a - (int)*b;
}

int compare_no_case(const wchar_t* a, const wchar_t* b) {
    return compare_units_no_case(a ? a : kEmpty, (int)text_length(a), b ? b : kEmpty,
                                 (int)text_length(b));
}

bool starts_with_no_case(const wchar_t* text, const wchar_t* prefix) {
    const int np = (int)text_length(prefix);
    if (!text) return np == 0;
    const int nt = (int)text_length(text);
    if (nt < np) return false;
    return compare_units_no_case(text, np, prefix ? prefix : kEmpty, np) == 0;
}

bool contains_no_case(const wchar_t* text, const wchar_t* part) {
    const int np = (int)text_length(part);
    if (np == 0) return true;
    const int nt = (int)text_length(text);
    if (nt < np) return false;
    for (int i = 0; i + np <= nt; ++i)
        if (compare_units_no_case(text + i, np, part, np) == 0) return true;
    return false;
}

void copy_bounded(wchar_t* dst, int count, const wchar_t* src) {
    if (count <= 0 || !dst) return;
    int i = 0;
    if (src)
        for (; i < count - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
}
