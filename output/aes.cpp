// output/aes.cpp
// Byte-oriented AES-128 after FIPS 197: key expansion, then SubBytes, ShiftRows,
// MixColumns and AddRoundKey on a column-major 4x4 state, ten rounds.
#include "output/aes.h"

#include "core/heap.h"

static const uint8_t kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16};

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
static uint8_t times_two(uint8_t b) {
    return (uint8_t)((b << 1) ^ ((b & 0x80) ? 0x1b : 0));
}

void aes128_init(Aes128* a, const uint8_t key[16]) {
    mem_copy(a->round_keys, key, 16);
    uint8_t rcon = 1;
    for (int i = 16; i < 176; i += 4) {
        uint8_t t[4] = {a->round_keys[i - 4], a->round_keys[i - 3], a->round_keys[i - 2], a->round_keys[i - 1]};
        if (i % 16 == 0) {
            // RotWord, SubWord and the round constant.
            const uint8_t first = t[0];
            t[0] = (uint8_t)(kSbox[t[1]] ^ rcon);
            t[1] = kSbox[t[2]];
            t[2] = kSbox[t[3]];
            t[3] = kSbox[first];
            rcon = times_two(rcon);
        }
        for (int k = 0; k < 4; ++k) a->round_keys[i + k] = (uint8_t)(a->round_keys[i - 16 + k] ^ t[k]);
    }
}

static void add_round_key(uint8_t s[16], const uint8_t* key) {
    for (int k = 0; k < 16; ++k) s[k] ^= key[k];
}

// SubBytes and ShiftRows together: byte (row r, column c) comes from column c + r.
static void sub_shift(uint8_t s[16]) {
    uint8_t t[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) t[4 * c + r] = kSbox[s[4 * ((c + r) % 4) + r]];
    mem_copy(s, t, 16);
}

static void mix_columns(uint8_t s[16]) {
    for (int c = 0; c < 4; ++c) {
        uint8_t* col = s + 4 * c;
        const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        const uint8_t all = (uint8_t)(a0 ^ a1 ^ a2 ^ a3);
        col[0] = (uint8_t)(a0 ^ all ^ times_two((uint8_t)(a0 ^ a1)));
        col[1] = (uint8_t)(a1 ^ all ^ times_two((uint8_t)(a1 ^ a2)));
        col[2] = (uint8_t)(a2 ^ all ^ times_two((uint8_t)(a2 ^ a3)));
        col[3] = (uint8_t)(a3 ^ all ^ times_two((uint8_t)(a3 ^ a0)));
    }
}

void aes128_encrypt_block(const Aes128* a, const uint8_t in[16], uint8_t out[16]) {
    uint8_t s[16];
    mem_copy(s, in, 16);
    add_round_key(s, a->round_keys);
    for (int round = 1; round < 10; ++round) {
        sub_shift(s);
        mix_columns(s);
        add_round_key(s, a->round_keys + 16 * round);
    }
    sub_shift(s);
    add_round_key(s, a->round_keys + 160);
    mem_copy(out, s, 16);
}

bool aes128_cbc_encrypt(const uint8_t key[16], const uint8_t iv[16], const void* data, int count,
                        ByteBuffer* out) {
    if (count < 0 || (count > 0 && !data) || count > 0x7FFFFFFF - 64 - out->length) return false;
    const int blocks = count / 16 + 1;
    if (!reserve(out, out->length + 16 + 16 * blocks)) return false;
    Aes128 a;
    aes128_init(&a, key);
    append_bytes(out, iv, 16);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint8_t chain[16];
    mem_copy(chain, iv, 16);
    for (int b = 0; b < blocks; ++b) {
        uint8_t block[16];
        const int have = count - 16 * b;
        if (have >= 16) {
            mem_copy(block, p + 16 * b, 16);
        } else {
            // The last block: what is left of the data, then 16 - have bytes of value 16 - have.
            if (have > 0) mem_copy(block, p + 16 * b, (size_t)have);
            mem_fill(block + have, 16 - have, (size_t)(16 - have));
        }
        for (int k = 0; k < 16; ++k) block[k] ^= chain[k];
        aes128_encrypt_block(&a, block, chain);
        append_bytes(out, chain, 16);
    }
    return true;
}
