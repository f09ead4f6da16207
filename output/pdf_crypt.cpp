// output/pdf_crypt.cpp
// Algorithms 2, 3 and 5 of the standard security handler (revision 3 form, used for both
// ciphers), object keys (algorithm 1), and the AESV2 IV-plus-CBC layout.
#include "output/pdf_crypt.h"

#include "core/heap.h"
#include "core/system.h"
#include "output/aes.h"
#include "output/md5.h"
#include "output/rc4.h"

const uint8_t kPdfPasswordPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                         0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                         0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

static const int32_t kAllPermissions = -4;

// The password's low bytes (at most 32) followed by the start of the padding string.
static void pad_password(const wchar_t* password, uint8_t out[32]) {
    int n = 0;
    for (; password && password[n] && n < 32; ++n) out[n] = (uint8_t)(password[n] & 0xFF);
    for (int k = 0; n < 32; ++n, ++k) out[n] = kPdfPasswordPadding[k];
}

// RC4 under key, then 19 more passes under key XOR i (algorithms 3 and 5, revision 3).
static void rc4_twenty_passes(const uint8_t key[16], uint8_t* data, int count) {
    rc4_crypt(key, 16, data, data, count);
    for (int i = 1; i <= 19; ++i) {
        uint8_t k[16];
        for (int b = 0; b < 16; ++b) k[b] = (uint8_t)(key[b] ^ i);
        rc4_crypt(k, 16, data, data, count);
    }
}

static void md5_fifty_times(uint8_t digest[16]) {
    for (int i = 0; i < 50; ++i) md5_digest(digest, 16, digest);
}

void pdf_crypt_setup_with_id(PdfEncryption* e, const wchar_t* password, int cipher, const uint8_t id[16]) {
    *e = PdfEncryption{};
    e->enabled = true;
    e->cipher = cipher == PDF_CIPHER_AES ? PDF_CIPHER_AES : PDF_CIPHER_RC4;
    e->permissions = kAllPermissions;
    mem_copy(e->id, id, 16);

    uint8_t padded[32];
    pad_password(password, padded);

    // O: the padded password encrypted under a key from the same password (owner = user).
    uint8_t owner_key[16];
    md5_digest(padded, 32, owner_key);
    md5_fifty_times(owner_key);
    mem_copy(e->owner_entry, padded, 32);
    rc4_twenty_passes(owner_key, e->owner_entry, 32);

    // File key: padded password, O, P little-endian, ID; then 50 more MD5 rounds.
    const uint32_t p = (uint32_t)e->permissions;
    const uint8_t p_bytes[4] = {(uint8_t)p, (uint8_t)(p >> 8), (uint8_t)(p >> 16), (uint8_t)(p >> 24)};
    Md5 m;
    md5_init(&m);
    md5_update(&m, padded, 32);
    md5_update(&m, e->owner_entry, 32);
    md5_update(&m, p_bytes, 4);
    md5_update(&m, e->id, 16);
    md5_final(&m, e->file_key);
    md5_fifty_times(e->file_key);

    // U: MD5(padding, ID) encrypted twenty times, then 16 zero bytes.
    md5_init(&m);
    md5_update(&m, kPdfPasswordPadding, 32);
    md5_update(&m, e->id, 16);
    md5_final(&m, e->user_entry);
    rc4_twenty_passes(e->file_key, e->user_entry, 16);
}

void pdf_crypt_setup(PdfEncryption* e, const wchar_t* password, int cipher) {
    uint8_t id[16];
    pdf_random_bytes(id, 16);
    pdf_crypt_setup_with_id(e, password, cipher, id);
}

void pdf_crypt_object_key(const PdfEncryption* e, int object, uint8_t key[16]) {
    const uint8_t number[5] = {(uint8_t)object, (uint8_t)(object >> 8), (uint8_t)(object >> 16), 0, 0};
    Md5 m;
    md5_init(&m);
    md5_update(&m, e->file_key, 16);
    md5_update(&m, number, 5);
    if (e->cipher == PDF_CIPHER_AES) md5_update(&m, "sAlT", 4);
    md5_final(&m, key);
}

bool pdf_crypt_encrypt(const PdfEncryption* e, int object, const void* data, int count, ByteBuffer* out) {
    if (count < 0 || (count > 0 && !data)) return false;
    uint8_t key[16];
    pdf_crypt_object_key(e, object, key);
    if (e->cipher == PDF_CIPHER_AES) {
        uint8_t iv[16];
        pdf_random_bytes(iv, 16);
        return aes128_cbc_encrypt(key, iv, data, count, out);
    }
    if (count > 0x7FFFFFFF - out->length || !reserve(out, out->length + count)) return false;
    Rc4 r;
    rc4_init(&r, key, 16);
    // Encrypt in slices through a small block so out grows only by what append_bytes adds.
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint8_t slice[4096];
    for (int done = 0; done < count;) {
        const int n = count - done < (int)sizeof slice ? count - done : (int)sizeof slice;
        rc4_apply(&r, p + done, slice, n);
        append_bytes(out, slice, n);
        done += n;
    }
    return true;
}

void pdf_crypt_write_dictionary(PdfWriter* w) {
    PdfEncryption* e = &w->encryption;
    e->dictionary_object = pdf_reserve_object(w);
    pdf_begin_object(w, e->dictionary_object);
    pdf_append_text(w, "<<");
    if (e->cipher == PDF_CIPHER_AES)
        pdf_append_text(w, "/Filter/Standard/V 4/R 4/Length 128/CF<</StdCF<</CFM/AESV2/AuthEvent/DocOpen"
                           "/Length 16>>>>/StmF/StdCF/StrF/StdCF");
    else
        pdf_append_text(w, "/Filter/Standard/V 2/R 3/Length 128");
    pdf_append_text(w, "/O ");
    pdf_append_plain_hex(w, e->owner_entry, 32);
    pdf_append_text(w, "/U ");
    pdf_append_plain_hex(w, e->user_entry, 32);
    pdf_append_text(w, "/P ");
    pdf_append_int(w, e->permissions);
    pdf_append_text(w, ">>\nendobj\n");
}

void pdf_random_bytes(void* bytes, int count) {
    if (!bytes || count <= 0) return;
    if (random_fill(bytes, count)) return;
    // No system generator: hash the clock, a process-wide counter, the thread and the
    // position, so two blocks or two calls never repeat even within one clock tick.
    static uint32_t block_counter = 0;
    const uint64_t now = clock_milliseconds();
    uint8_t* out = static_cast<uint8_t*>(bytes);
    for (int offset = 0; offset < count; offset += 16) {
        // Tick count, the 64-bit clock, the counter, the thread id, the block's offset.
        const uint32_t fields[6] = {(uint32_t)now,    (uint32_t)now,       (uint32_t)(now >> 32),
                                    ++block_counter, current_thread_id(), (uint32_t)offset};
        uint8_t record[24];
        for (int f = 0; f < 6; ++f)
            for (int b = 0; b < 4; ++b) record[4 * f + b] = (uint8_t)(fields[f] >> (8 * b));
        uint8_t digest[16];
        md5_digest(record, 24, digest);
        const int n = count - offset < 16 ? count - offset : 16;
        mem_copy(out + offset, digest, (size_t)n);
    }
}
