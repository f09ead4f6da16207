// output/pdf_writer.h
// Low-level PDF output shared by the page writer, merge and split: numbered objects, streams,
// hex strings, the cross-reference table and trailer. One PdfWriter per output file, owned by
// its caller; the bytes reach a temporary file that replaces the target only on success.
#ifndef ZAN_OUTPUT_PDF_WRITER_H
#define ZAN_OUTPUT_PDF_WRITER_H

#include <stdint.h>

#include "core/file.h"
#include "core/wide_string.h"
#include "output/pdf_message.h"

// ---- the standard security handler's state (filled by pdf_crypt_setup, output/pdf_crypt.h)
const int PDF_CIPHER_AES = 0;   // AES-128, revision 4, crypt filter AESV2
const int PDF_CIPHER_RC4 = 1;   // RC4 128-bit, revision 3

struct PdfEncryption {
    bool enabled;
    int cipher;                 // PDF_CIPHER_AES or PDF_CIPHER_RC4
    uint8_t file_key[16];
    uint8_t owner_entry[32];    // /O
    uint8_t user_entry[32];     // /U
    int32_t permissions;        // /P, always -4
    uint8_t id[16];             // both /ID elements when encrypting
    int dictionary_object;      // number of the encryption dictionary once written, else 0
};

// ---- the output context
// Everything appended is counted in bytes_written (the offset of the next byte) and
// gathered in buffer, which goes to the file whenever it holds more than PDF_FLUSH_SIZE.
const int PDF_FLUSH_SIZE = 1048576;

struct PdfWriter {
    OutFile file;               // file.handle null = closed
    WideString path;            // the target as the caller named it, for messages
    ByteBuffer buffer;
    uint64_t bytes_written;
    bool write_failed;          // a write (or the memory it needed) failed; never cleared
    uint64_t* offsets;          // entry N-1: file offset of object N, 0 while not written
    int offset_count;           // highest object number seen so far
    int offset_capacity;
    int next_object;            // next free object number, starts at 1
    PdfEncryption encryption;
    uint8_t plain_id[16];       // /ID when not encrypting
    bool in_memory;             // no file: every byte stays in buffer (pdf_writer_open_in_memory)
};

// The header's version for a file written with this writer: 1.5, or 1.6 when it is
// encrypted with AES (the AESV2 crypt filter came with PDF 1.6). Major x 10 + minor.
const int PDF_VERSION_DEFAULT = 15;
const int PDF_VERSION_AES = 16;
// Bytes an in-memory writer may hold before it reports a failed write.
const int PDF_MEMORY_LIMIT = 256 << 20;

// Creates the target's missing parent folders, checks that the target may be replaced and
// creates a temporary file beside it, and draws the plain document ID. On failure error
// gets PDF_MESSAGE_CANNOT_CREATE with the path and the system's code; nothing is left open
// and the target is untouched.
bool pdf_writer_open(PdfWriter* w, const wchar_t* path, PdfMessage* error);
// A writer without a file whose bytes stay in its buffer (up to PDF_MEMORY_LIMIT), for
// re-reading what was written (the fuzzer).
void pdf_writer_open_in_memory(PdfWriter* w);
// Writes the cross-reference table and trailer, then moves the temporary file over the
// target. False (target untouched, temporary file removed) if any write failed (error:
// PDF_MESSAGE_WRITE_ERROR) or the move failed (PDF_MESSAGE_CANNOT_CREATE with the system's
// code). An in-memory writer keeps its bytes in buffer until pdf_writer_abandon.
bool pdf_writer_finish(PdfWriter* w, PdfMessage* error);
// Closes and removes the temporary file and frees the writer; the target stays as it was.
void pdf_writer_abandon(PdfWriter* w);

// "%PDF-1.5\n%" ("%PDF-1.6" with AES encryption set up) and the binary marker bytes
// E2 E3 CF D3 with a line feed.
void pdf_append_header(PdfWriter* w);
// The version pdf_append_header writes for this writer (PDF_VERSION_*).
int pdf_writer_version(const PdfWriter* w);

// ---- raw output
void pdf_append(PdfWriter* w, const void* bytes, int count);
void pdf_append_text(PdfWriter* w, const char* text8);
void pdf_append_int(PdfWriter* w, int64_t value);
void pdf_append_real(PdfWriter* w, double value);

// ---- numbers as PDF text, appended to a buffer
// Reals: "-" when negative, the integer part, then "." and up to 4 rounded decimals with
// trailing zeros removed (612, 0.5, 595.2756). Non-finite values are written as 0.
bool pdf_format_real(ByteBuffer* out, double value);

// ---- objects
// A fresh object number.
int pdf_reserve_object(PdfWriter* w);
// Records the current offset for object number and appends "N 0 obj\n".
void pdf_begin_object(PdfWriter* w, int number);
// begin object, the dictionary text, "\n", "endobj\n".
void pdf_write_dictionary_object(PdfWriter* w, int number, const char* dictionary, int length);
// "<<" dictionary "/Length " n ">>\nstream\n" data "\nendstream\nendobj\n". The dictionary
// text carries no "<<" ">>" of its own. With encryption on, data is encrypted with the
// object's key first and n is the encrypted length.
void pdf_write_stream_object(PdfWriter* w, int number, const char* dictionary, int dictionary_length,
                             const void* data, int count);
// "<" two upper-case hex digits per byte ">", encrypted with object's key when encrypting.
void pdf_append_string(PdfWriter* w, int object, const void* bytes, int count);
// A hex string that is never encrypted (/ID, /O, /U).
void pdf_append_plain_hex(PdfWriter* w, const void* bytes, int count);

// ---- progress: a callback called before each page or file is handled. It belongs to the
// thread that set it, so a save worker and a merge worker running at once each report to
// their own window.
typedef void (*PdfProgressCallback)(int index, int count);
void pdf_set_progress_callback(PdfProgressCallback callback);   // null: none
void pdf_report_progress(int index, int count);
// ---- cancel: asked by merge and split before each file and page, on the thread that set it
typedef bool (*PdfCancelCheck)();
void pdf_set_cancel_check(PdfCancelCheck check);   // null: never cancelled
bool pdf_cancel_requested();

#endif
