// tests/fuzz/pdf_reader_fuzzer.cpp
// libFuzzer target: reads arbitrary bytes as a PDF and copies every page to an output that
// stays in memory, the two things merge and split do with files from anywhere; then reads
// what the copier wrote back and requires the same page count, so a copy that loses or
// breaks pages is a finding too. Built with -DZAN_FUZZ=ON (clang, address and
// undefined-behaviour sanitizers); the seed corpus beside it is also replayed by
// tests/pdftools/pdf_reader_corpus_test.cpp in every build.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "pdftools/pdf_merge.h"
#include "pdftools/pdf_reader.h"

// The page count of the copier's output, or -1 when it cannot be read back.
static int reread_page_count(const ByteBuffer& bytes) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    const int count = pdf_read_memory(bytes.data, (size_t)bytes.length, &doc, &pages) ? pages.count : -1;
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return count;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    if (pdf_read_memory(data, size, &doc, &pages)) {
        PdfOutput out = {};
        pdf_output_open_in_memory(&out);
        PdfCopyContext copy = {};
        bool copied = pdf_copy_begin(&copy, &out.writer, &doc);
        for (int i = 0; copied && i < pages.count; ++i) {
            const int number = pdf_copy_page(&copy, &pages.pages[i], PDF_OUTPUT_PAGE_TREE);
            copied = number != 0 && pdf_output_add_page(&out, number);
        }
        pdf_copy_end(&copy);
        PdfMessage error = {};
        if (copied && pdf_output_finish(&out, &error) && reread_page_count(out.writer.buffer) != pages.count) abort();
        pdf_message_release(&error);
        pdf_output_abandon(&out);
    }
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return 0;
}
