// core/heap_posix.cpp
// The heap on the C library for the native build. Each block carries its size in a
// header so that growth can be zero-filled as on the Windows heap.
#include "core/heap.h"

#include <stdlib.h>
#include <string.h>

namespace {
// 16 bytes keep the payload aligned for any type.
struct alignas(16) BlockHeader {
    size_t size;
};
}

void* mem_alloc(size_t size) {
    if (size == 0) size = 1;
    size_t total = 0;
    if (!size_add(size, sizeof(BlockHeader), &total)) return nullptr;
    BlockHeader* h = static_cast<BlockHeader*>(calloc(1, total));
    if (!h) return nullptr;
    h->size = size;
    return h + 1;
}

void* mem_realloc(void* block, size_t size) {
    if (!block) return mem_alloc(size);
    if (size == 0) size = 1;
    size_t total = 0;
    if (!size_add(size, sizeof(BlockHeader), &total)) return nullptr;
    BlockHeader* old = static_cast<BlockHeader*>(block) - 1;
    const size_t old_size = old->size;
    BlockHeader* h = static_cast<BlockHeader*>(realloc(old, total));
    if (!h) return nullptr;
    if (size > old_size) memset(reinterpret_cast<char*>(h + 1) + old_size, 0, size - old_size);
    h->size = size;
    return h + 1;
}

void mem_free(void* block) {
    if (block) free(static_cast<BlockHeader*>(block) - 1);
}
