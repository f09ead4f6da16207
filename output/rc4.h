// output/rc4.h
// The RC4 keystream cipher, as the PDF standard security handler (revisions 2 and 3) uses
// it. Encryption and decryption are the same operation; data may be transformed in place.
#ifndef ZAN_OUTPUT_RC4_H
#define ZAN_OUTPUT_RC4_H

#include <stdint.h>

struct Rc4 {
    uint8_t s[256];
    uint8_t i, j;
};

void rc4_init(Rc4* r, const uint8_t* key, int key_length);
// out may equal in.
void rc4_apply(Rc4* r, const uint8_t* in, uint8_t* out, int count);
// One-shot: a fresh keystream for key over count bytes.
void rc4_crypt(const uint8_t* key, int key_length, const uint8_t* in, uint8_t* out, int count);

#endif
