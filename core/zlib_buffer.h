// core/zlib_buffer.h
// One-shot zlib-format compression and bounded decompression into ByteBuffers. The
// process heap is zlib's allocator.
#ifndef ZAN_CORE_ZLIB_BUFFER_H
#define ZAN_CORE_ZLIB_BUFFER_H

#include "core/wide_string.h"

// Appends the compressed form of the bytes to out. True only if the stream ended.
bool deflate_buffer(const void* bytes, int count, int level, ByteBuffer* out);

// Appends the decompressed bytes to out. True on stream end, and also when the input
// stopped early but some output was produced (a truncated stream). False on any other
// error, and when the output would grow beyond max_output bytes (a decompression bomb);
// out then holds what was produced up to the limit.
bool inflate_buffer(const void* bytes, int count, ByteBuffer* out, int max_output);

#endif
