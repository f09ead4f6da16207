// output/pdf_writer.cpp
// Buffered object output with offsets recorded as objects begin, and the classic
// cross-reference table: one 20-byte line per object so readers can seek directly.
#include "output/pdf_writer.h"

#include <math.h>

#include "core/heap.h"
#include "core/text.h"
#include "output/pdf_crypt.h"

static thread_local PdfProgressCallback t_progress = nullptr;
static thread_local PdfCancelCheck t_cancel = nullptr;

void pdf_set_progress_callback(PdfProgressCallback callback) {
    t_progress = callback;
}

void pdf_report_progress(int index, int count) {
    if (t_progress) t_progress(index, count);
}

void pdf_set_cancel_check(PdfCancelCheck check) {
    t_cancel = check;
}

bool pdf_cancel_requested() {
    return t_cancel && t_cancel();
}

static void flush_buffer(PdfWriter* w) {
    if (w->in_memory) {
        if (w->buffer.length > PDF_MEMORY_LIMIT) w->write_failed = true;
        return;
    }
    if (w->buffer.length > 0 && !out_file_write(&w->file, w->buffer.data, w->buffer.length)) w->write_failed = true;
    w->buffer.length = 0;
}

bool pdf_writer_open(PdfWriter* w, const wchar_t* path, PdfMessage* error) {
    *w = PdfWriter{};
    w->next_object = 1;
    if (!path || !path[0]) {
        pdf_message_set(error, PDF_MESSAGE_CANNOT_CREATE, L"", 0);
        return false;
    }
    create_parent_folders(path);
    if (!out_file_open(&w->file, path)) {
        pdf_message_set(error, PDF_MESSAGE_CANNOT_CREATE, path, (int)last_error_code());
        return false;
    }
    assign(&w->path, path);
    pdf_random_bytes(w->plain_id, 16);
    return true;
}

void pdf_writer_open_in_memory(PdfWriter* w) {
    *w = PdfWriter{};
    w->next_object = 1;
    w->in_memory = true;
}

static void free_writer(PdfWriter* w) {
    release(&w->buffer);
    release(&w->path);
    mem_free(w->offsets);
    w->offsets = nullptr;
    w->offset_count = 0;
    w->offset_capacity = 0;
}

void pdf_writer_abandon(PdfWriter* w) {
    out_file_abandon(&w->file);
    free_writer(w);
}

void pdf_append(PdfWriter* w, const void* bytes, int count) {
    if (!bytes || count <= 0) return;
    w->bytes_written += (uint64_t)count;
    if (w->buffer.length + (int64_t)count > PDF_FLUSH_SIZE) {
        // Large data (image streams) goes straight to the file instead of through the buffer.
        flush_buffer(w);
        if (count > PDF_FLUSH_SIZE && !w->in_memory) {
            if (!out_file_write(&w->file, bytes, count)) w->write_failed = true;
            return;
        }
    }
    if (!append_bytes(&w->buffer, bytes, count)) w->write_failed = true;
}

int pdf_writer_version(const PdfWriter* w) {
    return w->encryption.enabled && w->encryption.cipher == PDF_CIPHER_AES ? PDF_VERSION_AES : PDF_VERSION_DEFAULT;
}

void pdf_append_header(PdfWriter* w) {
    // The high bytes on the second line tell transfer tools that the file is binary.
    uint8_t header[] = {'%', 'P', 'D', 'F', '-', '1', '.', '5', '\n', '%', 0xE2, 0xE3, 0xCF, 0xD3, '\n'};
    const int version = pdf_writer_version(w);
    header[5] = (uint8_t)('0' + version / 10);
    header[7] = (uint8_t)('0' + version % 10);
    pdf_append(w, header, (int)sizeof header);
}

void pdf_append_text(PdfWriter* w, const char* text8) {
    pdf_append(w, text8, (int)text8_length(text8));
}

