// output/md5.cpp
// Straight from RFC 1321: 64-byte blocks, four rounds of sixteen steps, little-endian words.
#include "output/md5.h"

#include "core/heap.h"

static const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

static const int kShift[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

static uint32_t rotate_left(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

static void md5_block(uint32_t state[4], const uint8_t* p) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = (uint32_t)p[4 * i] | ((uint32_t)p[4 * i + 1] << 8) | ((uint32_t)p[4 * i + 2] << 16) |
               ((uint32_t)p[4 * i + 3] << 24);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        const int round = i / 16;
        if (round == 0) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (round == 1) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (round == 2) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = b + rotate_left(a + f + kSine[i] + x[g], kShift[round * 4 + i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void md5_init(Md5* m) {
    *m = Md5{};
    m->state[0] = 0x67452301;
    m->state[1] = 0xefcdab89;
    m->state[2] = 0x98badcfe;
    m->state[3] = 0x10325476;
}

void md5_update(Md5* m, const void* bytes, int count) {
    if (!bytes || count <= 0) return;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    int pending = (int)(m->total % 64);
    m->total += (uint64_t)count;
    while (count > 0) {
        int take = 64 - pending;
        if (take > count) take = count;
        mem_copy(m->block + pending, p, (size_t)take);
        pending += take;
        p += take;
        count -= take;
        if (pending == 64) {
            md5_block(m->state, m->block);
            pending = 0;
        }
    }
}

void md5_final(Md5* m, uint8_t digest[16]) {
    const uint64_t bits = m->total * 8;
    const uint8_t one = 0x80;
    md5_update(m, &one, 1);
    const uint8_t zero[64] = {};
    const int pending = (int)(m->total % 64);
    md5_update(m, zero, pending <= 56 ? 56 - pending : 120 - pending);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = (uint8_t)(bits >> (8 * i));
    md5_update(m, length, 8);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = (uint8_t)(m->state[i] >> (8 * j));
}

void md5_digest(const void* bytes, int count, uint8_t digest[16]) {
    Md5 m;
    md5_init(&m);
    md5_update(&m, bytes, count);
    md5_final(&m, digest);
}
