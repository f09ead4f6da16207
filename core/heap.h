// core/heap.h
// The process heap and the plain memory helpers every module uses. Every block is
// zero-filled; a request for 0 bytes gets 1; freeing null is allowed. The caller that
// receives a block owns it and frees it with mem_free.
#ifndef ZAN_CORE_HEAP_H
#define ZAN_CORE_HEAP_H

#include <stddef.h>
#include <stdint.h>

// ---- allocation (may return null in a 32-bit process that ran out of address space)
void* mem_alloc(size_t size);
// count * size bytes; null when the product does not fit in size_t. zlib's allocator.
void* mem_alloc_array(size_t count, size_t size);
// Null block gives a fresh allocation. On failure returns null and leaves the old block alone.
void* mem_realloc(void* block, size_t size);
void mem_free(void* block);

// ---- plain byte and text helpers (no C library wide-character functions)
void mem_copy(void* dst, const void* src, size_t count);
void mem_fill(void* dst, int value, size_t count);
int mem_compare(const void* a, const void* b, size_t count);
size_t text8_length(const char* text);     // null counts as empty
size_t text_length(const wchar_t* text);   // UTF-16 units; null counts as empty

// ---- overflow-checked size arithmetic: false when the result would not fit
bool size_add(size_t a, size_t b, size_t* out);
bool size_mul(size_t a, size_t b, size_t* out);

#endif
