// output/md5.h
// MD5 message digest (RFC 1321), used by the PDF standard security handler to derive keys.
// The caller owns the Md5 record; md5_final writes the 16-byte digest.
#ifndef ZAN_OUTPUT_MD5_H
#define ZAN_OUTPUT_MD5_H

#include <stdint.h>

struct Md5 {
    uint32_t state[4];
    uint64_t total;       // bytes fed so far
    uint8_t block[64];    // pending bytes of the current block
};

void md5_init(Md5* m);
void md5_update(Md5* m, const void* bytes, int count);
void md5_final(Md5* m, uint8_t digest[16]);
// Digest of one byte range.
void md5_digest(const void* bytes, int count, uint8_t digest[16]);

#endif
