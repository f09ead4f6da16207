// pdftools/pdf_reader.cpp
// The tolerant reader. Cross-reference data is never trusted: every "N G obj" in the file is
// parsed (a later definition replaces an earlier one) and every "trailer" and cross-reference
// stream dictionary is read for /Root and /Encrypt. Every loop is bounded by the bytes that
// are actually there, so a hostile file costs time and memory in proportion to its size, with
// fixed caps on what decompression and parsing may add.
#include "pdftools/pdf_reader.h"

#include <stdlib.h>

#include "core/file.h"
#include "core/heap.h"
#include "core/zlib_buffer.h"

// ---------------------------------------------------------------- arena

struct PdfArenaBlock {
    PdfArenaBlock* next;
    size_t used;
    size_t size;
};

struct PdfInflated {
    PdfInflated* next;
    ByteBuffer bytes;
};

// Payload starts after the header rounded up to 16 bytes, in 32- and 64-bit builds alike.
static const size_t kBlockHeader = (sizeof(PdfArenaBlock) + 15) & ~(size_t)15;
static const size_t kBlockSize = 256 * 1024;

// Null when the arena cap is reached or memory runs out; the document is then incomplete.
static void* arena_alloc(PdfDocument* doc, size_t size) {
    if (size > (size_t)doc->limits.arena) {
        doc->incomplete = true;
        return nullptr;
    }
    size = (size + 15) & ~(size_t)15;
    if (size == 0) size = 16;
    PdfArenaBlock* head = doc->arena;
    if (head && head->size - head->used >= size) {
        void* p = reinterpret_cast<uint8_t*>(head) + kBlockHeader + head->used;
        head->used += size;
        return p;
    }
    const size_t block_size = size > kBlockSize / 4 ? size : kBlockSize;
    PdfArenaBlock* block = doc->arena_total + (int64_t)block_size > doc->limits.arena
                               ? nullptr
                               : static_cast<PdfArenaBlock*>(mem_alloc(kBlockHeader + block_size));
    if (!block) {
        doc->incomplete = true;
        return nullptr;
    }
    doc->arena_total += (int64_t)block_size;
    block->size = block_size;
    block->used = size;
    if (head && block_size != kBlockSize) {
        // A large single object goes behind the current block, which keeps its free room.
        block->next = head->next;
        head->next = block;
    } else {
        block->next = head;
        doc->arena = block;
    }
    return reinterpret_cast<uint8_t*>(block) + kBlockHeader;
}

static PdfObject* new_object(PdfDocument* doc, PdfKind kind) {
    PdfObject* o = static_cast<PdfObject*>(arena_alloc(doc, sizeof(PdfObject)));
    if (o) o->kind = kind;
    return o;
}

// A growable list of object pointers used while a container is parsed; the final items are
// copied into the arena.
struct ItemList {
    PdfObject** items;
    int count;
    int capacity;
};

static bool item_push(PdfDocument* doc, ItemList* list, PdfObject* item) {
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : 16;
        void* grown = capacity > list->capacity ? mem_realloc(list->items, (size_t)capacity * sizeof(PdfObject*)) : nullptr;
        if (!grown) {
            doc->incomplete = true;
            return false;
        }
        list->items = static_cast<PdfObject**>(grown);
        list->capacity = capacity;
    }
    list->items[list->count++] = item;
    return true;
}

static PdfObject** item_freeze(PdfDocument* doc, ItemList* list) {
    PdfObject** items = nullptr;
    if (list->count > 0) {
        items = static_cast<PdfObject**>(arena_alloc(doc, (size_t)list->count * sizeof(PdfObject*)));
        if (items) mem_copy(items, list->items, (size_t)list->count * sizeof(PdfObject*));
    }
    mem_free(list->items);
    list->items = nullptr;
    return items;
}

// ---------------------------------------------------------------- lexer

struct Lexer {
    PdfDocument* doc;
    const uint8_t* data;
    size_t size;
    size_t pos;
    bool allow_stream;       // only top-level values of the file itself may be streams
    size_t endstream_from;   // cache of the last search for "endstream" ...
    size_t endstream_at;     // ... and its result (size when there is none)
};

