// tests/output/pdf_crypt_test.cpp
// The security handler's derived values, object keys, encrypted lengths and the
// encryption dictionary text.
#include <gtest/gtest.h>

#include <string>

#include "core/file.h"
#include "core/path.h"
#include "output/aes.h"
#include "output/md5.h"
#include "output/pdf_crypt.h"
#include "output/rc4.h"

static const uint8_t kId[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00};

TEST(PdfCrypt, UserEntryDecryptsToTheDigestOfPaddingAndId) {
    // What a reader does to check the user password (algorithm 5 backwards): undo the
    // twenty RC4 passes with the file key and compare with MD5(padding, ID).
    PdfEncryption e;
    pdf_crypt_setup_with_id(&e, L"secret", PDF_CIPHER_RC4, kId);
    uint8_t u[16];
    for (int k = 0; k < 16; ++k) u[k] = e.user_entry[k];
    for (int i = 19; i >= 0; --i) {
        uint8_t key[16];
        for (int b = 0; b < 16; ++b) key[b] = (uint8_t)(e.file_key[b] ^ i);
        rc4_crypt(key, 16, u, u, 16);
    }
    uint8_t expected[48];
    for (int k = 0; k < 32; ++k) expected[k] = kPdfPasswordPadding[k];
    for (int k = 0; k < 16; ++k) expected[32 + k] = kId[k];
    uint8_t digest[16];
    md5_digest(expected, 48, digest);
    EXPECT_EQ(std::string((const char*)u, 16), std::string((const char*)digest, 16));
    for (int k = 16; k < 32; ++k) EXPECT_EQ(e.user_entry[k], 0);
    EXPECT_EQ(e.permissions, -4);
}

TEST(PdfCrypt, OwnerEntryDecryptsToThePaddedPassword) {
    PdfEncryption e;
    pdf_crypt_setup_with_id(&e, L"pw", PDF_CIPHER_AES, kId);
    uint8_t padded[32] = {'p', 'w'};
    for (int k = 2; k < 32; ++k) padded[k] = kPdfPasswordPadding[k - 2];
    uint8_t key[16];
    md5_digest(padded, 32, key);
    for (int i = 0; i < 50; ++i) md5_digest(key, 16, key);
    uint8_t o[32];
    for (int k = 0; k < 32; ++k) o[k] = e.owner_entry[k];
    for (int i = 19; i >= 0; --i) {
        uint8_t k2[16];
        for (int b = 0; b < 16; ++b) k2[b] = (uint8_t)(key[b] ^ i);
        rc4_crypt(k2, 16, o, o, 32);
    }
    EXPECT_EQ(std::string((const char*)o, 32), std::string((const char*)padded, 32));
}

TEST(PdfCrypt, OnlyTheFirst32PasswordUnitsCount) {
    PdfEncryption a, b, c;
    pdf_crypt_setup_with_id(&a, L"0123456789abcdef0123456789abcdefXYZ", PDF_CIPHER_RC4, kId);
    pdf_crypt_setup_with_id(&b, L"0123456789abcdef0123456789abcdef", PDF_CIPHER_RC4, kId);
    pdf_crypt_setup_with_id(&c, L"0123456789abcdef0123456789abcdeX", PDF_CIPHER_RC4, kId);
    EXPECT_EQ(std::string((const char*)a.file_key, 16), std::string((const char*)b.file_key, 16));
    EXPECT_NE(std::string((const char*)a.file_key, 16), std::string((const char*)c.file_key, 16));
}

TEST(PdfCrypt, ObjectKeyUsesNumberGenerationAndSaltForAes) {
    PdfEncryption e;
    pdf_crypt_setup_with_id(&e, L"x", PDF_CIPHER_AES, kId);
    uint8_t record[25];
    for (int k = 0; k < 16; ++k) record[k] = e.file_key[k];
    const uint8_t tail[9] = {0x03, 0x02, 0x01, 0, 0, 's', 'A', 'l', 'T'};
    for (int k = 0; k < 9; ++k) record[16 + k] = tail[k];
    uint8_t expected[16], key[16];
    md5_digest(record, 25, expected);
    pdf_crypt_object_key(&e, 0x010203, key);
    EXPECT_EQ(std::string((const char*)key, 16), std::string((const char*)expected, 16));
    e.cipher = PDF_CIPHER_RC4;
    md5_digest(record, 21, expected);
    pdf_crypt_object_key(&e, 0x010203, key);
    EXPECT_EQ(std::string((const char*)key, 16), std::string((const char*)expected, 16));
}

