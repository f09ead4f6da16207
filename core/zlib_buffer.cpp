// core/zlib_buffer.cpp
// zlib-format compression wrappers (not raw deflate, not gzip).
#include "core/zlib_buffer.h"

#include <zlib.h>

#include "core/heap.h"

static voidpf zlib_alloc(voidpf, uInt items, uInt size) {
    return mem_alloc_array(items, size);
}

static void zlib_free(voidpf, voidpf block) {
    mem_free(block);
}

bool deflate_buffer(const void* bytes, int count, int level, ByteBuffer* out) {
    if (count < 0) return false;
    z_stream z = {};
    z.zalloc = zlib_alloc;
    z.zfree = zlib_free;
    if (deflateInit(&z, level) != Z_OK) return false;
    const int64_t bound = (int64_t)deflateBound(&z, (uLong)count) + 16;
    const int64_t need = out->length + bound;
    if (need > 0x7ffffffe || !reserve(out, (int)need + 1)) {
        deflateEnd(&z);
        return false;
    }
    z.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
    z.avail_in = (uInt)count;
    z.next_out = out->data + out->length;
    z.avail_out = (uInt)bound;
    const int rc = deflate(&z, Z_FINISH);
    if (rc == Z_STREAM_END) {
        out->length += (int)z.total_out;
        out->data[out->length] = 0;
    }
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

bool inflate_buffer(const void* bytes, int count, ByteBuffer* out, int max_output) {
    if (count < 0 || max_output < 0) return false;
    z_stream z = {};
    z.zalloc = zlib_alloc;
    z.zfree = zlib_free;
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
    z.avail_in = (uInt)count;
    const int start = out->length;
    const int step = 65537;
    bool ok = false;
    for (;;) {
        const int produced = out->length - start;
        if (produced >= max_output) {
            // Room is used up: the stream must end (or stop) exactly here, or it is
            // larger than the caller allows.
            uint8_t probe = 0;
            z.next_out = &probe;
            z.avail_out = 1;
            const int rc = inflate(&z, Z_NO_FLUSH);
            ok = z.avail_out == 1 && (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && produced > 0));
            break;
        }
        int room = step;
        if (room > max_output - produced) room = max_output - produced;
        if ((int64_t)out->length + room + 1 > 0x7fffffff || !reserve(out, out->length + room + 1)) break;
        z.next_out = out->data + out->length;
        z.avail_out = (uInt)room;
        const int rc = inflate(&z, Z_NO_FLUSH);
        out->length += room - (int)z.avail_out;
        out->data[out->length] = 0;
        if (rc == Z_STREAM_END) {
            ok = true;
            break;
        }
        if (rc == Z_BUF_ERROR) {
            // No progress possible: the input stopped early. Keep what was produced.
            ok = out->length > start;
            break;
        }
        if (rc != Z_OK) break;
        if (z.avail_in == 0 && z.avail_out > 0) {
            ok = out->length > start;  // input ended inside the stream
            break;
        }
    }
    inflateEnd(&z);
    return ok;
}