static bool is_white(uint8_t c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

static bool is_delimiter(uint8_t c) {
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
           c == '}' || c == '/' || c == '%';
}

static bool is_digit(uint8_t c) {
    return c >= '0' && c <= '9';
}

static int hex_value(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static void skip_white(Lexer* lx) {
    while (lx->pos < lx->size) {
        const uint8_t c = lx->data[lx->pos];
        if (is_white(c)) {
            ++lx->pos;
        } else if (c == '%') {
            while (lx->pos < lx->size && lx->data[lx->pos] != '\r' && lx->data[lx->pos] != '\n') ++lx->pos;
        } else {
            break;
        }
    }
}

// The bytes of word at pos, followed by white space, a delimiter or the end.
static bool keyword_at(const uint8_t* data, size_t size, size_t pos, const char* word) {
    const size_t n = text8_length(word);
    if (pos > size || size - pos < n || mem_compare(data + pos, word, n) != 0) return false;
    return pos + n == size || is_white(data[pos + n]) || is_delimiter(data[pos + n]);
}

static bool bytes_at(const uint8_t* data, size_t size, size_t pos, const char* word) {
    const size_t n = text8_length(word);
    return pos <= size && size - pos >= n && mem_compare(data + pos, word, n) == 0;
}

// First "endstream" at or after from, or size. Searches move forward through the file, so
// the last result is reused: many streams without an end cost one pass, not one each.
static size_t find_endstream(Lexer* lx, size_t from) {
    if (from >= lx->endstream_from && lx->endstream_at >= from) return lx->endstream_at;
    size_t at = lx->size;
    for (size_t i = from; i + 9 <= lx->size; ++i) {
        if (lx->data[i] == 'e' && bytes_at(lx->data, lx->size, i, "endstream")) {
            at = i;
            break;
        }
    }
    lx->endstream_from = from;
    lx->endstream_at = at;
    return at;
}

// End of a literal string that starts at pos (just after its "("), past the closing ")".
static size_t literal_end(const uint8_t* data, size_t size, size_t pos) {
    int nesting = 1;
    while (pos < size) {
        const uint8_t c = data[pos++];
        if (c == '\\') {
            if (pos < size) ++pos;
        } else if (c == '(') {
            ++nesting;
        } else if (c == ')') {
            if (--nesting == 0) break;
        }
    }
    return pos;
}

static PdfObject* parse_literal_string(Lexer* lx) {
    const size_t start = lx->pos + 1;
    const size_t end = literal_end(lx->data, lx->size, start);
    lx->pos = end;
    PdfObject* o = new_object(lx->doc, PDF_STRING);
    if (!o) return nullptr;
    uint8_t* out = static_cast<uint8_t*>(arena_alloc(lx->doc, end - start));
    if (!out) return nullptr;
    const uint8_t* d = lx->data;
    int n = 0;
    int nesting = 1;
    size_t i = start;
    while (i < end) {
        uint8_t c = d[i++];
        if (c == '(') {
            ++nesting;
        } else if (c == ')') {
            if (--nesting == 0) break;
        } else if (c == '\\') {
            if (i >= end) break;
            c = d[i++];
            switch (c) {
                case 'n': c = '\n'; break;
                case 'r': c = '\r'; break;
                case 't': c = '\t'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case '\r':
                    if (i < end && d[i] == '\n') ++i;
                    continue;
                case '\n':
                    continue;
                default:
                    if (c >= '0' && c <= '7') {
                        int v = c - '0';
                        for (int k = 0; k < 2 && i < end && d[i] >= '0' && d[i] <= '7'; ++k) v = v * 8 + (d[i++] - '0');
                        c = (uint8_t)(v & 0xFF);
                    }
                    break;
            }
        }
        out[n++] = c;
    }
    o->text = out;
    o->length = n;
    return o;
}

static PdfObject* parse_hex_string(Lexer* lx) {
    const size_t start = lx->pos + 1;
    size_t end = start;
    while (end < lx->size && lx->data[end] != '>') ++end;
    lx->pos = end < lx->size ? end + 1 : end;
    PdfObject* o = new_object(lx->doc, PDF_STRING);
    if (!o) return nullptr;
    uint8_t* out = static_cast<uint8_t*>(arena_alloc(lx->doc, (end - start) / 2 + 1));
    if (!out) return nullptr;
    int n = 0;
    int high = -1;
    for (size_t i = start; i < end; ++i) {
        const int v = hex_value(lx->data[i]);
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out[n++] = (uint8_t)(high * 16 + v);
            high = -1;
        }
    }
    if (high >= 0) out[n++] = (uint8_t)(high * 16);
    o->text = out;
    o->length = n;
    return o;
}

static PdfObject* parse_name(Lexer* lx) {
    const size_t start = ++lx->pos;
    while (lx->pos < lx->size && !is_white(lx->data[lx->pos]) && !is_delimiter(lx->data[lx->pos])) ++lx->pos;
    PdfObject* o = new_object(lx->doc, PDF_NAME);
    if (!o) return nullptr;
    uint8_t* out = static_cast<uint8_t*>(arena_alloc(lx->doc, lx->pos - start));
    if (!out) return nullptr;
    int n = 0;
    for (size_t i = start; i < lx->pos; ++i) {
        const uint8_t c = lx->data[i];
        if (c == '#' && i + 2 < lx->pos) {
            const int h = hex_value(lx->data[i + 1]);
            const int l = hex_value(lx->data[i + 2]);
            if (h >= 0 && l >= 0) {
                out[n++] = (uint8_t)(h * 16 + l);
                i += 2;
                continue;
            }
        }
        out[n++] = c;
    }
    o->text = out;
    o->length = n;
    return o;
}

// Reads a run of digits from pos as a non-negative value that stops growing at INT64_MAX.
static int64_t read_digits(const uint8_t* data, size_t size, size_t* pos, bool* saturated) {
    int64_t v = 0;
    while (*pos < size && is_digit(data[*pos])) {
        const int d = data[*pos] - '0';
        if (v > (INT64_MAX - d) / 10) {
            v = INT64_MAX;
            *saturated = true;
        } else {
            v = v * 10 + d;
        }
        ++*pos;
    }
    return v;
}

// Decimal text of v in the arena (the written form of a number that did not fit).
static const uint8_t* arena_decimal(PdfDocument* doc, int64_t v, int* length) {
    char digits[24];
    int n = 0;
    const bool negative = v < 0;
    uint64_t u = negative ? (uint64_t)0 - (uint64_t)v : (uint64_t)v;
    do {
        digits[n++] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    uint8_t* out = static_cast<uint8_t*>(arena_alloc(doc, (size_t)n + 1));
    if (!out) return nullptr;
    int k = 0;
    if (negative) out[k++] = '-';
    while (n > 0) out[k++] = (uint8_t)digits[--n];
    *length = k;
    return out;
}

// "N G R" after an unsigned integer ending at pos: white space, 1 to 5 digits, white space,
// "R" and then white space, a delimiter or the end. Returns the position after "R", or 0.
static size_t reference_end(const uint8_t* d, size_t size, size_t pos) {
    size_t p = pos;
    if (p >= size || !is_white(d[p])) return 0;
    while (p < size && is_white(d[p])) ++p;
    const size_t digits = p;
    while (p < size && is_digit(d[p])) ++p;
    if (p == digits || p - digits > 5) return 0;
    if (p >= size || !is_white(d[p])) return 0;
    while (p < size && is_white(d[p])) ++p;
    if (p >= size || d[p] != 'R') return 0;
    ++p;
    if (p < size && !is_white(d[p]) && !is_delimiter(d[p])) return 0;
    return p;
}

static PdfObject* parse_number(Lexer* lx) {
    const uint8_t* d = lx->data;
    const size_t start = lx->pos;
    const uint8_t first = d[start];
    size_t p = start + 1;
    bool has_digit = is_digit(first);
    int dots = first == '.' ? 1 : 0;
    size_t cut = 0;  // a second dot ends the usable text, so the written form stays a number
    while (p < lx->size && (is_digit(d[p]) || d[p] == '.')) {
        if (d[p] == '.') {
            if (++dots == 2) cut = p;
        } else if (dots < 2) {
            has_digit = true;
        }
        ++p;
    }
    lx->pos = p;
    if (!has_digit) return nullptr;
    if (dots > 0) {
        PdfObject* o = new_object(lx->doc, PDF_REAL);
        if (!o) return nullptr;
        o->text = d + start;
        o->length = (int)((dots >= 2 ? cut : p) - start);
        return o;
    }
    size_t q = is_digit(first) ? start : start + 1;
    bool saturated = false;
    int64_t v = read_digits(d, p, &q, &saturated);
    if (first == '-') v = -v;
    if (is_digit(first)) {
        const size_t ref = reference_end(d, lx->size, p);
        if (ref) {
            PdfObject* r = new_object(lx->doc, PDF_REFERENCE);
            if (!r) return nullptr;
            r->value = v;
            lx->pos = ref;
            return r;
        }
    }
    PdfObject* o = new_object(lx->doc, PDF_INTEGER);
    if (!o) return nullptr;
    o->value = v;
    if (saturated) {
        o->text = arena_decimal(lx->doc, v, &o->length);
        if (!o->text) return nullptr;
    } else {
        o->text = d + start;
        o->length = (int)(p - start);
    }
    return o;
}

// Skips an array or dictionary nested too deeply to parse, counting brackets instead of
// recursing; it ends where the outermost one closes, at "endobj" or at the end.
static void skip_nested(Lexer* lx) {
    const uint8_t* d = lx->data;
    int64_t level = 0;
    while (lx->pos < lx->size) {
        const uint8_t c = d[lx->pos];
        if (c == '(') {
            lx->pos = literal_end(d, lx->size, lx->pos + 1);
        } else if (c == '<' && lx->pos + 1 < lx->size && d[lx->pos + 1] == '<') {
            ++level;
            lx->pos += 2;
        } else if (c == '<') {
            while (lx->pos < lx->size && d[lx->pos] != '>') ++lx->pos;
            if (lx->pos < lx->size) ++lx->pos;
        } else if (c == '[') {
            ++level;
            ++lx->pos;
        } else if (c == ']' || (c == '>' && lx->pos + 1 < lx->size && d[lx->pos + 1] == '>')) {
            lx->pos += c == ']' ? 1 : 2;
            if (--level <= 0) return;
        } else if (c == '%') {
            skip_white(lx);
        } else if (c == 'e' && keyword_at(d, lx->size, lx->pos, "endobj")) {
            return;
        } else {
            ++lx->pos;
        }
    }
}

static bool parse_value(Lexer* lx, int depth, PdfObject** out);

static PdfObject* parse_array(Lexer* lx, int depth) {
    ++lx->pos;
    ItemList list = {};
    while (true) {
        skip_white(lx);
        if (lx->pos >= lx->size) break;
        if (lx->data[lx->pos] == ']') {
            ++lx->pos;
            break;
        }
        if (keyword_at(lx->data, lx->size, lx->pos, "endobj")) break;
        PdfObject* item = nullptr;
        if (parse_value(lx, depth + 1, &item)) item_push(lx->doc, &list, item);
    }
    const int count = list.count;
    PdfObject** items = item_freeze(lx->doc, &list);
    PdfObject* o = new_object(lx->doc, PDF_ARRAY);
    if (!o || (count > 0 && !items)) return nullptr;
    o->items = items;
    o->count = count;
    return o;
}

static bool dictionary_ends_at(const Lexer* lx) {
    if (lx->pos >= lx->size) return true;
    if (lx->data[lx->pos] == '>' && lx->pos + 1 < lx->size && lx->data[lx->pos + 1] == '>') return true;
    return keyword_at(lx->data, lx->size, lx->pos, "endobj");
}

// The stream data after "stream" at pos: /Length when it resolves against the objects read so
// far, fits in the file and is followed by "endstream"; else up to the next "endstream".
static void read_stream_data(Lexer* lx, PdfObject* stream) {
    const uint8_t* d = lx->data;
    size_t p = lx->pos + 6;
    if (p < lx->size && d[p] == '\r') ++p;
    if (p < lx->size && d[p] == '\n') ++p;
    const PdfObject* length = pdf_resolve(lx->doc, pdf_dict_get(stream, "Length"));
    if (length && length->kind == PDF_INTEGER && length->value >= 0 &&
        (uint64_t)length->value <= (uint64_t)(lx->size - p)) {
        size_t q = p + (size_t)length->value;
        while (q < lx->size && is_white(d[q])) ++q;
        if (bytes_at(d, lx->size, q, "endstream")) {
            stream->data = d + p;
            stream->data_length = (size_t)length->value;
            lx->pos = q + 9;
            return;
        }
    }
    const size_t at = find_endstream(lx, p);
    size_t end = at;
    if (end > p && d[end - 1] == '\n') --end;
    if (end > p && d[end - 1] == '\r') --end;
    stream->data = d + p;
    stream->data_length = end - p;
    lx->pos = at < lx->size ? at + 9 : lx->size;
}

static PdfObject* parse_dictionary(Lexer* lx, int depth) {
    lx->pos += 2;
    ItemList list = {};
    while (true) {
        skip_white(lx);
        if (lx->pos < lx->size && lx->data[lx->pos] == '>' && lx->pos + 1 < lx->size && lx->data[lx->pos + 1] == '>') {
            lx->pos += 2;
            break;
        }
        if (dictionary_ends_at(lx)) break;
        if (lx->data[lx->pos] != '/') {
            // Not a key: skipped alone, so the entries after it keep their pairing.
            PdfObject* ignored = nullptr;
            parse_value(lx, depth + 1, &ignored);
            continue;
        }
        PdfObject* key = parse_name(lx);
        skip_white(lx);
        if (dictionary_ends_at(lx)) break;
        PdfObject* value = nullptr;
        parse_value(lx, depth + 1, &value);
        if (key && item_push(lx->doc, &list, key)) item_push(lx->doc, &list, value);
    }
    if (list.count % 2) --list.count;
    const int count = list.count;
    PdfObject** items = item_freeze(lx->doc, &list);
    PdfObject* o = new_object(lx->doc, PDF_DICTIONARY);
    if (!o || (count > 0 && !items)) return nullptr;
    o->items = items;
    o->count = count / 2;
    if (lx->allow_stream && depth == 0) {
        size_t p = lx->pos;
        while (p < lx->size && is_white(lx->data[p])) ++p;
        if (bytes_at(lx->data, lx->size, p, "stream")) {
            o->kind = PDF_STREAM;
            lx->pos = p;
            read_stream_data(lx, o);
        }
    }
    return o;
}

// Parses one value at the lexer's position. False when the byte there starts no value (it
// is then skipped); a bare word other than true, false and null gives a null value.
static bool parse_value(Lexer* lx, int depth, PdfObject** out) {
    *out = nullptr;
    skip_white(lx);
    if (lx->pos >= lx->size) return false;
    const uint8_t* d = lx->data;
    const uint8_t c = d[lx->pos];
    const bool dict_start = c == '<' && lx->pos + 1 < lx->size && d[lx->pos + 1] == '<';
    if ((c == '[' || dict_start) && depth > PDF_MAX_NESTING) {
        skip_nested(lx);
        return true;
    }
    if (c == '[') {
        *out = parse_array(lx, depth);
    } else if (dict_start) {
        *out = parse_dictionary(lx, depth);
    } else if (c == '<') {
        *out = parse_hex_string(lx);
    } else if (c == '(') {
        *out = parse_literal_string(lx);
    } else if (c == '/') {
        *out = parse_name(lx);
    } else if (c == '+' || c == '-' || c == '.' || is_digit(c)) {
        *out = parse_number(lx);
    } else if (is_delimiter(c)) {
        ++lx->pos;
        return false;
    } else {
        const size_t start = lx->pos;
        while (lx->pos < lx->size && !is_white(d[lx->pos]) && !is_delimiter(d[lx->pos])) ++lx->pos;
        const size_t n = lx->pos - start;
        if ((n == 4 && mem_compare(d + start, "true", 4) == 0) || (n == 5 && mem_compare(d + start, "false", 5) == 0)) {
            *out = new_object(lx->doc, PDF_BOOL);
            if (*out) (*out)->value = n == 4 ? 1 : 0;
        }
    }
    return true;
}

// ---------------------------------------------------------------- lookups

PdfObject* pdf_object_at(const PdfDocument* doc, int64_t number) {
    if (!doc || number < 1 || number >= doc->object_capacity) return nullptr;
    return doc->objects[number];
}

PdfObject* pdf_resolve(const PdfDocument* doc, PdfObject* object) {
    for (int steps = 0; object && object->kind == PDF_REFERENCE; ++steps) {
        if (steps >= PDF_MAX_REFERENCE_CHAIN) return nullptr;
        object = pdf_object_at(doc, object->value);
    }
    return object;
}

static bool name_equals(const PdfObject* name, const char* text, size_t n) {
    return name && name->kind == PDF_NAME && (size_t)name->length == n && mem_compare(name->text, text, n) == 0;
}

PdfObject* pdf_dict_get(const PdfObject* dict, const char* key) {
    if (!dict || (dict->kind != PDF_DICTIONARY && dict->kind != PDF_STREAM) || !key) return nullptr;
    const size_t n = text8_length(key);
    for (int i = 0; i < dict->count; ++i) {
        if (name_equals(dict->items[2 * i], key, n)) return dict->items[2 * i + 1];
    }
    return nullptr;
}

bool pdf_is_name(const PdfObject* object, const char* text) {
    return text && name_equals(object, text, text8_length(text));
}

// ---------------------------------------------------------------- loading

static void set_error(PdfDocument* doc, int id) {
    doc->error_id = id;
}

static void store_object(PdfDocument* doc, int64_t number, PdfObject* value) {
    if (number < 1 || number > PDF_MAX_OBJECT_NUMBER) return;
    if (number >= doc->object_capacity) {
        int64_t capacity = (int64_t)doc->object_capacity * 2;
        if (capacity < number + 1024) capacity = number + 1024;
        if (capacity > PDF_MAX_OBJECT_NUMBER + 1) capacity = PDF_MAX_OBJECT_NUMBER + 1;
        void* grown = mem_realloc(doc->objects, (size_t)capacity * sizeof(PdfObject*));
        if (!grown) {
            doc->incomplete = true;
            return;
        }
        doc->objects = static_cast<PdfObject**>(grown);
        mem_fill(doc->objects + doc->object_capacity, 0, (size_t)(capacity - doc->object_capacity) * sizeof(PdfObject*));
        doc->object_capacity = (int)capacity;
    }
    doc->objects[number] = value;
    if (number > doc->max_number) doc->max_number = (int)number;
}

static void read_trailer(PdfDocument* doc, const PdfObject* dict) {
    if (pdf_dict_get(dict, "Encrypt")) doc->encrypted = true;
    const PdfObject* root = pdf_dict_get(dict, "Root");
    if (root && root->kind == PDF_REFERENCE && root->value >= 1 && root->value <= PDF_MAX_OBJECT_NUMBER) {
        doc->root = (int)root->value;
    }
}

// A standard security handler's dictionary gives the file away even when the trailer that
// named it is lost.
static void check_encryption_dictionary(PdfDocument* doc, const PdfObject* o) {
    if (o && o->kind == PDF_DICTIONARY && pdf_is_name(pdf_dict_get(o, "Filter"), "Standard") &&
        pdf_dict_get(o, "O") && pdf_dict_get(o, "U")) {
        doc->encrypted = true;
    }
}

struct StreamEntry {
    int64_t number;
    int64_t offset;
    int index;
};

static int compare_by_offset(const void* a, const void* b) {
    const StreamEntry* x = static_cast<const StreamEntry*>(a);
    const StreamEntry* y = static_cast<const StreamEntry*>(b);
    if (x->offset != y->offset) return x->offset < y->offset ? -1 : 1;
    return x->index - y->index;
}

static bool integer_above_zero(const PdfObject* o) {
    return o && o->kind == PDF_INTEGER && o->value > 0;
}

// The bytes of an object stream: the raw data when it has no filter, the inflated data when
// it is FlateDecode and within the caps, else null (the stream is skipped).
static const uint8_t* object_stream_bytes(PdfDocument* doc, const PdfObject* stream, size_t* length) {
    *length = 0;
    PdfObject* filter = pdf_resolve(doc, pdf_dict_get(stream, "Filter"));
    if (filter && filter->kind == PDF_ARRAY && filter->count == 1) filter = pdf_resolve(doc, filter->items[0]);
    if (!filter) {
        *length = stream->data_length;
        return stream->data;
    }
    if (!pdf_is_name(filter, "FlateDecode")) return nullptr;
    int64_t budget = doc->limits.document_inflate - doc->inflated_total;
    if (budget > doc->limits.object_stream_inflate) budget = doc->limits.object_stream_inflate;
    if (budget > 0x7fffffff) budget = 0x7fffffff;
    if (budget <= 0 || stream->data_length > 0x7fffffff) {
        doc->incomplete = true;
        return nullptr;
    }
    PdfInflated* node = static_cast<PdfInflated*>(arena_alloc(doc, sizeof(PdfInflated)));
    if (!node) return nullptr;
    const bool ended = inflate_buffer(stream->data, (int)stream->data_length, &node->bytes, (int)budget);
    doc->inflated_total += node->bytes.length;
    // A damaged stream still gives the objects that came out before the damage; a stream that
    // reached the cap is a bomb, or the document holds more than it may: the load fails.
    const bool capped = !ended && node->bytes.length >= budget;
    if (capped) doc->incomplete = true;
    const bool usable = node->bytes.length > 0 && !capped;
    node->next = doc->inflated;
    doc->inflated = node;
    if (!usable) return nullptr;
    *length = (size_t)node->bytes.length;
    return node->bytes.data;
}

static void unpack_object_stream(PdfDocument* doc, const PdfObject* stream) {
    const PdfObject* n = pdf_resolve(doc, pdf_dict_get(stream, "N"));
    const PdfObject* first = pdf_resolve(doc, pdf_dict_get(stream, "First"));
    if (!integer_above_zero(n) || !integer_above_zero(first)) return;
    size_t size = 0;
    const uint8_t* data = object_stream_bytes(doc, stream, &size);
    if (!data || (uint64_t)first->value >= (uint64_t)size) return;
    const size_t header_end = (size_t)first->value;
    // Each pair needs at least four bytes ("1 0 "), which bounds the table by the data.
    int64_t capacity = n->value;
    if (capacity > (int64_t)(header_end / 4 + 1)) capacity = (int64_t)(header_end / 4 + 1);
    StreamEntry* entries = static_cast<StreamEntry*>(mem_alloc_array((size_t)capacity, sizeof(StreamEntry)));
    PdfObject** parsed = static_cast<PdfObject**>(mem_alloc_array((size_t)capacity, sizeof(PdfObject*)));
    if (!entries || !parsed) {
        doc->incomplete = true;
        mem_free(entries);
        mem_free(parsed);
        return;
    }
    int count = 0;
    Lexer lx = {doc, data, header_end, 0, false, 0, 0};
    while (count < capacity) {
        skip_white(&lx);
        bool saturated = false;
        size_t p = lx.pos;
        const int64_t number = read_digits(data, header_end, &p, &saturated);
        if (p == lx.pos || p >= header_end || !is_white(data[p])) break;
        lx.pos = p;
        skip_white(&lx);
        p = lx.pos;
        const int64_t offset = read_digits(data, header_end, &p, &saturated);
        if (p == lx.pos) break;
        lx.pos = p;
        entries[count] = StreamEntry{number, offset, count};
        ++count;
    }
    // Parsing in offset order lets each object stop where the next one starts. Of pairs that
    // share an offset only the first defines its number: one parsed value under thousands of
    // numbers would be written thousands of times by the page copier.
    qsort(entries, (size_t)count, sizeof(StreamEntry), compare_by_offset);
    const uint64_t room = size - header_end;
    for (int i = 0; i < count; ++i) {
        StreamEntry& e = entries[i];
        if ((uint64_t)e.offset >= room || (i > 0 && entries[i - 1].offset == e.offset)) {
            e.number = 0;
            continue;
        }
        int next = i + 1;
        while (next < count && entries[next].offset == e.offset) ++next;
        size_t end = size;
        if (next < count && (uint64_t)entries[next].offset < room) end = header_end + (size_t)entries[next].offset;
        Lexer value = {doc, data, end, header_end + (size_t)e.offset, false, 0, 0};
        parse_value(&value, 0, &parsed[e.index]);
    }
    // Stored in the order of the pairs, so a number listed twice keeps its last definition.
    int64_t* numbers = static_cast<int64_t*>(mem_alloc_array((size_t)count + 1, sizeof(int64_t)));
    if (!numbers) doc->incomplete = true;
    if (numbers) {
        for (int i = 0; i < count; ++i) numbers[entries[i].index] = entries[i].number;
        for (int k = 0; k < count; ++k) {
            store_object(doc, numbers[k], parsed[k]);
            check_encryption_dictionary(doc, parsed[k]);
        }
    }
    mem_free(numbers);
    mem_free(entries);
    mem_free(parsed);
}

// At an "obj" keyword at pos: the object number written before it ("N G obj"), or 0.
static int64_t object_number_before(const uint8_t* d, size_t size, size_t pos) {
    if (pos == 0 || !(is_white(d[pos - 1]) || is_digit(d[pos - 1]))) return 0;
    if (pos + 3 < size && !is_white(d[pos + 3]) && !is_delimiter(d[pos + 3])) return 0;
    size_t p = pos;
    while (p > 0 && is_white(d[p - 1])) --p;
    const size_t generation_end = p;
    while (p > 0 && is_digit(d[p - 1])) --p;
    if (p == generation_end || p == 0 || !is_white(d[p - 1])) return 0;
    while (p > 0 && is_white(d[p - 1])) --p;
    const size_t number_end = p;
    while (p > 0 && is_digit(d[p - 1]) && number_end - p < 9) --p;
    if (p == number_end || number_end - p > 8) return 0;
    bool saturated = false;
    return read_digits(d, number_end, &p, &saturated);
}

static void scan_file(PdfDocument* doc) {
    const uint8_t* d = doc->file.data;
    const size_t size = (size_t)doc->file.length;
    Lexer lx = {doc, d, size, 0, true, size, size};
    size_t i = 0;
    while (i < size) {
        const uint8_t c = d[i];
        if (c == 't' && bytes_at(d, size, i, "trailer")) {
            lx.pos = i + 7;
            PdfObject* value = nullptr;
            parse_value(&lx, 0, &value);
            if (value && value->kind == PDF_DICTIONARY) read_trailer(doc, value);
            i = lx.pos > i + 7 ? lx.pos : i + 7;
            continue;
        }
        if (c == 'o' && bytes_at(d, size, i, "obj")) {
            const int64_t number = object_number_before(d, size, i);
            if (number >= 1 && number <= PDF_MAX_OBJECT_NUMBER) {
                lx.pos = i + 3;
                PdfObject* value = nullptr;
                if (parse_value(&lx, 0, &value)) store_object(doc, number, value);
                check_encryption_dictionary(doc, value);
                if (value && value->kind == PDF_STREAM) {
                    const PdfObject* type = pdf_resolve(doc, pdf_dict_get(value, "Type"));
                    if (pdf_is_name(type, "ObjStm")) unpack_object_stream(doc, value);
                    if (pdf_is_name(type, "XRef")) read_trailer(doc, value);
                }
                i = lx.pos > i + 3 ? lx.pos : i + 3;
                continue;
            }
        }
        ++i;
    }
}

static PdfObject* find_catalog(PdfDocument* doc) {
    PdfObject* root = pdf_object_at(doc, doc->root);
    if (root && root->kind == PDF_DICTIONARY && pdf_dict_get(root, "Pages")) return root;
    for (int n = doc->max_number; n >= 1; --n) {
        PdfObject* o = doc->objects[n];
        if (o && o->kind == PDF_DICTIONARY && pdf_is_name(pdf_resolve(doc, pdf_dict_get(o, "Type")), "Catalog") &&
            pdf_dict_get(o, "Pages")) {
            doc->root = n;
            return o;
        }
    }
    return nullptr;
}

static bool page_push(PdfPageList* pages, const PdfPage& page) {
    if (pages->count == pages->capacity) {
        const int capacity = pages->capacity ? pages->capacity * 2 : 64;
        if (capacity < pages->capacity) return false;
        void* grown = mem_realloc(pages->pages, (size_t)capacity * sizeof(PdfPage));
        if (!grown) return false;
        pages->pages = static_cast<PdfPage*>(grown);
        pages->capacity = capacity;
    }
    pages->pages[pages->count++] = page;
    return true;
}

// Walks one page-tree node. False when a node cannot be resolved or lies too deep: a page
// would be missing, and a merge or split must not pretend the document is complete.
static bool walk_pages(const PdfDocument* doc, PdfObject* reference, PdfPage inherited, int depth, PdfPageList* pages) {
    PdfObject* node = pdf_resolve(doc, reference);
    if (!node || (node->kind != PDF_DICTIONARY && node->kind != PDF_STREAM) || depth > PDF_MAX_TREE_DEPTH) {
        return false;
    }
    if (node->visited) return true;  // a node seen before: a cycle or a shared subtree
    node->visited = true;
    if (PdfObject* v = pdf_dict_get(node, "Resources")) inherited.resources = v;
    if (PdfObject* v = pdf_dict_get(node, "MediaBox")) inherited.media_box = v;
    if (PdfObject* v = pdf_dict_get(node, "CropBox")) inherited.crop_box = v;
    if (PdfObject* v = pdf_dict_get(node, "Rotate")) inherited.rotate = v;
    const PdfObject* kids = pdf_resolve(doc, pdf_dict_get(node, "Kids"));
    if (kids && kids->kind == PDF_ARRAY && !pdf_is_name(pdf_resolve(doc, pdf_dict_get(node, "Type")), "Page")) {
        for (int i = 0; i < kids->count; ++i) {
            if (!walk_pages(doc, kids->items[i], inherited, depth + 1, pages)) return false;
        }
        return true;
    }
    inherited.dictionary = node;
    return page_push(pages, inherited);
}

// "%PDF-x.y" near the start of the file (some writers put bytes before it): major x 10 + minor.
static int header_version(const uint8_t* d, size_t size) {
    const size_t end = size < 1024 ? size : 1024;
    for (size_t i = 0; i + 8 <= end; ++i) {
        if (d[i] == '%' && bytes_at(d, end, i, "%PDF-") && is_digit(d[i + 5]) && d[i + 6] == '.' && is_digit(d[i + 7])) {
            return (d[i + 5] - '0') * 10 + (d[i + 7] - '0');
        }
    }
    return 0;
}

// The catalog's /Version name ("1.7"), which overrides an earlier header version.
static int catalog_version(const PdfDocument* doc, const PdfObject* catalog) {
    const PdfObject* v = pdf_resolve(doc, pdf_dict_get(catalog, "Version"));
    if (!v || v->kind != PDF_NAME || v->length != 3 || !is_digit(v->text[0]) || v->text[1] != '.' ||
        !is_digit(v->text[2])) {
        return 0;
    }
    return (v->text[0] - '0') * 10 + (v->text[2] - '0');
}

static bool load(PdfDocument* doc, PdfPageList* pages) {
    scan_file(doc);
    const PdfObject* catalog = find_catalog(doc);
    if (doc->encrypted) {
        set_error(doc, PDF_ERROR_PROTECTED);
        return false;
    }
    if (doc->incomplete) {
        set_error(doc, PDF_ERROR_UNREADABLE);
        return false;
    }
    if (!catalog) {
        set_error(doc, PDF_ERROR_UNREADABLE);
        return false;
    }
    const PdfPage none = {};
    if (!walk_pages(doc, pdf_dict_get(catalog, "Pages"), none, 0, pages) || pages->count == 0) {
        pages->count = 0;
        set_error(doc, PDF_ERROR_UNREADABLE);
        return false;
    }
    const int header = header_version(doc->file.data, (size_t)doc->file.length);
    const int declared = catalog_version(doc, catalog);
    doc->version = declared > header ? declared : header;
    return true;
}

PdfReaderLimits pdf_reader_default_limits() {
    return PdfReaderLimits{PDF_MAX_ARENA, PDF_MAX_OBJECT_STREAM_INFLATE, PDF_MAX_DOCUMENT_INFLATE};
}

bool pdf_read_document(const wchar_t* path, PdfDocument* doc, PdfPageList* pages) {
    if (!doc || !pages) return false;
    *doc = PdfDocument{};
    *pages = PdfPageList{};
    doc->limits = pdf_reader_default_limits();
    if (!path || !read_whole_file(path, &doc->file)) {
        set_error(doc, PDF_ERROR_UNREADABLE);
        return false;
    }
    return load(doc, pages);
}

bool pdf_read_memory(const void* bytes, size_t count, PdfDocument* doc, PdfPageList* pages) {
    const PdfReaderLimits limits = pdf_reader_default_limits();
    return pdf_read_memory_limited(bytes, count, &limits, doc, pages);
}

bool pdf_read_memory_limited(const void* bytes, size_t count, const PdfReaderLimits* limits, PdfDocument* doc,
                             PdfPageList* pages) {
    if (!doc || !pages || !limits) return false;
    *doc = PdfDocument{};
    *pages = PdfPageList{};
    doc->limits = *limits;
    if ((!bytes && count > 0) || count > 0x7ffffff0 || !append_bytes(&doc->file, bytes, (int)count)) {
        set_error(doc, PDF_ERROR_UNREADABLE);
        return false;
    }
    return load(doc, pages);
}

void pdf_document_free(PdfDocument* doc) {
    if (!doc) return;
    for (PdfInflated* n = doc->inflated; n; n = n->next) release(&n->bytes);
    PdfArenaBlock* block = doc->arena;
    while (block) {
        PdfArenaBlock* next = block->next;
        mem_free(block);
        block = next;
    }
    mem_free(doc->objects);
    release(&doc->file);
    *doc = PdfDocument{};
}

void pdf_page_list_free(PdfPageList* pages) {
    if (!pages) return;
    mem_free(pages->pages);
    *pages = PdfPageList{};
}
