// core/heap_win32.cpp
// The heap on the Windows process heap (HEAP_ZERO_MEMORY gives zero-filled blocks and
// zero-filled growth).
#include "core/heap.h"

#include <windows.h>

void* mem_alloc(size_t size) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
}

void* mem_realloc(void* block, size_t size) {
    if (!block) return mem_alloc(size);
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size ? size : 1);
}

void mem_free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}
