// core/heap.cpp
// Portable half of the heap module: byte helpers and checked size arithmetic.
#include "core/heap.h"

#include <string.h>

void* mem_alloc_array(size_t count, size_t size) {
    size_t total = 0;
    if (!size_mul(count, size, &total)) return nullptr;
    return mem_alloc(total);
}

void mem_copy(void* dst, const void* src, size_t count) {
    if (count) memmove(dst, src, count);
}

void mem_fill(void* dst, int value, size_t count) {
    if (count) memset(dst, value, count);
}

int mem_compare(const void* a, const void* b, size_t count) {
    return count ? memcmp(a, b, count) : 0;
}

size_t text8_length(const char* text) {
    return text ? strlen(text) : 0;
}

size_t text_length(const wchar_t* text) {
    size_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

bool size_add(size_t a, size_t b, size_t* out) {
    if (a > (size_t)-1 - b) return false;
    *out = a + b;
    return true;
}

bool size_mul(size_t a, size_t b, size_t* out) {
    if (a != 0 && b > (size_t)-1 / a) return false;
    *out = a * b;
    return true;
}
