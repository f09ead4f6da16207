// pdftools/pdf_reader.h
// Loads an existing PDF for the merge and split tools: scans the whole file for objects and
// trailers (so damaged and updated files still load), unpacks object streams and lists the
// pages with their inherited attributes. The caller owns the PdfDocument and the PdfPageList
// and frees them with pdf_document_free and pdf_page_list_free; every PdfObject lives in the
// document's arena and dies with it.
#ifndef ZAN_PDFTOOLS_PDF_READER_H
#define ZAN_PDFTOOLS_PDF_READER_H

#include <stddef.h>
#include <stdint.h>

#include "core/wide_string.h"
#include "output/pdf_message.h"

// ---- limits against hostile files
const int PDF_MAX_OBJECT_NUMBER = 8000000;
const int PDF_MAX_NESTING = 200;                       // deeper values are skipped
const int PDF_MAX_TREE_DEPTH = 64;                     // page-tree levels
const int PDF_MAX_REFERENCE_CHAIN = 32;
const int64_t PDF_MAX_OBJECT_STREAM_INFLATE = 64LL << 20;
const int64_t PDF_MAX_DOCUMENT_INFLATE = 512LL << 20;
const int64_t PDF_MAX_ARENA = 1LL << 30;               // parsed objects of one document

// The caps of one load. Reaching one fails the load (id 129): an object left out would
// be a blank page or a lost font in what merge and split write.
struct PdfReaderLimits {
    int64_t arena;                 // PDF_MAX_ARENA
    int64_t object_stream_inflate; // PDF_MAX_OBJECT_STREAM_INFLATE
    int64_t document_inflate;      // PDF_MAX_DOCUMENT_INFLATE
};

// ---- error ids (string-table ids of the two reader messages)
const int PDF_ERROR_PROTECTED = PDF_MESSAGE_PROTECTED;    // "The file is password protected — ..."
const int PDF_ERROR_UNREADABLE = PDF_MESSAGE_UNREADABLE;  // "This PDF could not be read."

// ---- objects. A PDF null is a null PdfObject pointer.
enum PdfKind : uint8_t {
    PDF_BOOL = 1,
    PDF_INTEGER,
    PDF_REAL,
    PDF_NAME,
    PDF_STRING,
    PDF_ARRAY,
    PDF_DICTIONARY,
    PDF_REFERENCE,
    PDF_STREAM,
};

struct PdfObject {
    PdfKind kind;
    bool visited;            // reached by the page-tree walk
    int length;              // bytes in text
    int count;               // array items; dictionary and stream entries
    int64_t value;           // bool 0/1, integer value, referenced object number
    const uint8_t* text;     // number as written, name bytes (#hh decoded), string bytes
    PdfObject** items;       // array: items; dictionary and stream: key, value, key, value...
    const uint8_t* data;     // stream: raw (still encoded) bytes in the file or an object stream
    size_t data_length;
};

struct PdfArenaBlock;
struct PdfInflated;

struct PdfDocument {
    ByteBuffer file;                 // the whole file
    PdfArenaBlock* arena;            // every PdfObject and its bytes
    int64_t arena_total;
    PdfInflated* inflated;           // unpacked object streams, pointed into by objects
    int64_t inflated_total;          // bytes inflated so far, kept or not
    PdfObject** objects;             // by object number; null = none
    int object_capacity;             // entries in objects
    int max_number;                  // highest object number that was defined
    int root;                        // catalog's object number, 0 = none
    bool encrypted;
    bool incomplete;                 // a cap or an allocation failure lost an object
    PdfReaderLimits limits;
    int version;                     // major x 10 + minor: the header's or the catalog's
                                     // /Version, whichever is later; 0 when neither is known
    int error_id;                    // PDF_ERROR_* after a failed load, else 0
};

// One page in page-tree order, with the effective inherited entries (unresolved; null if none).
struct PdfPage {
    PdfObject* dictionary;
    PdfObject* resources;
    PdfObject* media_box;
    PdfObject* crop_box;
    PdfObject* rotate;
};

struct PdfPageList {
    PdfPage* pages;
    int count;
    int capacity;
};

// ---- loading. On false the document's error_id is set; free the document and the list in
// every case.
bool pdf_read_document(const wchar_t* path, PdfDocument* doc, PdfPageList* pages);
// The same from bytes in memory (copied into the document).
bool pdf_read_memory(const void* bytes, size_t count, PdfDocument* doc, PdfPageList* pages);
// The same with other caps (tests reach them without gigabytes of input).
bool pdf_read_memory_limited(const void* bytes, size_t count, const PdfReaderLimits* limits, PdfDocument* doc,
                             PdfPageList* pages);
// The default caps.
PdfReaderLimits pdf_reader_default_limits();
void pdf_document_free(PdfDocument* doc);
void pdf_page_list_free(PdfPageList* pages);

// ---- lookups
// Follows references (at most PDF_MAX_REFERENCE_CHAIN steps); a missing object gives null.
PdfObject* pdf_resolve(const PdfDocument* doc, PdfObject* object);
// The object stored under number, or null.
PdfObject* pdf_object_at(const PdfDocument* doc, int64_t number);
// First value under key in a dictionary or stream; null if absent or not a dictionary.
PdfObject* pdf_dict_get(const PdfObject* dict, const char* key);
// True when object is a name with exactly these bytes.
bool pdf_is_name(const PdfObject* object, const char* text);

#endif
