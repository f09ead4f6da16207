// output/rc4.cpp
// Key scheduling and output generation of the RC4 keystream.
#include "output/rc4.h"

void rc4_init(Rc4* r, const uint8_t* key, int key_length) {
    for (int k = 0; k < 256; ++k) r->s[k] = (uint8_t)k;
    r->i = 0;
    r->j = 0;
    if (!key || key_length <= 0) return;
    uint8_t j = 0;
    for (int k = 0; k < 256; ++k) {
        j = (uint8_t)(j + r->s[k] + key[k % key_length]);
        const uint8_t t = r->s[k];
        r->s[k] = r->s[j];
        r->s[j] = t;
    }
}

void rc4_apply(Rc4* r, const uint8_t* in, uint8_t* out, int count) {
    for (int k = 0; k < count; ++k) {
        r->i = (uint8_t)(r->i + 1);
        r->j = (uint8_t)(r->j + r->s[r->i]);
        const uint8_t t = r->s[r->i];
        r->s[r->i] = r->s[r->j];
        r->s[r->j] = t;
        out[k] = in[k] ^ r->s[(uint8_t)(r->s[r->i] + r->s[r->j])];
    }
}

void rc4_crypt(const uint8_t* key, int key_length, const uint8_t* in, uint8_t* out, int count) {
    Rc4 r;
    rc4_init(&r, key, key_length);
    rc4_apply(&r, in, out, count);
}
