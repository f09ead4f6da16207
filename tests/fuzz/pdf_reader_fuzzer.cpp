// tests/fuzz/pdf_reader_fuzzer.cpp
// libFuzzer target: reads arbitrary bytes as a PDF and copies every page to an output that
// stays in memory, the two things merge and split do with files from anywhere. Built with
// -DZAN_FUZZ=ON (clang, address and undefined-behaviour sanitizers); the seed corpus beside
// it is also replayed by tests/pdftools/pdf_reader_corpus_test.cpp in every build.
#include <stddef.h>
#include <stdint.h>

#include "pdftools/pdf_merge.h"
#include "pdftools/pdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    if (pdf_read_memory(data, size, &doc, &pages)) {
        PdfOutput out = {};
        pdf_output_open_in_memory(&out);
        PdfCopyContext copy = {};
        if (pdf_copy_begin(&copy, &out.writer, &doc)) {
            for (int i = 0; i < pages.count; ++i) {
                const int number = pdf_copy_page(&copy, &pages.pages[i], PDF_OUTPUT_PAGE_TREE);
                if (number) pdf_output_add_page(&out, number);
            }
        }
        pdf_copy_end(&copy);
        pdf_output_abandon(&out);
    }
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    return 0;
}