void pdf_append_int(PdfWriter* w, int64_t value) {
    char digits[24];
    int n = sizeof digits;
    uint64_t magnitude = value < 0 ? (uint64_t)0 - (uint64_t)value : (uint64_t)value;
    do {
        digits[--n] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[--n] = '-';
    pdf_append(w, digits + n, (int)sizeof digits - n);
}

bool pdf_format_real(ByteBuffer* out, double value) {
    // inf, nan or a value beyond any page size would give unreadable number text.
    if (!isfinite(value) || value > 1e15 || value < -1e15) value = 0;
    bool ok = true;
    if (value < 0) {
        ok = append_bytes(out, "-", 1);
        value = -value;
    }
    int64_t whole = (int64_t)value;
    int64_t fraction = (int64_t)((value - (double)whole) * 10000 + 0.5);
    if (fraction >= 10000) {
        whole += 1;
        fraction -= 10000;
    }
    ok = ok && append_int64(out, whole);
    if (fraction != 0) {
        char text[6] = {'.', (char)('0' + fraction / 1000), (char)('0' + fraction / 100 % 10),
                        (char)('0' + fraction / 10 % 10), (char)('0' + fraction % 10), 0};
        int length = 5;
        while (text[length - 1] == '0') --length;
        ok = ok && append_bytes(out, text, length);
    }
    return ok;
}

void pdf_append_real(PdfWriter* w, double value) {
    ByteBuffer text = {};
    if (!pdf_format_real(&text, value)) w->write_failed = true;
    pdf_append(w, text.data, text.length);
    release(&text);
}

int pdf_reserve_object(PdfWriter* w) {
    return w->next_object++;
}

void pdf_begin_object(PdfWriter* w, int number) {
    if (number < 1) {
        w->write_failed = true;
        return;
    }
    if (number > w->offset_capacity) {
        int capacity = w->offset_capacity ? w->offset_capacity : 8;
        while (capacity < number) capacity *= 2;
        uint64_t* grown = static_cast<uint64_t*>(mem_realloc(w->offsets, sizeof(uint64_t) * (size_t)capacity));
        if (!grown) {
            w->write_failed = true;
            return;
        }
        mem_fill(grown + w->offset_capacity, 0, sizeof(uint64_t) * (size_t)(capacity - w->offset_capacity));
        w->offsets = grown;
        w->offset_capacity = capacity;
    }
    if (number > w->offset_count) w->offset_count = number;
    if (number >= w->next_object) w->next_object = number + 1;
    w->offsets[number - 1] = w->bytes_written;
    pdf_append_int(w, number);
    pdf_append_text(w, " 0 obj\n");
}

void pdf_write_dictionary_object(PdfWriter* w, int number, const char* dictionary, int length) {
    pdf_begin_object(w, number);
    pdf_append(w, dictionary, length);
    pdf_append_text(w, "\nendobj\n");
}

void pdf_write_stream_object(PdfWriter* w, int number, const char* dictionary, int dictionary_length,
                             const void* data, int count) {
    ByteBuffer encrypted = {};
    if (w->encryption.enabled) {
        if (!pdf_crypt_encrypt(&w->encryption, number, data, count, &encrypted)) w->write_failed = true;
        data = encrypted.data;
        count = encrypted.length;
    }
    pdf_begin_object(w, number);
    pdf_append_text(w, "<<");
    pdf_append(w, dictionary, dictionary_length);
    pdf_append_text(w, "/Length ");
    pdf_append_int(w, count);
    pdf_append_text(w, ">>\nstream\n");
    pdf_append(w, data, count);
    pdf_append_text(w, "\nendstream\nendobj\n");
    release(&encrypted);
}

void pdf_append_plain_hex(PdfWriter* w, const void* bytes, int count) {
    static const char kHex[] = "0123456789ABCDEF";
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    pdf_append_text(w, "<");
    char pair[64];
    int used = 0;
    for (int k = 0; k < count; ++k) {
        pair[used++] = kHex[p[k] >> 4];
        pair[used++] = kHex[p[k] & 15];
        if (used == (int)sizeof pair) {
            pdf_append(w, pair, used);
            used = 0;
        }
    }
    pdf_append(w, pair, used);
    pdf_append_text(w, ">");
}

void pdf_append_string(PdfWriter* w, int object, const void* bytes, int count) {
    if (!w->encryption.enabled) {
        pdf_append_plain_hex(w, bytes, count);
        return;
    }
    ByteBuffer encrypted = {};
    if (!pdf_crypt_encrypt(&w->encryption, object, bytes, count, &encrypted)) w->write_failed = true;
    pdf_append_plain_hex(w, encrypted.data, encrypted.length);
    release(&encrypted);
}

// An offset as ten digits with leading zeros (more digits only past 9,999,999,999).
static void append_offset(PdfWriter* w, uint64_t offset) {
    char digits[24];
    int n = sizeof digits;
    do {
        digits[--n] = (char)('0' + offset % 10);
        offset /= 10;
    } while (offset);
    while ((int)sizeof digits - n < 10) digits[--n] = '0';
    pdf_append(w, digits + n, (int)sizeof digits - n);
}

bool pdf_writer_finish(PdfWriter* w, PdfMessage* error) {
    const uint64_t xref_offset = w->bytes_written;
    const int size = w->next_object;
    pdf_append_text(w, "xref\n0 ");
    pdf_append_int(w, size);
    pdf_append_text(w, "\n0000000000 65535 f \n");
    for (int n = 1; n < size; ++n) {
        append_offset(w, n <= w->offset_count ? w->offsets[n - 1] : 0);
        pdf_append_text(w, " 00000 n \n");
    }
    pdf_append_text(w, "trailer\n<</Size ");
    pdf_append_int(w, size);
    pdf_append_text(w, "/Root 1 0 R/Info 3 0 R");
    if (w->encryption.enabled) {
        pdf_append_text(w, "/Encrypt ");
        pdf_append_int(w, w->encryption.dictionary_object);
        pdf_append_text(w, " 0 R");
    }
    const uint8_t* id = w->encryption.enabled ? w->encryption.id : w->plain_id;
    pdf_append_text(w, "/ID [");
    pdf_append_plain_hex(w, id, 16);
    pdf_append_plain_hex(w, id, 16);
    pdf_append_text(w, "]>>\nstartxref\n");
    pdf_append_int(w, (int64_t)xref_offset);
    pdf_append_text(w, "\n%%EOF\n");
    flush_buffer(w);
    if (w->write_failed) {
        pdf_writer_abandon(w);
        pdf_message_set(error, PDF_MESSAGE_WRITE_ERROR);
        return false;
    }
    if (w->in_memory) return true;
    const bool ok = out_file_commit(&w->file);
    if (!ok) {
        w->write_failed = true;
        // The move over the target is the step that can meet a file opened meanwhile.
        pdf_message_set(error, PDF_MESSAGE_CANNOT_CREATE, text_of(w->path), (int)last_error_code());
    }
    free_writer(w);
    return ok;
}
