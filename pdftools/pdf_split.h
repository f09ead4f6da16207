// pdftools/pdf_split.h
// Cuts one PDF into several new PDFs by page ranges: one file per page, one per N pages or
// ranges typed by the user ("1-3,5,7-9"). The caller owns the range and path lists it gets
// and frees them with the functions below.
#ifndef ZAN_PDFTOOLS_PDF_SPLIT_H
#define ZAN_PDFTOOLS_PDF_SPLIT_H

#include "core/wide_string.h"
#include "output/pdf_message.h"

// ---- modes
const int PDF_SPLIT_EACH_PAGE = 0;
const int PDF_SPLIT_EVERY_N = 1;
const int PDF_SPLIT_RANGES = 2;

// ---- page ranges: 1-based, first <= last <= page count, in the order produced
struct PdfRange {
    int first;
    int last;
};

struct PdfRangeList {
    PdfRange* items;
    int count;
    int capacity;
};

// Parses the ranges text against page_count pages; returns the number of ranges added.
int pdf_split_parse_ranges(const wchar_t* text, int page_count, PdfRangeList* ranges);
// The ranges of a mode (n is used by PDF_SPLIT_EVERY_N, text by PDF_SPLIT_RANGES).
bool pdf_split_build_ranges(int mode, int n, const wchar_t* text, int page_count, PdfRangeList* ranges);
void pdf_range_list_free(PdfRangeList* ranges);

// ---- created files
struct PdfPathList {
    WideString* items;
    int count;
    int capacity;
};
void pdf_path_list_free(PdfPathList* paths);

// "base_p003.pdf" for one page, "base_p001-004.pdf" for a range (a new string).
WideString pdf_split_file_name(const wchar_t* base, int first, int last);

// ---- split: every finished file's path is appended to created, also before a failure.
// Every output file is checked before the first one is written. On failure error gets the
// message: 128 or 129, PDF_MESSAGE_NO_RANGE with the page count, PDF_MESSAGE_CANCELLED (the
// files finished before stay) or a technical one.
bool pdf_split(const wchar_t* input, const wchar_t* folder, int mode, int n, const wchar_t* ranges_text,
               PdfPathList* created, PdfMessage* error);

#endif
