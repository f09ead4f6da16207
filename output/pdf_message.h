// output/pdf_message.h
// What the PDF writer, reader, merge and split report when they fail: a message id with its
// arguments, never finished text, so the window that shows it words it in the interface
// language. Ids below PDF_MESSAGE_FIRST_TECHNICAL are string-table ids (tr); the technical
// messages above it carry their English and Arabic wording here. The record owns its name.
#ifndef ZAN_OUTPUT_PDF_MESSAGE_H
#define ZAN_OUTPUT_PDF_MESSAGE_H

#include "core/wide_string.h"

// ---- string-table ids
const int PDF_MESSAGE_NONE = 0;               // a zero-initialised record: nothing failed
const int PDF_MESSAGE_ADD_FILES = 117;          // "Add at least one file."
const int PDF_MESSAGE_PROTECTED = 128;          // name (a file name), if any, on the line before
const int PDF_MESSAGE_UNREADABLE = 129;         // likewise
const int PDF_MESSAGE_IMAGE_UNREADABLE = 172;   // "%s: %s" with the image's path

// ---- technical messages
const int PDF_MESSAGE_FIRST_TECHNICAL = 1000;
const int PDF_MESSAGE_CANNOT_CREATE = 1000;     // "cannot create %s (error %d)": path, system code
const int PDF_MESSAGE_WRITE_ERROR = 1001;       // "write error"
const int PDF_MESSAGE_DISK_FULL = 1002;         // "write error (disk full?)"
const int PDF_MESSAGE_NO_PAGES = 1003;          // "no pages"
const int PDF_MESSAGE_IMAGE_ENCODE = 1004;      // "image encode failed"
const int PDF_MESSAGE_ENCODE = 1005;            // "encode failed"
const int PDF_MESSAGE_NO_RANGE = 1006;          // "1..%d ?": the page count
const int PDF_MESSAGE_OUTPUT_IS_INPUT = 1007;   // "cannot create %s: it is one of the files being merged"
const int PDF_MESSAGE_PAGE_UNREADABLE = 1008;  // "page %d could not be read back": the page number
const int PDF_MESSAGE_PAGE_NO_MEMORY = 1009;   // "page %d: out of memory": the page number
const int PDF_MESSAGE_CANCELLED = 1010;       // "cancelled": the user stopped a merge or split

struct PdfMessage {
    int id;            // PDF_MESSAGE_*; PDF_MESSAGE_NONE when nothing failed
    WideString name;   // the path or file name the message is about; may be empty
    int number;        // the system error code or page count of the message, else 0
};

// Sets id and arguments (name may be null), replacing what message held.
void pdf_message_set(PdfMessage* message, int id, const wchar_t* name = nullptr, int number = 0);
void pdf_message_release(PdfMessage* message);

// The message worded in language (0 Arabic, anything else English) into out. table gives
// the string-table texts (the interface's tr_in); without one those read as empty.
typedef const wchar_t* (*PdfTextTable)(int language, int id);
bool pdf_message_text(const PdfMessage* message, int language, PdfTextTable table, WideString* out);

#endif