TEST(PdfCrypt, Rc4KeepsLengthAesAddsIvAndPadding) {
    PdfEncryption e;
    pdf_crypt_setup_with_id(&e, L"x", PDF_CIPHER_RC4, kId);
    const std::string data(52, 'd');
    ByteBuffer out = {};
    ASSERT_TRUE(pdf_crypt_encrypt(&e, 7, data.data(), 52, &out));
    EXPECT_EQ(out.length, 52);
    // RC4 under the object key undoes it.
    uint8_t key[16];
    pdf_crypt_object_key(&e, 7, key);
    rc4_crypt(key, 16, out.data, out.data, out.length);
    EXPECT_EQ(std::string((const char*)out.data, 52), data);
    release(&out);

    e.cipher = PDF_CIPHER_AES;
    ASSERT_TRUE(pdf_crypt_encrypt(&e, 7, data.data(), 52, &out));
    EXPECT_EQ(out.length, 80);
    release(&out);
    ASSERT_TRUE(pdf_crypt_encrypt(&e, 7, "", 0, &out));
    ASSERT_EQ(out.length, 32);
    // An empty stream is one block of sixteen 0x10 bytes under the IV.
    pdf_crypt_object_key(&e, 7, key);
    Aes128 a;
    aes128_init(&a, key);
    uint8_t block[16];
    for (int k = 0; k < 16; ++k) block[k] = (uint8_t)(out.data[k] ^ 0x10);
    aes128_encrypt_block(&a, block, block);
    EXPECT_EQ(std::string((const char*)block, 16), std::string((const char*)out.data + 16, 16));
    release(&out);
}

TEST(PdfCrypt, RandomBytesDifferBetweenCalls) {
    uint8_t a[40] = {}, b[40] = {};
    pdf_random_bytes(a, 40);
    pdf_random_bytes(b, 40);
    EXPECT_NE(std::string((const char*)a, 40), std::string((const char*)b, 40));
    EXPECT_NE(std::string((const char*)a, 16), std::string(16, '\0'));
}

static std::string write_dictionary(int cipher) {
    WideString folder = temp_folder();
    WideString path = path_join(text_of(folder), L"zan_crypt_dict.pdf");
    PdfWriter w;
    PdfMessage error = {};
    EXPECT_TRUE(pdf_writer_open(&w, text_of(path), &error));
    pdf_crypt_setup_with_id(&w.encryption, L"x", cipher, kId);
    w.next_object = 9;
    for (int k = 0; k < 32; ++k) {
        w.encryption.owner_entry[k] = (uint8_t)k;
        w.encryption.user_entry[k] = (uint8_t)(0xF0 | (k & 15));
    }
    pdf_crypt_write_dictionary(&w);
    EXPECT_EQ(w.encryption.dictionary_object, 9);
    std::string text((const char*)w.buffer.data, (size_t)w.buffer.length);
    pdf_writer_abandon(&w);
    release(&folder);
    release(&path);
    pdf_message_release(&error);
    return text;
}

TEST(PdfCrypt, EncryptionDictionaryText) {
    const std::string o = "<000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F>";
    const std::string u = "<F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF>";
    EXPECT_EQ(write_dictionary(PDF_CIPHER_AES),
              "9 0 obj\n<</Filter/Standard/V 4/R 4/Length 128/CF<</StdCF<</CFM/AESV2/AuthEvent/DocOpen/Length 16>>>>"
              "/StmF/StdCF/StrF/StdCF/O " + o + "/U " + u + "/P -4>>\nendobj\n");
    EXPECT_EQ(write_dictionary(PDF_CIPHER_RC4),
              "9 0 obj\n<</Filter/Standard/V 2/R 3/Length 128/O " + o + "/U " + u + "/P -4>>\nendobj\n");
}
