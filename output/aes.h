// output/aes.h
// AES-128 encryption (FIPS 197) and the CBC mode with PKCS#5 padding that the PDF AESV2
// crypt filter uses. Only encryption: the program writes protected files, it never reads them.
#ifndef ZAN_OUTPUT_AES_H
#define ZAN_OUTPUT_AES_H

#include <stdint.h>

#include "core/wide_string.h"

struct Aes128 {
    uint8_t round_keys[176];   // 11 round keys of 16 bytes
};

void aes128_init(Aes128* a, const uint8_t key[16]);
// Encrypts one 16-byte block; out may equal in.
void aes128_encrypt_block(const Aes128* a, const uint8_t in[16], uint8_t out[16]);

// Appends iv, then the CBC encryption of data padded with k bytes of value k (1..16) to a
// multiple of 16: 16 + 16 * (count / 16 + 1) bytes in all. False if out cannot grow.
bool aes128_cbc_encrypt(const uint8_t key[16], const uint8_t iv[16], const void* data, int count,
                        ByteBuffer* out);

#endif
