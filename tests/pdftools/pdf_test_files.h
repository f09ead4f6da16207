// tests/pdftools/pdf_test_files.h
// Test helpers for the PDF tools: PDFs built by hand from object bodies (with or without a
// correct cross-reference table), temporary folders and whole-file reads.
#ifndef ZAN_TESTS_PDFTOOLS_PDF_TEST_FILES_H
#define ZAN_TESTS_PDFTOOLS_PDF_TEST_FILES_H

#include <string>
#include <vector>

#include "core/file.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"
#include "core/wide_string.h"
#include "tests/test_temp_folder.h"

namespace pdftest {

// Objects 1..n from bodies (bodies[i] is object i+1), a classic xref table and a trailer.
// With correct_xref false every offset in the table is wrong.
inline std::string build_pdf(const std::vector<std::string>& bodies, const std::string& trailer_extra = "",
                             bool correct_xref = true, int root = 1) {
    std::string s = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(s.size());
        s += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const size_t xref = s.size();
    s += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char line[32];
        snprintf(line, sizeof line, "%010zu 00000 n \n", correct_xref ? off : off + 7);
        s += line;
    }
    s += "trailer\n<</Size " + std::to_string(bodies.size() + 1) + "/Root " + std::to_string(root) + " 0 R" +
         trailer_extra + ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return s;
}

inline std::string stream_body(const std::string& dict_extra, const std::string& data) {
    return "<<" + dict_extra + "/Length " + std::to_string(data.size()) + ">>\nstream\n" + data + "\nendstream";
}

// A document of page_count pages, each showing "Page k" with one font shared by all pages.
// Objects: 1 catalog, 2 page tree, 3 font, then page k at 4 + 2(k-1) and its content after it.
inline std::string text_pdf(int page_count) {
    std::vector<std::string> bodies = {"<</Type/Catalog/Pages 2 0 R>>", "", 
                                       "<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>"};
    std::string kids;
    for (int k = 1; k <= page_count; ++k) {
        const int page = 4 + 2 * (k - 1);
        kids += std::to_string(page) + " 0 R ";
        bodies.push_back("<</Type/Page/Parent 2 0 R/Contents " + std::to_string(page + 1) + " 0 R>>");
        bodies.push_back(stream_body("", "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(k) + ") Tj ET"));
    }
    bodies[1] = "<</Type/Pages/Count " + std::to_string(page_count) + "/Kids[" + kids +
                "]/MediaBox[0 0 612 792]/Resources<</Font<</F1 3 0 R>>>>>>";
    return build_pdf(bodies);
}

inline WideString wide(const std::string& ascii) {
    return multibyte_to_wide(ascii.c_str(), (int)ascii.size(), CODE_PAGE_UTF8);
}

inline std::string read_all(const wchar_t* path) {
    ByteBuffer b = {};
    const bool ok = read_whole_file(path, &b);
    std::string s = ok ? std::string(reinterpret_cast<char*>(b.data), (size_t)b.length) : "<unreadable>";
    release(&b);
    return s;
}

inline size_t count_of(const std::string& haystack, const std::string& needle) {
    size_t n = 0;
    for (size_t p = haystack.find(needle); p != std::string::npos; p = haystack.find(needle, p + 1)) ++n;
    return n;
}

using ::TempFolder;

}  // namespace pdftest

#endif
