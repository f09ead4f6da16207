// output/pdf_crypt.h
// The PDF standard security handler for written files (revision 3 with RC4 128, revision 4
// with AES-128 AESV2): key set-up from one password standing as user and owner password,
// per-object keys, encryption of stream data and strings, the encryption dictionary, and
// the process's random bytes. The PdfEncryption record lives inside the PdfWriter.
#ifndef ZAN_OUTPUT_PDF_CRYPT_H
#define ZAN_OUTPUT_PDF_CRYPT_H

#include <stdint.h>

#include "core/wide_string.h"
#include "output/pdf_writer.h"

// The 32-byte password padding string of the PDF standard security handler.
extern const uint8_t kPdfPasswordPadding[32];

// Draws the encryption ID and computes O, U and the file key; P is -4. The password's low
// bytes count, at most its first 32 units. cipher: PDF_CIPHER_AES, anything else is RC4.
void pdf_crypt_setup(PdfEncryption* e, const wchar_t* password, int cipher);
// The same with a given encryption ID (for reproducible results).
void pdf_crypt_setup_with_id(PdfEncryption* e, const wchar_t* password, int cipher, const uint8_t id[16]);

// MD5(file key, object number's 3 low bytes, generation 0 as 2 bytes, "sAlT" for AES).
void pdf_crypt_object_key(const PdfEncryption* e, int object, uint8_t key[16]);
// Appends the encrypted form of data for object: RC4 keeps the length; AES writes a fresh
// random IV and the padded CBC data. False only when out cannot grow.
bool pdf_crypt_encrypt(const PdfEncryption* e, int object, const void* data, int count, ByteBuffer* out);

// Writes the encryption dictionary as the next free object and remembers its number.
void pdf_crypt_write_dictionary(PdfWriter* w);

// Fills count bytes from the system generator, or, where it is missing, from MD5 of the
// clock, a process-wide counter, the thread id and the position in the buffer.
void pdf_random_bytes(void* bytes, int count);

#endif
