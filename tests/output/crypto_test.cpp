// tests/output/crypto_test.cpp
// MD5, RC4 and AES-128 against their published test vectors.
#include <gtest/gtest.h>

#include <string>

#include "output/aes.h"
#include "output/md5.h"
#include "output/rc4.h"

static std::string hex(const uint8_t* p, size_t n) {
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    for (size_t k = 0; k < n; ++k) {
        s += kHex[p[k] >> 4];
        s += kHex[p[k] & 15];
    }
    return s;
}

static std::string md5_of(const std::string& text) {
    uint8_t d[16];
    md5_digest(text.data(), (int)text.size(), d);
    return hex(d, 16);
}

TEST(Md5, Rfc1321Suite) {
    EXPECT_EQ(md5_of(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_of("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5_of("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5_of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5_of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5_of("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecewiseUpdatesEqualOneShot) {
    const std::string text(1000, 'x');
    Md5 m;
    md5_init(&m);
    for (size_t k = 0; k < text.size(); k += 7) md5_update(&m, text.data() + k, (int)std::min<size_t>(7, text.size() - k));
    uint8_t d[16];
    md5_final(&m, d);
    EXPECT_EQ(hex(d, 16), md5_of(text));
}

static std::string rc4_of(const std::string& key, const std::string& text) {
    std::string out(text.size(), '\0');
    rc4_crypt((const uint8_t*)key.data(), (int)key.size(), (const uint8_t*)text.data(), (uint8_t*)&out[0],
              (int)text.size());
    return hex((const uint8_t*)out.data(), out.size());
}

TEST(Rc4, PublishedVectors) {
    EXPECT_EQ(rc4_of("Key", "Plaintext"), "bbf316e8d940af0ad3");
    EXPECT_EQ(rc4_of("Wiki", "pedia"), "1021bf0420");
    EXPECT_EQ(rc4_of("Secret", "Attack at dawn"), "45a01f645fc35b383552544b9bf5");
}

TEST(Rc4, KeystreamOf40BitKeyAtOffsetZero) {
    // RFC 6229, key 0x0102030405: the first 16 keystream bytes.
    const uint8_t key[5] = {1, 2, 3, 4, 5};
    uint8_t zeros[16] = {}, out[16];
    rc4_crypt(key, 5, zeros, out, 16);
    EXPECT_EQ(hex(out, 16), "b2396305f03dc027ccc3524a0a1118a8");
}

TEST(Aes128, Fips197AppendixC1) {
    uint8_t key[16], plain[16], out[16];
    for (int k = 0; k < 16; ++k) {
        key[k] = (uint8_t)k;
        plain[k] = (uint8_t)(k * 0x11);
    }
    Aes128 a;
    aes128_init(&a, key);
    aes128_encrypt_block(&a, plain, out);
    EXPECT_EQ(hex(out, 16), "69c4e0d86a7b0430d8cdb78070b4c55a");
}

TEST(Aes128, Fips197AppendixBKeyExpansionExample) {
    const uint8_t key[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6, 0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
    const uint8_t plain[16] = {0x32, 0x43, 0xf6, 0xa8, 0x88, 0x5a, 0x30, 0x8d, 0x31, 0x31, 0x98, 0xa2, 0xe0, 0x37, 0x07, 0x34};
    Aes128 a;
    aes128_init(&a, key);
    EXPECT_EQ(hex(a.round_keys + 160, 16), "d014f9a8c9ee2589e13f0cc8b6630ca6");
    uint8_t out[16];
    aes128_encrypt_block(&a, plain, out);
    EXPECT_EQ(hex(out, 16), "3925841d02dc09fbdc118597196a0b32");
}

TEST(Aes128, CbcSp80038aFirstBlockAndPaddingLengths) {
    // NIST SP 800-38A F.2.1, CBC-AES128 first block.
    const uint8_t key[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6, 0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
    uint8_t iv[16];
    for (int k = 0; k < 16; ++k) iv[k] = (uint8_t)k;
    const uint8_t plain[16] = {0x6b, 0xc1, 0xbe, 0xe2, 0x2e, 0x40, 0x9f, 0x96, 0xe9, 0x3d, 0x7e, 0x11, 0x73, 0x93, 0x17, 0x2a};
    ByteBuffer out = {};
    ASSERT_TRUE(aes128_cbc_encrypt(key, iv, plain, 16, &out));
    ASSERT_EQ(out.length, 48);   // IV, the block, a whole block of padding
    EXPECT_EQ(hex(out.data, 16), hex(iv, 16));
    EXPECT_EQ(hex(out.data + 16, 16), "7649abac8119b246cee98e9b12e9197d");
    release(&out);

    const int lengths[][2] = {{0, 32}, {1, 32}, {15, 32}, {52, 80}, {64, 96}};
    for (const auto& l : lengths) {
        std::string data((size_t)l[0], 'q');
        ByteBuffer b = {};
        ASSERT_TRUE(aes128_cbc_encrypt(key, iv, data.data(), l[0], &b));
        EXPECT_EQ(b.length, l[1]) << "plain length " << l[0];
        release(&b);
    }
}
